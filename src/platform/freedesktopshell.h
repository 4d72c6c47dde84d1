// The desktop shell of freedesktop desktops: desktop entries under the XDG folders.
#pragma once

#include "desktopentry.h"
#include "desktopshell.h"

namespace velmira {

// Entries live where freedesktop desktops look for them:
// - the program: $XDG_DATA_HOME/applications/velmira.desktop, with an "uninstall" action;
// - open-with: velmira-open-txt.desktop (text/plain) and velmira-open-rtf.desktop (application/rtf,
//   text/rtf and the books and documents the program reads: FB2, EPUB, DOCX, ODT, HTML, PDF) beside it,
//   hidden from menus;
// - autostart: $XDG_CONFIG_HOME/autostart/velmira.desktop;
// - desktop shortcut: "Вельмира.desktop" in the desktop folder, executable;
// - menu group: the folder $XDG_DATA_HOME/applications/velmira/ with its entries, grouped by
//   $XDG_CONFIG_HOME/menus/applications-merged/velmira.menu and named by
//   $XDG_DATA_HOME/desktop-directories/velmira.directory.
// After an open-with entry changes, update-desktop-database refreshes the desktop's list of programs
// per document type, when it is installed.
class FreedesktopShell : public DesktopShell
{
public:
    struct Folders
    {
        QString dataHome;   // $XDG_DATA_HOME
        QString configHome; // $XDG_CONFIG_HOME
        QString desktop;    // the user's desktop folder
        QString temp;       // where the removal script goes
    };

    // The folders of the running session.
    FreedesktopShell();
    explicit FreedesktopShell(Folders folders);

    static Folders sessionFolders();
    const Folders &folders() const { return m_folders; }

    bool open(const QUrl &url) override;
    void write(ShellEntry entry, const Launcher &launcher) override;
    void remove(ShellEntry entry) override;
    bool startsProgram(ShellEntry entry, const QString &program) const override;
    QString location(ShellEntry entry) const override;
    void removeAfterExit(qint64 pid, const QStringList &files, const QStringList &folders) override;

    // The .menu and .directory files of the menu group.
    QString menuFile() const;
    QString directoryFile() const;
    // The script removeAfterExit writes and starts.
    QString removalScriptPath() const;
    // Its text: waits for `pid` to end (a minute at most), removes the files and the empty folders,
    // then itself.
    static QByteArray removalScript(qint64 pid, const QStringList &files, const QStringList &folders);

private:
    QString applicationsFolder() const;
    DesktopEntry entryFor(ShellEntry entry, const Launcher &launcher) const;
    void writeMenuGroup(const Launcher &launcher);
    void refreshMimeCache() const;

    Folders m_folders;
};

} // namespace velmira
