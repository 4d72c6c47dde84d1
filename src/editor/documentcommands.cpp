#include "documentcommands.h"

#include "common/core/error.h"
#include "common/core/prompter.h"
#include "common/core/textfile.h"
#include "deferredlayout.h"
#include "formats/documentfile.h"
#include "formats/documentreader.h"
#include "richedit.h"
#include "rtf/rtfreader.h"

#include <QFileInfo>

using namespace Qt::StringLiterals;

namespace velmira {

void LoadDocument(RichEdit &editor, const QString &path)
{
    const QByteArray bytes = readDocumentBytes(path);
    // Plain text takes the editor's own quick way in, which keeps a text of many megabytes quick to show.
    const DocumentFormat format = documentFormat(path, bytes);
    if (format == DocumentFormat::Text || (format == DocumentFormat::Rtf && !looksLikeRtf(bytes))) {
        const QString text = plainDocumentText(bytes);
        checkDocumentLength(text.size(), path);
        editor.setPlainContent(text);
        return;
    }
    // A long document is shown from its start and laid out as far as it is seen, the rest a piece at a
    // time between events (the readers write through cursors of their own, which carry the caret along).
    const DeferredLayout layout(*editor.document());
    readDocument(path, bytes, *editor.document());
    editor.moveCursor(QTextCursor::Start);
}

DocumentCommands::DocumentCommands(RichEdit &editor, Prompter &prompter,
                                   std::function<void(const QString &)> status)
    : m_editor(editor), m_prompter(prompter), m_status(std::move(status))
{}

void DocumentCommands::newDocument()
{
    if (m_editor.document()->isEmpty()) {
        m_status(u"Нет текста"_s);
        return;
    }
    if (m_prompter.askYesNo(m_editor.window(), programCaption(), u"Очистить рабочую область?"_s))
        m_editor.setPlainContent(QString());
}

void DocumentCommands::openDocument()
{
    if (!m_editor.document()->isEmpty() &&
        !m_prompter.askYesNo(
            m_editor.window(), programCaption(),
            u"Если текущий текст не сохранён, то он будет утерян. Продолжать?"_s))
        return;
    const QString path =
        m_prompter.openFileName(m_editor.window(), u"Выбор файла для открытия"_s,
                                u"Все файлы (*.*)|*.*|"_s + documentFileFilter(), m_openName);
    if (path.isEmpty())
        return;
    m_openName = path;
    // The open box gives only existing files; a name of no file is left alone.
    if (QFileInfo(path).isFile())
        load(path);
}

bool DocumentCommands::saveDocumentAs()
{
    const QString chosen =
        m_prompter.saveFileName(m_editor.window(), u"Выбор файла для сохранения"_s,
                                u"Файл RTF|*.rtf|Все файлы (*.*)|*.*"_s);
    if (chosen.isEmpty())
        return false;
    try {
        saveDocumentRtf(*m_editor.document(), rtfSaveName(chosen));
        return true;
    } catch (const Error &error) {
        showFailure(error.message());
        return false;
    }
}

void DocumentCommands::copy()
{
    m_editor.copy();
}

void DocumentCommands::cut()
{
    m_editor.cut();
}

void DocumentCommands::paste()
{
    m_editor.paste();
}

void DocumentCommands::selectAll()
{
    m_editor.selectAll();
}

bool DocumentCommands::openAtStart(const QString &path)
{
    return load(path);
}

bool DocumentCommands::load(const QString &path)
{
    try {
        LoadDocument(m_editor, path);
        return true;
    } catch (const Error &error) {
        showFailure(error.message());
        return false;
    }
}

void DocumentCommands::showFailure(const QString &text)
{
    m_prompter.message(m_editor.window(), programCaption(), text, Prompter::Icon::Critical,
                       Prompter::Button::Ok);
}

} // namespace velmira
