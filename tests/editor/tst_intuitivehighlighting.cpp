// The intuitive highlighting scan and its runs over a document.
#include "editor/intuitivehighlighting.h"
#include "editor/richedit.h"
#include "editor/selectionformat.h"
#include "editor/textpositions.h"

#include <QAbstractTextDocumentLayout>
#include <QImage>
#include <QRandomGenerator>
#include <QTest>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextImageFormat>

using namespace velmira;
using namespace Qt::StringLiterals;

namespace {

QStringList markedTexts(const QString &text)
{
    QStringList marked;
    for (const TextSpan &span : intuitiveMarks(text))
        marked << text.mid(span.start, span.length);
    return marked;
}

void format(QTextDocument &document, int from, int to, StyleFlag flag)
{
    QTextCursor cursor(&document);
    cursor.setPosition(from);
    cursor.setPosition(to, QTextCursor::KeepAnchor);
    changeSelectionFormat(cursor, [=](QTextCharFormat &f) { setStyleFlag(f, flag, true); });
}

bool has(const QTextDocument &document, int position, StyleFlag flag)
{
    QTextCursor cursor(const_cast<QTextDocument *>(&document));
    cursor.setPosition(position);
    cursor.setPosition(position + 1, QTextCursor::KeepAnchor);
    return selectionHasStyle(cursor, flag);
}

// For every character of the document (paragraph ends left out): whether it has the flag.
QString flagMap(const QTextDocument &document, StyleFlag flag)
{
    const QString raw = document.toRawText();
    QString map;
    for (int i = 0; i < raw.size(); ++i) {
        if (raw[i] == QChar::ParagraphSeparator)
            map += u'|';
        else
            map += has(document, i, flag) ? u'#' : u'.';
    }
    return map;
}

// The words of the document's text that are bold throughout.
QStringList boldWords(const QTextDocument &document)
{
    QStringList words;
    const QString raw = document.toRawText();
    QString word;
    for (int i = 0; i <= raw.size(); ++i) {
        if (i < raw.size() && has(document, i, StyleFlag::Bold)) {
            word += raw[i] == QChar::ParagraphSeparator ? u'|' : raw[i];
        } else if (!word.isEmpty()) {
            words << word;
            word.clear();
        }
    }
    return words;
}

// Whether any character of the document is shown in bold.
bool hasAnyBold(const QTextDocument &document)
{
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            if (effectiveFont(it.fragment().charFormat(), document).bold())
                return true;
        }
    }
    return false;
}

const QString Counting = u"Раз два три четыре пять шесть семь восемь девять десять"_s;

} // namespace

class TestIntuitiveHighlighting : public QObject
{
    Q_OBJECT

private slots:
    void marks_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("marked");

