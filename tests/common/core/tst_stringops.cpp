// ReplaceAll against its definition, and its limits.
#include "common/core/stringops.h"

#include <QRandomGenerator>
#include <QTest>
#include <optional>

using namespace velmira;
using namespace Qt::StringLiterals;

namespace {

// The definition, word for word: leftmost occurrence, replace, search again from the start. Gives up
// after `cap` replacements.
std::optional<QString> definition(QString text, const QString &what, const QString &with, qsizetype cap,
                                  qsizetype *steps = nullptr)
{
    if (steps)
        *steps = 0;
    if (what.isEmpty())
        return text;
    if (with.contains(what))
        return text.replace(what, with);
    for (qsizetype n = 0;; ++n) {
        const qsizetype at = text.indexOf(what);
        if (at < 0) {
            if (steps)
                *steps = n;
            return text;
        }
        if (n == cap)
            return std::nullopt;
        text.replace(at, what.size(), with);
    }
}

QString randomText(QRandomGenerator &random, const QString &alphabet, int maxLength, int minLength = 0)
{
    QString s;
    const int n = minLength + int(random.bounded(maxLength - minLength + 1));
    for (int i = 0; i < n; ++i)
        s += alphabet[random.bounded(int(alphabet.size()))];
    return s;
}

// True when the occurrence [at, at + length) touches none of the changed ranges.
bool crossesNoChange(qsizetype at, qsizetype length, const QList<std::pair<qsizetype, qsizetype>> &changed)
{
    for (const auto &[start, end] : changed) {
        if (at < end && start < at + length)
            return false;
    }
    return true;
}

} // namespace

