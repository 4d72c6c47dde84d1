// Text preparation: when the dictionary applies, and what its lines do to a text.
#include "common/core/error.h"
#include "common/core/stringops.h"
#include "common/core/textcodec.h"
#include "common/core/textfile.h"
#include "dictionary/correctiondictionary.h"
#include "dictionary/textpreparation.h"
#include "support/testfiles.h"

#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

using namespace velmira;
using namespace Qt::StringLiterals;

namespace {

// The lines applied one after the other, each by the definition: search from the start after every
// replacement (one pass for a replacement that holds its word).
QString byDefinition(QString text, const QStringList &lines)
{
    for (const QString &line : lines) {
        const DictionaryEntry entry = CorrectionDictionary::split(line);
        if (!entry.isEntry())
            continue;
        if (entry.replacement.contains(entry.word)) {
            text.replace(entry.word, entry.replacement);
            continue;
        }
        for (qsizetype at = text.indexOf(entry.word); at >= 0; at = text.indexOf(entry.word))
            text.replace(at, entry.word.size(), entry.replacement);
    }
    return text;
}

QString randomText(QRandomGenerator &random, const QString &alphabet, int minLength, int maxLength)
{
    QString s;
    const int n = minLength + int(random.bounded(maxLength - minLength + 1));
    for (int i = 0; i < n; ++i)
        s += alphabet[random.bounded(int(alphabet.size()))];
    return s;
}

} // namespace

class TestTextPreparation : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<TemporaryProgramFolder> m_home;

    void writeDictionary(const QStringList &lines)
    {
        writeFileAtomically(m_home->filePath(u"Dictionary.txt"_s), CorrectionDictionary::serialize(lines));
    }

