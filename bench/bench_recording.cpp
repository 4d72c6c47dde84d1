// Recording through the recording window's own path (text preparation, the recording speech control,
// the WAV writer) against `espeak-ng -w` on the same 100 KB Russian text, voice, speed and pitch, in the
// same run. "speed_vs_espeak" is espeak-ng's time divided by ours (wall clock).
#include "common/ui/labelbutton.h"
#include "reading/readinghost.h"
#include "reading/recordingwindow.h"
#include "speech/speechcontrolfactory.h"

#include "benchprompter.h"
#include "benchsupport.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

using namespace Qt::StringLiterals;
using namespace velmira;

namespace {

// What the recording window says when a recording is complete.
const QString Success = u"Речь успешно записана в звуковой файл."_s;

// The main window as the recording window sees it: the first voice at speed 175 and pitch 50.
class FakeHost : public ReadingHost
{
public:
    FakeHost(Prompter &prompter, SpeechControl &speech, const QString &text)
        : m_prompter(prompter), m_speech(speech), m_text(text)
    {
    }
    SpeechControl *speech() const override { return &m_speech; }
    QString wholeText() const override { return m_text; }
    QString selectedText() const override { return {}; }
    void statusMessage(const QString &) override {}
    Prompter &prompter() const override { return m_prompter; }
    QWidget *dialogOwner() const override { return nullptr; }
    int voice() const override { return 0; }
    int speed() const override { return 175; }
    int pitch() const override { return 50; }

private:
    Prompter &m_prompter;
    SpeechControl &m_speech;
    const QString &m_text;
};

void BM_Record100KbThroughTheWindow(benchmark::State &state)
{
    QTemporaryDir dir;
    qputenv("VELMIRA_HOME", dir.path().toUtf8());
    const QString text = bench::russianText(100 * 1024);
    const QString textPath = dir.filePath(u"text.txt"_s);
    {
        QFile file(textPath);
        if (!file.open(QIODevice::WriteOnly) || file.write(text.toUtf8()) < 0) {
            state.SkipWithError("cannot write the text file");
            return;
        }
    }
    bench::AnsweringPrompter prompter(Prompter::Button::Yes);
    std::unique_ptr<SpeechControl> main = createSpeechControl();
    FakeHost host(prompter, *main, text);
    RecordingWindow window(createSpeechControl(), host, [] {});
    window.show();
    auto *path = window.findChild<QLineEdit *>(u"Edit1"_s);
    auto *startStop = window.findChild<LabelButton *>(u"StaticText2"_s);

    double ours = 0;
    double theirs = 0;
    int round = 0;
    for (auto _ : state) {
        const auto runOurs = [&] {
            QFile::remove(dir.filePath(u"velmira.wav"_s));
            path->setText(dir.filePath(u"velmira.wav"_s));
            QElapsedTimer clock;
            clock.start();
            const qsizetype before = prompter.shown.count(Success);
            startStop->click();
            while (prompter.shown.count(Success) == before && window.isRecording())
                QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
            const double elapsed = double(clock.nsecsElapsed()) * 1e-9;
            ours += elapsed;
            return elapsed;
        };
        const auto runEspeak = [&] {
            return bench::runEspeakNg(textPath, dir.filePath(u"espeak.wav"_s), theirs);
        };
        double ourTime = 0;
        if (!bench::runInTurns(round, runOurs, runEspeak, ourTime)) {
            state.SkipWithError("espeak-ng did not run");
            return;
        }
        state.SetIterationTime(ourTime);
    }
    state.counters["espeak_ng_s"] = theirs / double(state.iterations());
    state.counters["speed_vs_espeak"] = theirs / ours;
    state.counters["recordings"] = double(prompter.shown.count(Success));
}
BENCHMARK(BM_Record100KbThroughTheWindow)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);

} // namespace

int main(int argc, char **argv)
{
    return bench::runWidgetBenchmarks<QApplication>(argc, argv);
}
