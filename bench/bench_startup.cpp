// The inner part of start-up: from creating the main window, in a process already running, with a
// remembered text of about 1 MB and the real speech control, to the window exposed offscreen. What
// the user waits for from the start of the program is timed by bench_heard and bench_shown.
#include "app/application.h"
#include "app/mainwindow.h"
#include "common/core/textfile.h"
#include "editor/rtf/rtfwriter.h"
#include "speech/speechcontrolfactory.h"

#include "benchprompter.h"
#include "benchsupport.h"

#include <QTemporaryDir>
#include <QTest>
#include <QTextCursor>
#include <QTextDocument>
#include <benchmark/benchmark.h>

using namespace Qt::StringLiterals;

using namespace velmira;

namespace {

// About 1 MB of RTF: Russian paragraphs with bold and italic runs.
QByteArray rememberedText()
{
    QTextDocument document;
    QTextCursor cursor(&document);
    const QString words = u"Съешь же ещё этих мягких французских булок да выпей чаю. "_s;
    QTextCharFormat plain;
    QTextCharFormat bold;
    bold.setFontWeight(QFont::Bold);
    QTextCharFormat italic;
    italic.setFontItalic(true);
    QByteArray rtf;
    for (int paragraph = 0; rtf.size() < 1'000'000; ++paragraph) {
        for (int i = 0; i < 40; ++i)
            cursor.insertText(words, i % 3 == 0 ? bold : (i % 3 == 1 ? italic : plain));
        cursor.insertBlock();
        if (paragraph % 50 == 49)
            rtf = writeRtf(document);
    }
    return rtf;
}

void BM_WindowBuiltAndExposedOffscreen(benchmark::State &state)
{
    QTemporaryDir home;
    qputenv("VELMIRA_HOME", home.path().toUtf8());
    const QByteArray rtf = rememberedText();
    writeFileAtomically(home.filePath(u"Text.rtf"_s), rtf);
    // No greeting: it would only queue speech.
    writeFileAtomically(home.filePath(u"Settings.ini"_s), "[Global]\r\nGreeting=0\r\n");
    bench::AnsweringPrompter prompter(Prompter::Button::No);
    for (auto _ : state) {
        MainWindowServices services;
        services.prompter = &prompter;
        services.createSpeechControl = [] {
            return createSpeechControl();
        };
        MainWindow window(services);
        window.show();
        if (!QTest::qWaitForWindowExposed(&window))
            state.SkipWithError("the window was not shown");
        state.PauseTiming();
        window.hide();
        state.ResumeTiming();
    }
    state.counters["rtf_bytes"] = double(rtf.size());
}
BENCHMARK(BM_WindowBuiltAndExposedOffscreen)->Unit(benchmark::kMillisecond)->Iterations(5);

} // namespace

int main(int argc, char **argv)
{
    return bench::runWidgetBenchmarks<Application>(argc, argv);
}
