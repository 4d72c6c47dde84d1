// A main window as the reading features see it: answers from functions the test gives, and a settings
// panel of plain numbers that moves like the real one.
#pragma once

#include "common/core/prompter.h"
#include "reading/readingcontroller.h"
#include "reading/readinghost.h"

#include <QString>
#include <QStringList>
#include <algorithm>
#include <functional>

namespace velmira {

struct FakeReadingHost : ReadingHost, VoicePanel
{
    QWidget *owner = nullptr;
    Prompter *dialogs = nullptr;
    std::function<SpeechControl *()> mainSpeech = [] { return nullptr; };
    std::function<QString()> whole = [] { return QString(); };
    // The editor's text as it stands, looked at without a copy of the whole (wholeTextLength and
    // wholeTextStart); `whole` when not given.
    std::function<QString()> shown;
    std::function<QString()> selected = [] { return QString(); };
    std::function<void(const QString &)> status = [](const QString &) {};
    WordFollower *follower = nullptr;

    // The panel: the voices listed, the one chosen, the bars' limits and positions. A bar that moves
    // tells `controller`, as the real bars do.
    ReadingController *controller = nullptr;
    QStringList voices;
    // What names each voice across runs, as the list keeps it.
    QStringList identities;
    int chosenVoice = 0;
    int minSpeed = 0, maxSpeed = 500, chosenSpeed = 0;
    int minPitch = 0, maxPitch = 500, chosenPitch = 0;

    SpeechControl *speech() const override { return mainSpeech(); }
    QString wholeText() const override { return whole(); }
    qsizetype wholeTextLength() const override { return (shown ? shown : whole)().size(); }
    QString wholeTextStart(qsizetype length) const override
    {
        const QString text = (shown ? shown : whole)();
        return text.first(std::min(length, text.size()));
    }
    QString selectedText() const override { return selected(); }
    void statusMessage(const QString &text) override { status(text); }
    Prompter &prompter() const override { return *dialogs; }
    QWidget *dialogOwner() const override { return owner; }
    WordFollower *wordFollower() const override { return follower; }
    int voice() const override { return chosenVoice; }
    int speed() const override { return chosenSpeed; }
    int pitch() const override { return chosenPitch; }

    void addVoice(const QString &name, const QString &identity) override
    {
        voices << name;
        identities << identity;
    }
    int voiceCount() const override { return int(voices.size()); }
    void chooseVoice(int position) override { chosenVoice = position; }
    void setLimits(int lowSpeed, int highSpeed, int lowPitch, int highPitch) override
    {
        minSpeed = lowSpeed;
        maxSpeed = highSpeed;
        minPitch = lowPitch;
        maxPitch = highPitch;
        moveSpeed(chosenSpeed);
        movePitch(chosenPitch);
    }
    void moveSpeed(int position) override
    {
        if (move(chosenSpeed, std::clamp(position, minSpeed, maxSpeed)) && controller)
            controller->speedMoved(chosenSpeed);
    }
    void movePitch(int position) override
    {
        if (move(chosenPitch, std::clamp(position, minPitch, maxPitch)) && controller)
            controller->pitchMoved(chosenPitch);
    }

private:
    static bool move(int &bar, int position)
    {
        const bool moved = bar != position;
        bar = position;
        return moved;
    }
};

} // namespace velmira
