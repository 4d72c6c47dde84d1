// velmira-say: its command line, its choice of voice, and the program run as users run it.
#include "support/soundfile.h"
#include "say/parallelsay.h"
#include "say/sayoptions.h"
#include "say/sayprogress.h"
#include "say/sayvoice.h"

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>

using namespace velmira;
using namespace Qt::StringLiterals;

namespace {

struct Run
{
    int status = -1;
    QString errors;
};

} // namespace

class TestVelmiraSay : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;

    QString file(const QString &name) const { return m_dir.filePath(name); }

    void writeFile(const QString &name, const QByteArray &bytes)
    {
        QFile f(file(name));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }

    QProcess *startSay(const QStringList &arguments)
    {
        auto *process = new QProcess(this);
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(u"VELMIRA_HOME"_s, m_dir.path());
        process->setProcessEnvironment(environment);
        process->setWorkingDirectory(m_dir.path());
        process->start(QStringLiteral(VELMIRA_SAY), arguments);
        return process;
    }

    Run say(const QStringList &arguments, const QByteArray &input = {})
    {
        QProcess *process = startSay(arguments);
        process->write(input);
        process->closeWriteChannel();
        Run run;
        if (process->waitForFinished(60000) && process->exitStatus() == QProcess::NormalExit)
            run.status = process->exitCode();
        run.errors = QString::fromUtf8(process->readAllStandardError());
        delete process;
        return run;
    }

    // Everything in the test folder whose name starts with a dot: temporary files left behind.
    QStringList hiddenFiles() const
    {
        return QDir(m_dir.path()).entryList(QStringList{u".*"_s}, QDir::Files | QDir::Hidden);
    }

