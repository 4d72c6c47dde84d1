// How fast RHVoice's voices start and record in the program, beside RHVoice's own RHVoice-test on the
// same text in the same run.
//
//   bench_rhvoice                       both measurements
//   bench_rhvoice --benchmark_filter=…  one of them
//
// Speech start: from Speak of a 1 MB Russian text (voice Aleksandr) to the first sample handed to the
// sound output; "rhvoice_test_ms" is the time from starting `RHVoice-test -o /dev/stdout` on the same
// text to its first sound on its output.
// WAV writing: a 100 KB (or 10 KB) Russian text through FileName, and the same text and voice written by
// `RHVoice-test -o`; "speed_vs_rhvoice" is RHVoice-test's time divided by ours (wall clock),
// "cpu_speed_vs_rhvoice" the same for processor time.
#include "speech/espeakspeechcontrol.h"
#include "speech/pacedaudiooutput.h"

#include "benchsupport.h"

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

using namespace Qt::StringLiterals;
using namespace velmira;
using velmira::bench::cpuSeconds;
using velmira::bench::russianText;

namespace {

// The speed bar's position at which Aleksandr speaks at his own pace, as RHVoice-test does.
constexpr int OwnPace = 124;

class FirstSampleOutput : public PacedAudioOutput
{
public:
    qint64 write(const qint16 *samples, qint64 count) override
    {
        const qint64 taken = PacedAudioOutput::write(samples, count);
        if (taken > 0 && firstSampleNs < 0)
            firstSampleNs = clock.nsecsElapsed();
        return taken;
    }

    QElapsedTimer clock;
    qint64 firstSampleNs = -1;
};

int aleksandr(const SpeechControl &control)
{
    for (int i = 1; i <= control.CountEngines(); ++i) {
        if (control.VoiceIdentity(i) == u"RHVoice:Aleksandr")
            return i;
    }
    return 0;
}

bool writeText(const QString &path, const QString &text)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(text.toUtf8()) >= 0;
}

// Seconds from starting RHVoice-test on `textPath` until its first sound reaches its output; negative
// when it did not run.
double rhvoiceTestFirstSound(const QString &tool, const QString &textPath)
{
    QElapsedTimer clock;
    clock.start();
    QProcess rhvoice;
    rhvoice.start(tool, {u"-p"_s, u"Aleksandr"_s, u"-i"_s, textPath, u"-o"_s, u"/dev/stdout"_s});
    qint64 bytes = 0;
    // More than the 44 bytes of a WAV header: sound.
    while (bytes <= 44 && rhvoice.waitForReadyRead(30000))
        bytes += rhvoice.readAll().size();
    const double seconds = double(clock.nsecsElapsed()) * 1e-9;
    rhvoice.kill();
    rhvoice.waitForFinished();
    return bytes > 44 ? seconds : -1;
}

void BM_RhvoiceFirstSampleOf1MbText(benchmark::State &state)
{
    const QString tool = QStandardPaths::findExecutable(u"RHVoice-test"_s);
    QTemporaryDir dir;
    const QString textPath = dir.filePath(u"text.txt"_s);
    const QString text = russianText(1 << 20);
    if (tool.isEmpty() || !writeText(textPath, text)) {
        state.SkipWithError("RHVoice-test is not installed or the text cannot be written");
        return;
    }
    auto output = std::make_unique<FirstSampleOutput>();
    FirstSampleOutput *out = output.get();
    EspeakSpeechControl control(std::move(output));
    if (aleksandr(control) == 0) {
        state.SkipWithError("RHVoice's voice Aleksandr is not installed");
        return;
    }
    control.Select(aleksandr(control));
    control.setSpeed(OwnPace);
    control.setPitch(50);
    double theirs = 0;
    int round = 0;
    for (auto _ : state) {
        const auto ours = [&] {
            out->firstSampleNs = -1;
            out->clock.start();
            control.Speak(text);
            while (out->firstSampleNs < 0)
                QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
            control.AudioReset();
            return double(out->firstSampleNs) * 1e-9;
        };
        const auto rhvoice = [&] {
            const double seconds = rhvoiceTestFirstSound(tool, textPath);
            theirs += seconds;
            return seconds >= 0;
        };
        double ourTime = 0;
        if (!bench::runInTurns(round, ours, rhvoice, ourTime)) {
            state.SkipWithError("RHVoice-test did not run");
            return;
        }
        state.SetIterationTime(ourTime);
    }
    state.counters["rhvoice_test_ms"] = theirs * 1000 / double(state.iterations());
    state.counters["text_bytes"] = double(text.toUtf8().size());
}
BENCHMARK(BM_RhvoiceFirstSampleOf1MbText)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);

