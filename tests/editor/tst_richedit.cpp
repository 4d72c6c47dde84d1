// The editor: its text as the program reads and saves it, and its lines broken anywhere while the text
// holds a very long word, the text staying as it was; a long text laid out in steps, unchanged by it.
#include "editor/longwords.h"
#include "editor/richedit.h"
#include "editor/rtf/rtfreader.h"
#include "editor/rtf/rtfwriter.h"
#include "support/typetext.h"

#include <QAbstractTextDocumentLayout>
#include <QSignalSpy>
#include <QTest>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

using namespace velmira;
using namespace Qt::StringLiterals;

namespace {

// A "word" of `length` Cyrillic letters with no space in it.
QString word(qsizetype length)
{
    QString text;
    const QString letters = u"абвгдеёжзийклмнопрстуфхцчшщъыьэюя"_s;
    while (text.size() < length)
        text += letters;
    text.truncate(length);
    return text;
}

bool breaksAnywhere(const RichEdit &editor)
{
    return editor.document()->defaultTextOption().wrapMode() == QTextOption::WrapAnywhere;
}

void insertAt(RichEdit &editor, int position, const QString &text)
{
    QTextCursor cursor(editor.document());
    cursor.setPosition(position);
    cursor.insertText(text);
}

} // namespace

class TestRichEdit : public QObject
{
    Q_OBJECT

private slots:
    void textWithCrLf()
    {
        RichEdit editor;
        QTextCursor cursor(editor.document());
        cursor.insertText(u"Первый абзац\u00A0и\tтаб"_s);
        cursor.insertBlock();
        cursor.insertText(u"строка"_s);
        cursor.insertText(QString(QChar::LineSeparator));
        cursor.insertText(u"вторая строка"_s);
        cursor.insertBlock();
        cursor.insertBlock();
        QCOMPARE(editor.plainTextCrLf(), u"Первый абзац\u00A0и\tтаб\r\nстрока\nвторая строка\r\n\r\n"_s);
        cursor.setPosition(7);
        cursor.setPosition(20, QTextCursor::KeepAnchor);
        editor.setTextCursor(cursor);
        QCOMPARE(editor.selectedTextCrLf(), u"абзац\u00A0и\tтаб\r\nс"_s);
        QCOMPARE(withCrLf(QString()), QString());
        QCOMPARE(withCrLf(QString(QChar::ParagraphSeparator)), u"\r\n"_s);

        // The start of the text, taken without copying the whole, is how the whole begins, a table's
        // frame and the line breaks included.
        cursor.movePosition(QTextCursor::End);
        cursor.insertTable(2, 2);
        cursor.insertText(u"ячейка"_s);
        cursor.movePosition(QTextCursor::End);
        cursor.insertText(u"после таблицы"_s);
        const QString whole = editor.plainTextCrLf();
        for (int length = 0; length <= editor.document()->characterCount() + 1; ++length) {
            const QString start = editor.plainTextCrLfStart(length);
            QVERIFY2(whole.startsWith(start), qPrintable(QString::number(length)));
            QCOMPARE(start.size() - start.count(u"\r\n"_s), std::min(length, editor.document()->characterCount() - 1));
        }
        QCOMPARE(editor.plainTextCrLfStart(editor.document()->characterCount()), whole);
    }

    // Qt works a paragraph's layout out anew each time the caret blinks or moves in it unless it is
    // kept: long paragraphs keep theirs, whichever way they came (typed, set, opened), short ones not.
    void longParagraphsKeepTheirLayout()
    {
        RichEdit editor;
        const auto kept = [&](int block) { return editor.document()->findBlockByNumber(block).layout()->cacheEnabled(); };
        const QString longParagraph = u"Очень длинный абзац без конца. "_s.repeated(LongestUncachedParagraph / 31 + 1);
        editor.setPlainContent(u"Короткий абзац.\r\n"_s + longParagraph + u"\r\nЕщё один короткий."_s);
        QVERIFY(!kept(0));
        QVERIFY(kept(1));
        QVERIFY(!kept(2));

        QTextCursor end(editor.document());
        end.movePosition(QTextCursor::End);
        end.insertText(longParagraph);
        QVERIFY(kept(2));

        auto opened = std::make_unique<QTextDocument>();
        opened->setPlainText(u"Начало.\n"_s + longParagraph);
        editor.replaceDocument(std::move(opened));
        QVERIFY(!kept(0));
        QVERIFY(kept(1));
    }

