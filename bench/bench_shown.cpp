// What the user sees of long texts: from the command to the editor drawn again, and the longest time
// the window does not answer (no event handled, so no repaint) until the editor has laid out the
// whole text. The editor is a real window: on the X display named by DISPLAY when there is one
// (QT_QPA_PLATFORM=xcb), otherwise offscreen.
//
// Opening an RTF document ("Открыть...", and a document named on the command line, which go the same
// way), and intuitive highlighting, on texts in many paragraphs and in one; opening texts that Qt lays
// out slowly (one very long word, many short lines, many empty paragraphs, many fonts).
#include "app/application.h"
#include "app/mainwindow.h"
#include "common/ui/labelbutton.h"
#include "common/core/textfile.h"
#include "editor/documentcommands.h"
#include "editor/formats/documentfile.h"
#include "editor/highlightingwindow.h"
#include "editor/richedit.h"
#include "editor/rtf/rtfwriter.h"
#include "speech/speechcontrolfactory.h"

#include "benchprompter.h"

#include "benchsupport.h"

#include <QElapsedTimer>
#include <QEvent>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTimer>
#include <benchmark/benchmark.h>

using namespace velmira;
using namespace Qt::StringLiterals;

namespace {

bool isLaidOut(const RichEdit &editor)
{
    return editor.document()->lastBlock().layout()->lineCount() > 0;
}

// Notes when the editor is drawn, and the longest time between two turns of the event loop.
class Watch : public QObject
{
public:
    explicit Watch(RichEdit &editor) : m_editor(editor)
    {
        editor.viewport()->installEventFilter(this);
        // The beginning of a long document is drawn over the editor while the rest is read.
        qApp->installEventFilter(this);
        m_ticks.setInterval(0);
        connect(&m_ticks, &QTimer::timeout, this, [this] {
            const qint64 now = m_clock.nsecsElapsed();
            // The editor is drawn once its paint event is over, when the event loop turns again.
            if (m_painted && m_firstPaint < 0)
                m_firstPaint = now;
            if (m_beginningPainted && m_beginningPaint < 0)
                m_beginningPaint = now;
            m_longest = std::max(m_longest, now - m_lastTick);
            m_lastTick = now;
        });
    }

    // Starts the clock; what the user waits for begins now.
    void start()
    {
        m_clock.start();
        m_lastTick = 0;
        m_longest = 0;
        m_firstPaint = -1;
        m_painted = false;
        m_beginningPaint = -1;
        m_beginningPainted = false;
        m_ticks.start();
    }

    // Milliseconds from start() to the editor drawn after the command has returned, waiting for it with
    // the event loop running; -1 when it was not drawn within a minute.
    double firstPaint()
    {
        m_firstPaint = -1;
        m_painted = false;
        if (!QTest::qWaitFor([this] { return m_firstPaint >= 0; }, 60000))
            return -1;
        m_longestUntilShown = m_longest;
        return double(m_firstPaint) * 1e-6;
    }

    // Milliseconds from start() to the beginning of a long document drawn over the editor while the rest
    // is read, or to the editor drawn with the document when there was none; -1 before either.
    double beginningShown() const
    {
        if (m_beginningPaint >= 0)
            return double(m_beginningPaint) * 1e-6;
        return m_firstPaint < 0 ? -1 : double(m_firstPaint) * 1e-6;
    }

    // The longest time in milliseconds that the event loop did not turn from start() until the editor
    // was drawn: the command's own, before the layout that goes on afterwards.
    double longestGapUntilShown() const { return double(m_longestUntilShown) * 1e-6; }

    // Waits for the editor to have laid out the whole text, the event loop running meanwhile, and
    // returns the longest time in milliseconds that the event loop did not turn.
    double longestGapUntilLaidOut()
    {
        if (!QTest::qWaitFor([this] { return isLaidOut(m_editor); }, 120000))
            return -1;
        QTest::qWait(20);
        m_ticks.stop();
        return double(m_longest) * 1e-6;
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() != QEvent::Paint || !m_clock.isValid())
            return QObject::eventFilter(watched, event);
        if (watched == m_editor.viewport())
            m_painted = true;
        else if (auto *widget = qobject_cast<QWidget *>(watched);
                 widget && widget->parent() && widget->parent()->objectName() == u"RichEditBeginning"_s)
            m_beginningPainted = true;
        return QObject::eventFilter(watched, event);
    }

private:
    RichEdit &m_editor;
    QElapsedTimer m_clock;
    QTimer m_ticks;
    qint64 m_lastTick = 0;
    qint64 m_longest = 0;
    qint64 m_longestUntilShown = 0;
    qint64 m_firstPaint = -1;
    qint64 m_beginningPaint = -1;
    bool m_painted = false;
    bool m_beginningPainted = false;
};

