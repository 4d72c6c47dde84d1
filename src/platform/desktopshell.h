// The desktop shell: what the program makes on the desktop (its entry among the installed programs,
// open-with entries, autostart, shortcuts, its menu group), opening addresses and documents, and the
// removal of the program after it has ended.
#pragma once

#include <QString>
#include <QStringList>
#include <QUrl>

namespace velmira {

// The entries the program makes on the desktop.
enum class ShellEntry {
    InstalledProgram, // the program among the installed programs, with an action that uninstalls it
    OpenWithText,     // "open with" for plain-text documents
    OpenWithRtf,      // "open with" for RTF documents
    Autostart,        // start with the desktop session
    DesktopShortcut,  // shortcut on the desktop
    MenuGroup,        // the program's own group in the applications menu
    MenuProgram,      // the entries of that group
    MenuHelp,
    MenuSite,
    MenuUninstall,
};

// What an entry shows and starts: a program with arguments, or a document or address to open.
struct Launcher
{
    QString name;
    QString comment;
    QString program;
    QStringList arguments;
    QUrl link;
    // The installed-program entry: the caption of its uninstall action and the arguments it passes.
    QString actionName;
    QStringList actionArguments;
};

class DesktopShell
{
public:
    virtual ~DesktopShell() = default;

    // Opens a web or mail address, a document or a folder with the user's program for it. Returns
    // false when none could be started; nothing is reported to the user.
    virtual bool open(const QUrl &url) = 0;

    // Makes an entry, replacing one that exists (MenuGroup takes only a name). An open-with entry
    // passes the chosen document to the program. Throws Error, naming what could not be made.
    virtual void write(ShellEntry entry, const Launcher &launcher) = 0;
    // Removes an entry; one that is missing, or cannot be removed, is skipped silently. The menu
    // group's folder goes only when it is empty.
    virtual void remove(ShellEntry entry) = 0;
    // Whether the entry exists and starts exactly this program (letter case counts): its command
    // equals the one write() makes for `program` without further arguments.
    virtual bool startsProgram(ShellEntry entry, const QString &program) const = 0;
    // Where the entry lives: its file, or the menu group's folder.
    virtual QString location(ShellEntry entry) const = 0;

    // Once the process `pid` has ended, removes `files` and then `folders` (each only when empty),
    // without the program's help: the program itself may be among the files. Throws Error when this
    // cannot be arranged.
    virtual void removeAfterExit(qint64 pid, const QStringList &files, const QStringList &folders) = 0;
};

} // namespace velmira