    void aLongWordIsShownBrokenAnywhereAndKeptWhole()
    {
        RichEdit editor;
        editor.resize(600, 400);
        const QString text = u"Начало строки "_s + word(LongestWrappedWord + 1) + u"\r\nконец."_s;
        editor.setPlainContent(text);
        QVERIFY(breaksAnywhere(editor));
        // The text heard and saved is the one opened: no break was put into it.
        QCOMPARE(editor.plainTextCrLf(), text);
        QTextDocument reread;
        QVERIFY(readRtf(writeRtf(*editor.document()), reread));
        QCOMPARE(reread.toPlainText(), editor.toPlainText());
        // The long word fills many lines of the editor's width.
        editor.show();
        QVERIFY(QTest::qWaitForWindowExposed(&editor));
        const QTextLayout *layout = editor.document()->firstBlock().layout();
        QTRY_VERIFY(layout->lineCount() > 10);
        for (int i = 0; i < layout->lineCount(); ++i)
            QVERIFY(layout->lineAt(i).naturalTextWidth() <= editor.viewport()->width());

        // A new text without such a word is wrapped at word boundaries again.
        editor.setPlainContent(u"Обычный текст из слов."_s);
        QVERIFY(!breaksAnywhere(editor));
        editor.setPlainContent(word(LongestWrappedWord) + u' ' + word(LongestWrappedWord));
        QVERIFY(!breaksAnywhere(editor));
    }

    void aTextTallerThanQtsOnePageIsLaidOutToItsEnd()
    {
        // Paragraphs with wide spaces above make a text of over 8,388,607 pixels from few lines.
        RichEdit editor;
        editor.resize(600, 400);
        editor.show();
        QVERIFY(QTest::qWaitForWindowExposed(&editor));
        QTextCursor cursor(editor.document());
        QTextBlockFormat spaced;
        spaced.setTopMargin(1000);
        cursor.beginEditBlock();
        for (int i = 0; i < 9000; ++i) {
            cursor.insertBlock(spaced);
            cursor.insertText(u"строка"_s);
        }
        cursor.endEditBlock();
        const QTextBlock last = editor.document()->lastBlock();
        QTRY_VERIFY_WITH_TIMEOUT(last.layout()->lineCount() > 0, 60000);
        // Every line has a place of its own below the one before.
        QVERIFY(last.layout()->position().y() > 9000 * 1000);
        QVERIFY(last.layout()->position().y() > last.previous().layout()->position().y());
        // A resize gives the page a new width; the text is laid out to its end again.
        editor.resize(500, 400);
        QTRY_VERIFY_WITH_TIMEOUT(last.layout()->lineCount() > 0, 60000);
        QVERIFY(last.layout()->position().y() > 9000 * 1000);
    }

    void aLongTextIsLaidOutInStepsWithoutChangingIt()
    {
        RichEdit editor;
        editor.resize(600, 400);
        editor.show();
        QVERIFY(QTest::qWaitForWindowExposed(&editor));
        const QString text = u"строка\r\n"_s.repeated(30000) + u"конец"_s;
        editor.setPlainContent(text);
        QSignalSpy changed(editor.document(), &QTextDocument::contentsChanged);
        // A key typed while the text is laid out goes where the caret is.
        typeText(&editor, u"я"_s);
        const QTextBlock last = editor.document()->lastBlock();
        QTRY_VERIFY_WITH_TIMEOUT(last.layout()->lineCount() > 0, 120000);
        QCOMPARE(editor.plainTextCrLf(), u"я"_s + text);
        // Laying out changed nothing: the one change is the typed letter, which alone can be undone.
        QCOMPARE(changed.count(), 1);
        QVERIFY(editor.document()->isModified());
        editor.undo();
        QCOMPARE(editor.plainTextCrLf(), text);
        QVERIFY(!editor.document()->isModified());
        QVERIFY(!editor.document()->isUndoAvailable());
        // Every paragraph has its line, each below the one before.
        qreal previous = -1;
        for (QTextBlock block = editor.document()->firstBlock(); block.isValid(); block = block.next()) {
            QCOMPARE(block.layout()->lineCount(), 1);
            QVERIFY(block.layout()->position().y() > previous);
            previous = block.layout()->position().y();
        }
    }

    void aKeyTypedWhileALongTextIsLaidOutLeavesNoneOfItUnlaidOut()
    {
        // A change laid out while Qt lays a document out in steps ends its steps: paragraphs of many
        // lines below the change were once left without lines (and unseen) for good.
        RichEdit editor;
        editor.resize(1000, 700);
        editor.show();
        QVERIFY(QTest::qWaitForWindowExposed(&editor));
        const QString paragraph = u"Слово за словом идёт рассказ, и в нём много разных слов. "_s.repeated(10);
        editor.setPlainContent((paragraph + u"\r\n"_s).repeated(400) + u"конец"_s);
        typeText(&editor, u"я"_s);
        const QTextBlock last = editor.document()->lastBlock();
        QTRY_VERIFY_WITH_TIMEOUT(last.layout()->lineCount() > 0, 30000);
        for (QTextBlock block = editor.document()->firstBlock(); block.isValid(); block = block.next())
            QVERIFY(block.layout()->lineCount() > 0);
    }

    void aLongWordInAnRtfDocument()
    {
        RichEdit editor;
        QTextDocument source;
        QTextCursor cursor(&source);
        cursor.insertText(u"Заголовок"_s);
        cursor.insertBlock();
        QTextCharFormat bold;
        bold.setFontWeight(QFont::Bold);
        // Formatting changes inside a word do not end it.
        cursor.insertText(word(LongestWrappedWord / 2));
        cursor.insertText(word(LongestWrappedWord / 2 + 1), bold);
        QVERIFY(editor.setRtfContent(writeRtf(source)));
        QVERIFY(breaksAnywhere(editor));
        QCOMPARE(editor.toPlainText(), source.toPlainText());
    }

