// File filters as the program writes them, turned into Qt's; the font box showing the font it is given.
#include "common/ui/qtprompter.h"

#include <QApplication>
#include <QFontDialog>
#include <QLibraryInfo>
#include <QTest>
#include <QTranslator>

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

    void fontBoxShowsTheStyleUnderTheRussianTranslation()
    {
        QTranslator russian;
        if (!russian.load(u"qtbase_ru"_s, QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
            QSKIP("Qt's Russian translation is not installed");
        QApplication::installTranslator(&russian);
        for (const bool bold : {false, true}) {
            for (const bool italic : {false, true}) {
                QFont font(u"Liberation Serif"_s, 14);
                font.setBold(bold);
                font.setItalic(italic);
                const QFontDialog box(fontForFontBox(font));
                const QFont shown = box.currentFont();
                QCOMPARE(shown.family(), u"Liberation Serif"_s);
                QCOMPARE(shown.bold(), bold);
                QCOMPARE(shown.italic(), italic);
                QCOMPARE(shown.pointSize(), 14);
            }
        }
        QApplication::removeTranslator(&russian);
    }
};

QTEST_MAIN(TestQtPrompter)
#include "tst_qtprompter.moc"