class TestStringOps : public QObject
{
    Q_OBJECT

private slots:
    void definitionExamples_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("what");
        QTest::addColumn<QString>("with");
        QTest::addColumn<QString>("result");
        QTest::newRow("joined by a replacement") << u"aab"_s << u"ab"_s << u"b"_s << u"b"_s;
        QTest::newRow("inside words") << u"items и msn"_s << u"ms"_s << u"эм эс"_s << u"iteэм эс и эм эсn"_s;
        QTest::newRow("case-sensitive") << u"Интернет и интернет"_s << u"интернет"_s << u"интер нэт"_s
                                        << u"Интернет и интер нэт"_s;
        QTest::newRow("empty replacement deletes") << u"xabyab"_s << u"ab"_s << QString() << u"xy"_s;
        QTest::newRow("deletion joins neighbours") << u"aabbb"_s << u"ab"_s << QString() << u"b"_s;
        QTest::newRow("overlapping") << u"аааа"_s << u"аа"_s << u"б"_s << u"бб"_s;
        QTest::newRow("empty key") << u"текст"_s << QString() << u"x"_s << u"текст"_s;
        QTest::newRow("not found") << u"текст"_s << u"слово"_s << u"x"_s << u"текст"_s;
        QTest::newRow("empty text") << QString() << u"a"_s << u"b"_s << QString();
        QTest::newRow("swap moves every a past every b") << u"aaabbb"_s << u"ab"_s << u"ba"_s << u"bbbaaa"_s;
        QTest::newRow("own key: one pass") << u"кот и кот"_s << u"кот"_s << u"котик"_s << u"котик и котик"_s;
        QTest::newRow("own key, overlapping") << u"aaa"_s << u"aa"_s << u"aab"_s << u"aaba"_s;
    }

    void definitionExamples()
    {
        QFETCH(QString, text);
        QFETCH(QString, what);
        QFETCH(QString, with);
        QFETCH(QString, result);
        QCOMPARE(ReplaceAll(text, what, with), result);
    }

    // Random keys, replacements and texts over small alphabets, so that replacements join with their
    // neighbours all the time.
    void matchesDefinitionOnRandomInput_data()
    {
        QTest::addColumn<QString>("alphabet");
        QTest::newRow("ab") << u"ab"_s;
        QTest::newRow("abc") << u"abc"_s;
        QTest::newRow("аб-") << u"аб-"_s;
    }

    void matchesDefinitionOnRandomInput()
    {
        QFETCH(QString, alphabet);
        QRandomGenerator random(20240611);
        const qsizetype cap = 300;
        for (int round = 0; round < 20000; ++round) {
            const QString what = randomText(random, alphabet, 4, 1);
            const QString with = randomText(random, alphabet, 5);
            const QString text = randomText(random, alphabet, 16);
            qsizetype expectedSteps = 0;
            const std::optional<QString> expected = definition(text, what, with, cap, &expectedSteps);

            ReplaceAllOptions options;
            options.maxReplacements = cap;
            QList<std::pair<qsizetype, qsizetype>> changed;
            qsizetype steps = -1;
            options.changed = &changed;
            options.replacements = &steps;
            const QString context = u"«%1»: «%2» -> «%3»"_s.arg(text, what, with);
            if (!expected) {
                QVERIFY_THROWS_EXCEPTION(ReplaceAllRunaway, ReplaceAll(text, what, with, options));
                continue;
            }
            const QString result = ReplaceAll(text, what, with, options);
            QVERIFY2(result == *expected, qPrintable(context + u" gave «%1», not «%2»"_s.arg(result, *expected)));
            if (!with.contains(what))
                QVERIFY2(steps == expectedSteps, qPrintable(context));

            // Whatever lies outside the changed ranges was there before: an occurrence of any word that
            // crosses none of them occurs in the original text too.
            for (int probe = 0; probe < 4; ++probe) {
                const QString word = randomText(random, alphabet, 4, 1);
                if (text.contains(word))
                    continue;
                for (qsizetype at = result.indexOf(word); at >= 0; at = result.indexOf(word, at + 1))
                    QVERIFY2(!crossesNoChange(at, word.size(), changed),
                             qPrintable(context + u", «%1» at %2 not marked"_s.arg(word).arg(at)));
            }
        }
    }

    // Each of these needs about as many replacements as the text has characters; searching from the
    // start, or moving the text behind every replacement, would make them run for hours.
    void longChainsFinish_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("what");
        QTest::addColumn<QString>("with");
        QTest::addColumn<QString>("result");
        const qsizetype n = 1'000'000;
        QTest::newRow("deleting backwards") << QString(n, u'a') + u'b' << u"ab"_s << u"b"_s << u"b"_s;
        QTest::newRow("halving") << QString(n, u'a') << u"aa"_s << u"a"_s << u"a"_s;
        QTest::newRow("growing forwards") << u'b' + QString(n, u'a') << u"ba"_s << u"cb"_s
                                          << QString(n, u'c') + u'b';
        QTest::newRow("many far apart") << u"слово я я "_s.repeated(n / 10) << u"я я"_s << u"ёж"_s
                                        << u"слово ёж "_s.repeated(n / 10);
    }

    void longChainsFinish()
    {
        QFETCH(QString, text);
        QFETCH(QString, what);
        QFETCH(QString, with);
        QFETCH(QString, result);
        QCOMPARE(ReplaceAll(text, what, with), result);
    }

    void runawayIsCutOff()
    {
        // Every leading a doubles the b's behind it.
        ReplaceAllOptions growth;
        growth.maxLength = 100'000;
        QVERIFY_THROWS_EXCEPTION(ReplaceAllRunaway, ReplaceAll(QString(40, u'a') + u'b', u"ab"_s, u"bba"_s, growth));
        // Finite, but quadratic in the text.
        ReplaceAllOptions steps;
        steps.maxReplacements = 10'000;
        QVERIFY_THROWS_EXCEPTION(ReplaceAllRunaway,
                                 ReplaceAll(QString(1000, u'a') + QString(1000, u'b'), u"ab"_s, u"ba"_s, steps));
        // Within the limits the same calls finish.
        QCOMPARE(ReplaceAll(u"aaab"_s, u"ab"_s, u"bba"_s, growth), u"bbbbbbbbaaa"_s);
        QCOMPARE(ReplaceAll(QString(50, u'a') + QString(50, u'b'), u"ab"_s, u"ba"_s, steps),
                 QString(50, u'b') + QString(50, u'a'));
        // A key inside its own replacement grows the text too, once.
        ReplaceAllOptions small;
        small.maxLength = 10;
        QVERIFY_THROWS_EXCEPTION(ReplaceAllRunaway, ReplaceAll(u"кот кот"_s, u"кот"_s, u"котик"_s, small));
    }
};

QTEST_GUILESS_MAIN(TestStringOps)
#include "tst_stringops.moc"