    // Laid out wrapped at words even once, a line of 250,000 letters took a minute: a document with a
    // long word is laid out broken anywhere from its first line on, whether it is opened in place of
    // the shown one or its whole text is replaced, and a mode that fits already is not changed.
    // A long document's beginning covers the editor, whatever its size, and leaves the editor's own
    // text alone; a long word in it breaks anywhere, as in the editor. The whole document replaces it.
    void theBeginningCoversTheEditorUntilTheWholeDocumentComes()
    {
        RichEdit editor;
        editor.resize(600, 400);
        editor.show();
        QVERIFY(QTest::qWaitForWindowExposed(&editor));
        editor.setPlainContent(u"прежний текст"_s);
        auto beginning = std::make_unique<QTextDocument>();
        beginning->setPlainText(word(LongestWrappedWord + 1) + u"\nначало"_s);
        editor.showBeginning(std::move(beginning));
        auto *shown = editor.findChild<QTextEdit *>(u"RichEditBeginning"_s);
        QVERIFY(shown && shown->isVisible());
        QVERIFY(shown->isReadOnly());
        QCOMPARE(shown->accessibleName(), u"Текст (загружается)"_s);
        QCOMPARE(shown->geometry(), editor.rect());
        QCOMPARE(shown->document()->defaultTextOption().wrapMode(), QTextOption::WrapAnywhere);
        editor.resize(800, 500);
        QCOMPARE(shown->geometry(), editor.rect());
        QCOMPARE(editor.toPlainText(), u"прежний текст"_s);
        QVERIFY(!editor.document()->isUndoAvailable());

        // Refused: gone, the editor as it was.
        editor.hideBeginning();
        QVERIFY(!editor.findChild<QTextEdit *>(u"RichEditBeginning"_s));
        QCOMPARE(editor.toPlainText(), u"прежний текст"_s);

        // Read whole: gone, the whole document in the editor.
        editor.showBeginning(std::make_unique<QTextDocument>());
        QVERIFY(editor.findChild<QTextEdit *>(u"RichEditBeginning"_s));
        auto whole = std::make_unique<QTextDocument>();
        whole->setPlainText(u"начало и конец"_s);
        editor.replaceDocument(std::move(whole));
        QVERIFY(!editor.findChild<QTextEdit *>(u"RichEditBeginning"_s));
        QCOMPARE(editor.toPlainText(), u"начало и конец"_s);
    }

    void aLongWordIsNeverLaidOutWrappedAtWords()
    {
        RichEdit editor;
        editor.resize(600, 400);
        editor.show();
        QVERIFY(QTest::qWaitForWindowExposed(&editor));
        auto document = std::make_unique<QTextDocument>();
        document->setPlainText(word(LongestWrappedWord + 1) + u"\nконец"_s);
        QTextDocument *const opened = document.get();
        QAbstractTextDocumentLayout *const layout = opened->documentLayout();
        int laidOutAtWords = 0;
        int layouts = 0;
        connect(layout, &QAbstractTextDocumentLayout::update, this, [&] {
            ++layouts;
            const QTextLayout *first = opened->firstBlock().layout();
            if (first && first->lineCount() > 0 &&
                opened->defaultTextOption().wrapMode() != QTextOption::WrapAnywhere)
                ++laidOutAtWords;
        });
        editor.replaceDocument(std::move(document));
        QCOMPARE(editor.document(), opened);
        QTRY_VERIFY(opened->firstBlock().layout()->lineCount() > 10);
        QCOMPARE(laidOutAtWords, 0);

        // The whole text replaced by another with a long word: the mode stays, nothing is laid out for it.
        layouts = 0;
        fitWrapModeToChange(*opened, 0, opened->characterCount() - 1);
        QCOMPARE(layouts, 0);
        QVERIFY(breaksAnywhere(editor));
    }

    void editsThatMakeALongWord()
    {
        // Typed or pasted next to a word, which then grows too long.
        RichEdit editor;
        const QString half = word(LongestWrappedWord / 2 + 1);
        editor.setPlainContent(u"Слово "_s + half + u" слово"_s);
        QVERIFY(!breaksAnywhere(editor));
        insertAt(editor, 6 + 10, u"вставка"_s);
        QVERIFY(!breaksAnywhere(editor));
        insertAt(editor, 6 + 10, half);
        QVERIFY(breaksAnywhere(editor));

        // Two words joined by deleting the space between them.
        editor.setPlainContent(half + u' ' + half);
        QVERIFY(!breaksAnywhere(editor));
        QTextCursor cursor(editor.document());
        cursor.setPosition(int(half.size()));
        cursor.deleteChar();
        QVERIFY(breaksAnywhere(editor));
        QCOMPARE(editor.toPlainText(), half + half);

        // Words joined across a paragraph break stay apart: the break ends a word.
        editor.setPlainContent(half + u'\n' + half);
        QVERIFY(!breaksAnywhere(editor));
    }
};

QTEST_MAIN(TestRichEdit)
#include "tst_richedit.moc"