// About `characters` characters of Russian in paragraphs of about a hundred words, or in one.
QString russianCharacters(qsizetype characters, bool oneParagraph)
{
    QString text = bench::russianText(characters * 2);
    text.truncate(characters);
    if (oneParagraph)
        text.replace(u'\n', u' ');
    return text;
}

void showEditor(RichEdit &editor, benchmark::State &state)
{
    editor.resize(1000, 700);
    editor.show();
    if (!QTest::qWaitForWindowExposed(&editor))
        state.SkipWithError("the editor was not shown");
}

// Empties the shown editor, then opens the file at `path` as "Открыть..." does, `watch` started with
// the command. Returns the milliseconds until the editor is drawn (-1, and the run spoilt, when it was
// not).
double openShown(RichEdit &editor, Watch &watch, const QString &path, benchmark::State &state)
{
    state.PauseTiming();
    editor.setPlainContent(QString());
    QCoreApplication::processEvents();
    state.ResumeTiming();
    watch.start();
    LoadDocument(editor, path);
    const double shown = watch.firstPaint();
    if (shown < 0)
        state.SkipWithError("the editor was not drawn");
    return shown;
}

// "Открыть..." of the file at `path` in a shown editor, timed until the editor is drawn with the whole
// document; "beginning_shown_ms" until the text is first seen (a long document's beginning, drawn while
// the rest is read); "gap_until_shown_ms" is the longest time the window did not answer until then,
// "longest_gap_ms" until the whole text is laid out. With `fromStart`, a document not shown from its start
// spoils the run.
void timeOpening(benchmark::State &state, const QString &path, bool fromStart)
{
    RichEdit editor;
    showEditor(editor, state);
    double longest = 0;
    double untilShown = 0;
    double beginning = 0;
    for (auto _ : state) {
        Watch watch(editor);
        const double shown = openShown(editor, watch, path, state);
        beginning = std::max(beginning, watch.beginningShown());
        state.SetIterationTime(shown / 1000);
        if (fromStart && editor.verticalScrollBar()->value() != 0)
            state.SkipWithError("the document was not shown from its start");
        untilShown = std::max(untilShown, watch.longestGapUntilShown());
        longest = std::max(longest, watch.longestGapUntilLaidOut());
    }
    state.counters["longest_gap_ms"] = longest;
    state.counters["gap_until_shown_ms"] = untilShown;
    state.counters["beginning_shown_ms"] = beginning;
}

// Writes about `characters` characters of Russian in paragraphs to a file in `folder`: an RTF document
// with some bold, or plain text in UTF-8. Returns its path.
QString writeBook(const QTemporaryDir &folder, qsizetype characters, bool rtf)
{
    const QString path = folder.filePath(rtf ? u"книга.rtf"_s : u"книга.txt"_s);
    if (!rtf) {
        writeFileAtomically(path, russianCharacters(characters, false).toUtf8());
        return path;
    }
    QTextDocument document;
    QTextCursor cursor(&document);
    QTextCharFormat bold;
    bold.setFontWeight(QFont::Bold);
    const QString text = russianCharacters(characters, false);
    for (qsizetype at = 0; at < text.size(); at += 400) {
        cursor.insertText(text.mid(at, 300), QTextCharFormat());
        cursor.insertText(text.mid(at + 300, 100), bold);
    }
    writeFileAtomically(path, writeRtf(document));
    return path;
}

