// Speaking without a Read command: which typed character ends which word, typing tracking in the
// editor, reading the clipboard and clipboard tracking.
#include "common/core/textfile.h"
#include "dictionary/correctiondictionary.h"
#include "editor/richedit.h"
#include "reading/trackingcontroller.h"
#include "reading/typedwords.h"
#include "support/fakeprompter.h"
#include "support/fakereadinghost.h"
#include "support/fakespeechcontrol.h"
#include "support/testfiles.h"
#include "support/typetext.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMimeData>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>

using namespace velmira;
using namespace Qt::StringLiterals;

namespace {

// The pieces of the main window that tracking works on.
struct Window
{
    QWidget top;
    RichEdit *editor = new RichEdit(&top);
    QToolButton *typing = new QToolButton(&top);
    QToolButton *clipboard = new QToolButton(&top);
    QTimer timer;
    FakeSpeechControl speech;
    FakePrompter prompter;
    QStringList status;
    FakeReadingHost host;
    std::unique_ptr<TrackingController> tracking;

    Window()
    {
        typing->setCheckable(true);
        clipboard->setCheckable(true);
        timer.setInterval(1000);
        host.owner = &top;
        host.dialogs = &prompter;
        host.mainSpeech = [this] { return &speech; };
        host.whole = [this] { return editor->plainTextCrLf(); };
        host.selected = [this] { return editor->selectedTextCrLf(); };
        host.status = [this](const QString &text) { status << text; };
        tracking = std::make_unique<TrackingController>(
            TrackingController::Controls{typing, clipboard, &timer, editor}, host);
        tracking->setBlindInBackground(false);
        editor->addKeyHandler([this](QKeyEvent *event) { return tracking->keyTyped(event); });
    }
};

void setClipboard(const QString &text)
{
    QGuiApplication::clipboard()->setText(text);
}

} // namespace

class TestTracking : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<TemporaryProgramFolder> m_home;

