// Export to the word processor, with a script that records how it was started in its place.
#include "editorwindow.h"

#include "common/core/textfile.h"
#include "editor/rtf/rtfreader.h"
#include "editor/selectionformat.h"
#include "editor/wordexport.h"

#include <QBuffer>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QMimeData>
#include <QTextImageFormat>
#include <QTimer>

using namespace velmira;
using namespace Qt::StringLiterals;

namespace {

const QString Question = u"Экспортировать текст в MS Word?"_s;
const QString NotInstalled = u"Ошибка! Возможно, MS Word не установлен."_s;
const QString Exported = u"Текст успешно экспортирован."_s;

void select(RichEdit &editor, int anchor, int position)
{
    QTextCursor cursor(editor.document());
    cursor.setPosition(anchor);
    cursor.setPosition(position, QTextCursor::KeepAnchor);
    editor.setTextCursor(cursor);
}

void format(RichEdit &editor, int from, int to, StyleFlag flag)
{
    QTextCursor cursor(editor.document());
    cursor.setPosition(from);
    cursor.setPosition(to, QTextCursor::KeepAnchor);
    changeSelectionFormat(cursor, [flag](QTextCharFormat &f) { setStyleFlag(f, flag, true); });
}

QStringList clipboardFormats()
{
    const QMimeData *data = QGuiApplication::clipboard()->mimeData();
    return data ? data->formats() : QStringList();
}

} // namespace

class TestWordExport : public QObject
{
    Q_OBJECT

    QTemporaryDir m_folder;
    QString m_record;

    QString recorded(const QString &name) const { return m_folder.filePath(u"record/"_s + name); }

    // Waits for the script to have run, and gives the arguments it was started with.
    QStringList arguments() const
    {
        if (!QTest::qWaitFor([&] { return QFile::exists(recorded(u"arguments"_s)); }, 10000))
            return {};
        return QString::fromUtf8(readFileBytes(recorded(u"arguments"_s))).split(u'\n', Qt::SkipEmptyParts);
    }

    // The document that the word processor was given.
    std::unique_ptr<QTextDocument> exportedDocument() const
    {
        auto document = std::make_unique<QTextDocument>();
        if (!readRtf(readFileBytes(recorded(u"export.rtf"_s)), *document))
            return {};
        return document;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_folder.isValid());
        QVERIFY(QDir(m_folder.path()).mkpath(u"record"_s));
        QVERIFY(QDir(m_folder.path()).mkpath(u"tmp"_s));
        qputenv("TMPDIR", m_folder.filePath(u"tmp"_s).toUtf8());
        // Writes its arguments and a copy of the file it was given; the arguments last, when all is there.
        const QString script = m_folder.filePath(u"word processor"_s);
        writeFileAtomically(script, u"#!/bin/sh\n"
                                                   "cp \"$3\" '%1/export.rtf' &&\n"
                                                   "printf '%s\\n' \"$@\" > '%1/arguments.part' &&\n"
                                                   "mv '%1/arguments.part' '%1/arguments'\n"_s
                                        .arg(m_folder.filePath(u"record"_s))
                                        .toUtf8());
        QFile::setPermissions(script, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        m_record = script;
    }

    void init()
    {
        qputenv("VELMIRA_WORD_PROCESSOR", m_record.toUtf8());
        QFile::remove(recorded(u"arguments"_s));
        QFile::remove(recorded(u"export.rtf"_s));
        QGuiApplication::clipboard()->setText(u"прежний буфер"_s);
    }

    void noTextNoQuestion()
    {
        EditorWindow w;
        w.run(u"SpeedButton1"_s);
        QCOMPARE(w.status(), u"Нет текста для экспорта!"_s);
        QVERIFY(w.prompter.asked.isEmpty());
    }

    // Every way to the command asks the same question; No leaves everything as it was.
    void everyWayAsks_data()
    {
        QTest::addColumn<QString>("way");
        QTest::newRow("toolbar") << u"SpeedButton1"_s;
        QTest::newRow("menu") << u"MSWord1"_s;
        QTest::newRow("context menu") << u"MSWord2"_s;
        QTest::newRow("Ctrl+W") << QString();
    }
    void everyWayAsks()
    {
        QFETCH(QString, way);
        EditorWindow w;
        w.editor().setPlainContent(u"Текст"_s);
        w.prompter.answers.enqueue(Prompter::Button::No);
        if (way.isEmpty())
            w.ctrl(Qt::Key_W);
        else
            w.run(way);
        QCOMPARE(w.prompter.messages(), QStringList{Question});
        QCOMPARE(w.prompter.asked[0].caption, u"Вельмира 6.1"_s);
        QCOMPARE(w.prompter.asked[0].icon, Prompter::Icon::Question);
        QCOMPARE(w.editor().toPlainText(), u"Текст"_s); // Ctrl+W typed nothing
        QCOMPARE(w.status(), QString());
        QCOMPARE(QGuiApplication::clipboard()->text(), u"прежний буфер"_s);
        QTest::qWait(200);
        QVERIFY(!QFile::exists(recorded(u"arguments"_s)));
    }

