// New, Open, Save as, loading documents and the clipboard commands, driven through the main window.
#include "editorwindow.h"
#include "formats/bookfiles.h"

#include "common/core/error.h"
#include "common/core/textcodec.h"
#include "common/core/textfile.h"
#include "editor/documentcommands.h"
#include "editor/formats/documentfile.h"
#include "editor/formats/documentreader.h"
#include "editor/rtf/rtfwriter.h"

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QStringEncoder>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextEdit>
#include <QTimer>

using namespace velmira;
using namespace Qt::StringLiterals;

namespace {

// «Жирное начало» in bold, then « и конец.», as a word processor writes it.
const QByteArray RichDocument =
    "{\\rtf1\\ansi\\ansicpg1251\\deff0{\\fonttbl{\\f0\\froman\\fcharset204 Times New Roman;}}"
    "\\pard\\plain\\f0\\fs24{\\b \\'c6\\'e8\\'f0\\'ed\\'ee\\'e5 \\'ed\\'e0\\'f7\\'e0\\'eb\\'ee}"
    " \\'e8 \\'ea\\'ee\\'ed\\'e5\\'f6.\\par}";

bool isBoldAt(const QTextDocument &document, int position)
{
    QTextCursor cursor(const_cast<QTextDocument *>(&document));
    cursor.setPosition(position + 1);
    return cursor.charFormat().font().bold();
}

} // namespace

class TestDocumentCommands : public QObject
{
    Q_OBJECT

private slots:
    void rtfFilesAreReadAsRichTextInAnyLetterCase()
    {
        EditorWindow w;
        writeFileAtomically(w.file(u"ТЕКСТ.RTF"_s), RichDocument);
        w.prompter.files.enqueue(w.file(u"ТЕКСТ.RTF"_s));
        w.run(u"N3"_s);
        QCOMPARE(w.editor().toPlainText(), u"Жирное начало и конец."_s);
        QVERIFY(isBoldAt(*w.editor().document(), 0));
        QVERIFY(!isBoldAt(*w.editor().document(), 16));
        QCOMPARE(w.editor().textCursor().position(), 0);
    }

