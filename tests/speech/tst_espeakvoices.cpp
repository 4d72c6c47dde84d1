// The order and names of the voices in the program's engine list.
#include "speech/espeakvoices.h"
#include "speech/voicelist.h"

#include <QTest>

using namespace Qt::StringLiterals;
using namespace velmira;

class TestEspeakVoices : public QObject
{
    Q_OBJECT

private slots:
    void russianFirstThenByLanguage();
    void displayNames_data();
    void displayNames();
    void bothSynthesisersInOneList();
};

namespace {

EspeakVoice voice(const char *identifier, const QString &name, QList<QByteArray> languages)
{
    return {QByteArray(identifier), name, std::move(languages), {}};
}

QStringList identifiers(const QList<EspeakVoice> &voices)
{
    QStringList ids;
    for (const EspeakVoice &v : voices)
        ids << QString::fromLatin1(v.identifier);
    return ids;
}

} // namespace

void TestEspeakVoices::russianFirstThenByLanguage()
{
    const QList<EspeakVoice> listed = {
        voice("gmw/en", u"English (Great Britain)"_s, {"en-gb", "en"}),
        voice("zle/uk", u"Ukrainian"_s, {"uk"}),
        voice("zle/ru-LV", u"Russian (Latvia)"_s, {"ru-lv"}),
        voice("gmw/de", u"German"_s, {"de"}),
        voice("zle/ru", u"Russian"_s, {"ru"}),
        voice("gmw/en-US", u"English (America)"_s, {"en-us", "en"}),
        voice("art/xx", u"Odd"_s, {}),
    };
    const QStringList expected = {u"zle/ru"_s, u"zle/ru-LV"_s, u"art/xx"_s, u"gmw/de"_s,
                                  u"gmw/en"_s, u"gmw/en-US"_s, u"zle/uk"_s};
    QCOMPARE(identifiers(orderVoices(listed)), expected);

    // The order does not depend on the order espeak-ng happens to list its voices in.
    QList<EspeakVoice> reversed(listed.rbegin(), listed.rend());
    QCOMPARE(identifiers(orderVoices(reversed)), expected);
}

void TestEspeakVoices::displayNames_data()
{
    QTest::addColumn<QByteArray>("identifier");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("language");
    QTest::addColumn<QString>("displayName");

    QTest::newRow("Russian") << QByteArray("zle/ru") << u"Russian"_s << QByteArray("ru") << u"Русский"_s;
    QTest::newRow("regional Russian") << QByteArray("zle/ru-LV") << u"Russian (Latvia)"_s << QByteArray("ru-lv")
                                      << u"Русский"_s;
    QTest::newRow("British English") << QByteArray("gmw/en") << u"English (Great Britain)"_s << QByteArray("en-gb")
                                     << u"British English"_s;
    QTest::newRow("script without title capitals") << QByteArray("ccs/ka") << u"Georgian"_s << QByteArray("ka")
                                                   << u"ქართული"_s;
    QTest::newRow("language the locale data does not know")
        << QByteArray("art/qdb") << u"Lang_Belta"_s << QByteArray("qdb") << u"Lang Belta"_s;
}

void TestEspeakVoices::displayNames()
{
    QFETCH(QByteArray, identifier);
    QFETCH(QString, name);
    QFETCH(QByteArray, language);
    QFETCH(QString, displayName);

    const QList<EspeakVoice> ordered = orderVoices({voice(identifier.constData(), name, {language})});
    QCOMPARE(ordered.first().displayName, displayName);
}

void TestEspeakVoices::bothSynthesisersInOneList()
{
    const auto voice = [](const char *engine, const char *identifier, const char *language, const QString &name) {
        return Voice{QString::fromLatin1(engine), identifier, language, name};
    };
    // As the synthesisers hand them over: espeak-ng's in its own order, then RHVoice's.
    const QList<Voice> listed = {
        voice("espeak-ng", "zle/ru", "ru", u"Русский"_s),
        voice("espeak-ng", "zle/ru-LV", "ru-lv", u"Русский"_s),
        voice("espeak-ng", "gmw/de", "de", u"Deutsch"_s),
        voice("espeak-ng", "gmw/en", "en-gb", u"British English"_s),
        voice("espeak-ng", "zle/uk", "uk", u"Українська"_s),
        voice("RHVoice", "Aleksandr", "ru", u"Александр"_s),
        voice("RHVoice", "Anna", "ru", u"Анна"_s),
        voice("RHVoice", "Alan", "en-gb", u"Alan"_s),
    };
    const QStringList expected = {
        u"Александр (RHVoice)"_s,          u"Анна (RHVoice)"_s,
        u"Русский (espeak-ng)"_s,          u"Русский (espeak-ng, zle/ru-LV)"_s,
        u"Deutsch (espeak-ng)"_s,          u"Alan (RHVoice)"_s,
        u"British English (espeak-ng)"_s,  u"Українська (espeak-ng)"_s,
    };
    QStringList names;
    for (const Voice &v : listVoices(listed))
        names << v.displayName;
    QCOMPARE(names, expected);

    // Without RHVoice, espeak-ng's Russian voice comes first.
    const QList<Voice> espeakOnly = listVoices({listed.at(3), listed.at(0)});
    QCOMPARE(espeakOnly.first().displayName, u"Русский (espeak-ng)"_s);
    QCOMPARE(espeakOnly.first().identity(), u"espeak-ng:zle/ru"_s);
}

QTEST_GUILESS_MAIN(TestEspeakVoices)
#include "tst_espeakvoices.moc"
