// First-run provisioning: the program makes its place on the desktop.
#pragma once

#include <QString>

class QWidget;

namespace velmira {

class DesktopShell;
class Prompter;

// Registers `program` with the desktop, in this order: its entry among the installed programs (with
// the action that uninstalls it), "Открыть Вельмирой" for plain-text and RTF documents, the desktop
// shortcut, the menu group "Вельмира" with the program, the help document, the web site and the
// uninstall, and finally opens the menu group's folder so that the user sees it. Every run makes the
// same entries again. What cannot be made is listed in one message box; the rest is made all the same.
void provisionDesktop(DesktopShell &shell, Prompter &prompter, QWidget *owner, const QString &program);

} // namespace velmira
