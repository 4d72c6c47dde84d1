// velmira-say: the program's voices on the command line, speaking aloud or into sound files.
#include "parallelsay.h"
#include "sayoptions.h"
#include "saysession.h"
#include "speech/espeakspeechcontrol.h"
#include "speech/pacedaudiooutput.h"

#include <QCoreApplication>

#include <cstdio>

using namespace velmira;
using namespace Qt::StringLiterals;

namespace {

void print(FILE *to, const QString &text)
{
    std::fputs(text.toLocal8Bit().constData(), to);
}

int listVoices()
{
    try {
        EspeakSpeechControl speech(std::make_unique<PacedAudioOutput>());
        for (int i = 1; i <= speech.CountEngines(); ++i)
            print(stdout, speech.ModeName(i) + u'\n');
        return 0;
    } catch (const Error &e) {
        print(stderr, u"velmira-say: "_s + e.message() + u'\n');
        return 1;
    }
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(u"velmira-say"_s);
    QCoreApplication::setApplicationVersion(QStringLiteral(VELMIRA_VERSION));

    QStringList arguments = QCoreApplication::arguments();
    arguments.removeFirst();
    SayOptions options;
    try {
        options = parseSayArguments(arguments);
    } catch (const UsageError &e) {
        print(stderr, u"velmira-say: "_s + e.message() + u'\n' + sayUsage());
        return 2;
    }

    switch (options.action) {
    case SayOptions::Action::Help:
        print(stdout, sayHelp());
        return 0;
    case SayOptions::Action::Version:
        print(stdout, u"velmira-say (Вельмира) %1\n"_s.arg(QCoreApplication::applicationVersion()));
        return 0;
    case SayOptions::Action::ListVoices:
        return listVoices();
    case SayOptions::Action::Speak:
        break;
    }
    if (!options.directory.isEmpty())
        return ParallelSay(options).exec();
    return SaySession(options).exec();
}
