#include "selfuninstall.h"

#include "app/buildinfo.h"
#include "common/core/error.h"
#include "common/core/programfolder.h"
#include "common/core/prompter.h"
#include "platform/desktopshell.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QThread>

using namespace Qt::StringLiterals;

namespace velmira {

namespace {

QString folderOf(const QString &path)
{
    return QFileInfo(path).absolutePath();
}

QString withoutSlash(QString path)
{
    while (path.size() > 1 && path.endsWith(u'/'))
        path.chop(1);
    return path;
}

} // namespace

void SelfUninstall(DesktopShell &shell, Prompter &prompter, const QString &program, qint64 pid)
{
    const QString email = QString::fromUtf16(buildinfo::email);
    const Prompter::Buttons yesNo = Prompter::Buttons(Prompter::Button::Yes) | Prompter::Button::No;

    const Prompter::Button talk = prompter.message(
        nullptr, programCaption(),
        u"Если что-то не работает - это не повод сразу удалять!\r\n"
                       "Просто напишите письмо по адресу %1 и спросите, что именно не понятно.\r\n"
                       "Написать письмо разработчикам?"_s
            .arg(email),
        Prompter::Icon::Warning, yesNo, Prompter::Button::Yes);
    if (talk == Prompter::Button::Yes) {
        shell.open(QUrl(u"mailto:"_s + email));
        return;
    }

    const Prompter::Button really = prompter.message(
        nullptr, programCaption(),
        u"Жаль, что вы решили удалить программу. А она бы так Вам жизнь упростила.\r\n"
                       "Итак, Вы действительно хотите удали программу Вельмира?"_s,
        Prompter::Icon::Question, yesNo, Prompter::Button::No);
    if (really != Prompter::Button::Yes)
        return;

    for (ShellEntry entry : {ShellEntry::InstalledProgram, ShellEntry::Autostart, ShellEntry::OpenWithText,
                             ShellEntry::OpenWithRtf})
        shell.remove(entry);
    for (ShellEntry entry : {ShellEntry::DesktopShortcut, ShellEntry::MenuProgram, ShellEntry::MenuHelp,
                             ShellEntry::MenuSite, ShellEntry::MenuUninstall})
        shell.remove(entry);
    // Give the desktop a moment to let go of the group's folder after its entries went.
    QThread::msleep(900);
    shell.remove(ShellEntry::MenuGroup);

    for (const char16_t *name : {u"Dictionary.txt", u"Help.rtf", u"Text.rtf", u"Settings.ini", u"Organayzer.txt",
                                 u"Greetings.txt"})
        QFile::remove(programFile(QString::fromUtf16(name)));

    // The executable's folder goes when nothing of the user's is left in it; so does the per-user data
    // folder the program used when its own folder was not writable. A program installed for everyone
    // (a package, /usr/local) is left to what installed it, even when root could delete it.
    const QString programDir = folderOf(program);
    const bool sharedInstall = !folderHoldsUserData(programDir);
    QStringList files;
    QStringList folders;
    if (!sharedInstall) {
        files << program;
        folders << programDir;
    }
    const QString dataDir = withoutSlash(programFolder());
    const QString perUserDir =
        QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + u"/velmira"_s;
    if (dataDir != programDir && dataDir == perUserDir)
        folders << dataDir;
    folders << shell.location(ShellEntry::MenuGroup);

    QString problem;
    try {
        shell.removeAfterExit(pid, files, folders);
        if (sharedInstall)
            problem = u"программа установлена для всех пользователей, её удаляют так же, как "
                      "устанавливали (пакет: «sudo apt-get remove velmira»)"_s;
        else if (!QFileInfo(programDir).isWritable())
            problem = u"нет права изменять папку «%1»"_s.arg(QDir::toNativeSeparators(programDir));
    } catch (const Error &error) {
        problem = error.message();
    }
    if (!problem.isEmpty()) {
        prompter.message(nullptr, programCaption(),
                         u"Ярлыки, пункты меню и файлы Вельмиры удалены, но не удалось удалить "
                                        "сам файл программы «%1»: %2.\r\nУдалите его вручную."_s
                             .arg(QDir::toNativeSeparators(program), problem),
                         Prompter::Icon::Warning, Prompter::Button::Ok);
        return;
    }
    prompter.message(nullptr, programCaption(), u"Программа Вельмира удалена с Вашего компьютера."_s,
                     Prompter::Icon::Information, Prompter::Button::Ok);
}

} // namespace velmira