// "Открыть..." of an RTF document with some bold, or of a plain text file, from the command to the
// editor drawn with the document's start; "longest_gap_ms" until the whole text is laid out.
// Arguments: characters; RTF (1) or plain text in UTF-8 (0).
void BM_OpenUntilShown(benchmark::State &state)
{
    QTemporaryDir folder;
    timeOpening(state, writeBook(folder, state.range(0), state.range(1) != 0), true);
}
BENCHMARK(BM_OpenUntilShown)
    ->Args({1000 * 1000, 1})
    ->Args({10 * 1000 * 1000, 1})
    ->Args({1000 * 1000, 0})
    ->Args({10 * 1000 * 1000, 0})
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);

// A document opened before the window is shown, as one named on the command line or the remembered
// text is, from the editor shown until the whole text is laid out: "gap_ms", the longest time the
// window did not answer meanwhile. Arguments: characters; RTF (1) or plain text in UTF-8 (0).
void BM_OpenedAtStartLaidOutAnswering(benchmark::State &state)
{
    QTemporaryDir folder;
    const QString path = writeBook(folder, state.range(0), state.range(1) != 0);
    double gap = 0;
    for (auto _ : state) {
        state.PauseTiming();
        RichEdit editor;
        LoadDocument(editor, path);
        state.ResumeTiming();
        Watch watch(editor);
        QElapsedTimer clock;
        clock.start();
        watch.start();
        showEditor(editor, state);
        gap = std::max(gap, watch.longestGapUntilLaidOut());
        state.SetIterationTime(double(clock.elapsed()) / 1000);
    }
    state.counters["gap_ms"] = gap;
}
BENCHMARK(BM_OpenedAtStartLaidOutAnswering)
    ->Args({1000 * 1000, 1})
    ->Args({1000 * 1000, 0})
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);

// Texts that Qt lays out slowly, each written to a file as the user would have it.
enum class Hostile { LongLine, ManyLines, EmptyParagraphs, ManyFonts };

// Writes the text `kind` of about `size` characters (lines, paragraphs or fonts for the others) to a
// file in `folder` and returns its path.
QString writeHostile(const QTemporaryDir &folder, Hostile kind, qsizetype size)
{
    switch (kind) {
    case Hostile::LongLine: {
        // One word with no space in it, as a long link or a base64 block is.
        QString word;
        const QString letters = u"абвгдежзийклмнопрстуфхцчшщыэюя"_s;
        word.reserve(size + letters.size());
        while (word.size() < size)
            word += letters;
        word.truncate(size);
        const QString path = folder.filePath(u"строка.txt"_s);
        writeFileAtomically(path, word.toUtf8());
        return path;
    }
    case Hostile::ManyLines: {
        const QString path = folder.filePath(u"строки.txt"_s);
        writeFileAtomically(path, QString(u"строка\n"_s).repeated(size).toUtf8());
        return path;
    }
    case Hostile::EmptyParagraphs: {
        const QString path = folder.filePath(u"пустые.rtf"_s);
        writeFileAtomically(path, "{\\rtf1\\ansi\\ansicpg1251{\\fonttbl{\\f0 Arial;}}" +
                                      QByteArray("\\par\n").repeated(size) + '}');
        return path;
    }
    case Hostile::ManyFonts: {
        QByteArray table;
        QByteArray body;
        for (qsizetype i = 0; i < size; ++i) {
            const QByteArray number = QByteArray::number(i);
            table += "{\\f" + number + "\\fcharset204 Font" + number + ";}";
            body += "\\f" + number + " \\'f2\\'e5\\'ea\\'f1\\'f2 ";
        }
        const QString path = folder.filePath(u"шрифты.rtf"_s);
        writeFileAtomically(path, "{\\rtf1\\ansi\\ansicpg1251{\\fonttbl" + table + "}" + body + '}');
        return path;
    }
    }
    return {};
}

// "Открыть..." of a text Qt lays out slowly, from the command to the editor drawn; "longest_gap_ms"
// until the whole text is laid out. Arguments: the kind of text (Hostile) and its size.
void BM_OpenHostileUntilShown(benchmark::State &state)
{
    QTemporaryDir folder;
    const QString path = writeHostile(folder, Hostile(state.range(0)), state.range(1));
    timeOpening(state, path, false);
}
BENCHMARK(BM_OpenHostileUntilShown)
    ->ArgNames({"kind", "size"})
    ->Args({int(Hostile::LongLine), 125 * 1000})
    ->Args({int(Hostile::LongLine), 1000 * 1000})
    ->Args({int(Hostile::LongLine), 5 * 1000 * 1000})
    ->Args({int(Hostile::ManyLines), 500 * 1000})
    ->Args({int(Hostile::EmptyParagraphs), MaxDocumentParagraphs - 1})
    ->Args({int(Hostile::ManyFonts), 1000})
    ->Args({int(Hostile::ManyFonts), 10 * 1000})
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);