void BM_RhvoiceWriteToWav(benchmark::State &state)
{
    const QString tool = QStandardPaths::findExecutable(u"RHVoice-test"_s);
    QTemporaryDir dir;
    const QString textPath = dir.filePath(u"text.txt"_s);
    const QString text = russianText(state.range(0) * 1024);
    if (tool.isEmpty() || !writeText(textPath, text)) {
        state.SkipWithError("RHVoice-test is not installed or the text cannot be written");
        return;
    }
    EspeakSpeechControl control(std::make_unique<PacedAudioOutput>());
    if (aleksandr(control) == 0) {
        state.SkipWithError("RHVoice's voice Aleksandr is not installed");
        return;
    }
    control.Select(aleksandr(control));
    control.setSpeed(OwnPace);
    control.setPitch(50);
    bool finished = false;
    QObject::connect(&control, &SpeechControl::finished, &control, [&finished] { finished = true; });

    double ours = 0;
    double theirs = 0;
    double ourCpu = 0;
    double theirCpu = 0;
    int round = 0;
    for (auto _ : state) {
        const auto runRhvoice = [&] {
            const double cpu = cpuSeconds(RUSAGE_CHILDREN);
            QElapsedTimer clock;
            clock.start();
            QProcess rhvoice;
            rhvoice.start(tool, {u"-p"_s, u"Aleksandr"_s, u"-i"_s, textPath, u"-o"_s, dir.filePath(u"rhvoice.wav"_s)});
            const bool ran = rhvoice.waitForFinished(3600000) && rhvoice.exitStatus() == QProcess::NormalExit &&
                             rhvoice.exitCode() == 0;
            theirs += double(clock.nsecsElapsed()) * 1e-9;
            theirCpu += cpuSeconds(RUSAGE_CHILDREN) - cpu;
            return ran;
        };
        const auto runOurs = [&] {
            finished = false;
            const double elapsed =
                bench::recordToFile(control, finished, dir.filePath(u"velmira.wav"_s), text, ourCpu);
            ours += elapsed;
            return elapsed;
        };
        double ourTime = 0;
        if (!bench::runInTurns(round, runOurs, runRhvoice, ourTime)) {
            state.SkipWithError("RHVoice-test did not run");
            return;
        }
        state.SetIterationTime(ourTime);
    }
    const auto seconds = [&](const QString &name) {
        const qint64 bytes = QFileInfo(dir.filePath(name)).size();
        return name == u"rhvoice.wav" ? double(bytes - 44) / 2 / 24000 : double(bytes - 44) / 2 / control.sampleRate();
    };
    state.counters["rhvoice_test_s"] = theirs / double(state.iterations());
    state.counters["speed_vs_rhvoice"] = theirs / ours;
    state.counters["cpu_speed_vs_rhvoice"] = theirCpu / ourCpu;
    state.counters["audio_s"] = seconds(u"velmira.wav"_s);
    state.counters["rhvoice_audio_s"] = seconds(u"rhvoice.wav"_s);
}
// Argument: the text's size in KB (10 for a quick look on a busy machine).
BENCHMARK(BM_RhvoiceWriteToWav)->Arg(100)->Arg(10)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(2);

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
