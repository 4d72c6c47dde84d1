// The speech control that speaks with espeak-ng.
#pragma once

#include "speechcontrol.h"

#include <QTimer>

#include <deque>
#include <memory>
#include <vector>

namespace velmira {

class AudioOutput;
class SynthesisWorker;
struct SpeechChannel;
struct WordMark;

// Speaks with the voices of espeak-ng, and of RHVoice when it is installed, played through an
// AudioOutput or written to a sound file.
//
// Texts are cut into sentence-sized pieces and synthesised on the synthesis thread that all
// controls share; the control lives in the user-interface thread, feeds the sound output from
// there and emits its signals there.
//
// - finished() is emitted once everything queued has been heard (or written to the file). It is not
//   emitted for speech that AudioReset() cut off, nor for speech that failed().
// - AudioPause() holds the sound at once; synthesis goes on a few seconds ahead. While writing to a
//   file, writing stops after the piece under way.
// - AudioReset() also releases a hold, so that speech queued after it is heard at once.
// - While recording to a file, AudioReset() returns when the file holds its final bytes.
class EspeakSpeechControl : public SpeechControl
{
    Q_OBJECT

public:
    // Throws SpeechError when espeak-ng cannot start.
    explicit EspeakSpeechControl(std::unique_ptr<AudioOutput> output, QObject *parent = nullptr);
    // Cuts off any speech at once.
    ~EspeakSpeechControl() override;

    // Opens the sound output unless writing to a file; throws SpeechError when it cannot.
    void Speak(const QString &text) override;
    // Throws SpeechError for a number outside 1..CountEngines().
    void Select(int engine) override;
    QString ModeName(int engine) const override;
    QString VoiceIdentity(int engine) const override;
    int CountEngines() const override;

    int Pitch() const override { return m_pitch; }
    // Values outside MinPitch()..MaxPitch() are brought within them.
    void setPitch(int pitch) override;
    int MinPitch() const override;
    int MaxPitch() const override;

    int Speed() const override { return m_speed; }
    // Values outside MinSpeed()..MaxSpeed() are brought within them.
    void setSpeed(int speed) override;
    int MinSpeed() const override;
    int MaxSpeed() const override;

    void AudioPause() override;
    void AudioResume() override;
    void AudioReset() override;

    // espeak-ng has no pronunciation dialog of its own: always throws SpeechError.
    void LexiconDlg(QWidget *parent, const QString &title) override;

    // Speech queued from now on (and the rest of a text under way) goes to a new sound file at
    // `path`, in the format its extension names (WAV for any other name); an empty path plays speech
    // again. AudioReset() completes the file; a compressed file then takes no more speech (Speak
    // throws SpeechError) until a file is set again. Throws SpeechError when the file cannot be created; speech
    // is then neither written nor played until a file is set.
    void setFileName(const QString &path) override;

    // espeak-ng's sample rate.
    int sampleRate() const;

    // The characters of text the queue holds in memory. A text queued again (Read pressed over and
    // over) shares the memory of the equal text already queued, and counts once.
    qsizetype queuedTextSize() const;

private:
    void pump();
    void clearQueue();
    void fail(const QString &message);
    void finish();

    std::shared_ptr<SynthesisWorker> m_worker;
    std::shared_ptr<SpeechChannel> m_channel;
    std::unique_ptr<AudioOutput> m_output;
    QTimer m_pumpTimer;

    int m_engine = 1;
    int m_speed = 0;
    int m_pitch = 0;
    bool m_toFile = false;
    QString m_fileError;
    // Why the file last completed by AudioReset() could not be completed; empty when it was.
    QString m_unfinishedFile;
    bool m_paused = false;
    // Something was queued since the last finished() or reset.
    bool m_active = false;
    bool m_closing = false;
    // Changes at every reset, so that signals of speech cut off meanwhile are not emitted.
    quint64 m_resets = 0;

    // Played speech: samples taken from the channel (the sound output's count starts at
    // m_outputStart), and the words in what was handed to the output, to be emitted when heard.
    qint64 m_taken = 0;
    qint64 m_outputStart = 0;
    std::deque<WordMark> m_wordsWritten;
    std::vector<qint16> m_scratch;
};

} // namespace velmira
