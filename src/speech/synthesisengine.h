// A synthesiser as the synthesis thread drives it: its voices, and speech for one piece of text.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringView>

#include <span>

namespace velmira {

// A voice of one of the synthesisers, as the program lists it.
struct Voice
{
    // The synthesiser that speaks with it, as the user knows it: "espeak-ng", "RHVoice".
    QString engine;
    // The synthesiser's own name for the voice ("zle/ru", "Aleksandr"); selects it.
    QByteArray identifier;
    // The language the voice speaks, lower case ("ru", "en-gb"); empty when unknown.
    QByteArray language;
    // The name shown to the user, which says the synthesiser: "Александр (RHVoice)".
    QString displayName;

    // Names the voice across runs of the program, whatever other voices come and go.
    QString identity() const { return engine + u':' + QString::fromUtf8(identifier); }
    bool isRussian() const { return language == "ru" || language.startsWith("ru-"); }
};

// A word the synthesiser reports within a piece.
struct EngineWord
{
    // Where in the piece (UTF-16 offset) the report points: into the word or onto the blank before it.
    qsizetype position = 0;
    // The sample of the piece's speech where the word is heard.
    qint64 sample = 0;
};

// Takes a piece's speech as the synthesiser makes it.
class PieceSink
{
public:
    virtual ~PieceSink() = default;
    // `count` samples, and the words that start in them or before; returns false when the rest of
    // the piece is no longer wanted (the synthesiser then stops as soon as it can).
    virtual bool deliver(const qint16 *samples, qint64 count, std::span<const EngineWord> words) = 0;
};

// How a piece is to be spoken.
struct PieceVoice
{
    QByteArray identifier;
    // Speed and pitch on the scale of the program's speed and pitch bars (espeak-ng's words per
    // minute, 80 to 450, and 0 to 100), which each synthesiser maps onto its own scale.
    int rate = 0;
    int pitch = 0;
};

// One synthesiser. Used by the synthesis thread only, one piece at a time.
class SynthesisEngine
{
public:
    virtual ~SynthesisEngine() = default;

    // The voices, with their engine and language set; the display names are given by the list.
    virtual QList<Voice> voices() const = 0;
    // Speaks `piece` (a sentence or part of one; `sentenceEnd` when a sentence pause belongs after
    // it) into `sink` at `sampleRate`, mono. Returns an empty string when done or stopped by the
    // sink, otherwise a message for the user saying why the piece could not be spoken.
    virtual QString synthesise(const PieceVoice &voice, QStringView piece, bool sentenceEnd, int sampleRate,
                               PieceSink &sink) = 0;
    // Gets voice `identifier` ready to speak at once (loads its data), while there is nothing to say.
    virtual void prepare(const QByteArray &identifier, int sampleRate)
    {
        Q_UNUSED(identifier);
        Q_UNUSED(sampleRate);
    }
};

} // namespace velmira
