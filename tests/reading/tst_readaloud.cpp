// Read on the real espeak-ng control: what a listener hears.
#include "reading/readingcontroller.h"
#include "speech/espeakspeechcontrol.h"
#include "support/fakeprompter.h"

#include "support/fakereadinghost.h"
#include "support/listeningaudiooutput.h"
#include "support/testfiles.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace velmira;
using namespace Qt::StringLiterals;

class TestReadAloud : public QObject
{
    Q_OBJECT

private:
    // The samples heard when Read speaks `text` from start to end.
    static qint64 heardWhenReading(const QString &text)
    {
        auto output = std::make_unique<ListeningAudioOutput>(20.0);
        ListeningAudioOutput *listener = output.get();
        EspeakSpeechControl control(std::move(output));
        FakePrompter prompter;
        QStringList status;
        FakeReadingHost host;
        host.dialogs = &prompter;
        host.mainSpeech = [&control]() -> SpeechControl * { return &control; };
        host.whole = [&text] { return text; };
        host.status = [&status](const QString &message) { status.append(message); };
        ReadingController reading(host, host);
        host.controller = &reading;
        reading.startUp();
        QSignalSpy finished(&control, &SpeechControl::finished);
        // The empty text of the start-up step.
        finished.wait(5000);
        finished.clear();
        reading.Read();
        if (!status.isEmpty() || !finished.wait(60000))
            return -1;
        return listener->heardCount();
    }

private slots:
    void initTestCase()
    {
        m_home = std::make_unique<TemporaryProgramFolder>();
    }

    void longerTextSoundsLonger()
    {
        const QString sentence = u"Вельмира читает текст вслух, спокойно и внятно. "_s;
        const qint64 once = heardWhenReading(sentence);
        const qint64 thrice = heardWhenReading(sentence.repeated(3));
        QVERIFY2(once > 22050 / 2, qPrintable(QString::number(once)));
        QVERIFY2(thrice > 2.5 * once && thrice < 3.5 * once,
                 qPrintable(u"%1 samples, then %2"_s.arg(once).arg(thrice)));
    }

private:
    std::unique_ptr<TemporaryProgramFolder> m_home;
};

QTEST_MAIN(TestReadAloud)
#include "tst_readaloud.moc"
