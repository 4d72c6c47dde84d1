#include "documentcommands.h"

#include "common/core/error.h"
#include "common/core/prompter.h"
#include "common/core/textfile.h"
#include "formats/documentfile.h"
#include "formats/documentreader.h"
#include "richedit.h"
#include "rtf/rtfreader.h"

#include <QEventLoop>
#include <QFileInfo>
#include <QTextCursor>
#include <QTextDocument>
#include <QThread>
#include <exception>
#include <functional>
#include <memory>

using namespace Qt::StringLiterals;

namespace velmira {

namespace {

// `fill` fills a new document. While `window` is shown, on a thread of its own: the window's events go
// on meanwhile (it is drawn, its timers run), all but the user's, which wait for the document and then
// apply to it, so that a key typed or a window closed while a long document is read comes after it. The
// document is handed back on the calling thread; a failure is thrown there. A window not shown yet (a
// document opened at start) has nothing to draw: the document is filled at once, and nothing runs
// before the window is made.
std::unique_ptr<QTextDocument> fillAside(const std::function<void(QTextDocument &)> &fill, const QWidget &window)
{
    const auto filled = [&fill] {
        auto document = std::make_unique<QTextDocument>();
        fill(*document);
        return document;
    };
    if (!window.isVisible())
        return filled();
    std::unique_ptr<QTextDocument> document;
    std::exception_ptr failure;
    QThread *const home = QThread::currentThread();
    const std::unique_ptr<QThread> reader(QThread::create([&] {
        try {
            auto read = filled();
            read->moveToThread(home);
            document = std::move(read);
        } catch (...) {
            failure = std::current_exception();
        }
    }));
    QEventLoop waiting;
    QObject::connect(reader.get(), &QThread::finished, &waiting, &QEventLoop::quit);
    reader->start();
    waiting.exec(QEventLoop::ExcludeUserInputEvents);
    // The loop also ends when the program is asked to quit.
    reader->wait();
    if (failure)
        std::rethrow_exception(failure);
    return document;
}

} // namespace

void LoadDocument(RichEdit &editor, const QString &path)
{
    const QByteArray bytes = readDocumentBytes(path);
    const DocumentFormat format = documentFormat(path, bytes);
    // Read aside while the window goes on answering, then shown in place of the editor's document.
    if (format == DocumentFormat::Text || (format == DocumentFormat::Rtf && !looksLikeRtf(bytes))) {
        editor.replaceDocument(fillAside(
            [&](QTextDocument &document) {
                const QString text = plainDocumentText(bytes);
                checkDocumentLength(text, path);
                // As RichEdit::setPlainContent fills the editor's own document.
                document.setDefaultFont(RichEdit::defaultFont());
                QTextCharFormat font;
                font.setFont(RichEdit::defaultFont());
                document.setUndoRedoEnabled(false);
                document.setPlainText(text);
                QTextCursor all(&document);
                all.select(QTextCursor::Document);
                all.setCharFormat(font);
                document.setUndoRedoEnabled(true);
            },
            editor));
        return;
    }
    const QFont font = editor.document()->defaultFont();
    editor.replaceDocument(fillAside(
        [&](QTextDocument &document) {
            document.setDefaultFont(font);
            readDocument(path, bytes, document);
        },
        editor));
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
