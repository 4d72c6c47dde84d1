#include "documentcommands.h"

#include "common/error.h"
#include "common/prompter.h"
#include "common/textfile.h"
#include "documentfile.h"
#include "richedit.h"
#include "rtf/rtfwriter.h"

#include <QFileInfo>
#include <QLocale>

namespace velmira {

void LoadDocument(RichEdit &editor, const QString &path)
{
    const QFileInfo info(path);
    if (info.size() > MaxDocumentSize) {
        throw Error(QStringLiteral("Файл «%1» слишком велик: %2 МБ. Открываются файлы не больше %3 МБ.")
                        .arg(info.fileName())
                        .arg(QLocale(QLocale::Russian).toString(double(info.size()) / (1024 * 1024), 'f', 1))
                        .arg(MaxDocumentSize / (1024 * 1024)));
    }
    const QByteArray bytes = readFileBytes(path);
    // A file can grow between the look and the read.
    if (bytes.size() > MaxDocumentSize)
        throw Error(QStringLiteral("Файл «%1» слишком велик. Открываются файлы не больше %2 МБ.")
                        .arg(info.fileName())
                        .arg(MaxDocumentSize / (1024 * 1024)));
    if (hasRtfExtension(path) && editor.setRtfContent(bytes))
        return;
    editor.setPlainContent(plainDocumentText(bytes));
}

DocumentCommands::DocumentCommands(RichEdit &editor, Prompter &prompter,
                                   std::function<void(const QString &)> status)
    : m_editor(editor), m_prompter(prompter), m_status(std::move(status))
{}

void DocumentCommands::N2Click()
{
    if (m_editor.document()->isEmpty()) {
        m_status(QStringLiteral("Нет текста"));
        return;
    }
    if (m_prompter.askYesNo(m_editor.window(), programCaption(), QStringLiteral("Очистить рабочую область?")))
        m_editor.setPlainContent(QString());
}

void DocumentCommands::N3Click()
{
    if (!m_editor.document()->isEmpty() &&
        !m_prompter.askYesNo(
            m_editor.window(), programCaption(),
            QStringLiteral("Если текущий текст не сохранён, то он будет утерян. Продолжать?")))
        return;
    const QString path =
        m_prompter.openFileName(m_editor.window(), QStringLiteral("Выбор файла для открытия"),
                                QStringLiteral("Все файлы (*.*)|*.*|"), m_openName);
    if (path.isEmpty())
        return;
    m_openName = path;
    // The open box gives only existing files; a name of no file is left alone.
    if (QFileInfo(path).isFile())
        load(path);
}

void DocumentCommands::N5Click()
{
    const QString chosen =
        m_prompter.saveFileName(m_editor.window(), QStringLiteral("Выбор файла для сохранения"),
                                QStringLiteral("Файл RTF|*.rtf|Все файлы (*.*)|*.*"));
    if (chosen.isEmpty())
        return;
    try {
        writeFileAtomically(rtfSaveName(chosen), writeRtf(*m_editor.document()));
    } catch (const Error &error) {
        showFailure(error.message());
    }
}

void DocumentCommands::CtrlC1Click()
{
    m_editor.copy();
}

void DocumentCommands::CtrlX1Click()
{
    m_editor.cut();
}

void DocumentCommands::Dcnfdbnm1Click()
{
    m_editor.paste();
}

void DocumentCommands::N7Click()
{
    m_editor.selectAll();
}

void DocumentCommands::openAtStart(const QString &path)
{
    load(path);
}

void DocumentCommands::load(const QString &path)
{
    try {
        LoadDocument(m_editor, path);
    } catch (const Error &error) {
        showFailure(error.message());
    }
}

void DocumentCommands::showFailure(const QString &text)
{
    m_prompter.message(m_editor.window(), programCaption(), text, Prompter::Icon::Critical,
                       Prompter::Button::Ok);
}

} // namespace velmira
