// Intuitive highlighting of a long Russian text: from "OK" to the window closed and the editor showing
// the marks.
#include "app/application.h"
#include "common/ui/labelbutton.h"
#include "editor/highlightingwindow.h"
#include "editor/intuitivehighlighting.h"
#include "editor/richedit.h"

#include "benchsupport.h"

#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QTest>
#include <QTextDocument>
#include <benchmark/benchmark.h>

using namespace velmira;
using namespace Qt::StringLiterals;

namespace {

// Some `megabytes` million characters of Russian words of usual lengths, about 150,000 words to the
// million, in paragraphs of about a hundred words.
QString russianText(int megabytes)
{
    static const QStringList words = {
        u"и"_s,        u"в"_s,           u"не"_s,         u"на"_s,          u"что"_s,    u"он"_s,
        u"как"_s,      u"это"_s,         u"было"_s,       u"когда"_s,       u"время"_s,  u"человек"_s,
        u"говорил"_s,  u"дорога"_s,      u"который"_s,    u"сказала"_s,     u"ничего"_s, u"теперь"_s,
        u"вечером,"_s, u"удивительно"_s, u"подошёл"_s,    u"рассказывал"_s, u"лес"_s,    u"дом."_s,
        u"город"_s,    u"потом"_s,       u"совершенно"_s, u"мы"_s,          u"они"_s,    u"её"_s,
    };
    QRandomGenerator random(20240601);
    const qsizetype size = qsizetype(megabytes) * 1000 * 1000;
    QString text;
    text.reserve(size + 64);
    int inParagraph = 0;
    while (text.size() < size) {
        text += words[random.bounded(int(words.size()))];
        if (++inParagraph == 100) {
            text += u'\n';
            inParagraph = 0;
        } else {
            text += u' ';
        }
    }
    return text;
}

// The second argument 1 lets the editor finish laying out the text before "OK", as it has when the
// user has been reading it; 0 clicks at once, while the editor still lays the text out in the
// background.
void BM_HighlightingWindowOffscreen(benchmark::State &state)
{
    const QString text = russianText(int(state.range(0)));
    RichEdit editor;
    editor.resize(1000, 700);
    editor.show();
    if (!QTest::qWaitForWindowExposed(&editor))
        state.SkipWithError("the editor was not shown");
    HighlightingWindow window(
        editor, [](const QString &) {}, &editor);
    auto *ok = window.findChild<LabelButton *>(u"StaticText1"_s);
    for (auto _ : state) {
        state.PauseTiming();
        editor.setPlainContent(text);
        if (state.range(1) != 0)
            editor.document()->pageCount();
        window.show();
        QCoreApplication::processEvents();
        state.ResumeTiming();

        QTest::mouseClick(ok, Qt::LeftButton);
        if (window.isVisible())
            state.SkipWithError("the window stayed open");
        editor.viewport()->repaint();
    }
    state.SetItemsProcessed(state.iterations() * text.size());
}
BENCHMARK(BM_HighlightingWindowOffscreen)
    ->Args({1, 0})
    ->Args({1, 1})
    ->Args({10, 0})
    ->Args({10, 1})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);

// The scan alone, without the document.
void BM_IntuitiveMarks(benchmark::State &state)
{
    const QString text = russianText(int(state.range(0)));
    for (auto _ : state)
        benchmark::DoNotOptimize(intuitiveMarks(text));
    state.SetItemsProcessed(state.iterations() * text.size());
}
BENCHMARK(BM_IntuitiveMarks)->Arg(1)->Arg(10)->Unit(benchmark::kMillisecond);

// A run over one long paragraph (without the layout, which the document here has not got): each
// mark costs the same wherever it lies in the paragraph. Argument: characters.
void BM_RunOnOneParagraph(benchmark::State &state)
{
    QString text = russianText(1).left(state.range(0));
    text.replace(u'\n', u' ');
    QTextDocument document;
    for (auto _ : state) {
        state.PauseTiming();
        document.setPlainText(text);
        state.ResumeTiming();
        intuitiveHighlight(document, true, {});
    }
    state.SetItemsProcessed(state.iterations() * text.size());
}
BENCHMARK(BM_RunOnOneParagraph)->Arg(100 * 1000)->Arg(300 * 1000)->Unit(benchmark::kMillisecond);

// The longest stretch of a run without a turn, where the window could not move its progress bar or
// take "Отмена" (the final layout of the document is not part of it).
void BM_LongestWithoutTurnBareDocument(benchmark::State &state)
{
    const QString text = russianText(int(state.range(0)));
    QTextDocument document;
    double longest = 0;
    for (auto _ : state) {
        state.PauseTiming();
        document.setPlainText(text);
        state.ResumeTiming();
        QElapsedTimer clock;
        clock.start();
        qint64 last = 0;
        intuitiveHighlight(document, true, [&](int, int) {
            const qint64 now = clock.elapsed();
            longest = std::max(longest, double(now - last));
            last = now;
            return true;
        });
    }
    state.counters["longest_ms"] = longest;
}
BENCHMARK(BM_LongestWithoutTurnBareDocument)->Arg(1)->Arg(10)->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace

int main(int argc, char **argv)
{
    return bench::runWidgetBenchmarks<Application>(argc, argv);
}