    void withoutWordProcessor_data()
    {
        QTest::addColumn<QString>("configured");
        QTest::addColumn<bool>("emptyPath");
        QTest::newRow("named program missing") << m_folder.filePath(u"нет такой программы"_s) << false;
        QTest::newRow("no soffice on the PATH") << QString() << true;
    }
    void withoutWordProcessor()
    {
        QFETCH(QString, configured);
        QFETCH(bool, emptyPath);
        const QByteArray path = qgetenv("PATH");
        qputenv("VELMIRA_WORD_PROCESSOR", configured.toUtf8());
        if (emptyPath)
            qputenv("PATH", m_folder.filePath(u"record"_s).toUtf8());
        EditorWindow w;
        w.editor().setPlainContent(u"Текст"_s);
        w.prompter.answers.enqueue(Prompter::Button::Yes);
        w.run(u"SpeedButton1"_s);
        qputenv("PATH", path);
        QCOMPARE(w.status(), NotInstalled);
        QCOMPARE(w.prompter.messages(), QStringList{Question});
        QCOMPARE(QGuiApplication::clipboard()->text(), u"прежний буфер"_s);
    }

    // A selected word arrives alone with its formatting, and stays selected in the editor.
    void theSelectionWithItsFormatting()
    {
        EditorWindow w;
        RichEdit &editor = w.editor();
        editor.setPlainContent(u"Первое слово второе"_s);
        format(editor, 7, 12, StyleFlag::Bold);
        format(editor, 7, 12, StyleFlag::Italic);
        select(editor, 12, 7);
        w.prompter.answers.enqueue(Prompter::Button::Yes);
        w.ctrl(Qt::Key_W);

        QCOMPARE(w.status(), Exported);
        const QStringList args = arguments();
        QCOMPARE(args.size(), 3);
        QCOMPARE(args.mid(0, 2), (QStringList{u"--writer"_s, u"-n"_s}));
        QVERIFY2(args[2].startsWith(m_folder.filePath(u"tmp/"_s)) && args[2].endsWith(u".rtf"_s),
                 qPrintable(args[2]));
        const std::unique_ptr<QTextDocument> exported = exportedDocument();
        QVERIFY(exported);
        QCOMPARE(exported->toPlainText(), u"слово"_s);
        // A word from the middle of a line brings no paragraph end: pasted, it stays in the line.
        QCOMPARE(readFileBytes(recorded(u"export.rtf"_s)).count("\\par\r\n"), 0);
        QTextCursor word(exported.get());
        word.select(QTextCursor::Document);
        QVERIFY(selectionHasStyle(word, StyleFlag::Bold));
        QVERIFY(selectionHasStyle(word, StyleFlag::Italic));
        // The export file is for this user alone.
        QCOMPARE(QFile::permissions(args[2]) & (QFile::ReadGroup | QFile::ReadOther), QFile::Permissions());

        // The clipboard holds the same text as rich text and as plain text.
        const QStringList formats = clipboardFormats();
        for (const QString &format : {u"text/plain"_s, u"text/html"_s, u"text/rtf"_s, u"application/rtf"_s})
            QVERIFY2(formats.contains(format), qPrintable(format));
        const QMimeData *data = QGuiApplication::clipboard()->mimeData();
        QCOMPARE(data->text(), u"слово"_s);
        QCOMPARE(data->data(u"text/rtf"_s), readFileBytes(recorded(u"export.rtf"_s)));
        QCOMPARE(data->data(u"application/rtf"_s), data->data(u"text/rtf"_s));
        QVERIFY(data->html().contains(u"слово"_s));

        QCOMPARE(editor.textCursor().anchor(), 12);
        QCOMPARE(editor.textCursor().position(), 7);
    }

    // With nothing selected the whole text goes, pictures included, and the caret stays where it was.
    void theWholeTextWithItsPictures()
    {
        EditorWindow w;
        RichEdit &editor = w.editor();
        editor.setPlainContent(u"Строка с картинкой \nи вторая строка"_s);
        QImage image(6, 4, QImage::Format_RGB32);
        image.fill(Qt::blue);
        QByteArray png;
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        image.save(&buffer, "PNG");
        editor.document()->addResource(QTextDocument::ImageResource, QUrl(u"rtfimage:синий"_s), png);
        QTextCursor cursor(editor.document());
        cursor.setPosition(19);
        QTextImageFormat picture;
        picture.setName(u"rtfimage:синий"_s);
        picture.setWidth(6);
        picture.setHeight(4);
        cursor.insertImage(picture);
        select(editor, 5, 5);
        w.prompter.answers.enqueue(Prompter::Button::Yes);
        w.run(u"MSWord1"_s);

        QCOMPARE(w.status(), Exported);
        QCOMPARE(arguments().size(), 3);
        const QByteArray rtf = readFileBytes(recorded(u"export.rtf"_s));
        QVERIFY(rtf.contains("\\pict"));
        QCOMPARE(rtf.count("\\par\r\n"), 1);
        const std::unique_ptr<QTextDocument> exported = exportedDocument();
        QVERIFY(exported);
        QCOMPARE(exported->toPlainText(), u"Строка с картинкой \uFFFC\nи вторая строка"_s);
        QCOMPARE(QGuiApplication::clipboard()->text(), u"Строка с картинкой \uFFFC\nи вторая строка"_s);
        QVERIFY(!editor.textCursor().hasSelection());
        QCOMPARE(editor.textCursor().position(), 5);
    }

