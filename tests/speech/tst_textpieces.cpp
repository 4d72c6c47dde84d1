// Cutting texts into pieces for the synthesiser, and the way back to positions in the text.
#include "speech/textpieces.h"

#include <QTest>

using namespace Qt::StringLiterals;
using namespace velmira;

class TestTextPieces : public QObject
{
    Q_OBJECT

private slots:
    void pieceEnds_data();
    void pieceEnds();
    void piecesCoverTheWholeText();
    void enginePieceMapsCharactersBack();
    void wordAtSnapsToTheWordOfTheText_data();
    void wordAtSnapsToTheWordOfTheText();
};

void TestTextPieces::pieceEnds_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("from");
    QTest::addColumn<int>("limit");
    // The piece as the text it covers, and whether it closes a sentence.
    QTest::addColumn<QString>("piece");
    QTest::addColumn<bool>("sentenceEnd");

    QTest::newRow("sentence end takes the blanks after it")
        << u"Мама мыла раму.  Папа читал."_s << 0 << 500 << u"Мама мыла раму.  "_s << true;
    QTest::newRow("second sentence") << u"Мама мыла раму. Папа читал."_s << 16 << 500 << u"Папа читал."_s << true;
    QTest::newRow("question and exclamation") << u"Кто там?! Я."_s << 0 << 500 << u"Кто там?! "_s << true;
    QTest::newRow("ellipsis character") << u"Итак… Начнём."_s << 0 << 500 << u"Итак… "_s << true;
    QTest::newRow("closing quote and bracket stay with the sentence")
        << u"Он сказал: «Пора.») Все ушли."_s << 0 << 500 << u"Он сказал: «Пора.») "_s << true;
    QTest::newRow("abbreviation followed by lower case")
        << u"Это т. е. пример. Дальше."_s << 0 << 500 << u"Это т. е. пример. "_s << true;
    QTest::newRow("number with a decimal point") << u"Число 3.14 велико. Да."_s << 0 << 500
                                                 << u"Число 3.14 велико. "_s << true;
    QTest::newRow("paragraph break") << u"Заголовок\nТекст абзаца."_s << 0 << 500 << u"Заголовок\n"_s << true;
    QTest::newRow("CR LF and an empty line") << u"Первый\r\n\r\nвторой."_s << 0 << 500 << u"Первый\r\n\r\n"_s
                                             << true;
    QTest::newRow("line wrapped by hand goes on") << u"длинная строка\nпродолжается тут. Конец."_s << 0 << 500
                                                  << u"длинная строка\nпродолжается тут. "_s << true;
    QTest::newRow("long sentence is cut after the last blank within the limit")
        << u"раз два три четыре пять"_s << 0 << 12 << u"раз два три "_s << false;
    QTest::newRow("no blank: cut at the limit") << u"абвгдежзиклмн"_s << 0 << 5 << u"абвгд"_s << false;
    QTest::newRow("surrogate pair is never split") << u"абвг😀ежз"_s << 0 << 5 << u"абвг"_s << false;
    QTest::newRow("rest shorter than the limit") << u"без точки в конце"_s << 4 << 500 << u"точки в конце"_s
                                                 << true;
    QTest::newRow("full stop at the very end") << u"Конец."_s << 0 << 500 << u"Конец."_s << true;
}

void TestTextPieces::pieceEnds()
{
    QFETCH(QString, text);
    QFETCH(int, from);
    QFETCH(int, limit);
    QFETCH(QString, piece);
    QFETCH(bool, sentenceEnd);

    const PieceEnd end = findPieceEnd(text, from, limit);
    QCOMPARE(text.mid(from, end.end - from), piece);
    QCOMPARE(end.sentenceEnd, sentenceEnd);
}

