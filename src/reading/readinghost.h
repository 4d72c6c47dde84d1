// What the main window lends to the features that speak for the user.
#pragma once

#include <QString>

#include <algorithm>

class QWidget;

namespace velmira {

class Prompter;
class SpeechControl;
class WordFollower;

// The voice chosen on the settings panel, as the features that speak read it.
class VoiceChoice
{
public:
    virtual ~VoiceChoice() = default;

    // The voice's position in the engine list (from 0); -1 when none is chosen.
    virtual int voice() const = 0;
    // The speed and pitch the panel shows.
    virtual int speed() const = 0;
    virtual int pitch() const = 0;
};

// The main window as the reading features see it: its speech control, the editor's text, the status
// bar and the dialogs. The main window implements it; tests give a fake.
class ReadingHost : public VoiceChoice
{
public:
    // The main speech control; null when there is none (not created, or the window has closed).
    virtual SpeechControl *speech() const = 0;
    // The editor's whole text and its selected text, as plain text.
    virtual QString wholeText() const = 0;
    virtual QString selectedText() const = 0;
    // How long the whole text is, counted as the editor counts (a paragraph end is one character),
    // and its first `length` such characters (or all of it), as wholeText begins: the start of a
    // long text is read before the whole is copied.
    virtual qsizetype wholeTextLength() const { return wholeText().size(); }
    virtual QString wholeTextStart(qsizetype length) const
    {
        const QString whole = wholeText();
        return whole.first(std::min(length, whole.size()));
    }
    // A short message in the status bar.
    virtual void statusMessage(const QString &text) = 0;
    // The dialogs, and the window that owns them.
    virtual Prompter &prompter() const = 0;
    virtual QWidget *dialogOwner() const = 0;
    // What marks the editor's words as they are read; null when nothing does.
    virtual WordFollower *wordFollower() const { return nullptr; }
};

} // namespace velmira
