// Where played speech goes: a sound device, a silent sink, or a sink that tests listen to.
#pragma once

#include <QString>
#include <QtGlobal>

namespace velmira {

// A sound output for 16-bit mono samples that the speech control feeds from the user-interface
// thread. Writing never blocks: the control writes what room() allows, and learns from played()
// how far the listener has heard. All counts are samples since open() or the last reset().
class AudioOutput
{
public:
    virtual ~AudioOutput() = default;

    // Gets the output ready for samples at `sampleRate`; does nothing when it is open already.
    // Throws SpeechError when there is no sound device or it cannot be opened.
    virtual void open(int sampleRate) = 0;
    virtual bool isOpen() const = 0;

    // How many samples write() takes now; 0 while suspended.
    virtual qint64 room() = 0;
    // Hands samples to the output; returns how many it took.
    virtual qint64 write(const qint16 *samples, qint64 count) = 0;
    // How many of the written samples have been played.
    virtual qint64 played() = 0;
    // Nothing more follows for now: play out everything written, to its last sample.
    virtual void drain() {}

    // Holds the sound at once, keeping what was written.
    virtual void suspend() = 0;
    // Continues held sound; harmless when nothing is held.
    virtual void resume() = 0;
    // Silence at once: everything written and not yet played is dropped, and the counts start
    // again from 0. The output may be closed by this; open() opens it again.
    virtual void reset() = 0;

    // A failure of the device since it was opened (it vanished, the sound server went away),
    // or an empty text.
    virtual QString error() const { return {}; }
};

} // namespace velmira