void TestTextPieces::piecesCoverTheWholeText()
{
    // Pieces follow each other without gaps or overlaps, never exceed the limit by more than the
    // blanks after a sentence, and never split a surrogate pair.
    QString text;
    for (int i = 0; i < 200; ++i)
        text += (i % 7 == 0 ? u"Предложение номер %1 😀 без конца "_s : u"Фраза %1. "_s).arg(i);
    text += u"абвгдеёжзийклмнопрстуфхцчшщъыьэюя"_s.repeated(40);

    qsizetype from = 0;
    int pieces = 0;
    while (from < text.size()) {
        const PieceEnd end = findPieceEnd(text, from, 100);
        QVERIFY(end.end > from);
        QVERIFY2(end.end - from <= 100 || text.mid(from + 100, end.end - from - 100).trimmed().isEmpty(),
                 qPrintable(text.mid(from, end.end - from)));
        QVERIFY(!(end.end < text.size() && text[end.end].isLowSurrogate()));
        from = end.end;
        ++pieces;
    }
    QCOMPARE(from, text.size());
    QVERIFY(pieces > 180);
}

void TestTextPieces::enginePieceMapsCharactersBack()
{
    const QString text = u"Я 😀 вижу\u0000 кота \xD800."_s;
    const EnginePiece piece(text);
    // The surrogate pair is one character.
    QCOMPARE(piece.characterCount(), text.size() - 1);
    QCOMPARE(piece.byteSize(), size_t(text.size()) * sizeof(wchar_t));
    const wchar_t *chars = piece.data();
    QCOMPARE(chars[2], wchar_t(0x1F600));
    QCOMPARE(chars[8], L' ');                       // a zero would end the text early
    QCOMPARE(chars[15], wchar_t(0xFFFD));           // a lone surrogate
    QCOMPARE(chars[piece.characterCount()], L'\0');

    // "вижу" is character 4, length 4 -> UTF-16 offset 5, length 4.
    QCOMPARE(piece.utf16Offset(4), 5);
    QCOMPARE(piece.utf16Offset(8) - piece.utf16Offset(4), 4);
    QCOMPARE(piece.utf16Offset(2), 2);
    QCOMPARE(piece.utf16Offset(3), 4);
    QCOMPARE(piece.utf16Offset(piece.characterCount()), text.size());
    QCOMPARE(piece.utf16Offset(1000), text.size());
    QCOMPARE(piece.utf16Offset(-3), 0);

    const EnginePiece plain(u"без пар"_s);
    QCOMPARE(plain.utf16Offset(4), 4);
}

void TestTextPieces::wordAtSnapsToTheWordOfTheText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("position");
    QTest::addColumn<QString>("word"); // empty: nothing to show

    QTest::newRow("exact word") << u"Привет, мир!"_s << 0 << u"Привет"_s;
    QTest::newRow("punctuation at the ends is left out") << u"Он сказал: «Пора!»"_s << 11 << u"Пора"_s;
    QTest::newRow("inner hyphen and dots stay") << u"из-за т.е. него"_s << 6 << u"т.е"_s;
    QTest::newRow("shifted range inside a number") << u"Цена 1995 рублей"_s << 6 << u"1995"_s;
    QTest::newRow("report starting on a blank moves to the next word") << u"раз  два"_s << 3 << u"два"_s;
    QTest::newRow("blank before a word after a full stop") << u"году. белый снег"_s << 5 << u"белый"_s;
    QTest::newRow("blanks at the end") << u"конец  "_s << 5 << QString();
    QTest::newRow("beyond the end") << u"слово"_s << 7 << QString();
    QTest::newRow("dash read aloud") << u"раз — два"_s << 4 << u"—"_s;
}

void TestTextPieces::wordAtSnapsToTheWordOfTheText()
{
    QFETCH(QString, text);
    QFETCH(int, position);
    QFETCH(QString, word);

    const TextSpan span = wordAt(text, position);
    QCOMPARE(text.mid(span.position, span.length), word);
    QCOMPARE(span.isEmpty(), word.isEmpty());
}

QTEST_GUILESS_MAIN(TestTextPieces)
#include "tst_textpieces.moc"
