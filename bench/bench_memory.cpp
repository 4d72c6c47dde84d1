// How much memory reading takes: Read and Pause pressed 500 times on a text of 1 MB, and a correction
// dictionary of 50 MB at the first text spoken and for every word typed after it.
//
// Memory is the process's resident set (VmRSS) and its peak (VmHWM), in MB, as counters. Run each
// benchmark in a process of its own (--benchmark_filter), since the peak never comes down:
//   bench_memory --benchmark_filter=RepeatedRead
//   bench_memory --benchmark_filter=DictionaryFirstText/invented:0
//   bench_memory --benchmark_filter=DictionaryTypedWord/invented:1/building:1
#include "common/core/settings.h"
#include "common/core/textfile.h"
#include "dictionary/correctiondictionary.h"
#include "dictionary/textpreparation.h"
#include "reading/readingqueue.h"
#include "speech/speechcontrol.h"
#include "speech/speechcontrolfactory.h"

#include "benchsupport.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <malloc.h>
#include <memory>

using namespace velmira;
using namespace Qt::StringLiterals;

namespace {

// A line of /proc/self/status ("VmRSS", "VmHWM") in MB.
double statusMegabytes(const QByteArray &field)
{
    QFile status(u"/proc/self/status"_s);
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith(field + ':'))
            return line.mid(field.size() + 1).trimmed().split(' ').first().toDouble() / 1024.0;
    }
    return 0;
}

void reportMemory(benchmark::State &state)
{
    state.counters["rss_MB"] = statusMegabytes("VmRSS");
    state.counters["peak_MB"] = statusMegabytes("VmHWM");
}

// A program folder of its own with the dictionary switched on.
struct ProgramFolder
{
    QTemporaryDir dir;
    ProgramFolder()
    {
        qputenv("VELMIRA_HOME", dir.path().toUtf8());
        CorrectionDictionary::setInUse(true);
    }
};

// Read, then Pause, 500 times on a 1 MB text, as a user holding Ctrl+Y and Ctrl+P would.
void BM_RepeatedRead(benchmark::State &state)
{
    const QString text = bench::russianText(1 << 20);
    std::unique_ptr<SpeechControl> speech = createSpeechControl();
    ReadingQueue queue([&speech] { return speech.get(); });
    const double before = statusMegabytes("VmRSS");
    double queued = 0;
    for (auto _ : state) {
        for (int i = 0; i < 500; ++i) {
            // The editor gives each Read a text of its own.
            queue.read(QString(text.constData(), text.size()));
            speech->AudioResume();
            speech->AudioPause();
            QCoreApplication::processEvents();
        }
        queued = statusMegabytes("VmRSS") - before;
        speech->AudioReset();
    }
    state.counters["text_MB"] = double(text.size()) * 2 / (1 << 20);
    state.counters["growth_MB"] = queued;
    reportMemory(state);
}
BENCHMARK(BM_RepeatedRead)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

// "Dictionary.txt" of about 50 MB in Windows-1251: the lines the program comes with repeated over and
// over (many equal words), or invented words, each with a replacement, of which hardly two are equal.
void writeLargeDictionary(const QString &path, bool invented)
{
    static const QString letters = u"абвгдеёжзийклмнопрстуфхцчшщъыьэюя"_s;
    QRandomGenerator random(50);
    const auto word = [&](int shortest, int longest) {
        QString w;
        const int length = shortest + int(random.bounded(longest - shortest + 1));
        for (int i = 0; i < length; ++i)
            w += letters[random.bounded(int(letters.size()))];
        return w;
    };
    QStringList lines{u"привет=здравствуй"_s};
    const QStringList defaults = CorrectionDictionary::defaultLines();
    qsizetype size = 0;
    while (size < 50 * (1 << 20)) {
        QString line = invented ? word(4, 14) + u'=' + word(3, 9) : defaults[lines.size() % defaults.size()];
        if (invented && random.bounded(2))
            line += u' ' + word(3, 9);
        size += line.size() + 2;
        lines.append(line);
    }
    writeFileAtomically(path, CorrectionDictionary::serialize(lines));
}

// The dictionary file written, and the memory its lines took given back to the system: the program
// never had them, and the counters count what reading the file takes.
void writeLargeDictionaryApart(const QString &path, bool invented)
{
    writeLargeDictionary(path, invented);
    malloc_trim(0);
}

// The first text spoken after the program starts (the greeting) reads the dictionary: the time is what
// the window waits for it. Its word finder is built on a thread of its own meanwhile; finder_s is how
// long that took, and the memory is counted once it is built.
void BM_DictionaryFirstText(benchmark::State &state)
{
    ProgramFolder folder;
    writeLargeDictionaryApart(CorrectionDictionary::filePath(), state.range(0) != 0);
    const double before = statusMegabytes("VmRSS");
    QElapsedTimer building;
    for (auto _ : state) {
        building.start();
        benchmark::DoNotOptimize(prepareText(u"Доброе утро!"_s));
    }
    correctionsInUse()->waitUntilReady();
    state.counters["finder_s"] = double(building.elapsed()) / 1000;
    state.counters["before_MB"] = before;
    reportMemory(state);
}
BENCHMARK(BM_DictionaryFirstText)->ArgName("invented")->Arg(0)->Arg(1)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

// Every word typed with typing tracking on is prepared on its own: with the finder, or line by line while
// the finder is still being built (building:1).
void BM_DictionaryTypedWord(benchmark::State &state)
{
    ProgramFolder folder;
    writeLargeDictionaryApart(CorrectionDictionary::filePath(), state.range(0) != 0);
    prepareText(u"Доброе утро!"_s);
    if (state.range(1) == 0)
        correctionsInUse()->waitUntilReady();
    for (auto _ : state) {
        if (prepareText(u"привет"_s) != u"здравствуй"_s)
            state.SkipWithError("the dictionary was not applied");
    }
    reportMemory(state);
}
BENCHMARK(BM_DictionaryTypedWord)->ArgNames({"invented", "building"})->ArgsProduct({{0, 1}, {0, 1}})->Iterations(5)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

int main(int argc, char **argv)
{
    qputenv("VELMIRA_AUDIO", "null");
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
