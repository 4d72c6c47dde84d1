// Where the program keeps the user's files: beside the executable in a build tree or a portable
// folder, in the per-user data folder for an installed program.
#include "common/core/programfolder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <unistd.h>

using namespace velmira;
using namespace Qt::StringLiterals;

class TestProgramFolder : public QObject
{
    Q_OBJECT

private slots:
    void installedFoldersHoldNoUserData_data()
    {
        QTest::addColumn<QString>("folder");
        QTest::newRow("/usr/bin") << u"/usr/bin"_s;
        QTest::newRow("/usr/local/bin") << u"/usr/local/bin"_s;
        QTest::newRow("/usr/games") << u"/usr/games"_s;
        QTest::newRow("/opt") << u"/opt/velmira"_s;
        QTest::newRow("/bin") << u"/bin"_s;
        QTest::newRow("unclean path") << u"/usr/local/../bin/"_s;
    }

    void installedFoldersHoldNoUserData()
    {
        // Root may write to every one of them; the answer must not depend on who runs the program.
        QFETCH(QString, folder);
        QVERIFY(!folderHoldsUserData(folder));
    }

    void buildTreeAndPortableFolderHoldUserData()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        QVERIFY(folderHoldsUserData(dir.path()));
        QVERIFY(QDir(dir.path()).mkpath(u"Вельмира/bin"_s));
        // A portable folder that happens to be called "bin" keeps its data as long as no "share" is beside it.
        QVERIFY(folderHoldsUserData(dir.filePath(u"Вельмира/bin"_s)));
        // A name that merely begins like a system prefix is not one.
        QVERIFY(QDir(dir.path()).mkpath(u"usrbin"_s));
        QVERIFY(folderHoldsUserData(dir.filePath(u"usrbin"_s)));
    }

    void userInstallPrefixHoldsNoUserData()
    {
        // cmake --install --prefix ~/.local puts the program into ~/.local/bin beside ~/.local/share.
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkpath(u"bin"_s));
        QVERIFY(QDir(dir.path()).mkpath(u"share"_s));
        QVERIFY(!folderHoldsUserData(dir.filePath(u"bin"_s)));
    }

    void unwritableFolderHoldsNoUserData()
    {
        if (geteuid() == 0)
            QSKIP("root may write to any folder");
        QTemporaryDir dir;
        QVERIFY(QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::ExeOwner));
        QVERIFY(!folderHoldsUserData(dir.path()));
        QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }

    void programFolderOfThisRun()
    {
        const QByteArray saved = qgetenv("VELMIRA_HOME");
        QTemporaryDir dir;
        qputenv("VELMIRA_HOME", (dir.path() + u"/./папка"_s).toUtf8());
        const QString chosen = programFolder();
        qunsetenv("VELMIRA_HOME");
        const QString own = programFolder();
        const QString settings = programFile(u"Settings.ini"_s);
        if (!saved.isEmpty())
            qputenv("VELMIRA_HOME", saved);

        QCOMPARE(chosen, dir.path() + u"/папка/"_s);
        // The tests run from the build tree, which keeps the data beside the executable.
        if (!folderHoldsUserData(QCoreApplication::applicationDirPath()))
            QSKIP("the build tree lies in a system folder");
        QCOMPARE(own, QCoreApplication::applicationDirPath() + u'/');
        QCOMPARE(settings, QCoreApplication::applicationDirPath() + u"/Settings.ini"_s);
    }
};

QTEST_GUILESS_MAIN(TestProgramFolder)
#include "tst_programfolder.moc"
