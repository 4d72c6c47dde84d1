// A speech control for tests: records every call and can be told to fail.
#pragma once

#include "speech/speechcontrol.h"

#include <QStringList>

namespace velmira {

class FakeSpeechControl : public SpeechControl
{
    Q_OBJECT

public:
    struct Engine
    {
        QString name;
        int minSpeed = 80;
        int maxSpeed = 450;
        int minPitch = 0;
        int maxPitch = 100;
    };

    explicit FakeSpeechControl(QObject *parent = nullptr);

    // Every call in order, written as "Speak:<text>", "Select:<n>", "Speed:<n>", "Pitch:<n>",
    // "AudioPause", "AudioResume", "AudioReset", "LexiconDlg:<title>", "FileName:<path>".
    QStringList calls;
    // Only the texts given to Speak, in order.
    QStringList spoken;
    QList<Engine> engines;
    // When set, every following call throws SpeechError with this message (until cleared).
    QString failWith;
    // When set, only calls whose record starts with this prefix fail.
    QString failOnly;

    void Speak(const QString &text) override;
    void Select(int engine) override;
    QString ModeName(int engine) const override;
    int CountEngines() const override;
    int Pitch() const override { return m_pitch; }
    void setPitch(int pitch) override;
    int MinPitch() const override;
    int MaxPitch() const override;
    int Speed() const override { return m_speed; }
    void setSpeed(int speed) override;
    int MinSpeed() const override;
    int MaxSpeed() const override;
    void AudioPause() override;
    void AudioResume() override;
    void AudioReset() override;
    void LexiconDlg(QWidget *parent, const QString &title) override;
    void setFileName(const QString &path) override;

    int selected() const { return m_selected; }
    void clear()
    {
        calls.clear();
        spoken.clear();
    }

private:
    void record(const QString &call);
    const Engine &current() const;

    int m_selected = 1;
    int m_speed = 0;
    int m_pitch = 0;
};

} // namespace velmira
