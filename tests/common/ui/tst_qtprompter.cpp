// File filters as the program writes them, turned into Qt's and shown as written; the font box showing
// the font it is given; message boxes that do not wait.
#include "common/ui/qtprompter.h"

#include <QApplication>
#include <QComboBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTimer>
#include <QFontDatabase>
#include <QFontDialog>
#include <QFontInfo>
#include <QLibraryInfo>
#include <QMessageBox>
#include <QPushButton>
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
        QTest::addColumn<QStringList>("shown");
        QTest::newRow("sound") << u"Звуковые файлы (*.wav)|*.wav|Все файлы (*.*)|*.*"_s
                               << u"Звуковые файлы (*.wav) (*.wav);;Все файлы (*.*) (*)"_s
                               << QStringList{u"Звуковые файлы (*.wav)"_s, u"Все файлы (*.*)"_s};
        QTest::newRow("trailing bar") << u"Все файлы (*.*)|*.*|"_s << u"Все файлы (*.*) (*)"_s
                                      << QStringList{u"Все файлы (*.*)"_s};
        QTest::newRow("no patterns in the words") << u"Файл RTF|*.rtf|Все файлы (*.*)|*.*"_s
                                                  << u"Файл RTF (*.rtf) (*.rtf);;Все файлы (*.*) (*)"_s
                                                  << QStringList{u"Файл RTF (*.rtf)"_s, u"Все файлы (*.*)"_s};
        QTest::newRow("several patterns") << u"Тексты|*.txt;*.text"_s << u"Тексты (*.txt *.text) (*.txt *.text)"_s
                                          << QStringList{u"Тексты (*.txt *.text)"_s};
    }

    // Qt's file box takes the patterns from the last parentheses ("*.*" becomes "*", so that a file
    // without an extension is listed too) and shows the words as the program wrote them.
    void filters()
    {
        QFETCH(QString, filter);
        QFETCH(QString, qt);
        QFETCH(QStringList, shown);
        QCOMPARE(qtFileFilter(filter), qt);

        QFileDialog box;
        box.setOptions(FileDialogOptions | QFileDialog::DontUseNativeDialog);
        box.setNameFilter(qtFileFilter(filter));
        const auto *types = box.findChild<QComboBox *>(u"fileTypeCombo"_s);
        QVERIFY(types);
        QStringList items;
        for (int i = 0; i < types->count(); ++i)
            items << types->itemText(i);
        QCOMPARE(items, shown);
    }

    // The recording window gives a name typed without an extension the one of the type chosen.
    void saveBoxTellsWhichTypeWasChosen()
    {
        QTemporaryDir dir;
        QtPrompter prompter;
        QTimer::singleShot(0, [&] {
            auto *box = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
            QVERIFY(box);
            auto *types = box->findChild<QComboBox *>(u"fileTypeCombo"_s);
            auto *name = box->findChild<QLineEdit *>(u"fileNameEdit"_s);
            QVERIFY(types && name);
            types->setCurrentIndex(2);
            name->setText(u"книга"_s);
            QTest::keyClick(name, Qt::Key_Return);
        });
        int type = -1;
        const QString chosen = prompter.saveFileName(nullptr, u"Файл для записи"_s,
                                                     u"Все|*.wav;*.mp3|WAV (*.wav)|*.wav|MP3 (*.mp3)|*.mp3"_s,
                                                     dir.filePath(u"запись"_s), &type);
        QCOMPARE(QFileInfo(chosen).fileName(), u"книга"_s);
        QCOMPARE(type, 2);

        QTimer::singleShot(0, [] { QApplication::activeModalWidget()->close(); });
        QVERIFY(prompter.saveFileName(nullptr, u"Файл"_s, u"WAV (*.wav)|*.wav"_s, {}, &type).isEmpty());
        QCOMPARE(type, -1);
    }

    void fontBoxStartsOnTheFamilyTheTextIsDrawnWith()
    {
        // A family that is not installed is drawn with a stand-in, which the box must show: a box that
        // starts on some other family would give that back on OK.
        QFont missing(u"Times New Roman"_s, 12);
        const QString drawn = QFontInfo(missing).family();
        if (QFontDatabase::hasFamily(u"Times New Roman"_s) || drawn == missing.family())
            QSKIP("Times New Roman is installed here");
        const QFontDialog box(fontForFontBox(missing));
        QCOMPARE(box.currentFont().family(), drawn);
        QCOMPARE(box.currentFont().pointSize(), 12);
    }

    void notifyingBoxesDoNotWait()
    {
        QtPrompter prompter;
        QWidget owner;
        for (const QString &text : {u"Первое"_s, u"Второе"_s})
            prompter.notify(&owner, u"Вельмира 6.1"_s, u"Напоминание:\r\n"_s + text, Prompter::Icon::Information);
        const QList<QMessageBox *> boxes = owner.findChildren<QMessageBox *>(u"MessageBox"_s);
        QCOMPARE(boxes.size(), 2);
        for (const QMessageBox *box : boxes) {
            QVERIFY(box->isVisible());
            QCOMPARE(box->windowModality(), Qt::ApplicationModal);
        }
        QCOMPARE(boxes.at(1)->text(), u"Напоминание:\nВторое"_s);
        // A box closed goes away; the other stays.
        boxes.at(1)->button(QMessageBox::Ok)->click();
        QTRY_COMPARE(owner.findChildren<QMessageBox *>().size(), 1);
        QVERIFY(boxes.at(0)->isVisible());
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