// "Открыть..." of a text Qt lays out slowly, as BM_OpenHostileUntilShown, timed from the editor drawn
// with the document's start until the whole text is laid out: "gap_ms", the longest time the window
// did not answer meanwhile (a key such as Ctrl+Y waits that long), and "laid_out_ms", when it ended.
void BM_HostileLaidOutAnswering(benchmark::State &state)
{
    QTemporaryDir folder;
    const QString path = writeHostile(folder, Hostile(state.range(0)), state.range(1));
    RichEdit editor;
    showEditor(editor, state);
    double gap = 0;
    double laidOut = 0;
    for (auto _ : state) {
        Watch watch(editor);
        openShown(editor, watch, path, state);
        QElapsedTimer clock;
        clock.start();
        watch.start();
        gap = std::max(gap, watch.longestGapUntilLaidOut());
        laidOut = std::max(laidOut, double(clock.elapsed()));
        state.SetIterationTime(laidOut / 1000);
    }
    state.counters["gap_ms"] = gap;
    state.counters["laid_out_ms"] = laidOut;
}
BENCHMARK(BM_HostileLaidOutAnswering)
    ->ArgNames({"kind", "size"})
    ->Args({int(Hostile::ManyLines), 100 * 1000})
    ->Args({int(Hostile::ManyLines), 500 * 1000})
    ->Args({int(Hostile::EmptyParagraphs), 200 * 1000})
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);

// The program started with a text Qt lays out slowly named on its command line, in a process already
// running, the window maximized offscreen: from creating the main window to the window drawn
// ("window_ms"), to the text first drawn ("beginning_ms": a long document's beginning, drawn while the
// rest is read), and to the whole document in the editor (the time measured); keys typed meanwhile wait
// until then ("keys_held_ms", from the window drawn). "longest_gap_ms" is the longest time the event
// loop did not turn from the window drawn until the whole text is laid out. Arguments as
// BM_OpenHostileUntilShown's.
void BM_StartWithHostileUntilShown(benchmark::State &state)
{
    QTemporaryDir folder;
    const QString path = writeHostile(folder, Hostile(state.range(0)), state.range(1));
    QTemporaryDir home;
    qputenv("VELMIRA_HOME", home.path().toUtf8());
    writeFileAtomically(home.filePath(u"Settings.ini"_s), "[Global]\r\nGreeting=0\r\n");
    bench::AnsweringPrompter prompter(Prompter::Button::No);
    double window = 0;
    double beginning = 0;
    double held = 0;
    double gap = 0;
    for (auto _ : state) {
        QElapsedTimer clock;
        clock.start();
        qint64 exposed = -1;
        qint64 beginningPaint = -1;
        qint64 whole = -1;
        qint64 lastTick = 0;
        qint64 longest = 0;
        bool beginningPainted = false;
        bool editorPainted = false;
        MainWindowServices services;
        services.prompter = &prompter;
        services.arguments = {path};
        services.createSpeechControl = [] {
            return createSpeechControl();
        };
        MainWindow main(services);
        RichEdit &editor = *main.editor();
        // Paints of the editor, and of the beginning's view, which is made while the document is read.
        struct Paints : QObject
        {
            QWidget *editor = nullptr;
            bool *editorPainted = nullptr;
            bool *beginningPainted = nullptr;
            bool eventFilter(QObject *watched, QEvent *event) override
            {
                if (event->type() != QEvent::Paint)
                    return false;
                if (watched == editor)
                    *editorPainted = true;
                else if (watched->parent() && watched->parent()->objectName() == u"RichEditBeginning"_s)
                    *beginningPainted = true;
                return false;
            }
        } paints;
        paints.editor = editor.viewport();
        paints.editorPainted = &editorPainted;
        paints.beginningPainted = &beginningPainted;
        qApp->installEventFilter(&paints);
        QTimer ticks;
        ticks.setInterval(0);
        QObject::connect(&ticks, &QTimer::timeout, &ticks, [&] {
            const qint64 now = clock.nsecsElapsed();
            if (exposed >= 0)
                longest = std::max(longest, now - lastTick);
            else if (editorPainted)
                exposed = now;
            lastTick = now;
            if (beginningPainted && beginningPaint < 0)
                beginningPaint = now;
            if (whole < 0 && editor.document()->blockCount() > 1)
                whole = now;
        });
        ticks.start();
        main.show();
        if (!QTest::qWaitFor([&] { return whole >= 0 && exposed >= 0 && isLaidOut(editor); }, 120000))
            state.SkipWithError("the document was not laid out");
        qApp->removeEventFilter(&paints);
        state.SetIterationTime(double(whole) * 1e-9);
        window = std::max(window, double(exposed) * 1e-6);
        beginning = std::max(beginning, double(beginningPaint >= 0 ? beginningPaint : whole) * 1e-6);
        held = std::max(held, double(whole - exposed) * 1e-6);
        gap = std::max(gap, double(longest) * 1e-6);
        state.PauseTiming();
        main.hide();
        state.ResumeTiming();
    }
    state.counters["window_ms"] = window;
    state.counters["beginning_ms"] = beginning;
    state.counters["keys_held_ms"] = held;
    state.counters["longest_gap_ms"] = gap;
}
BENCHMARK(BM_StartWithHostileUntilShown)
    ->ArgNames({"kind", "size"})
    ->Args({int(Hostile::ManyLines), 500 * 1000})
    ->Args({int(Hostile::EmptyParagraphs), MaxDocumentParagraphs - 1})
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);