private slots:
    void init()
    {
        m_home = std::make_unique<TemporaryProgramFolder>();
        QGuiApplication::clipboard()->clear();
    }

    // Which typed characters end a word.

    void wordEndings_data()
    {
        QTest::addColumn<QChar>("typed");
        QTest::addColumn<int>("caret");
        QTest::addColumn<bool>("ends");
        QTest::newRow("space") << QChar(u' ') << 5 << true;
        QTest::newRow("comma") << QChar(u',') << 5 << true;
        QTest::newRow("Enter") << QChar(u'\r') << 5 << true;
        QTest::newRow("Ctrl+Enter") << QChar(u'\n') << 5 << true;
        QTest::newRow("Tab") << QChar(u'\t') << 5 << true;
        QTest::newRow("Backspace") << QChar(u'\b') << 5 << false;
        QTest::newRow("a consumed shortcut") << QChar(u'\0') << 5 << false;
        QTest::newRow("Ctrl+O, 15") << QChar(u'\x0f') << 5 << false;
        QTest::newRow("Esc, 27") << QChar(u'\x1b') << 5 << false;
        QTest::newRow("29") << QChar(u'\x1d') << 5 << false;
        QTest::newRow("30") << QChar(u'\x1e') << 5 << true;
        QTest::newRow("Cyrillic") << QChar(u'ж') << 5 << false;
        QTest::newRow("Ё") << QChar(u'Ё') << 5 << false;
        QTest::newRow("ё") << QChar(u'ё') << 5 << false;
        QTest::newRow("Latin") << QChar(u'q') << 5 << false;
        QTest::newRow("digit") << QChar(u'7') << 5 << false;
        QTest::newRow("at sign") << QChar(u'@') << 5 << false;
        QTest::newRow("bracket after Z") << QChar(u'[') << 5 << true;
        QTest::newRow("underscore") << QChar(u'_') << 5 << true;
        QTest::newRow("Ukrainian і") << QChar(u'і') << 5 << true;
        QTest::newRow("space at the start") << QChar(u' ') << 0 << false;
    }

    void wordEndings()
    {
        QFETCH(QChar, typed);
        QFETCH(int, caret);
        QFETCH(bool, ends);
        QCOMPARE(endsWord(typed, caret), ends);
    }

    void wordAtTheEndOfTheWindow_data()
    {
        QTest::addColumn<QString>("window");
        QTest::addColumn<QString>("word");
        QTest::newRow("after a blank") << u"Привет мир"_s << u"мир"_s;
        QTest::newRow("whole text") << u"Привет"_s << u"Привет"_s;
        QTest::newRow("letters and digits") << u"a, user@mail2ёЁ"_s << u"user@mail2ёЁ"_s;
        QTest::newRow("hyphen stops it") << u"какой-нибудь"_s << u"нибудь"_s;
        QTest::newRow("after a line break") << u"раз\u2029два"_s << u"два"_s;
        QTest::newRow("ends in a blank") << u"мир "_s << QString();
        QTest::newRow("empty") << QString() << QString();
    }

    void wordAtTheEndOfTheWindow()
    {
        QFETCH(QString, window);
        QFETCH(QString, word);
        QCOMPARE(wordAtEnd(window).toString(), word);
    }

    void keysAsTypedCharacters_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("modifiers");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("code");
        QTest::newRow("letter") << int(Qt::Key_unknown) << 0 << u"ж"_s << int(u'ж');
        QTest::newRow("Ctrl+A") << int(Qt::Key_A) << int(Qt::ControlModifier) << u"\x01"_s << 1;
        QTest::newRow("Ctrl+Y without text") << int(Qt::Key_Y) << int(Qt::ControlModifier) << QString() << 25;
        QTest::newRow("Ctrl+1 types nothing") << int(Qt::Key_1) << int(Qt::ControlModifier) << u"1"_s << 0;
        QTest::newRow("Enter") << int(Qt::Key_Return) << 0 << u"\r"_s << 13;
        QTest::newRow("Ctrl+Enter") << int(Qt::Key_Return) << int(Qt::ControlModifier) << u"\r"_s << 10;
        QTest::newRow("Backspace") << int(Qt::Key_Backspace) << 0 << u"\b"_s << 8;
        QTest::newRow("Alt+x types nothing") << int(Qt::Key_X) << int(Qt::AltModifier) << u"x"_s << 0;
        QTest::newRow("AltGr") << int(Qt::Key_unknown) << int(Qt::ControlModifier | Qt::AltModifier) << u"@"_s
                               << int(u'@');
        QTest::newRow("Delete types nothing") << int(Qt::Key_Delete) << 0 << u"\x7f"_s << 0;
        QTest::newRow("Shift alone") << int(Qt::Key_Shift) << int(Qt::ShiftModifier) << QString() << 0;
    }

    void keysAsTypedCharacters()
    {
        QFETCH(int, key);
        QFETCH(int, modifiers);
        QFETCH(QString, text);
        QFETCH(int, code);
        const QKeyEvent event(QEvent::KeyPress, key, Qt::KeyboardModifiers(modifiers), text);
        QCOMPARE(int(typedCharacter(event).unicode()), code);
    }

    // Typing tracking in the editor.

    void typedWordsAreSpokenAsTheyEnd()
    {
        Window w;
        w.typing->setChecked(true);
        typeText(w.editor, u"Привет, мир."_s);
        QCOMPARE(w.editor->plainTextCrLf(), u"Привет, мир."_s);
        // The blank after the comma ends an empty word.
        QCOMPARE(w.speech.spoken, (QStringList{u"Привет"_s, QString(), u"мир"_s}));
        QVERIFY(!w.speech.calls.contains(u"AudioReset"_s));
    }

    void typingTrackingOffSpeaksNothing()
    {
        Window w;
        typeText(w.editor, u"Привет, мир."_s);
        QVERIFY(w.speech.spoken.isEmpty());
    }

    void blankAtTheStartSpeaksNothing()
    {
        Window w;
        w.typing->setChecked(true);
        QTest::keyClick(w.editor, Qt::Key_Space);
        QVERIFY(w.speech.spoken.isEmpty());
        QTest::keyClick(w.editor, Qt::Key_Backspace);
        typeText(w.editor, u"Да"_s);
        QTest::keyClick(w.editor, Qt::Key_Return);
        QCOMPARE(w.speech.spoken, QStringList{u"Да"_s});
    }

    void longWordIsSpokenFromItsLast100Characters()
    {
        Window w;
        w.typing->setChecked(true);
        const QString word = u"а"_s.repeated(30) + u"б"_s.repeated(100);
        w.editor->setPlainContent(word);
        w.editor->moveCursor(QTextCursor::End);
        QTest::keyClick(w.editor, Qt::Key_Period);
        QCOMPARE(w.speech.spoken, QStringList{u"б"_s.repeated(100)});
    }

    void wordBeforeASelectionIsSpokenAndTheSelectionReplaced()
    {
        Window w;
        w.typing->setChecked(true);
        w.editor->setPlainContent(u"кот спит"_s);
        w.editor->setSelStart(3);
        w.editor->setSelLength(5);
        QTest::keyClick(w.editor, Qt::Key_Exclam, Qt::ShiftModifier);
        QCOMPARE(w.speech.spoken, QStringList{u"кот"_s});
        QCOMPARE(w.editor->plainTextCrLf(), u"кот!"_s);
    }

    void typedWordGoesThroughTheDictionary()
    {
        writeFileAtomically(m_home->filePath(u"Dictionary.txt"_s), CorrectionDictionary::serialize({u"ctrl=контрол"_s}));
        CorrectionDictionary::setInUse(true);
        Window w;
        w.typing->setChecked(true);
        typeText(w.editor, u"ctrl "_s);
        QCOMPARE(w.speech.spoken, QStringList{u"контрол"_s});
    }

    // The clipboard.

    void readingTheClipboard()
    {
        Window w;
        w.tracking->ReadClipboard();
        QCOMPARE(w.status, QStringList{u"В буфере нет текста"_s});
        QVERIFY(w.speech.calls.isEmpty());

        setClipboard(u"Текст из буфера"_s);
        w.tracking->ReadClipboard();
        // Queued behind what is speaking, and held speech goes on.
        QCOMPARE(w.speech.calls, (QStringList{u"Speak:Текст из буфера"_s, u"AudioResume"_s}));

        w.speech.failWith = u"занято"_s;
        w.tracking->ReadClipboard();
        QCOMPARE(w.status.last(), speechFailureText());
    }

    void clipboardTrackingSpeaksEachNewTextOnce()
    {
        Window w;
        setClipboard(u"Уже был"_s);
        w.tracking->restoreClipboardTracking();
        QVERIFY(w.clipboard->isChecked());
        QVERIFY(w.timer.isActive());
        QCOMPARE(w.tracking->rememberedText(), u"Уже был"_s);
        w.tracking->pollClipboard();
        QVERIFY(w.speech.calls.isEmpty()); // the text found at start is not spoken

        setClipboard(u"Первый"_s);
        w.tracking->pollClipboard();
        setClipboard(u"Первый"_s);
        w.tracking->pollClipboard();
        w.tracking->pollClipboard();
        QCOMPARE(w.speech.calls, (QStringList{u"AudioReset"_s, u"Speak:Первый"_s}));

        // A different text, even in another letter case, cuts off the one being spoken.
        setClipboard(u"первый"_s);
        w.tracking->pollClipboard();
        QCOMPARE(w.speech.calls.mid(2), (QStringList{u"AudioReset"_s, u"Speak:первый"_s}));

        // Content without text counts as the empty text.
        auto *image = new QMimeData;
        image->setImageData(QImage(2, 2, QImage::Format_RGB32));
        QGuiApplication::clipboard()->setMimeData(image);
        w.tracking->pollClipboard();
        QCOMPARE(w.speech.calls.mid(4), (QStringList{u"AudioReset"_s, u"Speak:"_s}));
    }

    void clipboardTrackingOnSpeaksATextNotSeenBefore()
    {
        Window w;
        setClipboard(u"Новое"_s);
        w.clipboard->toggle();
        QVERIFY(w.timer.isActive());
        QTRY_COMPARE_WITH_TIMEOUT(w.speech.spoken, QStringList{u"Новое"_s}, 2000);
    }

    void clipboardTrackingOffStopsPollingAndSpeech()
    {
        Window w;
        w.tracking->restoreClipboardTracking();
        w.speech.clear();
        w.tracking->toggleClipboardTracking();
        QVERIFY(!w.clipboard->isChecked());
        QVERIFY(!w.timer.isActive());
        QCOMPARE(w.speech.calls, QStringList{u"AudioReset"_s});

        w.tracking->toggleClipboardTracking();
        QVERIFY(w.clipboard->isChecked());
        QVERIFY(w.timer.isActive());

        // Released some other way (typing tracking going on), the polling stops too.
        w.clipboard->setChecked(false);
        QVERIFY(!w.timer.isActive());
    }

    void clipboardTrackingFailureIsReportedOnce()
    {
        Window w;
        w.tracking->restoreClipboardTracking();
        w.speech.failWith = u"занято"_s;
        setClipboard(u"Текст"_s);
        w.tracking->pollClipboard();
        w.tracking->pollClipboard();
        QCOMPARE(w.status, QStringList{speechFailureText()});
    }

    void desktopThatHidesTheClipboardIsNamedOnce()
    {
        Window w;
        w.tracking->setBlindInBackground(true);
        w.tracking->restoreClipboardTracking();
        w.tracking->toggleClipboardTracking();
        w.tracking->toggleClipboardTracking();
        QCOMPARE(w.status, QStringList{TrackingController::blindNotice()});
    }
};

QTEST_MAIN(TestTracking)
#include "tst_tracking.moc"
