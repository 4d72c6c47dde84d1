// The window "Интуитивное выделение" as the main window opens it.
#include "editorwindow.h"

#include "common/ui/labelbutton.h"
#include "editor/highlightingwindow.h"
#include "editor/intuitivehighlighting.h"
#include "editor/selectionformat.h"

#include <QFrame>
#include <QProgressBar>
#include <QRadioButton>
#include <QTimer>

using namespace velmira;
using namespace Qt::StringLiterals;

namespace {

const QString Counting = u"Раз два три четыре пять шесть семь восемь девять десять"_s;

bool boldAt(const RichEdit &editor, int position)
{
    QTextCursor cursor(editor.document());
    cursor.setPosition(position);
    cursor.setPosition(position + 1, QTextCursor::KeepAnchor);
    return selectionHasStyle(cursor, StyleFlag::Bold);
}

QStringList boldWords(const RichEdit &editor)
{
    QStringList words;
    const QString raw = editor.document()->toRawText();
    QString word;
    for (int i = 0; i <= raw.size(); ++i) {
        if (i < raw.size() && boldAt(editor, i)) {
            word += raw[i];
        } else if (!word.isEmpty()) {
            words << word;
            word.clear();
        }
    }
    return words;
}

void select(RichEdit &editor, int anchor, int position)
{
    QTextCursor cursor(editor.document());
    cursor.setPosition(anchor);
    cursor.setPosition(position, QTextCursor::KeepAnchor);
    editor.setTextCursor(cursor);
}

template <typename T> T *child(QWidget *window, const char16_t *name)
{
    T *found = window->findChild<T *>(QString::fromUtf16(name));
    Q_ASSERT(found);
    return found;
}

void click(QWidget *window, const char16_t *name)
{
    QTest::mouseClick(child<QWidget>(window, name), Qt::LeftButton);
}

// Runs `command` and, once the window is shown modally, `inside` with it. A window still open after ten
// seconds is closed, so that a failing test does not hang.
bool whileShown(EditorWindow &w, const QString &command,
                const std::function<void(HighlightingWindow &)> &inside)
{
    bool shown = false;
    QTimer::singleShot(0, w.window.get(), [&] {
        auto *window = qobject_cast<HighlightingWindow *>(QApplication::activeModalWidget());
        if (!window)
            return;
        shown = true;
        QTimer::singleShot(10000, window, [window] { window->reject(); });
        inside(*window);
    });
    w.run(command);
    return shown;
}

} // namespace

class TestHighlightingWindow : public QObject
{
    Q_OBJECT

private slots:
    void withoutTextOnlyAStatusMessage()
    {
        EditorWindow w;
        QVERIFY(!whileShown(w, u"SpeedButton23"_s, [](HighlightingWindow &window) { window.reject(); }));
        QCOMPARE(w.status(), u"Нет текста для Интуитивного выделения"_s);
    }

    // "OK" marks the words, closes the window and gives back the selection; Ctrl+Z takes back the run.
    void okMarksAndRestoresTheSelection()
    {
        EditorWindow w;
        RichEdit &editor = w.editor();
        editor.setPlainContent(Counting);
        QTextCursor cursor(editor.document());
        cursor.setPosition(0);
        cursor.setPosition(3, QTextCursor::KeepAnchor);
        cursor.mergeCharFormat([] {
            QTextCharFormat bold;
            bold.setFontWeight(QFont::Bold);
            return bold;
        }());
        select(editor, 11, 8); // «три», selected backwards

        QStringList seen;
        QVERIFY(whileShown(w, u"N40"_s, [&](HighlightingWindow &window) {
            QCOMPARE(window.objectName(), u"TForm8"_s);
            QCOMPARE(window.parentWidget(), w.window.get());
            seen << window.windowTitle() << child<QLabel>(&window, u"Label1")->text()
                 << child<QRadioButton>(&window, u"RadioButton1")->text()
                 << child<QRadioButton>(&window, u"RadioButton2")->text();
            QVERIFY(child<QRadioButton>(&window, u"RadioButton1")->isChecked());
            QVERIFY(child<QFrame>(&window, u"Panel1")->isEnabled());
            QCOMPARE(child<QProgressBar>(&window, u"ProgressBar1")->value(), 0);
            click(&window, u"StaticText1");
        }));
        QCOMPARE(seen, (QStringList{u"Интуитивное выделение"_s, u"Что Вы хотите сделать?"_s,
                                    u"Интуитивно выделить текст"_s, u"Снять всё выделение с текста"_s}));
        QVERIFY(!w.window->findChild<HighlightingWindow *>(u"TForm8"_s)->isVisible());
        QCOMPARE(boldWords(editor), (QStringList{u"пять"_s, u"девять"_s}));
        QCOMPARE(editor.textCursor().anchor(), 11);
        QCOMPARE(editor.textCursor().position(), 8);

        w.ctrl(Qt::Key_Z);
        QCOMPARE(boldWords(editor), QStringList{u"Раз"_s});
        QCOMPARE(editor.toPlainText(), Counting);
    }

