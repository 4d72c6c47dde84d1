// The longest pause of the event loop while the words of a long text are heard, with word following on
// and off: marking a word must cost no more than a small repaint.
#include "dictionary/textpreparation.h"
#include "reading/wordfollower.h"
#include "speech/speechcontrol.h"

#include "benchsupport.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTextEdit>
#include <QTimer>
#include <benchmark/benchmark.h>

#include <vector>

using namespace velmira;
using namespace Qt::StringLiterals;

namespace {

// A speech control that only counts its texts; the benchmark reports the words itself.
class CountingSpeech : public SpeechControl
{
public:
    void Speak(const QString &) override { nextSerial(); }
    void Select(int) override {}
    QString ModeName(int) const override { return {}; }
    int CountEngines() const override { return 1; }
    int Pitch() const override { return 50; }
    void setPitch(int) override {}
    int MinPitch() const override { return 0; }
    int MaxPitch() const override { return 100; }
    int Speed() const override { return 175; }
    void setSpeed(int) override {}
    int MinSpeed() const override { return 80; }
    int MaxSpeed() const override { return 450; }
    void AudioPause() override {}
    void AudioResume() override {}
    void AudioReset() override {}
    void LexiconDlg(QWidget *, const QString &) override {}
    void setFileName(const QString &) override {}
};

// The words of `text`, as [position, length), the first `count` of them.
std::vector<std::pair<int, int>> wordsOf(const QString &text, int count)
{
    std::vector<std::pair<int, int>> words;
    int start = -1;
    for (int i = 0; i < text.size() && int(words.size()) < count; ++i) {
        const bool letter = text[i].isLetterOrNumber();
        if (letter && start < 0)
            start = i;
        if (!letter && start >= 0) {
            words.emplace_back(start, i - start);
            start = -1;
        }
    }
    return words;
}

// args: megabytes of text, whether following is on.
void BM_LongestGapWhileHearing(benchmark::State &state)
{
    static const QString original = [] {
        QString text = bench::russianText(qsizetype(10) << 20);
        return text.replace(u'\n', u"\r\n"_s);
    }();
    // Every "ё" is corrected, so that the words are found back across many small changes.
    static const QString spoken = applyCorrections(original, {u"ё=е"_s});
    const auto words = wordsOf(spoken, 600);

    QTextEdit editor;
    editor.resize(700, 500);
    editor.setPlainText(QString(original).replace(u"\r\n"_s, u"\n"_s));
    editor.show();
    CountingSpeech speech;
    WordFollower follower(editor);
    follower.setOn(state.range(1) != 0);
    // The editor lays the long text out in the background first; that is not the words' cost.
    QEventLoop settle;
    QTimer::singleShot(8000, &settle, &QEventLoop::quit);
    settle.exec();

    double longest = 0;
    double follow = 0;
    // The longest time one word took to mark, repaint aside.
    double longestWord = 0;
    for (auto _ : state) {
        QElapsedTimer clock;
        clock.start();
        speech.Speak(spoken);
        follower.follow(speech, original, spoken, false);
        follow = std::max(follow, double(clock.nsecsElapsed()) * 1e-6);

        size_t next = 0;
        QEventLoop loop;
        QTimer heard;
        heard.setInterval(4);
        QObject::connect(&heard, &QTimer::timeout, &loop, [&] {
            if (next == words.size()) {
                loop.quit();
                return;
            }
            QElapsedTimer word;
            word.start();
            emit speech.wordReached(speech.lastSerial(), words[next].first, words[next].second);
            longestWord = std::max(longestWord, double(word.nsecsElapsed()) * 1e-6);
            ++next;
        });
        qint64 last = clock.elapsed();
        QTimer beat;
        beat.setInterval(1);
        QObject::connect(&beat, &QTimer::timeout, &loop, [&] {
            const qint64 now = clock.elapsed();
            longest = std::max(longest, double(now - last));
            last = now;
        });
        heard.start();
        beat.start();
        loop.exec();
        follower.stop();
    }
    state.counters["longest_gap_ms"] = longest;
    state.counters["follow_ms"] = follow;
    state.counters["longest_word_ms"] = longestWord;
}
BENCHMARK(BM_LongestGapWhileHearing)
    ->Args({10, 0})
    ->Args({10, 1})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(2);

} // namespace

int main(int argc, char **argv)
{
    return bench::runWidgetBenchmarks<QApplication>(argc, argv);
}
