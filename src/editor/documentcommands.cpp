#include "documentcommands.h"

#include "common/error.h"
#include "common/prompter.h"
#include "common/textfile.h"
#include "formats/documentfile.h"
#include "formats/documentreader.h"
#include "richedit.h"
#include "rtf/rtfreader.h"
#include "rtf/rtfwriter.h"

#include <QFileInfo>

namespace velmira {

void LoadDocument(RichEdit &editor, const QString &path)
{
    const QByteArray bytes = readDocumentBytes(path);
    // Plain text takes the editor's own quick way in, which keeps a text of many megabytes quick to show.
    const DocumentFormat format = documentFormat(path, bytes);
    if (format == DocumentFormat::Text || (format == DocumentFormat::Rtf && !looksLikeRtf(bytes))) {
        editor.setPlainContent(plainDocumentText(bytes));
        return;
    }
    readDocument(path, bytes, *editor.document());
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
                                QStringLiteral("Все файлы (*.*)|*.*|") + documentFileFilter(), m_openName);
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