    // The option chosen stays from one opening to the next; "Снять всё выделение" removes all bold.
    void theOptionIsKeptAndRemovesAllBold()
    {
        EditorWindow w;
        RichEdit &editor = w.editor();
        editor.setPlainContent(u"Всё жирное\nи на второй строке"_s);
        editor.selectAll();
        w.ctrl(Qt::Key_B);
        select(editor, 2, 2);

        QVERIFY(whileShown(w, u"SpeedButton23"_s, [&](HighlightingWindow &window) {
            click(&window, u"RadioButton2");
            click(&window, u"StaticText4"); // "Отмена" closes and changes nothing
        }));
        QCOMPARE(boldWords(editor).size(), 1);

        bool stillChosen = false;
        QVERIFY(whileShown(w, u"SpeedButton23"_s, [&](HighlightingWindow &window) {
            stillChosen = child<QRadioButton>(&window, u"RadioButton2")->isChecked();
            QTest::keyClick(&window, Qt::Key_Return);
        }));
        QVERIFY(stillChosen);
        QCOMPARE(boldWords(editor), QStringList());
        QCOMPARE(editor.textCursor().position(), 2);
        QVERIFY(!editor.textCursor().hasSelection());
    }

    // "Отмена" during a run stops it: the words before the point reached are marked, the others not, and
    // the window stays open until "Отмена" is chosen again. Enter during the run changes nothing.
    void cancellingARun()
    {
        EditorWindow w;
        RichEdit &editor = w.editor();
        QString text;
        for (int i = 0; i < 2000; ++i)
            text += u"слово "_s;
        editor.setPlainContent(text);
        select(editor, 6, 11);
        auto *highlighting = w.window->findChild<HighlightingWindow *>(u"TForm8"_s);
        highlighting->setTurnInterval(std::chrono::milliseconds(0));

        int cancelledAt = -1;
        bool enterIgnored = false;
        bool stayedOpen = false;
        bool readyAgain = false;
        QVERIFY(whileShown(w, u"SpeedButton23"_s, [&](HighlightingWindow &window) {
            auto *progress = child<QProgressBar>(&window, u"ProgressBar1");
            QTimer watch;
            watch.setInterval(0);
            connect(&watch, &QTimer::timeout, &window, [&] {
                if (!window.isRunning() || cancelledAt >= 0)
                    return;
                if (progress->value() >= progress->maximum() / 4 && !enterIgnored) {
                    QTest::keyClick(&window, Qt::Key_Return);
                    enterIgnored = window.isRunning();
                }
                if (progress->value() >= progress->maximum() / 2) {
                    cancelledAt = progress->value();
                    click(&window, u"StaticText4");
                }
            });
            watch.start();
            click(&window, u"StaticText1");
            watch.stop();
            stayedOpen = window.isVisible();
            readyAgain = !window.isRunning() && child<QFrame>(&window, u"Panel1")->isEnabled() &&
                         progress->value() == 0;
            click(&window, u"StaticText4");
        }));
        QVERIFY(enterIgnored);
        QVERIFY(stayedOpen);
        QVERIFY(readyAgain);
        QVERIFY(!highlighting->isVisible());
        QVERIFY(cancelledAt > 0);
        const std::vector<TextSpan> marks = intuitiveMarks(editor.plainTextCrLf());
        QVERIFY(marks.size() > 100);
        int marked = 0;
        for (const TextSpan &span : marks) {
            QCOMPARE(boldAt(editor, span.start), span.start <= cancelledAt);
            marked += boldAt(editor, span.start);
        }
        QVERIFY(marked > 0 && marked < int(marks.size()));
        QCOMPARE(editor.textCursor().anchor(), 6);
        QCOMPARE(editor.textCursor().position(), 11);
    }
};

QTEST_MAIN(TestHighlightingWindow)
#include "tst_highlightingwindow.moc"