private slots:
    void init()
    {
        m_home = std::make_unique<TemporaryProgramFolder>();
    }

    void dictionaryAppliesOnlyWhenSwitchedOnAndPresent()
    {
        const QString text = u"Откройте internet explorer"_s;
        writeDictionary(CorrectionDictionary::defaultLines());
        QCOMPARE(prepareText(text), text); // no settings file
        CorrectionDictionary::setInUse(false);
        QCOMPARE(prepareText(text), text);
        CorrectionDictionary::setInUse(true);
        QCOMPARE(prepareText(text), u"Откройте интер нэт эксплорер"_s);
        // Read afresh: a change counts from the next text.
        writeDictionary({u"internet=инет"_s});
        QCOMPARE(prepareText(text), u"Откройте инет explorer"_s);
        QFile::remove(m_home->filePath(u"Dictionary.txt"_s));
        QCOMPARE(prepareText(text), text);
    }

    // The dictionary is read when it changes, not for every text: each word typed is prepared with
    // what was read before, and a dictionary saved anew, even with the same size at once, applies from
    // the next text.
    void dictionaryIsReadOnlyWhenItChanges()
    {
        CorrectionDictionary::setInUse(true);
        writeDictionary({u"кот=пёс"_s});
        const std::shared_ptr<const Corrections> first = correctionsInUse();
        QVERIFY(first);
        QCOMPARE(correctionsInUse().get(), first.get());
        QCOMPARE(prepareText(u"кот"_s), u"пёс"_s);
        writeDictionary({u"кот=ёж!"_s});
        QCOMPARE(prepareText(u"кот"_s), u"ёж!"_s);
        QVERIFY(correctionsInUse().get() != first.get());
        CorrectionDictionary::setInUse(false);
        QVERIFY(!correctionsInUse());
    }

    void unreadableDictionaryIsTheCallersFailure()
    {
        CorrectionDictionary::setInUse(true);
        QDir(m_home->path()).mkdir(u"Dictionary.txt"_s);
        QVERIFY_THROWS_EXCEPTION(Error, prepareText(u"текст"_s));
    }

    void lines_data()
    {
        QTest::addColumn<QStringList>("lines");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("prepared");
        const QStringList defaults = CorrectionDictionary::defaultLines();
        QTest::newRow("defaults, each form its own")
            << defaults << u"Щелкните: интернет, Интернет-страничке, Интернет; items, 0.5 литра"_s
            << u"Щелкните: интер нэт, Интернет страничке, Интернет; iteэм эс, пол литра"_s;
        QTest::newRow("empty replacement deletes") << QStringList{u"ну="_s} << u"ну вот ну"_s << u" вот "_s;
        QTest::newRow("a=b=c") << QStringList{u"a=b=c"_s} << u"a-a"_s << u"b=c-b=c"_s;
        QTest::newRow("empty lines and lines without = change nothing")
            << QStringList{QString(), u"кот"_s, u"=кот"_s, u"кот кошка"_s} << u"кот"_s << u"кот"_s;
        QTest::newRow("spaces belong to the word") << QStringList{u" кот =кошка"_s} << u"кот, кот и  кот "_s
                                                   << u"кот,кошкаи кошка"_s;
        QTest::newRow("later lines see earlier results")
            << QStringList{u"кот=пёс"_s, u"пёс=волк"_s} << u"кот"_s << u"волк"_s;
        QTest::newRow("a word inside its own replacement, once")
            << QStringList{u"кот=котик"_s} << u"кот и кот"_s << u"котик и котик"_s;
        QTest::newRow("empty text") << defaults << QString() << QString();
    }

    void lines()
    {
        QFETCH(QStringList, lines);
        QFETCH(QString, text);
        QFETCH(QString, prepared);
        QCOMPARE(applyCorrections(text, lines), prepared);
        writeDictionary(lines);
        CorrectionDictionary::setInUse(true);
        QCOMPARE(prepareText(text), prepared);
    }

    void preparingTwiceCanChangeMore()
    {
        // Repeated reading prepares the text again.
        const QStringList lines{u"б=в"_s, u"а=б"_s};
        const QString once = applyCorrections(u"а"_s, lines);
        QCOMPARE(once, u"б"_s);
        QCOMPARE(applyCorrections(once, lines), u"в"_s);
    }

    // Many lines over a small alphabet, so that words appear only after earlier lines have changed the
    // text, vanish again, and repeat.
    void matchesTheDefinitionOnRandomDictionaries()
    {
        QRandomGenerator random(77);
        const QString alphabet = u"абв"_s;
        for (int round = 0; round < 6000; ++round) {
            QStringList lines;
            const int count = 1 + int(random.bounded(8));
            for (int i = 0; i < count; ++i) {
                const QString word = randomText(random, alphabet, 1, 3);
                QString replacement = randomText(random, alphabet, 0, 3);
                // Keep the text from growing without end; shrinking and equal lengths stay free.
                if (replacement.size() > word.size() && !replacement.contains(word))
                    replacement.truncate(word.size());
                lines.append(random.bounded(10) == 0 ? word : word + u'=' + replacement);
            }
            // Long stretches without any word split the text into pieces that are prepared apart.
            const QString text = round % 2 ? randomText(random, alphabet + u' ', 0, 40)
                                           : randomText(random, alphabet + u"гдежз"_s, 0, 200);
            QString expected;
            try {
                expected = byDefinition(text, lines);
            } catch (...) {
                QFAIL("unreachable");
            }
            const QString prepared = applyCorrections(text, lines);
            QVERIFY2(prepared == expected,
                     qPrintable(u"«%1» with %2: «%3», not «%4»"_s.arg(text, lines.join(u" | "_s), prepared, expected)));
            // Applied at once, before a finder built on its thread is ready, the lines go one by one.
            if (round % 4 == 0) {
                const QString lineByLine = Corrections(lines, Corrections::Finder::OnAThread).apply(text);
                QVERIFY2(lineByLine == expected,
                         qPrintable(u"«%1» with %2, line by line: «%3», not «%4»"_s.arg(
                             text, lines.join(u" | "_s), lineByLine, expected)));
            }
        }
    }

    // So many different characters that the word finder does without its full table of moves.
    void dictionaryWithThousandsOfCharacters()
    {
        QStringList lines;
        QString text;
        for (int i = 0; i < 2500; ++i) {
            const QString word = QString(QChar(0x4E00 + 2 * i)) + QChar(0x4E01 + 2 * i);
            lines.append(word + u'=' + QString(QChar(0x4E01 + 2 * i)) + u"ж"_s);
            if (i % 7 == 0)
                text += word + u" и "_s;
        }
        lines.append(u"жж=ж"_s);
        text += text;
        QCOMPARE(applyCorrections(text, lines), byDefinition(text, lines));
    }

    void runawayLineIsNamed()
    {
        // Every a in front doubles the b's behind it.
        const QStringList lines{u"кот=кошка"_s, QString(), u"ab=bba"_s};
        try {
            applyCorrections(u"кот "_s + QString(40, u'a') + u'b', lines);
            QFAIL("no error");
        } catch (const DictionaryRunaway &e) {
            QCOMPARE(e.lineNumber(), 3);
            QVERIFY(e.message().contains(u"Строка 3"_s));
            QVERIFY(e.message().contains(u"«ab=bba»"_s));
        }
        QCOMPARE(applyCorrections(u"aab"_s, lines), u"bbbbaa"_s);
        try {
            Corrections(lines, Corrections::Finder::OnAThread).apply(u"кот "_s + QString(40, u'a') + u'b');
            QFAIL("no error line by line");
        } catch (const DictionaryRunaway &e) {
            QCOMPARE(e.lineNumber(), 3);
        }
    }

    // A dictionary of hundreds of thousands of words has its finder built on a thread of its own: a
    // typed word is prepared at once, line by line, a longer text when the finder is ready, both as
    // the dictionary says. A dictionary saved anew while the finder is being built is the one applied.
    void largeDictionaryAppliesWhileItsFinderIsBuilt()
    {
        const QString dictionary = m_home->filePath(u"Dictionary.txt"_s);
        CorrectionDictionary::setInUse(true);
        writeFileAtomically(dictionary, inventedDictionary(40'000, {u"привет=здравствуй"_s, u"вуй=вуйте"_s}));
        const std::shared_ptr<const Corrections> first = correctionsInUse();
        QVERIFY(first->size() > 40'000);
        QVERIFY(!first->isReady());
        QVERIFY(first->appliesAtOnce(12));
        QVERIFY(!first->appliesAtOnce(5000));
        QCOMPARE(prepareText(u"привет"_s), u"здравствуйте"_s);
        const QString letter = u"Привет, друг! Я пишу тебе привет из дома. "_s.repeated(120);
        QString expected = letter;
        expected.replace(u"привет"_s, u"здравствуйте"_s);
        QCOMPARE(prepareText(letter), expected);
        QVERIFY(first->isReady());

        writeFileAtomically(dictionary, inventedDictionary(40'000, {u"привет=добрый день"_s}));
        QCOMPARE(prepareText(u"привет"_s), u"добрый день"_s);
        writeFileAtomically(dictionary, inventedDictionary(40'000, {u"привет=салют"_s}));
        const std::shared_ptr<const Corrections> latest = correctionsInUse();
        QVERIFY(!latest->isReady());
        latest->waitUntilReady();
        QCOMPARE(prepareText(letter), QString(letter).replace(u"привет"_s, u"салют"_s));
        QCOMPARE(correctionsInUse().get(), latest.get());
    }
};

QTEST_GUILESS_MAIN(TestTextPreparation)
#include "tst_textpreparation.moc"
