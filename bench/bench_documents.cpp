// Opening a plain-text document of 10 MB, and formatting all of it.
#include "app/application.h"
#include "common/core/textcodec.h"
#include "common/core/textfile.h"
#include "editor/documentcommands.h"
#include "editor/formats/documentfile.h"
#include "editor/richedit.h"
#include "editor/selectionformat.h"

#include "benchsupport.h"

#include <QTemporaryDir>
#include <QTest>
#include <QTextCursor>
#include <benchmark/benchmark.h>

using namespace Qt::StringLiterals;

using namespace velmira;

namespace {

constexpr qsizetype TextSize = 10 * 1024 * 1024;

// About 10 MB of Russian lines of some 60 characters, LF-ended, in the given encoding.
QByteArray bigText(bool utf8)
{
    const QString line = u"Съешь же ещё этих мягких французских булок да выпей чаю.\n"_s;
    const QByteArray bytes = utf8 ? line.toUtf8() : toWindows1251(line);
    QByteArray text;
    text.reserve(TextSize + bytes.size());
    while (text.size() < TextSize)
        text += bytes;
    return text;
}

void BM_PlainDocumentText(benchmark::State &state)
{
    const QByteArray bytes = bigText(state.range(0) != 0);
    for (auto _ : state)
        benchmark::DoNotOptimize(plainDocumentText(bytes));
    state.SetBytesProcessed(state.iterations() * bytes.size());
}
BENCHMARK(BM_PlainDocumentText)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// From the file to the text shown in the editor window.
void BM_LoadDocument(benchmark::State &state)
{
    QTemporaryDir folder;
    const QString path = folder.filePath(u"книга.txt"_s);
    writeFileAtomically(path, bigText(state.range(0) != 0));
    RichEdit editor;
    editor.resize(800, 600);
    editor.show();
    if (!QTest::qWaitForWindowExposed(&editor))
        state.SkipWithError("the editor was not shown");
    for (auto _ : state) {
        LoadDocument(editor, path);
        editor.repaint();
        state.PauseTiming();
        editor.clear();
        QCoreApplication::processEvents();
        state.ResumeTiming();
    }
    state.SetBytesProcessed(state.iterations() * TextSize);
}
BENCHMARK(BM_LoadDocument)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(3);

// Bold over the whole of a 10 MB text, as Ctrl+A, Ctrl+B do it.
void BM_BoldOverEverything(benchmark::State &state)
{
    RichEdit editor;
    editor.setPlainContent(plainDocumentText(bigText(false)));
    for (auto _ : state) {
        QTextCursor cursor(editor.document());
        cursor.select(QTextCursor::Document);
        const bool on = !selectionHasStyle(cursor, StyleFlag::Bold);
        changeSelectionFormat(cursor,
                              [on](QTextCharFormat &format) { setStyleFlag(format, StyleFlag::Bold, on); });
    }
}
BENCHMARK(BM_BoldOverEverything)->Unit(benchmark::kMillisecond)->Iterations(4);

} // namespace

int main(int argc, char **argv)
{
    return bench::runWidgetBenchmarks<Application>(argc, argv);
}
