// The About window in its two roles: the start-up splash and "О программе".
#include "app/aboutwindow.h"
#include "common/ui/labelbutton.h"
#include "support/recordingshell.h"

#include <QLabel>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

using namespace velmira;
using namespace Qt::StringLiterals;

class TestAboutWindow : public QObject
{
    Q_OBJECT

    // Making the window writes the data files into the program folder.
    QTemporaryDir m_home;

private slots:
    void initTestCase() { qputenv("VELMIRA_HOME", m_home.path().toUtf8()); }

    void splashDoesNotCloseByAClick()
    {
        AboutWindow w;
        w.showSplash();
        QCOMPARE(w.windowTitle(), u"Вельмира"_s);
        auto *button = w.findChild<LabelButton *>(u"Label6"_s);
        QCOMPARE(button->text(), u"   Загрузка..."_s);
        QCOMPARE(w.findChild<QLabel *>(u"Label1"_s)->text(), u"Вельмира 6.1"_s);
        QTest::mouseClick(button, Qt::LeftButton);
        QVERIFY(w.isVisible());
    }

    void aboutClosesWithOkEscOrEnter_data()
    {
        QTest::addColumn<int>("how");
        QTest::newRow("OK") << 0;
        QTest::newRow("Esc") << 1;
        QTest::newRow("Enter") << 2;
    }

    void aboutClosesWithOkEscOrEnter()
    {
        QFETCH(int, how);
        AboutWindow w;
        w.showSplash();
        w.hide();
        QString title;
        QString buttonText;
        QTimer::singleShot(50, &w, [&] {
            title = w.windowTitle();
            auto *button = w.findChild<LabelButton *>(u"Label6"_s);
            buttonText = button->text();
            if (how == 0)
                QTest::mouseClick(button, Qt::LeftButton);
            else
                QTest::keyClick(&w, how == 1 ? Qt::Key_Escape : Qt::Key_Return);
        });
        QTimer::singleShot(3000, &w, &QWidget::close); // a failing test must not hang
        w.showAbout();
        QCOMPARE(title, u"О программе Вельмира 6.1"_s);
        QCOMPARE(buttonText, u"OK"_s);
        QVERIFY(!w.isVisible());
        QCOMPARE(w.findChild<LabelButton *>(u"Label4"_s)->text(), u"Наша почта: velmira@example.org"_s);
        QCOMPARE(w.findChild<LabelButton *>(u"Label5"_s)->text(), u"Наш сайт: https://velmira.example.org"_s);
    }

    void linksOpenTheMailAndTheSite()
    {
        QTemporaryDir home;
        RecordingShell shell(home.path());
        AboutWindow w;
        w.setShell(&shell);
        w.showSplash();
        QTest::mouseClick(w.findChild<LabelButton *>(u"Label4"_s), Qt::LeftButton);
        QTest::mouseClick(w.findChild<LabelButton *>(u"Label5"_s), Qt::LeftButton);
        QCOMPARE(shell.opened,
                 (QList<QUrl>{QUrl(u"mailto:velmira@example.org"_s), QUrl(u"https://velmira.example.org"_s)}));
    }
};

QTEST_MAIN(TestAboutWindow)
#include "tst_aboutwindow.moc"
