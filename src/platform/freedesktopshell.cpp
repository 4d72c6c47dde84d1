#include "freedesktopshell.h"

#include "common/core/error.h"
#include "common/core/textfile.h"

#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QProcess>
#include <QStandardPaths>

using namespace Qt::StringLiterals;

Q_LOGGING_CATEGORY(lcPlatform, "velmira.platform")

namespace velmira {

namespace {

const QString Main = DesktopEntry::mainGroup();

QString menuEntryFileName(ShellEntry entry)
{
    switch (entry) {
    case ShellEntry::MenuProgram:
        return u"program.desktop"_s;
    case ShellEntry::MenuHelp:
        return u"help.desktop"_s;
    case ShellEntry::MenuSite:
        return u"site.desktop"_s;
    case ShellEntry::MenuUninstall:
        return u"uninstall.desktop"_s;
    default:
        return {};
    }
}

// The rich documents the program opens besides plain text: RTF first, then the books and office
// documents that its readers take.
QString documentMimeTypes()
{
    return u"application/rtf;text/rtf;application/x-fictionbook+xml;application/x-zip-compressed-fb2;"
           u"application/epub+zip;application/vnd.openxmlformats-officedocument.wordprocessingml.document;"
           u"application/vnd.oasis.opendocument.text;text/html;application/xhtml+xml;application/pdf;"_s;
}

bool isOpenWith(ShellEntry entry)
{
    return entry == ShellEntry::OpenWithText || entry == ShellEntry::OpenWithRtf;
}

void makeFolder(const QString &path)
{
    if (!QDir().mkpath(path))
        throw Error(u"Не удалось создать папку «%1»"_s.arg(QDir::toNativeSeparators(path)));
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
    quoted.replace(u'\'', u"'\\''"_s);
    return u'\'' + quoted + u'\'';
}

// The menu group's entries, as the desktop knows them: a file in a subfolder of "applications" gets
// the folder's name and a dash before its own.
QString menuEntryId(ShellEntry entry)
{
    return u"velmira-"_s + menuEntryFileName(entry);
}

QByteArray menuText()
{
    QString text = u"<!DOCTYPE Menu PUBLIC \"-//freedesktop//DTD Menu 1.0//EN\"\n"
        " \"http://www.freedesktop.org/standards/menu-spec/1.0/menu.dtd\">\n"
        "<Menu>\n"
        "  <Name>Applications</Name>\n"
        "  <Menu>\n"
        "    <Name>Velmira</Name>\n"
        "    <Directory>velmira.directory</Directory>\n"
        "    <Include>\n"_s;
    for (ShellEntry entry : {ShellEntry::MenuProgram, ShellEntry::MenuHelp, ShellEntry::MenuSite,
                             ShellEntry::MenuUninstall})
        text += u"      <Filename>%1</Filename>\n"_s.arg(menuEntryId(entry));
    text += u"    </Include>\n  </Menu>\n</Menu>\n"_s;
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
    return m_folders.dataHome + u"/applications"_s;
}

QString FreedesktopShell::menuFile() const
{
    return m_folders.configHome + u"/menus/applications-merged/velmira.menu"_s;
}

QString FreedesktopShell::directoryFile() const
{
    return m_folders.dataHome + u"/desktop-directories/velmira.directory"_s;
}

QString FreedesktopShell::removalScriptPath() const
{
    return m_folders.temp + u"/velmira-uninstall.sh"_s;
}

QString FreedesktopShell::location(ShellEntry entry) const
{
    switch (entry) {
    case ShellEntry::InstalledProgram:
        return applicationsFolder() + u"/velmira.desktop"_s;
    case ShellEntry::OpenWithText:
        return applicationsFolder() + u"/velmira-open-txt.desktop"_s;
    case ShellEntry::OpenWithRtf:
        return applicationsFolder() + u"/velmira-open-rtf.desktop"_s;
    case ShellEntry::Autostart:
        return m_folders.configHome + u"/autostart/velmira.desktop"_s;
    case ShellEntry::DesktopShortcut:
        return m_folders.desktop + u"/Вельмира.desktop"_s;
    case ShellEntry::MenuGroup:
        return applicationsFolder() + u"/velmira"_s;
    case ShellEntry::MenuProgram:
    case ShellEntry::MenuHelp:
    case ShellEntry::MenuSite:
    case ShellEntry::MenuUninstall:
        return applicationsFolder() + u"/velmira/"_s + menuEntryFileName(entry);
    }
    return {};
}

DesktopEntry FreedesktopShell::entryFor(ShellEntry entry, const Launcher &launcher) const
{
    DesktopEntry e;
    const bool link = launcher.program.isEmpty() && launcher.link.isValid();
    e.set(Main, u"Type"_s, link ? u"Link"_s : u"Application"_s);
    e.set(Main, u"Name"_s, launcher.name);
    if (!launcher.comment.isEmpty())
        e.set(Main, u"Comment"_s, launcher.comment);
    if (link) {
        e.set(Main, u"URL"_s, launcher.link.toString(QUrl::FullyEncoded));
        return e;
    }
    e.set(Main, u"Exec"_s,
          DesktopEntry::execLine(launcher.program, launcher.arguments,
                                 isOpenWith(entry) ? u"%f"_s : QString()));
    e.set(Main, u"Terminal"_s, u"false"_s);
    if (entry == ShellEntry::OpenWithText)
        e.set(Main, u"MimeType"_s, u"text/plain;"_s);
    else if (entry == ShellEntry::OpenWithRtf)
        e.set(Main, u"MimeType"_s, documentMimeTypes());
    if (isOpenWith(entry))
        e.set(Main, u"NoDisplay"_s, u"true"_s);
    if (entry == ShellEntry::InstalledProgram && !launcher.actionName.isEmpty()) {
        const QString group = u"Desktop Action uninstall"_s;
        e.set(Main, u"Actions"_s, u"uninstall;"_s);
        e.set(group, u"Name"_s, launcher.actionName);
        e.set(group, u"Exec"_s, DesktopEntry::execLine(launcher.program, launcher.actionArguments));
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
    directory.set(Main, u"Type"_s, u"Directory"_s);
    directory.set(Main, u"Name"_s, launcher.name);
    if (!launcher.comment.isEmpty())
        directory.set(Main, u"Comment"_s, launcher.comment);
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
    if (e.value(Main, u"Hidden"_s) == u"true")
        return false;
    if (!e.contains(Main, u"Exec"_s))
        return false;
    Launcher plain;
    plain.program = program;
    return e.value(Main, u"Exec"_s) == entryFor(entry, plain).value(Main, u"Exec"_s);
}

void FreedesktopShell::refreshMimeCache() const
{
    const QString tool = QStandardPaths::findExecutable(u"update-desktop-database"_s);
    if (tool.isEmpty())
        return;
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(tool, {u"--quiet"_s, applicationsFolder()});
    if (!process.waitForFinished(30000) || process.exitStatus() != QProcess::NormalExit ||
        process.exitCode() != 0) {
        qCWarning(lcPlatform) << "update-desktop-database failed:" << process.errorString()
                              << process.readAll();
        return;
    }
    // A list that names no program at all is what our last entry left behind: it goes with it.
    const QString cache = applicationsFolder() + u"/mimeinfo.cache"_s;
    QFile file(cache);
    if (file.open(QIODevice::ReadOnly) && file.readAll().trimmed() == "[MIME Cache]") {
        file.close();
        QFile::remove(cache);
    }
}

QByteArray FreedesktopShell::removalScript(qint64 pid, const QStringList &files, const QStringList &folders)
{
    QString text = u"#!/bin/sh\n"
                       "# Removes what is left of Velmira once the program has ended.\n"
                       "pid=%1\n"
                       "n=0\n"
                       "while kill -0 \"$pid\" 2>/dev/null && [ \"$n\" -lt 600 ]; do\n"
                       "    sleep 0.1\n"
                       "    n=$((n + 1))\n"
                       "done\n"_s
                       .arg(pid);
    for (const QString &file : files)
        text += u"rm -f -- %1\n"_s.arg(shellQuote(file));
    // Only empty folders go: a file the user put there keeps its folder.
    for (const QString &folder : folders)
        text += u"rmdir -- %1 2>/dev/null\n"_s.arg(shellQuote(folder));
    text += u"rm -f -- \"$0\"\n"_s;
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
        throw Error(u"Не удалось записать файл «%1»: %2"_s
                        .arg(QDir::toNativeSeparators(script), file.errorString()));
    file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    file.close();

    QProcess process;
    process.setProgram(u"/bin/sh"_s);
    process.setArguments({script});
    process.setWorkingDirectory(QDir::rootPath());
    process.setStandardInputFile(QProcess::nullDevice());
    process.setStandardOutputFile(QProcess::nullDevice());
    process.setStandardErrorFile(QProcess::nullDevice());
    if (!process.startDetached())
        throw Error(u"Не удалось запустить «%1»: %2"_s
                        .arg(QDir::toNativeSeparators(script), process.errorString()));
}

} // namespace velmira
