// How long it takes from the Read command on a long text to the first sample at the sound output,
// with the dictionary off and on (the default lines).
#include "common/core/textfile.h"
#include "dictionary/correctiondictionary.h"
#include "reading/readingcontroller.h"
#include "reading/readinghost.h"
#include "speech/espeakspeechcontrol.h"
#include "speech/pacedaudiooutput.h"

#include "benchprompter.h"
#include "benchsupport.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

#include <chrono>

using namespace velmira;
using namespace Qt::StringLiterals;

namespace {

// A silent output that notes when the first sample arrives.
// The main window as reading sees it: `text` is the editor's whole text, and a settings panel that
// keeps what it is told.
class ReadingHostOf : public ReadingHost, public VoicePanel
{
public:
    ReadingHostOf(Prompter &prompter, SpeechControl &speech, const QString &text)
        : m_prompter(prompter), m_speech(speech), m_text(text)
    {
    }
    SpeechControl *speech() const override { return &m_speech; }
    QString wholeText() const override { return m_text; }
    QString selectedText() const override { return {}; }
    void statusMessage(const QString &) override {}
    Prompter &prompter() const override { return m_prompter; }
    QWidget *dialogOwner() const override { return nullptr; }
    int voice() const override { return m_voice; }
    int speed() const override { return m_speed; }
    int pitch() const override { return m_pitch; }
    void addVoice(const QString &, const QString &) override { ++m_voices; }
    int voiceCount() const override { return m_voices; }
    void chooseVoice(int position) override { m_voice = position; }
    void setLimits(int, int, int, int) override {}
    void moveSpeed(int position) override { m_speed = position; }
    void movePitch(int position) override { m_pitch = position; }

private:
    int m_voices = 0;
    int m_voice = -1;
    int m_speed = 0;
    int m_pitch = 0;
    Prompter &m_prompter;
    SpeechControl &m_speech;
    const QString &m_text;
};

class TimedOutput : public PacedAudioOutput
{
public:
    qint64 write(const qint16 *samples, qint64 count) override
    {
        const qint64 taken = PacedAudioOutput::write(samples, count);
        if (taken > 0 && !first)
            first = std::chrono::steady_clock::now();
        return taken;
    }

    std::optional<std::chrono::steady_clock::time_point> first;
};

QString longText(qsizetype length)
{
    const QString sentence = u"Откройте internet explorer и щелкните по ссылке, вода течет спокойно. "_s;
    QString text = sentence.repeated(length / sentence.size() + 1);
    text.truncate(length);
    return text;
}

void BM_ReadToFirstSampleHandedOn(benchmark::State &state)
{
    QTemporaryDir home;
    qputenv("VELMIRA_HOME", home.path().toUtf8());
    writeFileAtomically(home.filePath(u"Dictionary.txt"_s), CorrectionDictionary::defaultFileContents());
    CorrectionDictionary::setInUse(state.range(1) != 0);
    const QString text = longText(qsizetype(state.range(0)) * 1024 * 1024);

    double held = 0;
    for (auto _ : state) {
        auto output = std::make_unique<TimedOutput>();
        TimedOutput *timed = output.get();
        EspeakSpeechControl control(std::move(output));
        bench::AnsweringPrompter prompter(Prompter::Button::Ok);
        ReadingHostOf host(prompter, control, text);
        ReadingController reading(host, host);
        reading.startUp();
        QSignalSpy finished(&control, &SpeechControl::finished);
        finished.wait(5000);
        timed->first.reset();

        const auto start = std::chrono::steady_clock::now();
        reading.Read();
        held = std::max(held, std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
        QElapsedTimer guard;
        guard.start();
        while (!timed->first && guard.elapsed() < 10000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
        if (!timed->first) {
            state.SkipWithError("no sound");
            break;
        }
        state.SetIterationTime(std::chrono::duration<double>(*timed->first - start).count());
        control.AudioReset();
    }
    // The longest time Read held the window's thread.
    state.counters["held_ms"] = held;
}

} // namespace

// Arguments: the text's length in MB; whether the dictionary is switched on.
BENCHMARK(BM_ReadToFirstSampleHandedOn)
    ->Args({1, 0})
    ->Args({1, 1})
    ->Args({20, 0})
    ->Args({20, 1})
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(10);

int main(int argc, char **argv)
{
    return bench::runWidgetBenchmarks<QApplication>(argc, argv);
}
