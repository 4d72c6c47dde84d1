// The speech control: the one interface through which everything in the program speaks.
#pragma once

#include "common/core/error.h"

#include <QObject>
#include <QString>

class QWidget;

namespace velmira {

// A failure of the speech control (no sound device, bad engine number, unwritable file, ...).
class SpeechError : public Error
{
public:
    using Error::Error;
};

// Speaks texts with one of the installed voices, or writes the speech to a sound file.
//
// Engines (voices) are numbered from 1 to CountEngines(). Speak() queues a text and returns at once;
// speech goes on in the background, and texts queued while speaking follow what is already queued.
// Every operation may throw SpeechError.
class SpeechControl : public QObject
{
    Q_OBJECT

public:
    explicit SpeechControl(QObject *parent = nullptr) : QObject(parent) {}
    ~SpeechControl() override = default;

    // Queues a text. Each call gets the next serial number, from 1, which the word signal names.
    virtual void Speak(const QString &text) = 0;
    // Makes engine `engine` (from 1) current; the limits below then refer to it.
    virtual void Select(int engine) = 0;
    // The display name of engine `engine` (from 1).
    virtual QString ModeName(int engine) const = 0;
    // What names engine `engine` (from 1) across runs of the program, whatever other voices are
    // installed or removed meanwhile; its display name unless the control knows better.
    virtual QString VoiceIdentity(int engine) const { return ModeName(engine); }
    virtual int CountEngines() const = 0;

    virtual int Pitch() const = 0;
    virtual void setPitch(int pitch) = 0;
    virtual int MinPitch() const = 0;
    virtual int MaxPitch() const = 0;

    virtual int Speed() const = 0;
    virtual void setSpeed(int speed) = 0;
    virtual int MinSpeed() const = 0;
    virtual int MaxSpeed() const = 0;

    // Holds the output at once; queued text stays queued.
    virtual void AudioPause() = 0;
    // Continues held output; harmless when nothing is held.
    virtual void AudioResume() = 0;
    // Stops the output and discards everything queued, the piece being synthesised included; also
    // releases a hold. finished() is not emitted for the speech discarded.
    virtual void AudioReset() = 0;

    // Shows the current engine's pronunciation settings; throws SpeechError when it has none.
    virtual void LexiconDlg(QWidget *parent, const QString &title) = 0;

    // From now on this control writes its speech to a sound file at `path` instead of playing it, in
    // the format the file's extension names (WAV, MP3, Ogg Vorbis, Opus, FLAC; WAV for any other)
    // (an empty path: plays it again). Speech under way is cut off first, as by AudioReset().
    // Throws SpeechError when the file cannot be created, or when the file written so far could not be
    // completed (the disk filled as its last frames were written): it is not whole then.
    virtual void setFileName(const QString &path) = 0;

    // The serial number of the last Speak call that queued its text; 0 before the first.
    quint64 lastSerial() const { return m_lastSerial; }

signals:
    // Everything queued has been played (or written to the file): emitted once for all the texts
    // queued up to then.
    void finished();
    // Speech that was queued could not be played or written to its end (the sound device went
    // away, the disk is full); the rest of the queue is dropped and finished() is not emitted.
    // `message` says why, for the user.
    void failed(const QString &message);
    // The word at `position`, `length` characters long, of the text of Speak call `serial` is being
    // spoken now.
    void wordReached(quint64 serial, int position, int length);
    // AudioReset discarded what was queued; whoever still means to queue the rest of a text drops it.
    void discarded();

protected:
    // Gives a Speak call that queues its text the next serial number.
    quint64 nextSerial() { return ++m_lastSerial; }

private:
    quint64 m_lastSerial = 0;
};

} // namespace velmira
