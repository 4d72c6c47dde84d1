// How long text preparation takes on long texts with a large dictionary.
//
// The text is made of invented Russian words with the Latin terms and Russian forms the default
// dictionary corrects. The dictionary is the 18 default lines plus 1,000 more; of those, a chosen
// number are words of the text (so they really replace something), the rest are words it lacks.
#include "dictionary/correctiondictionary.h"
#include "dictionary/textpreparation.h"

#include <QRandomGenerator>
#include <QSet>
#include <QStringList>
#include <benchmark/benchmark.h>

using namespace velmira;
using namespace Qt::StringLiterals;

namespace {

QString inventWord(QRandomGenerator &random)
{
    static const QString consonants = u"бвгджзклмнпрстфхцчшщ"_s;
    static const QString vowels = u"аеиоуыэюяё"_s;
    QString word;
    const int syllables = 2 + int(random.bounded(3));
    for (int i = 0; i < syllables; ++i) {
        word += consonants[random.bounded(int(consonants.size()))];
        word += vowels[random.bounded(int(vowels.size()))];
    }
    if (random.bounded(2))
        word += consonants[random.bounded(int(consonants.size()))];
    return word;
}

struct Corpus
{
    QStringList vocabulary;
    QStringList absent;
};

Corpus corpus()
{
    QRandomGenerator random(2024);
    Corpus c;
    QSet<QString> seen;
    while (c.vocabulary.size() < 5000) {
        const QString w = inventWord(random);
        if (!seen.contains(w)) {
            seen.insert(w);
            c.vocabulary.append(w);
        }
    }
    while (c.absent.size() < 1000) {
        const QString w = inventWord(random) + u"ъ"_s;
        if (!seen.contains(w)) {
            seen.insert(w);
            c.absent.append(w);
        }
    }
    return c;
}

QString makeText(const Corpus &c, qsizetype length)
{
    static const QStringList terms{u"Откройте internet explorer"_s,
                                   u"щелкните"_s,
                                   u"течет"_s,
                                   u"Интернет-страничке"_s,
                                   u"ctrl+alt"_s,
                                   u"какой-нибудь"_s,
                                   u"0.5 литра"_s,
                                   u"www"_s};
    QRandomGenerator random(7);
    QString text;
    text.reserve(length + 64);
    int inSentence = 0;
    while (text.size() < length) {
        if (random.bounded(40) == 0)
            text += terms[random.bounded(int(terms.size()))];
        else
            text += c.vocabulary[random.bounded(int(c.vocabulary.size()))];
        if (++inSentence > 12 && random.bounded(4) == 0) {
            text += u". "_s;
            inSentence = 0;
        } else {
            text += random.bounded(8) == 0 ? u", "_s : u" "_s;
        }
    }
    text.truncate(length);
    return text;
}

QStringList makeDictionary(const Corpus &c, int present)
{
    QStringList lines = CorrectionDictionary::defaultLines();
    for (int i = 0; i < 1000; ++i) {
        const QString word = i < present ? c.vocabulary[i * 5] : c.absent[i];
        QString replacement = word;
        replacement.replace(u'е', u'ё');
        replacement.insert(replacement.size() / 2, u'-');
        lines.append(word + u'=' + replacement);
    }
    return lines;
}

void BM_Prepare(benchmark::State &state)
{
    static const Corpus c = corpus();
    const qsizetype length = qsizetype(state.range(0)) * 1024 * 1024;
    const QString text = makeText(c, length);
    const QStringList lines = makeDictionary(c, int(state.range(1)));
    qsizetype out = 0;
    for (auto _ : state) {
        const QString prepared = applyCorrections(text, lines);
        out += prepared.size();
        benchmark::DoNotOptimize(prepared.constData());
    }
    state.SetBytesProcessed(state.iterations() * length);
    state.counters["MB"] = double(state.range(0));
    state.counters["presentWords"] = double(state.range(1));
}

} // namespace

// Arguments: text length in MB (million-odd characters, one byte each in Windows-1251), and how many of
// the 1,000 further words occur in the text.
BENCHMARK(BM_Prepare)->ArgsProduct({{1, 10}, {0, 100, 1000}})->Unit(benchmark::kMillisecond)->UseRealTime();

BENCHMARK_MAIN();
