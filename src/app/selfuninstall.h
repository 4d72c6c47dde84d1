// The self-uninstall: the program removes everything it made and, after it has ended, itself.
#pragma once

#include <QString>

namespace velmira {

class DesktopShell;
class Prompter;

// Asks twice, first offering to write to the developers instead (Yes opens a mail to them and ends).
// On the final Yes removes, in this order and each silently when missing: the entry among the
// installed programs, autostart, the two open-with entries, the desktop shortcut, the four entries of
// the menu group and then the group itself, and the program's data files. The executable `program`
// and its folder (only when empty) go after the process `pid` has ended. The last message says
// whether everything went. The caller ends the process afterwards.
void SelfUninstall(DesktopShell &shell, Prompter &prompter, const QString &program, qint64 pid);

} // namespace velmira
