#include "freedesktopshell.h"

#include "common/error.h"
#include "common/textfile.h"

#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QProcess>
#include <QStandardPaths>

Q_LOGGING_CATEGORY(lcPlatform, "velmira.platform")

namespace velmira {

namespace {

const QString Main = DesktopEntry::mainGroup();

QString menuEntryFileName(ShellEntry entry)
{
    switch (entry) {
    case ShellEntry::MenuProgram:
        return QStringLiteral("program.desktop");
    case ShellEntry::MenuHelp:
        return QStringLiteral("help.desktop");
    case ShellEntry::MenuSite:
        return QStringLiteral("site.desktop");
    case ShellEntry::MenuUninstall:
        return QStringLiteral("uninstall.desktop");
    default:
        return {};
    }
}

// The rich documents the program opens besides plain text: RTF first, then the books and office
// documents that its readers take.
QString documentMimeTypes()
{
    return QStringLiteral("application/rtf;text/rtf;application/x-fictionbook+xml;application/x-zip-compressed-fb2;"
                          "application/epub+zip;application/vnd.openxmlformats-officedocument.wordprocessingml.document;"
                          "application/vnd.oasis.opendocument.text;text/html;application/xhtml+xml;application/pdf;");
}

bool isOpenWith(ShellEntry entry)
{
    return entry == ShellEntry::OpenWithText || entry == ShellEntry::OpenWithRtf;
}

void makeFolder(const QString &path)
{
    if (!QDir().mkpath(path))
        throw Error(QStringLiteral("Не удалось создать папку «%1»").arg(QDir::toNativeSeparators(path)));
}

void writeFile(const QString &path, const QByteArray &data)
{
    makeFolder(QFileInfo(path).absolutePath());
    writeFileAtomically(path, data);
}

// Quotes a text for the POSIX shell: single quotes, with each single quote written as '\''.
QString shellQuote(const QString &text)
{
    QString quoted = text;
    quoted.replace(u'\'', QStringLiteral("'\\''"));
    return u'\'' + quoted + u'\'';
}

// The menu group's entries, as the desktop knows them: a file in a subfolder of "applications" gets
// the folder's name and a dash before its own.
QString menuEntryId(ShellEntry entry)
{
    return QStringLiteral("velmira-") + menuEntryFileName(entry);
}

QByteArray menuText()
{
    QString text = QStringLiteral(
        "<!DOCTYPE Menu PUBLIC \"-//freedesktop//DTD Menu 1.0//EN\"\n"
        " \"http://www.freedesktop.org/standards/menu-spec/1.0/menu.dtd\">\n"
        "<Menu>\n"
        "  <Name>Applications</Name>\n"
        "  <Menu>\n"
        "    <Name>Velmira</Name>\n"
        "    <Directory>velmira.directory</Directory>\n"
        "    <Include>\n");
    for (ShellEntry entry : {ShellEntry::MenuProgram, ShellEntry::MenuHelp, ShellEntry::MenuSite,
                             ShellEntry::MenuUninstall})
        text += QStringLiteral("      <Filename>%1</Filename>\n").arg(menuEntryId(entry));
    text += QStringLiteral("    </Include>\n  </Menu>\n</Menu>\n");
    return text.toUtf8();
}

} // namespace

FreedesktopShell::FreedesktopShell() : FreedesktopShell(sessionFolders()) {}

FreedesktopShell::FreedesktopShell(Folders folders) : m_folders(std::move(folders)) {}

FreedesktopShell::Folders FreedesktopShell::sessionFolders()
{
    Folders f;
    f.dataHome = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    f.configHome = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    f.desktop = QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
    // The session's own runtime folder is private to the user; the shared temporary folder is not, so
    // it serves only where the session has none.
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    f.temp = !runtime.isEmpty() && QFileInfo(runtime).isDir() ? runtime : QDir::tempPath();
    return f;
}

bool FreedesktopShell::open(const QUrl &url)
{
    return QDesktopServices::openUrl(url);
}

QString FreedesktopShell::applicationsFolder() const
{
    return m_folders.dataHome + QStringLiteral("/applications");
}

QString FreedesktopShell::menuFile() const
{
    return m_folders.configHome + QStringLiteral("/menus/applications-merged/velmira.menu");
}

QString FreedesktopShell::directoryFile() const
{
    return m_folders.dataHome + QStringLiteral("/desktop-directories/velmira.directory");
}

QString FreedesktopShell::removalScriptPath() const
{
    return m_folders.temp + QStringLiteral("/velmira-uninstall.sh");
}

QString FreedesktopShell::location(ShellEntry entry) const
{
    switch (entry) {
    case ShellEntry::InstalledProgram:
        return applicationsFolder() + QStringLiteral("/velmira.desktop");
    case ShellEntry::OpenWithText:
        return applicationsFolder() + QStringLiteral("/velmira-open-txt.desktop");
    case ShellEntry::OpenWithRtf:
        return applicationsFolder() + QStringLiteral("/velmira-open-rtf.desktop");
    case ShellEntry::Autostart:
        return m_folders.configHome + QStringLiteral("/autostart/velmira.desktop");
    case ShellEntry::DesktopShortcut:
        return m_folders.desktop + QStringLiteral("/Вельмира.desktop");
    case ShellEntry::MenuGroup:
        return applicationsFolder() + QStringLiteral("/velmira");
    case ShellEntry::MenuProgram:
    case ShellEntry::MenuHelp:
    case ShellEntry::MenuSite:
    case ShellEntry::MenuUninstall:
        return applicationsFolder() + QStringLiteral("/velmira/") + menuEntryFileName(entry);
    }
    return {};
}

DesktopEntry FreedesktopShell::entryFor(ShellEntry entry, const Launcher &launcher) const
{
    DesktopEntry e;
    const bool link = launcher.program.isEmpty() && launcher.link.isValid();
    e.set(Main, QStringLiteral("Type"), link ? QStringLiteral("Link") : QStringLiteral("Application"));
    e.set(Main, QStringLiteral("Name"), launcher.name);
    if (!launcher.comment.isEmpty())
        e.set(Main, QStringLiteral("Comment"), launcher.comment);
    if (link) {
        e.set(Main, QStringLiteral("URL"), launcher.link.toString(QUrl::FullyEncoded));
        return e;
    }
    e.set(Main, QStringLiteral("Exec"),
          DesktopEntry::execLine(launcher.program, launcher.arguments,
                                 isOpenWith(entry) ? QStringLiteral("%f") : QString()));
    e.set(Main, QStringLiteral("Terminal"), QStringLiteral("false"));
    if (entry == ShellEntry::OpenWithText)
        e.set(Main, QStringLiteral("MimeType"), QStringLiteral("text/plain;"));
    else if (entry == ShellEntry::OpenWithRtf)
        e.set(Main, QStringLiteral("MimeType"), documentMimeTypes());
    if (isOpenWith(entry))
        e.set(Main, QStringLiteral("NoDisplay"), QStringLiteral("true"));
    if (entry == ShellEntry::InstalledProgram && !launcher.actionName.isEmpty()) {
        const QString group = QStringLiteral("Desktop Action uninstall");
        e.set(Main, QStringLiteral("Actions"), QStringLiteral("uninstall;"));
        e.set(group, QStringLiteral("Name"), launcher.actionName);
        e.set(group, QStringLiteral("Exec"), DesktopEntry::execLine(launcher.program, launcher.actionArguments));
    }
    return e;
}

void FreedesktopShell::write(ShellEntry entry, const Launcher &launcher)
{
    if (entry == ShellEntry::MenuGroup) {
        writeMenuGroup(launcher);
        return;
    }
    const QString path = location(entry);
    writeFile(path, entryFor(entry, launcher).toUtf8());
    if (entry == ShellEntry::DesktopShortcut) {
        // Desktops start only the launchers on the desktop that the user may execute.
        QFile::setPermissions(path, QFile::permissions(path) | QFileDevice::ExeOwner | QFileDevice::ExeUser);
    }
    if (isOpenWith(entry))
        refreshMimeCache();
}

void FreedesktopShell::writeMenuGroup(const Launcher &launcher)
{
    makeFolder(location(ShellEntry::MenuGroup));
    DesktopEntry directory;
    directory.set(Main, QStringLiteral("Type"), QStringLiteral("Directory"));
    directory.set(Main, QStringLiteral("Name"), launcher.name);
    if (!launcher.comment.isEmpty())
        directory.set(Main, QStringLiteral("Comment"), launcher.comment);
    writeFile(directoryFile(), directory.toUtf8());
    writeFile(menuFile(), menuText());
}

void FreedesktopShell::remove(ShellEntry entry)
{
    if (entry == ShellEntry::MenuGroup) {
        QFile::remove(menuFile());
        QFile::remove(directoryFile());
        QDir().rmdir(location(entry));
        return;
    }
    const QString path = location(entry);
    if (!QFileInfo::exists(path))
        return;
    if (!QFile::remove(path))
        qCWarning(lcPlatform) << "could not remove" << path;
    if (isOpenWith(entry))
        refreshMimeCache();
}

bool FreedesktopShell::startsProgram(ShellEntry entry, const QString &program) const
{
    QFile file(location(entry));
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const DesktopEntry e = DesktopEntry::parse(file.readAll());
    // A hidden entry counts as deleted: that is how a desktop switches off an autostart entry.
    if (e.value(Main, QStringLiteral("Hidden")) == u"true")
        return false;
    if (!e.contains(Main, QStringLiteral("Exec")))
        return false;
    Launcher plain;
    plain.program = program;
    return e.value(Main, QStringLiteral("Exec")) == entryFor(entry, plain).value(Main, QStringLiteral("Exec"));
}

void FreedesktopShell::refreshMimeCache() const
{
    const QString tool = QStandardPaths::findExecutable(QStringLiteral("update-desktop-database"));
    if (tool.isEmpty())
        return;
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(tool, {QStringLiteral("--quiet"), applicationsFolder()});
    if (!process.waitForFinished(30000) || process.exitStatus() != QProcess::NormalExit ||
        process.exitCode() != 0) {
        qCWarning(lcPlatform) << "update-desktop-database failed:" << process.errorString()
                              << process.readAll();
        return;
    }
    // A list that names no program at all is what our last entry left behind: it goes with it.
    const QString cache = applicationsFolder() + QStringLiteral("/mimeinfo.cache");
    QFile file(cache);
    if (file.open(QIODevice::ReadOnly) && file.readAll().trimmed() == "[MIME Cache]") {
        file.close();
        QFile::remove(cache);
    }
}

QByteArray FreedesktopShell::removalScript(qint64 pid, const QStringList &files, const QStringList &folders)
{
    QString text = QStringLiteral(
                       "#!/bin/sh\n"
                       "# Removes what is left of Velmira once the program has ended.\n"
                       "pid=%1\n"
                       "n=0\n"
                       "while kill -0 \"$pid\" 2>/dev/null && [ \"$n\" -lt 600 ]; do\n"
                       "    sleep 0.1\n"
                       "    n=$((n + 1))\n"
                       "done\n")
                       .arg(pid);
    for (const QString &file : files)
        text += QStringLiteral("rm -f -- %1\n").arg(shellQuote(file));
    // Only empty folders go: a file the user put there keeps its folder.
    for (const QString &folder : folders)
        text += QStringLiteral("rmdir -- %1 2>/dev/null\n").arg(shellQuote(folder));
    text += QStringLiteral("rm -f -- \"$0\"\n");
    return text.toUtf8();
}

void FreedesktopShell::removeAfterExit(qint64 pid, const QStringList &files, const QStringList &folders)
{
    const QString script = removalScriptPath();
    makeFolder(m_folders.temp);
    // A script left by an interrupted uninstall is removed and made anew. The new file must not exist
    // yet, so that a link put in its place is never written through.
    QFile::remove(script);
    QFile file(script);
    const QByteArray text = removalScript(pid, files, folders);
    if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly) || file.write(text) != text.size() || !file.flush())
        throw Error(QStringLiteral("Не удалось записать файл «%1»: %2")
                        .arg(QDir::toNativeSeparators(script), file.errorString()));
    file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    file.close();

    QProcess process;
    process.setProgram(QStringLiteral("/bin/sh"));
    process.setArguments({script});
    process.setWorkingDirectory(QDir::rootPath());
    process.setStandardInputFile(QProcess::nullDevice());
    process.setStandardOutputFile(QProcess::nullDevice());
    process.setStandardErrorFile(QProcess::nullDevice());
    if (!process.startDetached())
        throw Error(QStringLiteral("Не удалось запустить «%1»: %2")
                        .arg(QDir::toNativeSeparators(script), process.errorString()));
}

} // namespace velmira
