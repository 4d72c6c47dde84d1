// What velmira-say is asked to do: its command line, read into options.
#pragma once

#include "common/core/error.h"

#include <QString>
#include <QStringList>

#include <optional>

namespace velmira {

// A command line velmira-say cannot follow; the message says why, in Russian.
class UsageError : public Error
{
public:
    using Error::Error;
};

struct SayOptions
{
    enum class Action { Speak, Help, Version, ListVoices };
    Action action = Action::Speak;

    QString voice;                // -v: a voice's name or an unambiguous part of it
    std::optional<int> speed;     // -r
    std::optional<int> pitch;     // -p
    bool noDictionary = false;    // --no-dictionary
    QString output;               // -o: one sound file for all input
    QString directory;            // -d: one sound file per input file
    QString format = QStringLiteral("wav"); // -f, with -d
    std::optional<int> jobs;      // -j, with -d
    QStringList inputs;           // "-" is standard input; none means standard input

    // The options that choose how the speech sounds (voice, speed, pitch, dictionary), as arguments
    // again: what every file converted in a process of its own is given.
    QStringList voiceArguments() const;
};

// Reads the arguments (without the program's name). Throws UsageError.
SayOptions parseSayArguments(const QStringList &arguments);

// The usage lines, and the whole help text for --help.
QString sayUsage();
QString sayHelp();

} // namespace velmira