        // «Раз» is a candidate too short to mark; «десять» follows the last space.
        QTest::newRow("counting") << Counting << QStringList{u"пять"_s, u"девять"_s};
        QTest::newRow("leading space") << u" Раз два три четыре пять"_s << QStringList{u"четыре"_s};
        // The comma counts; the empty token between the two spaces is the second candidate.
        QTest::newRow("double space")
            << u"дом, кот и пёс  бежали по дороге домой"_s << QStringList{u"дом,"_s};
        QTest::newRow("no spaces") << u"Длинноеслововсплошную"_s << QStringList{};
        QTest::newRow("one word then a space") << u"Первое "_s << QStringList{u"Первое"_s};
        QTest::newRow("last token is never a candidate")
            << u"один два три четыре пятое"_s << QStringList{u"один"_s};
        // A line break is two characters of the token it stands in: «а», CR, LF, «б» make four.
        QTest::newRow("line break counts twice")
            << u"а\r\nб два три четыре пять"_s << QStringList{u"а\r\nб"_s};
        QTest::newRow("three letters are not enough")
            << u"кот два три четыре слон шесть"_s << QStringList{u"слон"_s};
        // Tabs and non-breaking spaces do not separate words.
        QTest::newRow("tab and nbsp")
            << u"да\u00A0нет два\tтри четыре пятый шестой "_s << QStringList{u"да\u00A0нет"_s, u"шестой"_s};
        QTest::newRow("only spaces") << u"         "_s << QStringList{};
        QTest::newRow("empty") << QString() << QStringList{};
    }

    void marks()
    {
        QFETCH(QString, text);
        QFETCH(QStringList, marked);
        QCOMPARE(markedTexts(text), marked);
    }

    // Bold goes everywhere except on the marks; italic and underline stay on exactly the characters that
    // had them.
    void runMarksOnlyTheWordsAndKeepsOtherStyles()
    {
        QTextDocument document;
        document.setPlainText(Counting);
        format(document, 4, 11, StyleFlag::Italic);     // «два три»
        format(document, 19, 21, StyleFlag::Underline); // «пя»
        format(document, 8, 11, StyleFlag::Bold);       // «три»
        format(document, 49, 55, StyleFlag::Bold);      // «десять»
        const QString italic = flagMap(document, StyleFlag::Italic);
        const QString underline = flagMap(document, StyleFlag::Underline);

        QCOMPARE(intuitiveHighlight(document, true, {}), HighlightOutcome::Completed);
        QCOMPARE(boldWords(document), (QStringList{u"пять"_s, u"девять"_s}));
        QCOMPARE(flagMap(document, StyleFlag::Italic), italic);
        QCOMPARE(flagMap(document, StyleFlag::Underline), underline);
        QCOMPARE(document.toPlainText(), Counting);

        // A second run finds the same words: each run starts from a text without bold.
        QCOMPARE(intuitiveHighlight(document, true, {}), HighlightOutcome::Completed);
        QCOMPARE(boldWords(document), (QStringList{u"пять"_s, u"девять"_s}));
    }

    // Tokens that run across paragraph ends are marked on the right characters of every paragraph.
    void marksLandOnTheirCharactersAcrossParagraphs()
    {
        QRandomGenerator random(7);
        const QStringList words = {u"а"_s,      u"мы"_s,          u"кот"_s, u"лиса"_s,
                                   u"дорога"_s, u"удивительно"_s, u""_s};
        for (int round = 0; round < 20; ++round) {
            QString text;
            const int count = 20 + random.bounded(200);
            for (int i = 0; i < count; ++i) {
                text += words[random.bounded(int(words.size()))];
                const int gap = random.bounded(10);
                text += gap == 0 ? u"\n"_s : gap == 1 ? u"  "_s : gap == 2 ? u" \n"_s : u" "_s;
            }
            QTextDocument document;
            document.setPlainText(text);
            QCOMPARE(intuitiveHighlight(document, true, {}), HighlightOutcome::Completed);

            // What should be bold, from the program's CR LF text and the editor's own position mapping.
            const QString crLf = withCrLf(document.toRawText());
            QString expected(document.toRawText().size(), u'.');
            for (const TextSpan &span : intuitiveMarks(crLf)) {
                const int from = fromCrLfPosition(document, span.start);
                const int to = fromCrLfPosition(document, span.start + span.length);
                for (int i = from; i < to; ++i)
                    expected[i] = u'#';
            }
            const QString raw = document.toRawText();
            for (int i = 0; i < raw.size(); ++i) {
                if (raw[i] == QChar::ParagraphSeparator)
                    expected[i] = u'|';
            }
            QCOMPARE(flagMap(document, StyleFlag::Bold), expected);
        }
    }

    void picturesStayPictures()
    {
        QTextDocument document;
        QTextCursor cursor(&document);
        cursor.insertText(u"Раз два три четыре пять"_s);
        QImage image(4, 4, QImage::Format_RGB32);
        image.fill(Qt::red);
        document.addResource(QTextDocument::ImageResource, QUrl(u"rtfimage:красный"_s), image);
        QTextImageFormat picture;
        picture.setName(u"rtfimage:красный"_s);
        cursor.insertImage(picture);
        cursor.insertText(u" шесть"_s);

        QCOMPARE(intuitiveHighlight(document, true, {}), HighlightOutcome::Completed);
        QTextCursor at(&document);
        at.setPosition(24);
        QVERIFY(at.charFormat().isImageFormat());
        QCOMPARE(at.charFormat().toImageFormat().name(), u"rtfimage:красный"_s);
        QVERIFY(has(document, 19, StyleFlag::Bold)); // «пять», which with the picture is five characters
    }

    // The editor is not laid out all at once when a run on a long text ends (the window would freeze),
    // but from its start, the rest while events go on.
    void aLongTextIsLaidOutAfterwardsAPieceAtATime()
    {
        RichEdit editor;
        editor.resize(500, 300);
        editor.show();
        QVERIFY(QTest::qWaitForWindowExposed(&editor));
        QString text;
        for (int i = 0; i < 3000; ++i)
            text += u"Длинная строка текста для выделения слов номер %1\n"_s.arg(i);
        editor.setPlainContent(text);
        QTextDocument &document = *editor.document();
        document.documentLayout()->documentSize();
        QVERIFY(document.lastBlock().layout()->lineCount() > 0);
        const QSizeF page = document.pageSize();

        QCOMPARE(intuitiveHighlight(document, true, {}), HighlightOutcome::Completed);
        QCOMPARE(document.lastBlock().layout()->lineCount(), 0);
        QTRY_VERIFY(document.lastBlock().layout()->lineCount() > 0);
        // The page keeps the size the editor gave it.
        QCOMPARE(document.pageSize(), page);
    }

    // Stopped while bold is being removed, the removal still ends, and nothing is marked.
    void stoppingDuringRemovalLeavesNoBold()
    {
        QString text;
        for (int i = 0; i < 12000; ++i)
            text += u"слово "_s;
        QTextDocument document;
        document.setPlainText(text);
        QTextCharFormat bold;
        bold.setFontWeight(QFont::Bold);
        QTextCursor all(&document);
        all.beginEditBlock();
        for (int i = 0; i < text.size(); i += 12) {
            QTextCursor word(&document);
            word.setPosition(i);
            word.setPosition(i + 5, QTextCursor::KeepAnchor);
            word.mergeCharFormat(bold);
        }
        all.endEditBlock();
        QVERIFY(hasAnyBold(document));
        int turns = 0;
        const HighlightTurn turn = [&](int, int) {
            ++turns;
            return false;
        };
        QCOMPARE(intuitiveHighlight(document, true, turn, std::chrono::milliseconds(0)),
                 HighlightOutcome::Cancelled);
        QCOMPARE(turns, 1);
        QVERIFY(!hasAnyBold(document));
    }
};

QTEST_MAIN(TestIntuitiveHighlighting)
#include "tst_intuitivehighlighting.moc"
