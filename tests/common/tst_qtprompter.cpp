// File filters as the program writes them, turned into Qt's.
#include "common/qtprompter.h"

#include <QTest>

using namespace velmira;
using namespace Qt::StringLiterals;

class TestQtPrompter : public QObject
{
    Q_OBJECT

private slots:
    void filters_data()
    {
        QTest::addColumn<QString>("filter");
        QTest::addColumn<QString>("qt");
        QTest::newRow("sound") << u"Звуковые файлы (*.wav)|*.wav|Все файлы (*.*)|*.*"_s
                               << u"Звуковые файлы (*.wav);;Все файлы (*)"_s;
        QTest::newRow("trailing bar") << u"Все файлы (*.*)|*.*|"_s << u"Все файлы (*)"_s;
        QTest::newRow("no patterns in the words") << u"Файл RTF|*.rtf|Все файлы (*.*)|*.*"_s
                                                  << u"Файл RTF (*.rtf);;Все файлы (*)"_s;
        QTest::newRow("several patterns") << u"Тексты|*.txt;*.text"_s << u"Тексты (*.txt *.text)"_s;
    }

    void filters()
    {
        QFETCH(QString, filter);
        QFETCH(QString, qt);
        QCOMPARE(qtFileFilter(filter), qt);
    }
};

QTEST_GUILESS_MAIN(TestQtPrompter)
#include "tst_qtprompter.moc"
