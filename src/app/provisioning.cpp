#include "provisioning.h"

#include "app/buildinfo.h"
#include "common/core/error.h"
#include "common/core/programfolder.h"
#include "common/core/prompter.h"
#include "platform/desktopshell.h"

#include <QFileInfo>

using namespace Qt::StringLiterals;

namespace velmira {

void provisionDesktop(DesktopShell &shell, Prompter &prompter, QWidget *owner, const QString &program)
{
    const QString name = u"Вельмира"_s;
    const QString start = u"Запустить программу Вельмира"_s;
    const QString openWith = u"Открыть Вельмирой"_s;
    const QString uninstall = u"Удалить программу"_s;
    const QStringList deleteArgument{u"delete"_s};

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

    make(ShellEntry::InstalledProgram, {u"Вельмира 6.1"_s, {}, program, {}, {}, uninstall, deleteArgument});
    make(ShellEntry::OpenWithText, {openWith, {}, program, {}, {}, {}, {}});
    make(ShellEntry::OpenWithRtf, {openWith, {}, program, {}, {}, {}, {}});
    make(ShellEntry::DesktopShortcut, {name, start, program, {}, {}, {}, {}});
    make(ShellEntry::MenuGroup, {name, {}, {}, {}, {}, {}, {}});
    make(ShellEntry::MenuProgram, {name, start, program, {}, {}, {}, {}});
    make(ShellEntry::MenuHelp, {u"Справка по Вельмире"_s, u"Краткая справка по Вельмире"_s,
                                {}, {}, QUrl::fromLocalFile(programFile(u"Help.rtf"_s)), {}, {}});
    make(ShellEntry::MenuSite, {u"Сайт разработчиков"_s, u"Посетить сайт разработчиков"_s,
                                {}, {}, QUrl(QString::fromUtf16(buildinfo::site)), {}, {}});
    make(ShellEntry::MenuUninstall,
         {uninstall, u"Удалить программу Вельмира"_s, program, deleteArgument, {}, {}, {}});

    if (!failures.isEmpty()) {
        prompter.message(owner, programCaption(),
                         u"Не удалось создать:\r\n"_s + failures.join(u"\r\n"_s),
                         Prompter::Icon::Warning, Prompter::Button::Ok);
    }
    const QString group = shell.location(ShellEntry::MenuGroup);
    if (QFileInfo(group).isDir())
        shell.open(QUrl::fromLocalFile(group));
}

} // namespace velmira
