#include "provisioning.h"

#include "app/buildinfo.h"
#include "common/error.h"
#include "common/programfolder.h"
#include "common/prompter.h"
#include "platform/desktopshell.h"

#include <QFileInfo>

namespace velmira {

void provisionDesktop(DesktopShell &shell, Prompter &prompter, QWidget *owner, const QString &program)
{
    const QString name = QStringLiteral("Вельмира");
    const QString start = QStringLiteral("Запустить программу Вельмира");
    const QString openWith = QStringLiteral("Открыть Вельмирой");
    const QString uninstall = QStringLiteral("Удалить программу");
    const QStringList deleteArgument{QStringLiteral("delete")};

    QStringList failures;
    auto make = [&](ShellEntry entry, const Launcher &launcher) {
        try {
            shell.write(entry, launcher);
        } catch (const Error &error) {
            // Entries share folders: a folder that cannot be made is named once.
            if (!failures.contains(error.message()))
                failures << error.message();
        }
    };

    make(ShellEntry::InstalledProgram, {QStringLiteral("Вельмира 6.1"), {}, program, {}, {}, uninstall, deleteArgument});
    make(ShellEntry::OpenWithText, {openWith, {}, program, {}, {}, {}, {}});
    make(ShellEntry::OpenWithRtf, {openWith, {}, program, {}, {}, {}, {}});
    make(ShellEntry::DesktopShortcut, {name, start, program, {}, {}, {}, {}});
    make(ShellEntry::MenuGroup, {name, {}, {}, {}, {}, {}, {}});
    make(ShellEntry::MenuProgram, {name, start, program, {}, {}, {}, {}});
    make(ShellEntry::MenuHelp, {QStringLiteral("Справка по Вельмире"), QStringLiteral("Краткая справка по Вельмире"),
                                {}, {}, QUrl::fromLocalFile(programFile(QStringLiteral("Help.rtf"))), {}, {}});
    make(ShellEntry::MenuSite, {QStringLiteral("Сайт разработчиков"), QStringLiteral("Посетить сайт разработчиков"),
                                {}, {}, QUrl(QString::fromUtf16(buildinfo::site)), {}, {}});
    make(ShellEntry::MenuUninstall,
         {uninstall, QStringLiteral("Удалить программу Вельмира"), program, deleteArgument, {}, {}, {}});

    if (!failures.isEmpty()) {
        prompter.message(owner, programCaption(),
                         QStringLiteral("Не удалось создать:\r\n") + failures.join(QStringLiteral("\r\n")),
                         Prompter::Icon::Warning, Prompter::Button::Ok);
    }
    const QString group = shell.location(ShellEntry::MenuGroup);
    if (QFileInfo(group).isDir())
        shell.open(QUrl::fromLocalFile(group));
}

} // namespace velmira