    void otherFilesAreReadAsPlainText_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("text");
        const QByteArray lines = toWindows1251(u"первая\nвторая"_s);
        QTest::newRow("rtf name, plain content") << u"заметка.rtf"_s << lines << u"первая\r\nвторая\r\n"_s;
        QTest::newRow("txt with LF") << u"текст.txt"_s << lines << u"первая\r\nвторая\r\n"_s;
        QTest::newRow("no extension, UTF-8")
            << u"текст"_s << u"первая\r\nвторая"_s.toUtf8() << u"первая\r\nвторая\r\n"_s;
        QTest::newRow("RTF code in a txt stays code")
            << u"код.txt"_s << QByteArray("{\\rtf1 {\\b x}}") << u"{\\rtf1 {\\b x}}\r\n"_s;
        QTest::newRow("byte 26 in the middle")
            << u"старый.txt"_s << lines + "\x1A" + toWindows1251(u"мусор"_s) << u"первая\r\nвторая\r\n"_s;
        // "Unicode" as Windows editors save it: the NUL bytes of its Latin letters and spaces make no
        // binary file of it.
        const QString unicode = u"первая строка, line\r\nвторая"_s;
        QTest::newRow("UTF-16 with its byte-order mark")
            << u"юникод.txt"_s
            << QByteArray(QStringEncoder(QStringConverter::Utf16LE, QStringConverter::Flag::WriteBom)
                              .encode(unicode))
            << u"первая строка, line\r\nвторая\r\n"_s;
        QTest::newRow("UTF-16 big-endian in an rtf name")
            << u"юникод.rtf"_s
            << QByteArray(QStringEncoder(QStringConverter::Utf16BE, QStringConverter::Flag::WriteBom)
                              .encode(unicode))
            << u"первая строка, line\r\nвторая\r\n"_s;
    }

    void otherFilesAreReadAsPlainText()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, bytes);
        QFETCH(QString, text);
        EditorWindow w;
        // A formatted text before: the plain text must not take its formatting.
        writeFileAtomically(w.file(u"rich.rtf"_s), RichDocument);
        LoadDocument(w.editor(), w.file(u"rich.rtf"_s));
        writeFileAtomically(w.file(name), bytes);
        LoadDocument(w.editor(), w.file(name));
        QCOMPARE(w.editor().plainTextCrLf(), text);
        // One paragraph per line, and the trailing line end makes an empty last one.
        QCOMPARE(w.editor().document()->blockCount(), int(text.count(u"\r\n"_s)) + 1);
        const QFont font = w.editor().document()->begin().begin().fragment().charFormat().font();
        QCOMPARE(font.family(), RichEdit::defaultFont().family());
        QCOMPARE(font.pixelSize(), RichEdit::defaultFont().pixelSize());
        QVERIFY(!font.bold());
    }

    void aFileThatCannotBeReadLeavesTheEditorAlone()
    {
        EditorWindow w;
        w.editor().setPlainContent(u"мой текст"_s);
        QVERIFY_THROWS_EXCEPTION(Error, LoadDocument(w.editor(), w.file(u"нет такого.txt"_s)));
        QCOMPARE(w.editor().toPlainText(), u"мой текст"_s);

        // Too large to open: refused with a message, not read.
        QFile big(w.file(u"огромный.txt"_s));
        QVERIFY(big.open(QIODevice::WriteOnly));
        QVERIFY(big.resize(MaxDocumentSize + 1));
        big.close();
        w.prompter.answers.enqueue(Prompter::Button::Yes);
        w.prompter.files.enqueue(big.fileName());
        w.run(u"N3"_s);
        QCOMPARE(w.editor().toPlainText(), u"мой текст"_s);
        const FakePrompter::Asked &message = w.prompter.asked.last();
        QCOMPARE(message.kind, FakePrompter::Asked::Kind::Message);
        QCOMPARE(message.caption, u"Вельмира 6.1"_s);
        QCOMPARE(message.icon, Prompter::Icon::Critical);
        // One byte over: the size says so, not "64,0 МБ".
        QVERIFY2(message.text.contains(u"огромный.txt"_s) &&
                     message.text.contains(u"67\u00A0108\u00A0865 байт"_s) &&
                     message.text.contains(u"64 МБ (67\u00A0108\u00A0864 байт)"_s),
                 qPrintable(message.text));
    }

    // A book opens by the command line and by Open alike; a damaged one is reported by name and leaves
    // the text as it was.
    void booksOpenAndDamagedOnesLeaveTheTextAlone()
    {
        QTemporaryDir folder;
        const QString book = folder.filePath(u"повесть.fb2.zip"_s);
        writeFileAtomically(book, bookfiles::zipOf({{u"повесть.fb2"_s, bookfiles::fb2Book("windows-1251")}}));
        EditorWindow w({book});
        QCOMPARE(w.editor().toPlainText().replace(QChar::ParagraphSeparator, u'\n') + u'\n',
                 bookfiles::fb2BookText());
        QVERIFY(isBoldAt(*w.editor().document(), w.editor().toPlainText().indexOf(u"ветер стих"_s)));

        const QString damaged = folder.filePath(u"отчёт.docx"_s);
        writeFileAtomically(damaged, bookfiles::docxDocument().left(300));
        w.prompter.answers.enqueue(Prompter::Button::Yes);
        w.prompter.files.enqueue(damaged);
        const QString before = w.editor().toPlainText();
        w.run(u"N3"_s);
        QCOMPARE(w.editor().toPlainText(), before);
        QCOMPARE(w.prompter.asked.last().icon, Prompter::Icon::Critical);
        QVERIFY2(w.prompter.asked.last().text.contains(u"«отчёт.docx»"_s), qPrintable(w.prompter.asked.last().text));

        w.prompter.answers.enqueue(Prompter::Button::Yes);
        w.prompter.files.enqueue(folder.filePath(u"отчёт.odt"_s));
        writeFileAtomically(w.prompter.files.head(), bookfiles::odtDocument());
        w.run(u"N3"_s);
        QVERIFY(w.editor().toPlainText().startsWith(u"Отчёт"_s));
    }

    void openAsksOnlyWhenThereIsText()
    {
        EditorWindow w;
        writeFileAtomically(w.file(u"a.txt"_s), "A");
        writeFileAtomically(w.file(u"b.txt"_s), "B");

        // Empty editor: straight to the file box.
        w.prompter.files.enqueue(w.file(u"a.txt"_s));
        w.run(u"N3"_s);
        QCOMPARE(w.prompter.asked.size(), 1);
        QCOMPARE(w.prompter.asked[0].kind, FakePrompter::Asked::Kind::OpenFile);
        QCOMPARE(w.prompter.asked[0].caption, u"Выбор файла для открытия"_s);
        // All files first, then the books and documents the program reads.
        QVERIFY(w.prompter.asked[0].text.startsWith(u"Все файлы (*.*)|*.*|Книги и документы|"_s));
        QVERIFY(w.prompter.asked[0].text.contains(u"*.fb2.zip"_s));
        QCOMPARE(w.editor().toPlainText(), u"A\n"_s);

        // Answered No: no file box, nothing changes.
        w.prompter.asked.clear();
        w.prompter.answers.enqueue(Prompter::Button::No);
        w.ctrl(Qt::Key_O);
        QCOMPARE(w.prompter.messages(),
                 QStringList{u"Если текущий текст не сохранён, то он будет утерян. Продолжать?"_s});
        QCOMPARE(w.prompter.asked.size(), 1);
        QCOMPARE(w.prompter.asked[0].icon, Prompter::Icon::Question);
        QCOMPARE(w.editor().toPlainText(), u"A\n"_s);

        // Yes, then the box is cancelled: nothing changes.
        w.prompter.answers.enqueue(Prompter::Button::Yes);
        w.run(u"N3"_s);
        QCOMPARE(w.editor().toPlainText(), u"A\n"_s);

        // Yes and a file: the box shows the file chosen before, and the new one is loaded.
        w.prompter.asked.clear();
        w.prompter.answers.enqueue(Prompter::Button::Yes);
        w.prompter.files.enqueue(w.file(u"b.txt"_s));
        w.run(u"N3"_s);
        QCOMPARE(w.prompter.asked.last().name, w.file(u"a.txt"_s));
        QCOMPARE(w.editor().toPlainText(), u"B\n"_s);

        // A name of no file loads nothing.
        w.prompter.answers.enqueue(Prompter::Button::Yes);
        w.prompter.files.enqueue(w.file(u"нет.txt"_s));
        w.run(u"N3"_s);
        QCOMPARE(w.editor().toPlainText(), u"B\n"_s);
    }

    void newClearsAfterAsking()
    {
        EditorWindow w;
        w.run(u"N2"_s);
        QCOMPARE(w.status(), u"Нет текста"_s);
        QVERIFY(w.prompter.asked.isEmpty());

        w.editor().setPlainContent(u"текст"_s);
        w.prompter.answers.enqueue(Prompter::Button::No);
        w.ctrl(Qt::Key_N);
        QCOMPARE(w.prompter.messages(), QStringList{u"Очистить рабочую область?"_s});
        QCOMPARE(w.editor().toPlainText(), u"текст"_s);

        w.prompter.answers.enqueue(Prompter::Button::Yes);
        w.run(u"N2"_s);
        QVERIFY(w.editor().document()->isEmpty());
        // Typing afterwards uses the editor's own font.
        w.type(u"новое"_s);
        QCOMPARE(w.editor().textCursor().charFormat().font().family(), RichEdit::defaultFont().family());
    }

    void saveAsNamesTheFileOnce_data()
    {
        QTest::addColumn<QString>("chosen");
        QTest::addColumn<QString>("written");
        QTest::newRow("no extension") << u"итог"_s << u"итог.rtf"_s;
        QTest::newRow(".rtf") << u"итог.rtf"_s << u"итог.rtf"_s;
        QTest::newRow(".RTF") << u"ИТОГ.RTF"_s << u"ИТОГ.RTF"_s;
        QTest::newRow(".txt") << u"итог.txt"_s << u"итог.txt.rtf"_s;
    }

    void saveAsNamesTheFileOnce()
    {
        QFETCH(QString, chosen);
        QFETCH(QString, written);
        EditorWindow w;
        w.editor().setPlainContent(u"строка"_s);
        w.prompter.files.enqueue(w.file(chosen));
        w.run(u"N5"_s);
        QCOMPARE(QDir(w.home.path()).entryList(QDir::Files), QStringList{written});
        QVERIFY(readFileBytes(w.file(written)).startsWith("{\\rtf1"));
        QCOMPARE(w.prompter.asked.size(), 1);
        QCOMPARE(w.prompter.asked[0].caption, u"Выбор файла для сохранения"_s);
        QCOMPARE(w.prompter.asked[0].text, u"Файл RTF|*.rtf|Все файлы (*.*)|*.*"_s);
    }

    void saveThenOpenGivesTheSameDocument()
    {
        EditorWindow w;
        writeFileAtomically(w.file(u"исходный.rtf"_s), RichDocument);
        LoadDocument(w.editor(), w.file(u"исходный.rtf"_s));
        QTextCursor cursor(w.editor().document());
        cursor.movePosition(QTextCursor::End);
        cursor.insertBlock();
        cursor.insertText(u"Вторая строка"_s);
        const QByteArray saved = writeRtf(*w.editor().document());

        w.prompter.files.enqueue(w.file(u"копия.rtf"_s));
        w.ctrl(Qt::Key_S);
        QCOMPARE(readFileBytes(w.file(u"копия.rtf"_s)), saved);

        // Saving again over the file replaces it without asking.
        w.editor().setPlainContent(u"другой"_s);
        w.prompter.files.enqueue(w.file(u"копия.rtf"_s));
        w.run(u"N5"_s);
        QVERIFY(w.prompter.messages().isEmpty());
        w.prompter.answers.enqueue(Prompter::Button::Yes);
        w.prompter.files.enqueue(w.file(u"копия.rtf"_s));
        w.run(u"N3"_s);
        QCOMPARE(w.editor().toPlainText(), u"другой"_s);

        LoadDocument(w.editor(), w.file(u"исходный.rtf"_s));
        QCOMPARE(w.editor().toPlainText(), u"Жирное начало и конец."_s);
        QVERIFY(isBoldAt(*w.editor().document(), 0));
    }

    void aFailedSaveIsShown()
    {
        EditorWindow w;
        w.editor().setPlainContent(u"текст"_s);
        w.prompter.files.enqueue(w.file(u"нет папки/итог"_s));
        w.run(u"N5"_s);
        QCOMPARE(w.prompter.asked.last().kind, FakePrompter::Asked::Kind::Message);
        QCOMPARE(w.prompter.asked.last().caption, u"Вельмира 6.1"_s);
        QCOMPARE(w.prompter.asked.last().icon, Prompter::Icon::Critical);
        QVERIFY(w.prompter.asked.last().text.contains(u"итог.rtf"_s));
    }

    // A document is read aside and then shown in place of the editor's: what the editor ends up with
    // is what reading it into the editor's own document in one step gives, and so is what typing at the
    // caret afterwards gives.
    void anOpenedDocumentIsTheOneReadInOneStep_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("text") << u"заметки.txt"_s << u"Первая строка\n\nтретья\tс табуляцией\r\n"_s.toUtf8();
        QTest::newRow("text of one long word") << u"base64.txt"_s << QByteArray(20000, 'Q');
        QTest::newRow("rtf without rtf") << u"не rtf.rtf"_s << bookfiles::windows1251(u"Просто текст"_s);
        const QByteArray picture = bookfiles::pngPicture().toHex();
        QTest::newRow("rtf") << u"письмо.rtf"_s
                             << QByteArray("{\\rtf1\\ansi\\ansicpg1251{\\fonttbl{\\f0 Arial;}{\\f1 Courier New;}}"
                                           "{\\colortbl;\\red200\\green0\\blue0;}"
                                           "\\pard\\qc\\sb120{\\b\\fs32 \\'c7\\'e0\\'e3\\'ee\\'eb\\'ee\\'e2\\'ee\\'ea}\\par"
                                           "\\pard\\li720{\\i\\cf1 \\'ea\\'f3\\'f0\\'f1\\'e8\\'e2}\\tab{\\f1 \\'ea\\'ee\\'e4}"
                                           "\\line{\\pict\\pngblip\\picwgoal120\\pichgoal60 ") +
                                    picture + "}\\par}";
        QTest::newRow("long word") << u"ссылка.rtf"_s
                                   << "{\\rtf1\\ansi " + QByteArray(20000, 'w') + "\\par}";
        QTest::newRow("fb2") << u"книга.fb2"_s << bookfiles::fb2Book("UTF-8");
        QTest::newRow("html") << u"страница.html"_s
                              << bookfiles::xhtmlPage(u"<h1>Глава</h1><p>Первый <b>абзац</b>.</p><ul><li>пункт</li></ul>"_s);
    }

    void anOpenedDocumentIsTheOneReadInOneStep()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, bytes);
        EditorWindow w;
        // Read on a thread of its own, as in a window that is shown.
        w.window->show();
        writeFileAtomically(w.file(name), bytes);
        w.editor().setPlainContent(u"прежний текст"_s);
        LoadDocument(w.editor(), w.file(name));

        // As the editor took a document in one step: plain text its own quick way, the rest read into
        // its document.
        RichEdit oneStep;
        oneStep.setPlainContent(u"прежний текст"_s);
        if (name.endsWith(u".txt"_s) || (name.endsWith(u".rtf"_s) && !bytes.startsWith("{\\rtf"))) {
            oneStep.setPlainContent(plainDocumentText(bytes));
        } else {
            readDocument(w.file(name), bytes, *oneStep.document());
            oneStep.moveCursor(QTextCursor::Start);
        }

        QTextDocument &opened = *w.editor().document();
        QCOMPARE(opened.toHtml(), oneStep.document()->toHtml());
        QCOMPARE(writeRtf(opened), writeRtf(*oneStep.document()));
        QCOMPARE(opened.defaultTextOption().wrapMode(), oneStep.document()->defaultTextOption().wrapMode());
        QVERIFY(!opened.isUndoAvailable());
        QCOMPARE(w.editor().textCursor().position(), 0);
        w.type(u"ж"_s);
        oneStep.setFocus();
        QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, u"ж"_s);
        QApplication::sendEvent(&oneStep, &press);
        QCOMPARE(opened.toHtml(), oneStep.document()->toHtml());
        // The new document is the editor's: its changes are seen as the old one's were.
        QVERIFY(opened.isUndoAvailable());
        QCOMPARE(w.editor().document(), &opened);
    }

    // The window goes on answering while a document is read: it is drawn and its timers run, and
    // until the document is ready the editor keeps the text it had.
    void theWindowAnswersWhileADocumentIsRead()
    {
        EditorWindow w;
        w.window->show();
        QTextDocument written;
        QTextCursor cursor(&written);
        for (int i = 0; i < 3000; ++i) {
            if (i > 0)
                cursor.insertBlock();
            cursor.insertText(u"Абзац номер %1, в котором несколько слов."_s.arg(i));
        }
        writeFileAtomically(w.file(u"длинный.rtf"_s), writeRtf(written));
        w.editor().setPlainContent(u"прежний текст"_s);
        QString seenWhileReading;
        QTimer::singleShot(0, w.window.get(), [&] { seenWhileReading = w.editor().toPlainText(); });
        LoadDocument(w.editor(), w.file(u"длинный.rtf"_s));
        QCOMPARE(seenWhileReading, u"прежний текст"_s);
        QVERIFY(w.editor().toPlainText().startsWith(u"Абзац номер 0, в котором"_s));
        QCOMPARE(w.editor().document()->blockCount(), 3000);
    }

    // A long document's beginning is shown as soon as it is read, over the editor, while the rest is
    // read aside; the editor keeps its own text until the whole document replaces it.
    void aLongDocumentsBeginningShowsWhileTheRestIsRead_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("bytes");
        QString lines;
        QTextDocument written;
        QTextCursor cursor(&written);
        for (int i = 0; i < 5000; ++i) {
            lines += u"Строка номер %1\n"_s.arg(i);
            if (i > 0)
                cursor.insertBlock();
            cursor.insertText(u"Строка номер %1"_s.arg(i));
        }
        QTest::newRow("text") << u"строки.txt"_s << lines.toUtf8();
        QTest::newRow("rtf") << u"строки.rtf"_s << writeRtf(written);
        QTest::newRow("empty paragraphs") << u"пустые.rtf"_s
                                          << "{\\rtf1\\ansi\\ansicpg1251 \\'d1\\'f2\\'f0\\'ee\\'ea\\'e0 " +
                                                 QByteArray("\\par\n").repeated(5000) + "}";
    }

    void aLongDocumentsBeginningShowsWhileTheRestIsRead()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, bytes);
        EditorWindow w;
        w.window->show();
        writeFileAtomically(w.file(name), bytes);
        w.editor().setPlainContent(u"прежний текст"_s);
        struct Seen : QObject
        {
            EditorWindow &w;
            QString beginning;
            QString editorsOwn;
            bool shown = false;
            explicit Seen(EditorWindow &window) : w(window) {}
            bool eventFilter(QObject *watched, QEvent *event) override
            {
                if (event->type() == QEvent::Show && watched->objectName() == u"RichEditBeginning"_s) {
                    shown = true;
                    beginning = qobject_cast<QTextEdit *>(watched)->toPlainText();
                    editorsOwn = w.editor().toPlainText();
                }
                return false;
            }
        } seen(w);
        qApp->installEventFilter(&seen);
        LoadDocument(w.editor(), w.file(name));
        qApp->removeEventFilter(&seen);

        QVERIFY(seen.shown);
        QCOMPARE(seen.editorsOwn, u"прежний текст"_s);
        const QString whole = w.editor().toPlainText();
        QVERIFY(whole.startsWith(seen.beginning));
        // A screenful at least, and far from the whole.
        QVERIFY(seen.beginning.count(u'\n') >= 100);
        QVERIFY(seen.beginning.size() < whole.size() / 4);
        QVERIFY(seen.beginning.startsWith(u"Строка"_s));
        auto *beginning = w.editor().findChild<QTextEdit *>(u"RichEditBeginning"_s);
        QVERIFY(!beginning || !beginning->isVisible());
        QVERIFY(w.editor().document()->blockCount() >= 5000);
    }

    // While «Открыть...» reads a long document, the status bar says so, and stops saying it once the
    // document is in (or refused).
    void openSaysThatALongDocumentIsBeingRead()
    {
        EditorWindow w;
        w.window->show();
        writeFileAtomically(w.file(u"строки.txt"_s), u"строка\n"_s.repeated(5000).toUtf8());
        writeFileAtomically(w.file(u"пустые.rtf"_s),
                            "{\\rtf1 " + QByteArray("\\par ").repeated(MaxDocumentParagraphs + 1) + "}");
        QString statusWhileReading;
        struct Seen : QObject
        {
            std::function<void()> shown;
            bool eventFilter(QObject *watched, QEvent *event) override
            {
                if (event->type() == QEvent::Show && watched->objectName() == u"RichEditBeginning"_s)
                    shown();
                return false;
            }
        } seen;
        seen.shown = [&] {
            statusWhileReading = w.status();
        };
        qApp->installEventFilter(&seen);
        w.prompter.files.enqueue(w.file(u"строки.txt"_s));
        w.run(u"N3"_s);
        QCOMPARE(statusWhileReading, u"Загружается текст из файла «строки.txt»..."_s);
        QCOMPARE(w.status(), QString());
        QCOMPARE(w.editor().document()->blockCount(), 5001);

        // Refused once read: its beginning has gone, the text before stays.
        statusWhileReading.clear();
        w.prompter.answers.enqueue(Prompter::Button::Yes);
        w.prompter.files.enqueue(w.file(u"пустые.rtf"_s));
        w.run(u"N3"_s);
        qApp->removeEventFilter(&seen);
        QCOMPARE(statusWhileReading, u"Загружается текст из файла «пустые.rtf»..."_s);
        QCOMPARE(w.status(), QString());
        QVERIFY(w.prompter.messages().last().contains(u"пустые.rtf"_s));
        auto *beginning = w.editor().findChild<QTextEdit *>(u"RichEditBeginning"_s);
        QVERIFY(!beginning || !beginning->isVisible());
        QCOMPARE(w.editor().document()->blockCount(), 5001);
        QVERIFY(w.editor().toPlainText().startsWith(u"строка\nстрока\n"_s));
    }

    // A long document opened in place of the shown one is laid out to its end between the window's
    // events, and laying it out changes nothing in it. A book in paragraphs of a few lines, in a wide
    // window, was once laid out a few screenfuls deep and no further.
    void aDocumentOpenedInPlaceIsLaidOutToItsEndUnchanged()
    {
        EditorWindow w;
        RichEdit editor;
        editor.resize(1000, 700);
        editor.show();
        QVERIFY(QTest::qWaitForWindowExposed(&editor));
        QTextDocument written;
        QTextCursor cursor(&written);
        QTextCharFormat bold;
        bold.setFontWeight(QFont::Bold);
        const QString sentence = u"Слово за словом идёт рассказ, и в нём много разных слов. "_s;
        for (int i = 0; i < 400; ++i) {
            if (i > 0)
                cursor.insertBlock();
            cursor.insertText(sentence.repeated(7), QTextCharFormat());
            cursor.insertText(sentence.repeated(3), bold);
        }
        writeFileAtomically(w.file(u"книга.rtf"_s), writeRtf(written));
        LoadDocument(editor, w.file(u"книга.rtf"_s));

        QTextDocument &opened = *editor.document();
        const QByteArray shown = writeRtf(opened);
        QSignalSpy changed(&opened, &QTextDocument::contentsChanged);
        const auto laidOut = [&opened] { return opened.lastBlock().layout()->lineCount() > 0; };
        int turnsLayingOut = 0;
        QTimer turns;
        turns.setInterval(0);
        QObject::connect(&turns, &QTimer::timeout, &turns, [&] { turnsLayingOut += laidOut() ? 0 : 1; });
        turns.start();
        QTRY_VERIFY_WITH_TIMEOUT(laidOut(), 30000);
        // Laid out a piece at a time, the window's events between the pieces.
        QVERIFY(turnsLayingOut > 1);
        qreal previous = -1;
        for (QTextBlock block = opened.firstBlock(); block.isValid(); block = block.next()) {
            QVERIFY(block.layout()->lineCount() > 1);
            QVERIFY(block.layout()->position().y() > previous);
            previous = block.layout()->position().y();
        }
        QCOMPARE(writeRtf(opened), shown);
        QCOMPARE(changed.count(), 0);
        QVERIFY(!opened.isUndoAvailable());
    }

    void documentOnTheCommandLineOpensAtStart()
    {
        QTemporaryDir folder;
        const QString path = folder.filePath(u"Письмо.RTF"_s);
        writeFileAtomically(path, RichDocument);
        EditorWindow w({path});
        QCOMPARE(w.editor().toPlainText(), u"Жирное начало и конец."_s);
        QVERIFY(isBoldAt(*w.editor().document(), 0));
        // Shown from its start, not scrolled to where the reader stopped writing.
        QCOMPARE(w.editor().textCursor().position(), 0);

        // One too large to open is refused; the program starts all the same.
        QFile big(folder.filePath(u"огромный.txt"_s));
        QVERIFY(big.open(QIODevice::WriteOnly));
        QVERIFY(big.resize(MaxDocumentSize + 1));
        big.close();
        EditorWindow refused({big.fileName()});
        QVERIFY(!refused.window->creationFailed());
        QVERIFY(refused.editor().document()->isEmpty());
        QCOMPARE(refused.prompter.asked.size(), 1);
        QCOMPARE(refused.prompter.asked[0].icon, Prompter::Icon::Critical);
    }

    void clipboardCommandsFromMenuAndContextMenu_data()
    {
        QTest::addColumn<QStringList>("items"); // select all, copy, cut, paste
        QTest::newRow("Правка") << QStringList{u"N7"_s, u"CtrlC1"_s, u"CtrlX1"_s, u"Dcnfdbnm1"_s};
        QTest::newRow("context menu") << QStringList{u"N29"_s, u"N27"_s, u"N26"_s, u"N28"_s};
    }

    void clipboardCommandsFromMenuAndContextMenu()
    {
        QFETCH(QStringList, items);
        EditorWindow w;
        QApplication::clipboard()->clear();
        w.editor().setPlainContent(u"раз два"_s);
        w.run(items[0]);
        QCOMPARE(w.editor().textCursor().selectedText(), u"раз два"_s);
        w.run(items[1]);
        QCOMPARE(QApplication::clipboard()->text(), u"раз два"_s);
        QCOMPARE(w.editor().toPlainText(), u"раз два"_s);

        w.editor().setSelStart(4);
        w.editor().setSelLength(3);
        w.run(items[2]);
        QCOMPARE(QApplication::clipboard()->text(), u"два"_s);
        QCOMPARE(w.editor().toPlainText(), u"раз "_s);

        w.editor().setSelStart(0);
        w.editor().setSelLength(3);
        w.run(items[3]);
        QCOMPARE(w.editor().toPlainText(), u"два "_s);
    }
};

QTEST_MAIN(TestDocumentCommands)
#include "tst_documentcommands.moc"
