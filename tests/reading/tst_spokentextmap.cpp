// Finding the editor's words in the text that was spoken: corrections, line breaks, repetitions.
#include "dictionary/textpreparation.h"
#include "reading/spokentextmap.h"

#include <QTest>

using namespace velmira;
using namespace Qt::StringLiterals;

class TestSpokenTextMap : public QObject
{
    Q_OBJECT

private slots:
    // Each spoken word in turn, as the speech control reports them, marks the editor's characters.
    void wordsMarkTheEditorsCharacters_data()
    {
        QTest::addColumn<QString>("original");
        QTest::addColumn<QStringList>("dictionary");
        QTest::addColumn<int>("repetitions");
        // The spoken words, each followed by the editor's text it must mark ("" marks nothing).
        QTest::addColumn<QStringList>("expected");

        QTest::newRow("unchanged") << u"Мама мыла раму."_s << QStringList() << 1
                                   << QStringList{u"Мама"_s, u"Мама"_s, u"раму"_s, u"раму"_s};
        // The editor counts a line break as one character, the spoken text has two.
        QTest::newRow("line breaks") << u"Первая\r\n\r\nвторая строка"_s << QStringList() << 1
                                     << QStringList{u"вторая"_s, u"вторая"_s, u"строка"_s, u"строка"_s};
        QTest::newRow("longer correction")
            << u"Он пришёл, т.е. ушёл домой."_s << QStringList{u"т.е.=то есть"_s} << 1
            << QStringList{u"пришёл"_s, u"пришёл"_s, u"то"_s, u"т.е."_s, u"есть"_s, u"т.е."_s,
                           u"домой"_s, u"домой"_s};
        QTest::newRow("shorter correction")
            << u"Купи 5 килограммов муки и соль"_s << QStringList{u"килограммов=кг"_s} << 1
            << QStringList{u"кг"_s, u"килограммов"_s, u"муки"_s, u"муки"_s, u"соль"_s, u"соль"_s};
        QTest::newRow("many corrections")
            << u"Ёж и ёлка, ёж и ель, ёж ёж ёж конец"_s << QStringList{u"ё=е"_s, u"Ё=Е"_s} << 1
            << QStringList{u"Еж"_s, u"Ёж"_s, u"елка"_s, u"ёлка"_s, u"ель"_s, u"ель"_s, u"конец"_s, u"конец"_s};
        // Characters outside the Basic Multilingual Plane take two positions in both texts.
        QTest::newRow("emoji") << u"Кот 😺 и 🐕 пёс 𝄞"_s << QStringList{u"пёс=собака"_s} << 1
                               << QStringList{u"и"_s, u"и"_s, u"собака"_s, u"пёс"_s, u"𝄞"_s, u"𝄞"_s};
        QTest::newRow("repeated") << u"Кот спит"_s << QStringList{u"спит=дремлет"_s} << 3
                                  << QStringList{u"Кот"_s, u"Кот"_s, u"дремлет"_s, u"спит"_s, u"Кот"_s,
                                                 u"Кот"_s, u"."_s, u""_s, u"дремлет"_s, u"спит"_s};
    }

    void wordsMarkTheEditorsCharacters()
    {
        QFETCH(QString, original);
        QFETCH(QStringList, dictionary);
        QFETCH(int, repetitions);
        QFETCH(QStringList, expected);

        // What repeated reading and text preparation make of the text.
        QString spoken = applyCorrections(original, dictionary);
        if (repetitions > 1) {
            const QString once = spoken;
            spoken.clear();
            for (int i = 0; i < repetitions; ++i)
                spoken += once + u". "_s;
            spoken = applyCorrections(spoken, dictionary);
        }
        QString editor = original;
        editor.replace(u"\r\n"_s, u"\n"_s);

        SpokenTextMap map(original, spoken, repetitions);
        qsizetype from = 0;
        for (qsizetype i = 0; i < expected.size(); i += 2) {
            const qsizetype position = spoken.indexOf(expected[i], from);
            QVERIFY2(position >= 0, qPrintable(expected[i]));
            from = position + expected[i].size();
            const auto range = map.editorRange(int(position), int(expected[i].size()));
            const QString marked = range ? editor.mid(range->first, range->second - range->first) : QString();
            QCOMPARE(marked, expected[i + 1]);
            if (range)
                QCOMPARE(editor.indexOf(marked, range->first), range->first);
        }
    }

    // In phrases that repeat, each corrected word marks its own original, however close together
    // the corrections stand.
    void correctionsInRepeatedPhrases_data()
    {
        QTest::addColumn<QString>("original");
        QTest::newRow("words between") << u"Итак, т.е. да, т.е. да, т.е. да, т.е. нет."_s;
        QTest::newRow("short words between") << u"Мы, т.е. я, т.е. он, т.е. она, т.е. мы."_s;
        QTest::newRow("nothing between") << u"т.е. т.е. т.е. т.е. т.е. конец"_s;
    }

    void correctionsInRepeatedPhrases()
    {
        QFETCH(QString, original);
        const QString spoken = applyCorrections(original, {u"т.е.=то есть"_s});
        SpokenTextMap map(original, spoken, 1);
        qsizetype at = -1;
        qsizetype spokenAt = 0;
        while ((at = original.indexOf(u"т.е."_s, at + 1)) >= 0) {
            spokenAt = spoken.indexOf(u"то есть"_s, spokenAt);
            QVERIFY(spokenAt >= 0);
            const std::pair expected{int(at), int(at + 4)};
            QCOMPARE(map.editorRange(int(spokenAt), 2), expected);
            QCOMPARE(map.editorRange(int(spokenAt + 3), 4), expected);
            spokenAt += 7;
        }
    }

    // A word asked for again, or out of order, is still found; nonsense positions mark nothing.
    void anyOrderAndBadPositions()
    {
        const QString original = u"Раз, т.е. два, т.е. три"_s;
        SpokenTextMap map(original, applyCorrections(original, {u"т.е.=то есть"_s}), 1);
        // "Раз, то есть два, то есть три"
        QCOMPARE(map.editorRange(26, 3), (std::pair{20, 23}));
        QCOMPARE(map.editorRange(13, 3), (std::pair{10, 13}));
        QCOMPARE(map.editorRange(0, 3), (std::pair{0, 3}));
        QCOMPARE(map.editorRange(-1, 3), std::nullopt);
        QCOMPARE(map.editorRange(5, 0), std::nullopt);
        QCOMPARE(map.editorRange(1000, 4), std::nullopt);
        QCOMPARE(map.editorRange(27, 1000), (std::pair{21, 23}));
    }

    // A text the dictionary changes beyond recognition still gives ranges inside the editor's text.
    void unrelatedTextsStayInside()
    {
        const QString original = u"абв"_s.repeated(200);
        const QString spoken = u"xyz"_s.repeated(300);
        SpokenTextMap map(original, spoken, 1);
        for (int position = 0; position < spoken.size(); position += 7) {
            if (const auto range = map.editorRange(position, 3)) {
                QVERIFY(range->first >= 0 && range->first < range->second);
                QVERIFY(range->second <= original.size());
            }
        }
    }
};

QTEST_GUILESS_MAIN(TestSpokenTextMap)
#include "tst_spokentextmap.moc"
