// Read on the real espeak-ng control: what a listener hears.
#include "speech/espeakspeechcontrol.h"
#include "speech/readingcontroller.h"
#include "support/fakeprompter.h"

#include "listeningaudiooutput.h"

#include <QComboBox>
#include <QLabel>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QWidget>

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
        QWidget panel;
        auto *engines = new QComboBox(&panel);
        auto *speed = new QScrollBar(&panel);
        auto *pitch = new QScrollBar(&panel);
        auto *speedLabel = new QLabel(&panel);
        auto *pitchLabel = new QLabel(&panel);
        FakePrompter prompter;
        QStringList status;
        ReadingController reading({engines, speed, pitch, speedLabel, pitchLabel},
                                  {&panel, &prompter, [&control]() -> SpeechControl * { return &control; },
                                   [&text] { return text; }, [] { return QString(); },
                                   [&status](const QString &message) { status.append(message); }});
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
        m_home = std::make_unique<QTemporaryDir>();
        qputenv("VELMIRA_HOME", m_home->path().toUtf8());
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
    std::unique_ptr<QTemporaryDir> m_home;
};

QTEST_MAIN(TestReadAloud)
#include "tst_readaloud.moc"