private slots:
    void init()
    {
        QDir dir(m_dir.path());
        for (const QString &name : dir.entryList(QDir::Files | QDir::Hidden))
            dir.remove(name);
    }

    void usageErrors_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::newRow("-o and -d") << QStringList{u"-o"_s, u"a.wav"_s, u"-d"_s, u"папка"_s, u"a.txt"_s};
        QTest::newRow("-f without -d") << QStringList{u"-f"_s, u"mp3"_s, u"a.txt"_s};
        QTest::newRow("-j without -d") << QStringList{u"-j"_s, u"2"_s, u"a.txt"_s};
        QTest::newRow("unknown extension") << QStringList{u"-o"_s, u"речь.aac"_s};
        QTest::newRow("unknown format") << QStringList{u"-d"_s, u"папка"_s, u"-f"_s, u"aac"_s, u"a.txt"_s};
        QTest::newRow("-d from standard input") << QStringList{u"-d"_s, u"папка"_s};
        QTest::newRow("speed not a number") << QStringList{u"-r"_s, u"быстро"_s};
        QTest::newRow("no jobs") << QStringList{u"-d"_s, u"папка"_s, u"-j"_s, u"0"_s, u"a.txt"_s};
        QTest::newRow("value missing") << QStringList{u"-v"_s};
        QTest::newRow("unknown option") << QStringList{u"--громко"_s};
    }

    void usageErrors()
    {
        QFETCH(QStringList, arguments);
        QVERIFY_THROWS_EXCEPTION(UsageError, parseSayArguments(arguments));
    }

    void optionsAreRead()
    {
        const SayOptions o = parseSayArguments(
            {u"-v"_s, u"ru"_s, u"-r"_s, u"200"_s, u"--no-dictionary"_s, u"-o"_s, u"КНИГА.MP3"_s, u"--"_s, u"-файл.txt"_s});
        QCOMPARE(o.output, u"КНИГА.MP3"_s);
        QCOMPARE(o.inputs, QStringList{u"-файл.txt"_s});
        QCOMPARE(o.voiceArguments(),
                 (QStringList{u"-v"_s, u"ru"_s, u"-r"_s, u"200"_s, u"--no-dictionary"_s}));
        QCOMPARE(ParallelSay::outputPath(u"/книги/том.1.fb2"_s, u"звук"_s, u"OGG"_s), u"звук/том.1.ogg"_s);
    }

    void voiceIsFoundByAnyUnambiguousName_data()
    {
        QTest::addColumn<QString>("wanted");
        QTest::addColumn<int>("found");
        // Names that espeak-ng's voices alone are searched for, RHVoice not being started.
        QTest::addColumn<bool>("espeakAlone");
        QTest::newRow("code") << u"ru"_s << 1 << false;
        QTest::newRow("full code, a longer one beside it") << u"zle/ru"_s << 1 << true;
        QTest::newRow("full code, other case") << u"ZLE/RU-lv"_s << 2 << true;
        QTest::newRow("identity") << u"espeak-ng:zle/ru"_s << 1 << true;
        QTest::newRow("full name") << u" Русский (ESPEAK-NG) "_s << 1 << true;
        QTest::newRow("family, ambiguous") << u"zle/"_s << -1 << true;
        QTest::newRow("family and a part") << u"gmw/e"_s << 3 << true;
        QTest::newRow("language") << u"english"_s << 3 << false;
        QTest::newRow("part") << u"engl"_s << 3 << false;
        QTest::newRow("Cyrillic part") << u"КРАЇН"_s << 4 << false;
        QTest::newRow("Latin for Cyrillic") << u"nemetsk"_s << 5 << false;
        QTest::newRow("Latin for Cyrillic, every letter")
            << u"Sesh zhe eshche etikh myagkikh frantsuzskikh bulok da vypey chayu"_s << 6 << false;
        QTest::newRow("RHVoice's name in Latin") << u"aleksandr"_s << 0 << false;
        QTest::newRow("RHVoice's name in Cyrillic") << u"Александр"_s << 0 << false;
        QTest::newRow("RHVoice's identity") << u"rhvoice:aleksandr"_s << 0 << false;
        QTest::newRow("ambiguous") << u"русск"_s << -1 << false;
        QTest::newRow("none") << u"французский"_s << -1 << false;
    }

    void voiceIsFoundByAnyUnambiguousName()
    {
        QFETCH(QString, wanted);
        QFETCH(int, found);
        QFETCH(bool, espeakAlone);
        // As the speech control lists them.
        const QList<SayVoiceName> voices = {{u"Александр (RHVoice)"_s, u"RHVoice:Aleksandr"_s},
                                            {u"Русский (espeak-ng)"_s, u"espeak-ng:zle/ru"_s},
                                            {u"Русский (espeak-ng, zle/ru-LV)"_s, u"espeak-ng:zle/ru-LV"_s},
                                            {u"English (espeak-ng)"_s, u"espeak-ng:gmw/en"_s},
                                            {u"Українська (espeak-ng)"_s, u"espeak-ng:zle/uk"_s},
                                            {u"Немецкий (espeak-ng)"_s, u"espeak-ng:gmw/de"_s},
                                            {u"Съешь же ещё этих мягких французских булок да выпей чаю (espeak-ng)"_s,
                                             u"espeak-ng:art/x"_s}};
        if (found < 0)
            QVERIFY_THROWS_EXCEPTION(UsageError, findVoice(voices, wanted));
        else
            QCOMPARE(findVoice(voices, wanted), qsizetype(found));

        // Without RHVoice's voices, a name of espeak-ng's finds the same voice, or fails the same way.
        QCOMPARE(namesEspeakVoice(wanted), espeakAlone);
        if (!espeakAlone)
            return;
        const QList<SayVoiceName> espeakVoices = voices.mid(1);
        if (found < 0)
            QVERIFY_THROWS_EXCEPTION(UsageError, findVoice(espeakVoices, wanted));
        else
            QCOMPARE(findVoice(espeakVoices, wanted), qsizetype(found - 1));
    }

    void progressSaysPercentAndTimeLeft()
    {
        QCOMPARE(SayProgress::text(0, 1000, 0), u"Записано 0 %"_s);
        QCOMPARE(SayProgress::text(250, 1000, 30'000), u"Записано 25 %, осталось 1:30"_s);
        QCOMPARE(SayProgress::text(1000, 1000, 5000), u"Записано 100 %, осталось 0:00"_s);
    }

    void listsTheRussianVoicesFirst()
    {
        QProcess *process = startSay({u"--list-voices"_s});
        QVERIFY(process->waitForFinished(30000));
        const QStringList voices = QString::fromUtf8(process->readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts);
        QCOMPARE(process->exitCode(), 0);
        QVERIFY(voices.size() > 10);
        // Russian first: RHVoice's voices where it is installed, then espeak-ng's, then other languages.
        const qsizetype espeakRussian = voices.indexOf(u"Русский (espeak-ng)"_s);
        QVERIFY2(espeakRussian >= 0, qPrintable(voices.join(u'|')));
        for (qsizetype i = 0; i < espeakRussian; ++i)
            QVERIFY2(voices.at(i).endsWith(u"(RHVoice)"_s), qPrintable(voices.at(i)));
        QVERIFY(voices.indexOf(u"Deutsch (espeak-ng)"_s) > espeakRussian);
        delete process;
    }


    void onlyTheChosenVoiceIsGotReady()
    {
        // Getting an RHVoice voice ready costs about a second; the first voice of the list, set before
        // the options are known, must not be loaded when another one is asked for.
        qputenv("QT_LOGGING_RULES", "velmira.speech.debug=true");
        const Run run = say({u"-v"_s, u"zle/ru"_s, u"-o"_s, u"да.wav"_s}, "Да.");
        qunsetenv("QT_LOGGING_RULES");
        QCOMPARE(run.status, 0);
        const QString marker = u"getting the voice ready:"_s;
        for (const QString &line : run.errors.split(u'\n')) {
            if (line.contains(marker))
                QVERIFY2(line.contains(u"espeak-ng:zle/ru"_s), qPrintable(run.errors));
        }
    }

    void rhvoiceIsStartedOnlyWhenItsVoicesMayBeWanted()
    {
        // Starting RHVoice holds back the first sound of espeak-ng's voices, which have no use for it.
        const auto startsRhvoice = [this](const QStringList &arguments, QByteArray *output = nullptr) {
            qputenv("QT_LOGGING_RULES", "velmira.speech.debug=true");
            QProcess *process = startSay(arguments);
            qunsetenv("QT_LOGGING_RULES");
            process->write("Да.");
            process->closeWriteChannel();
            const bool done = process->waitForFinished(60000) && process->exitCode() == 0;
            const QString errors = QString::fromUtf8(process->readAllStandardError());
            if (output)
                *output = process->readAllStandardOutput();
            delete process;
            return done ? int(errors.contains(u"starting RHVoice"_s)) : -1;
        };
        QCOMPARE(startsRhvoice({u"-v"_s, u"zle/ru"_s, u"-o"_s, u"да.wav"_s}), 0);
        // Many files at once: neither the process that checks the voice nor those that write the files.
        writeFile(u"да.txt"_s, "Да.");
        QCOMPARE(startsRhvoice({u"-v"_s, u"Русский (espeak-ng)"_s, u"-d"_s, u"папка"_s, file(u"да.txt"_s)}), 0);
        QVERIFY(QFile::exists(file(u"папка/да.wav"_s)));
        // Listing the voices, or naming one that may be RHVoice's, starts it where it is installed.
        QByteArray list;
        const int listing = startsRhvoice({u"--list-voices"_s}, &list);
        QCOMPARE(listing, int(list.contains("(RHVoice)")));
        QCOMPARE(startsRhvoice({u"-v"_s, u"ru"_s, u"-o"_s, u"да.wav"_s}), listing);
    }
    void standardInputToOggAndRtfToMp3()
    {
        const QString text = u"Мама мыла раму. Папа читал газету."_s;
        QCOMPARE(say({u"-o"_s, u"ввод.ogg"_s}, text.toUtf8()).status, 0);
        writeFile(u"текст.rtf"_s, "{\\rtf1\\ansi\\ansicpg1251 \\'cc\\'e0\\'ec\\'e0 \\'ec\\'fb\\'eb\\'e0 \\'f0\\'e0\\'ec\\'f3. "
                                  "\\'cf\\'e0\\'ef\\'e0 \\'f7\\'e8\\'f2\\'e0\\'eb \\'e3\\'e0\\'e7\\'e5\\'f2\\'f3.\\par}");
        QCOMPARE(say({u"-o"_s, u"текст.mp3"_s, u"текст.rtf"_s}).status, 0);
        // Windows-1251 text from standard input, as the editor reads text files.
        const QByteArray windows1251 = "\xcc\xe0\xec\xe0 \xec\xfb\xeb\xe0 \xf0\xe0\xec\xf3. "
                                       "\xcf\xe0\xef\xe0 \xf7\xe8\xf2\xe0\xeb \xe3\xe0\xe7\xe5\xf2\xf3.";
        QCOMPARE(say({u"-o"_s, u"ввод.wav"_s}, windows1251).status, 0);
        const SoundFile ogg = SoundFile::read(file(u"ввод.ogg"_s));
        const SoundFile mp3 = SoundFile::read(file(u"текст.mp3"_s));
        const SoundFile wav = SoundFile::read(file(u"ввод.wav"_s));
        QVERIFY2(ogg.isValid() && mp3.isValid() && wav.isValid(), qPrintable(ogg.problem + mp3.problem + wav.problem));
        QVERIFY2(ogg.seconds() > 1.5, qPrintable(QString::number(ogg.seconds())));
        // One process, one text each: the very same speech in every format.
        QVERIFY2(std::abs(mp3.seconds() - ogg.seconds()) < 0.02 && std::abs(wav.seconds() - ogg.seconds()) < 0.02,
                 qPrintable(u"%1 %2 %3"_s.arg(ogg.seconds()).arg(mp3.seconds()).arg(wav.seconds())));
        QVERIFY(hiddenFiles().isEmpty());
    }

    void failuresNameTheFileAndLeaveNoOutput()
    {
        writeFile(u"речь.wav"_s, "прежний файл");
        const Run missing = say({u"-o"_s, u"речь.wav"_s, u"нет такого.txt"_s});
        QCOMPARE(missing.status, 1);
        QVERIFY2(missing.errors.contains(u"«нет такого.txt»"_s), qPrintable(missing.errors));
        const Run unwritable = say({u"-o"_s, u"нет папки/речь.flac"_s}, "Текст.");
        QCOMPARE(unwritable.status, 1);
        QVERIFY2(unwritable.errors.contains(u"нет папки/речь.flac"_s), qPrintable(unwritable.errors));
        QFile old(file(u"речь.wav"_s));
        QVERIFY(old.open(QIODevice::ReadOnly));
        QCOMPARE(old.readAll(), QByteArray("прежний файл"));
        QVERIFY(hiddenFiles().isEmpty());

        const Run usage = say({u"-o"_s, u"a.wav"_s, u"-r"_s, u"100000"_s}, "Текст.");
        QCOMPARE(usage.status, 2);
        QVERIFY2(usage.errors.contains(u"Использование:"_s), qPrintable(usage.errors));
        QVERIFY(!QFile::exists(file(u"a.wav"_s)));
    }

    // Files written side by side are each what a run on that file alone makes; one that fails does
    // not stop the others and is named in the summary.
    void manyFilesAtOnce()
    {
        writeFile(u"первый.txt"_s, u"Первый файл. В нём два предложения."_s.toUtf8());
        writeFile(u"второй.txt"_s, u"Второй файл покороче."_s.toUtf8());
        QCOMPARE(say({u"-o"_s, u"один.wav"_s, u"первый.txt"_s}).status, 0);
        const Run run = say({u"-d"_s, u"звук"_s, u"-j"_s, u"2"_s, u"первый.txt"_s, u"пропал.txt"_s, u"второй.txt"_s});
        QCOMPARE(run.status, 1);
        QVERIFY2(run.errors.contains(u"не удалось: пропал.txt"_s), qPrintable(run.errors));
        QCOMPARE(QDir(file(u"звук"_s)).entryList(QDir::Files | QDir::Hidden),
                 (QStringList{u"второй.wav"_s, u"первый.wav"_s}));
        QFile alone(file(u"один.wav"_s));
        QFile together(file(u"звук/первый.wav"_s));
        QVERIFY(alone.open(QIODevice::ReadOnly) && together.open(QIODevice::ReadOnly));
        QVERIFY(alone.size() > 20'000);
        QVERIFY(alone.readAll() == together.readAll());
    }

    void settingsAndDictionaryOfTheProgramApply()
    {
        writeFile(u"Settings.ini"_s, "[Global]\r\nDictionary=1\r\nReadSpeed=450\r\n");
        writeFile(u"Dictionary.txt"_s, "\xea\xee\xf2=\xea\xee\xf2 \xe8 \xea\xee\xf8\xea\xe0 \xe8 \xf1\xee\xe1\xe0\xea\xe0\r\n");
        const QByteArray text = u"Вот кот, и ещё кот."_s.toUtf8();
        QCOMPARE(say({u"-o"_s, u"словарь.wav"_s}, text).status, 0);
        QCOMPARE(say({u"-o"_s, u"без.wav"_s, u"--no-dictionary"_s}, text).status, 0);
        QCOMPARE(say({u"-o"_s, u"медленно.wav"_s, u"-r"_s, u"80"_s}, text).status, 0);
        const double withDictionary = SoundFile::read(file(u"словарь.wav"_s)).seconds();
        const double without = SoundFile::read(file(u"без.wav"_s)).seconds();
        const double slow = SoundFile::read(file(u"медленно.wav"_s)).seconds();
        QVERIFY2(withDictionary > without * 1.5, qPrintable(u"%1 %2"_s.arg(withDictionary).arg(without)));
        QVERIFY2(slow > withDictionary * 2, qPrintable(u"%1 %2"_s.arg(slow).arg(withDictionary)));
    }

    void interruptedWritingLeavesNothingBehind()
    {
        QByteArray text;
        for (int i = 0; i < 400; ++i)
            text += u"Это предложение повторяется, чтобы запись шла долго. "_s.toUtf8();
        QProcess *process = startSay({u"-o"_s, u"долго.opus"_s});
        process->write(text);
        process->closeWriteChannel();
        QTRY_VERIFY_WITH_TIMEOUT(!hiddenFiles().isEmpty() && QFileInfo(file(hiddenFiles().first())).size() > 10'000, 30000);
        ::kill(pid_t(process->processId()), SIGINT);
        QVERIFY(process->waitForFinished(30000));
        QCOMPARE(process->exitStatus(), QProcess::NormalExit);
        QCOMPARE(process->exitCode(), 130);
        QVERIFY(!QFile::exists(file(u"долго.opus"_s)));
        QVERIFY(hiddenFiles().isEmpty());
        delete process;
    }

    void speaksAloudWithoutADisplay()
    {
        // VELMIRA_AUDIO=null (set for every test) plays into silence at the pace of a sound card.
        const Run run = say({}, "Да.");
        QCOMPARE(run.status, 0);
        QVERIFY2(run.errors.isEmpty(), qPrintable(run.errors));
    }
};

QTEST_GUILESS_MAIN(TestVelmiraSay)
#include "tst_velmirasay.moc"