    // A program that cannot be started is reported with its reason, never as a success.
    void aProgramThatCannotStart()
    {
        const QString broken = m_folder.filePath(u"сломанный"_s);
        writeFileAtomically(broken, QByteArray("\x7f"
                                               "ELF not really",
                                               15));
        QFile::setPermissions(broken, QFile::ReadOwner | QFile::ExeOwner);
        qputenv("VELMIRA_WORD_PROCESSOR", broken.toUtf8());
        const QDir tmp(m_folder.filePath(u"tmp"_s));
        const qsizetype files = tmp.entryList(QDir::Files).size();
        EditorWindow w;
        w.editor().setPlainContent(u"Текст"_s);
        w.prompter.answers.enqueue(Prompter::Button::Yes);
        w.run(u"SpeedButton1"_s);
        QCOMPARE(w.status(), QString());
        QCOMPARE(w.prompter.asked.size(), 2);
        QCOMPARE(w.prompter.asked[1].icon, Prompter::Icon::Critical);
        QCOMPARE(w.prompter.asked[1].caption, u"Вельмира 6.1"_s);
        QVERIFY2(w.prompter.asked[1].text.contains(u"сломанный"_s), qPrintable(w.prompter.asked[1].text));
        // The clipboard was filled before the program was started.
        QCOMPARE(QGuiApplication::clipboard()->text(), u"Текст"_s);
        // The file meant for it is not left behind.
        QCOMPARE(tmp.entryList(QDir::Files).size(), files);
    }

    // A copy in the editor carries the same formats as the export, and pastes back as it was.
    void copyCarriesRichText()
    {
        EditorWindow w;
        RichEdit &editor = w.editor();
        editor.setPlainContent(u"Жирное слово"_s);
        format(editor, 0, 6, StyleFlag::Bold);
        select(editor, 0, 6);
        w.ctrl(Qt::Key_C);
        QVERIFY(clipboardFormats().contains(u"text/rtf"_s));
        QTextDocument copied;
        QVERIFY(readRtf(QGuiApplication::clipboard()->mimeData()->data(u"text/rtf"_s), copied));
        QCOMPARE(copied.toPlainText(), u"Жирное"_s);
        QTextCursor all(&copied);
        all.select(QTextCursor::Document);
        QVERIFY(selectionHasStyle(all, StyleFlag::Bold));

        select(editor, 12, 12);
        w.ctrl(Qt::Key_V);
        QCOMPARE(editor.toPlainText(), u"Жирное словоЖирное"_s);
        QTextCursor pasted(editor.document());
        pasted.setPosition(12);
        pasted.setPosition(18, QTextCursor::KeepAnchor);
        QVERIFY(selectionHasStyle(pasted, StyleFlag::Bold));
        pasted.setPosition(7);
        pasted.setPosition(12, QTextCursor::KeepAnchor);
        QVERIFY(!selectionHasStyle(pasted, StyleFlag::Bold));
    }

    // Export files of earlier days are removed; those of today are left for the word processor.
    void oldExportFilesAreRemoved()
    {
        const QDir tmp(m_folder.filePath(u"tmp"_s));
        const auto make = [&](const QString &name, int daysAgo) {
            QFile file(tmp.filePath(name));
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write("{\\rtf1 }");
            QVERIFY(file.flush());
            QVERIFY(file.setFileTime(QDateTime::currentDateTime().addDays(-daysAgo),
                                     QFileDevice::FileModificationTime));
        };
        make(u"velmira-export-old123.rtf"_s, 2);
        make(u"velmira-export-new123.rtf"_s, 0);
        make(u"письмо.rtf"_s, 2);
        EditorWindow w;
        w.editor().setPlainContent(u"Текст"_s);
        w.prompter.answers.enqueue(Prompter::Button::Yes);
        w.run(u"SpeedButton1"_s);
        QCOMPARE(w.status(), Exported);
        QVERIFY(!tmp.exists(u"velmira-export-old123.rtf"_s));
        QVERIFY(tmp.exists(u"velmira-export-new123.rtf"_s));
        QVERIFY(tmp.exists(u"письмо.rtf"_s));
    }
};

QTEST_MAIN(TestWordExport)
#include "tst_wordexport.moc"