// "Открыть..." of an RTF document switching among `size` fonts that the system does not have, from the
// command to the editor drawn; "longest_gap_ms" until the whole text is laid out.
void BM_OpenManyFontsUntilShown(benchmark::State &state)
{
    QTemporaryDir folder;
    timeOpening(state, writeHostile(folder, Hostile::ManyFonts, state.range(0)), false);
}
BENCHMARK(BM_OpenManyFontsUntilShown)
    ->Arg(1000)
    ->Arg(10 * 1000)
    ->Arg(100 * 1000)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);

// Intuitive highlighting from "OK" to the editor drawn with the marks; "longest_gap_ms" until the whole
// text is laid out again, the end of the run included. Arguments: characters; one paragraph (1) or
// many (0).
void BM_HighlightUntilShown(benchmark::State &state)
{
    const QString text = russianCharacters(state.range(0), state.range(1) != 0);
    RichEdit editor;
    showEditor(editor, state);
    HighlightingWindow window(
        editor, [](const QString &) {}, &editor);
    auto *ok = window.findChild<LabelButton *>(u"StaticText1"_s);
    double longest = 0;
    double untilShown = 0;
    for (auto _ : state) {
        state.PauseTiming();
        editor.setPlainContent(text);
        Watch watch(editor);
        if (!QTest::qWaitFor([&] { return isLaidOut(editor); }, 120000))
            state.SkipWithError("the text was not laid out");
        window.show();
        QCoreApplication::processEvents();
        state.ResumeTiming();
        watch.start();
        QTest::mouseClick(ok, Qt::LeftButton);
        if (window.isVisible())
            state.SkipWithError("the window stayed open");
        const double shown = watch.firstPaint();
        if (shown < 0)
            state.SkipWithError("the editor was not drawn");
        state.SetIterationTime(shown / 1000);
        untilShown = std::max(untilShown, watch.longestGapUntilShown());
        longest = std::max(longest, watch.longestGapUntilLaidOut());
    }
    state.counters["longest_gap_ms"] = longest;
    state.counters["gap_until_shown_ms"] = untilShown;
}
BENCHMARK(BM_HighlightUntilShown)
    ->Args({300 * 1000, 1})
    ->Args({1000 * 1000, 0})
    ->Args({10 * 1000 * 1000, 0})
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);

} // namespace

int main(int argc, char **argv)
{
    if (!qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "xcb");
    return bench::runWidgetBenchmarks<Application>(argc, argv);
}
