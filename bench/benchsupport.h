// What the benchmarks share: a Russian text of a given size, the processor time used, a run of
// espeak-ng on its own, and the main of a benchmark program with windows.
#pragma once

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QRandomGenerator>
#include <QString>
#include <QStringList>

#include <benchmark/benchmark.h>

#include <sys/resource.h>

namespace velmira::bench {

using namespace Qt::StringLiterals;

// A Russian text of about `bytes` bytes in UTF-8: sentences of common words, some paragraphs.
inline QString russianText(qsizetype bytes)
{
    static const QStringList nouns = {u"утро"_s,    u"город"_s, u"река"_s,  u"солнце"_s, u"дорога"_s,
                                      u"человек"_s, u"книга"_s, u"окно"_s,  u"время"_s,  u"работа"_s,
                                      u"вопрос"_s,  u"ответ"_s, u"голос"_s, u"слово"_s,  u"память"_s,
                                      u"дерево"_s,  u"ветер"_s, u"море"_s};
    static const QStringList verbs = {u"читает"_s, u"пишет"_s, u"видит"_s,   u"слышит"_s, u"помнит"_s,
                                      u"знает"_s,  u"ищет"_s,  u"находит"_s, u"строит"_s, u"открывает"_s};
    static const QStringList adjectives = {u"тихий"_s,   u"большой"_s, u"новый"_s,  u"старый"_s,
                                           u"светлый"_s, u"тёплый"_s,  u"долгий"_s, u"ясный"_s};
    QRandomGenerator random(2024);
    QString text;
    qsizetype size = 0;
    while (size < bytes) {
        QString sentence;
        const int words = 4 + int(random.bounded(10));
        for (int i = 0; i < words; ++i) {
            const quint32 kind = random.bounded(10);
            const QStringList &list = kind < 3 ? adjectives : kind < 5 ? verbs : nouns;
            sentence += (i ? u" "_s : QString()) + list.at(int(random.bounded(list.size())));
            if (i + 1 < words && random.bounded(8) == 0)
                sentence += u',';
        }
        sentence[0] = sentence[0].toUpper();
        sentence += random.bounded(5) == 0 ? u"! "_s : u". "_s;
        if (random.bounded(10) == 0)
            sentence += u'\n';
        size += sentence.toUtf8().size();
        text += sentence;
    }
    return text;
}

// Processor time (user and system) used so far by this process, or by its finished children.
inline double cpuSeconds(int who)
{
    rusage usage{};
    getrusage(who, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) * 1e-6;
}

// Writes the text file `textPath` to `wavPath` with `espeak-ng -w` (Russian voice, speed 175, pitch 50, as
// the program's defaults for that voice) and adds the wall-clock seconds it took to `seconds`. Returns
// whether espeak-ng ran and succeeded.
inline bool runEspeakNg(const QString &textPath, const QString &wavPath, double &seconds)
{
    QElapsedTimer clock;
    clock.start();
    QProcess espeak;
    espeak.start(u"espeak-ng"_s, {u"-v"_s, u"ru"_s, u"-s"_s, u"175"_s, u"-p"_s, u"50"_s, u"-w"_s, wavPath,
                                  u"-f"_s, textPath});
    const bool ran = espeak.waitForFinished(120000) && espeak.exitStatus() == QProcess::NormalExit &&
                     espeak.exitCode() == 0;
    seconds += double(clock.nsecsElapsed()) * 1e-9;
    return ran;
}

// Runs our side and espeak-ng's side of one round of a comparison, taking turns at going first, which
// evens out what other programs do to the machine meanwhile. `ours` returns its seconds, which go to
// `ourTime`; `theirs` returns whether espeak-ng ran. Returns what `theirs` returned.
template <class Ours, class Theirs> bool runInTurns(int &round, Ours ours, Theirs theirs, double &ourTime)
{
    bool ran = true;
    if (round++ % 2 == 0) {
        ran = theirs();
        ourTime = ours();
    } else {
        ourTime = ours();
        ran = theirs();
    }
    return ran;
}

// Has `control` (a speech control) write `text` into the sound file `path` and waits until `finished`
// (set by the control's finished signal) is true; gives the seconds it took and adds its CPU seconds
// to `cpu`.
template <class Control>
double recordToFile(Control &control, const bool &finished, const QString &path, const QString &text,
                    double &cpu)
{
    QElapsedTimer clock;
    clock.start();
    const double cpuBefore = cpuSeconds(RUSAGE_SELF);
    control.setFileName(path);
    control.Speak(text);
    while (!finished)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    const double elapsed = double(clock.nsecsElapsed()) * 1e-9;
    cpu += cpuSeconds(RUSAGE_SELF) - cpuBefore;
    control.setFileName(QString());
    return elapsed;
}

// The main of a benchmark program with windows: headless unless a platform is named, speech into the
// silent sink.
template <class App> int runWidgetBenchmarks(int argc, char **argv)
{
    qputenv("VELMIRA_AUDIO", "null");
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    App app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

} // namespace velmira::bench
