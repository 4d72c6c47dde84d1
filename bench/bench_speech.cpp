// How fast speech starts, and how fast it is written to a WAV file compared with espeak-ng itself.
//
//   bench_speech                       both measurements
//   bench_speech --benchmark_filter=…  one of them
//
// Speech start: from Speak of a 1 MB Russian text to the first sample handed to the sound output.
// WAV writing: a 100 KB Russian text through FileName, and the same text, voice, speed and pitch
// written by `espeak-ng -w` in the same run; "speed_vs_espeak" is espeak-ng's time divided by ours
// (wall clock), "cpu_speed_vs_espeak" the same for processor time, which a busy machine disturbs less.
#include "speech/espeakspeechcontrol.h"
#include "speech/pacedaudiooutput.h"

#include "benchsupport.h"

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <algorithm>

using namespace Qt::StringLiterals;
using namespace velmira;
using velmira::bench::cpuSeconds;
using velmira::bench::russianText;

namespace {

// A silent output that notes when it is handed its first sample.
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

// espeak-ng's Russian voice, which is not the first where RHVoice is installed.
int espeakRussian(const SpeechControl &control)
{
    for (int i = 1; i <= control.CountEngines(); ++i) {
        if (control.VoiceIdentity(i) == u"espeak-ng:zle/ru")
            return i;
    }
    return 0;
}

void BM_SpeakToFirstSampleHandedOn(benchmark::State &state)
{
    const QString text = russianText(1 << 20);
    auto output = std::make_unique<FirstSampleOutput>();
    FirstSampleOutput *out = output.get();
    EspeakSpeechControl control(std::move(output));
    control.Select(std::max(espeakRussian(control), 1));
    for (auto _ : state) {
        out->firstSampleNs = -1;
        out->clock.start();
        control.Speak(text);
        while (out->firstSampleNs < 0)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        state.SetIterationTime(double(out->firstSampleNs) * 1e-9);
        control.AudioReset();
    }
    state.counters["text_bytes"] = double(text.toUtf8().size());
}
BENCHMARK(BM_SpeakToFirstSampleHandedOn)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(20);

void BM_Write100KbToWav(benchmark::State &state)
{
    QTemporaryDir dir;
    const QString textPath = dir.filePath(u"text.txt"_s);
    const QString text = russianText(100 * 1024);
    {
        QFile file(textPath);
        if (!file.open(QIODevice::WriteOnly) || file.write(text.toUtf8()) < 0) {
            state.SkipWithError("cannot write the text file");
            return;
        }
    }
    EspeakSpeechControl control(std::make_unique<PacedAudioOutput>());
    const int russian = espeakRussian(control);
    if (russian == 0) {
        state.SkipWithError("espeak-ng's Russian voice is not installed");
        return;
    }
    control.Select(russian);
    control.setSpeed(175);
    control.setPitch(50);
    bool finished = false;
    QObject::connect(&control, &SpeechControl::finished, &control, [&finished] { finished = true; });

    double ours = 0;
    double theirs = 0;
    double ourCpu = 0;
    double theirCpu = 0;
    qint64 ourBytes = 0;
    qint64 theirBytes = 0;
    int round = 0;
    for (auto _ : state) {
        // espeak-ng on its own, same text, voice, speed and pitch.
        const auto runEspeak = [&] {
            const double cpu = cpuSeconds(RUSAGE_CHILDREN);
            const bool ran = bench::runEspeakNg(textPath, dir.filePath(u"espeak.wav"_s), theirs);
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
        if (!bench::runInTurns(round, runOurs, runEspeak, ourTime)) {
            state.SkipWithError("espeak-ng did not run");
            return;
        }
        state.SetIterationTime(ourTime);
        ourBytes = QFileInfo(dir.filePath(u"velmira.wav"_s)).size();
        theirBytes = QFileInfo(dir.filePath(u"espeak.wav"_s)).size();
    }
    state.counters["espeak_ng_s"] = theirs / double(state.iterations());
    state.counters["speed_vs_espeak"] = theirs / ours;
    state.counters["cpu_speed_vs_espeak"] = theirCpu / ourCpu;
    state.counters["wav_MB"] = double(ourBytes) / 1e6;
    state.counters["espeak_wav_MB"] = double(theirBytes) / 1e6;
}
BENCHMARK(BM_Write100KbToWav)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);

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
