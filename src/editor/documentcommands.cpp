#include "documentcommands.h"

#include "common/core/error.h"
#include "common/core/prompter.h"
#include "common/core/textfile.h"
#include "documentfile.h"
#include "richedit.h"
#include "rtf/rtfwriter.h"

#include <QFileInfo>
#include <QLocale>

using namespace Qt::StringLiterals;

namespace velmira {

void LoadDocument(RichEdit &editor, const QString &path)
{
    const QFileInfo info(path);
    if (info.size() > MaxDocumentSize) {
        throw Error(u"Файл «%1» слишком велик: %2 МБ. Открываются файлы не больше %3 МБ."_s
                        .arg(info.fileName())
                        .arg(QLocale(QLocale::Russian).toString(double(info.size()) / (1024 * 1024), 'f', 1))
                        .arg(MaxDocumentSize / (1024 * 1024)));
    }
    const QByteArray bytes = readFileBytes(path);
    // A file can grow between the look and the read.
    if (bytes.size() > MaxDocumentSize)
        throw Error(u"Файл «%1» слишком велик. Открываются файлы не больше %2 МБ."_s
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
                                u"Все файлы (*.*)|*.*|"_s, m_openName);
    if (path.isEmpty())
        return;
    m_openName = path;
    // The open box gives only existing files; a name of no file is left alone.
    if (QFileInfo(path).isFile())
        load(path);
}

void DocumentCommands::saveDocumentAs()
{
    const QString chosen =
        m_prompter.saveFileName(m_editor.window(), u"Выбор файла для сохранения"_s,
                                u"Файл RTF|*.rtf|Все файлы (*.*)|*.*"_s);
    if (chosen.isEmpty())
        return;
    try {
        writeFileAtomically(rtfSaveName(chosen), writeRtf(*m_editor.document()));
    } catch (const Error &error) {
        showFailure(error.message());
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
