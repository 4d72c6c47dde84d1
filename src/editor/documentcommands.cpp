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
#include <QScopeGuard>
#include <QTextCursor>
#include <QTextDocument>
#include <QThread>
#include <exception>
#include <functional>
#include <memory>

using namespace Qt::StringLiterals;

namespace velmira {

namespace {

// Fills a new document; calls its second argument once the document holds the beginning of a long
// text, with the rest still to come (or never, for a short one).
using Fill = std::function<void(QTextDocument &, const std::function<void()> &)>;

// `fill` fills a new document. While `editor`'s window is shown, on a thread of its own: the window's
// events go on meanwhile (it is drawn, its timers run), all but the user's, which wait for the document
// and then apply to it, so that a key typed or a window closed while a long document is read comes
// after it. A copy of the document's beginning is shown over the editor as soon as it is read (see
// RichEdit::showBeginning), until the whole document is handed back on the calling thread; a failure
// is thrown there. A window not shown yet (a document opened at start) has nothing to draw: the document
// is filled at once, and nothing runs before the window is made.
std::unique_ptr<QTextDocument> fillAside(const Fill &fill, RichEdit &editor)
{
    if (!editor.isVisible()) {
        auto document = std::make_unique<QTextDocument>();
        fill(*document, [] {});
        return document;
    }
    std::unique_ptr<QTextDocument> document;
    std::exception_ptr failure;
    QThread *const home = QThread::currentThread();
    QEventLoop waiting;
    // Whatever way this ends, the beginning goes: the whole document takes its place, or the editor's
    // own text stays.
    const auto beginningHidden = qScopeGuard([&editor] { editor.hideBeginning(); });
    const std::unique_ptr<QThread> reader(QThread::create([&] {
        try {
            auto read = std::make_unique<QTextDocument>();
            fill(*read, [&] {
                auto beginning = std::make_shared<std::unique_ptr<QTextDocument>>(read->clone());
                (*beginning)->moveToThread(home);
                // Shown between the window's events; dropped with the loop should it have ended.
                QMetaObject::invokeMethod(
                    &waiting, [&editor, beginning] { editor.showBeginning(std::move(*beginning)); },
                    Qt::QueuedConnection);
            });
            read->moveToThread(home);
            document = std::move(read);
        } catch (...) {
            failure = std::current_exception();
        }
    }));
    QObject::connect(reader.get(), &QThread::finished, &waiting, &QEventLoop::quit);
    reader->start();
    waiting.exec(QEventLoop::ExcludeUserInputEvents);
    // The loop also ends when the program is asked to quit.
    reader->wait();
    if (failure)
        std::rethrow_exception(failure);
    return document;
}

// Where the beginning of a plain `text` (see plainDocumentText) shown first ends: after the line that
// makes it enough (isBeginning), or inside a line that is enough by itself, though not inside a line
// end or a character of two halves. The whole text when it is no longer.
qsizetype beginningLength(QStringView text)
{
    qsizetype at = 0;
    for (qsizetype paragraphs = 1; at < text.size(); ++paragraphs) {
        const qsizetype lineEnd = text.indexOf(u'\n', at);
        const qsizetype next = lineEnd < 0 ? text.size() : lineEnd + 1;
        if (isBeginning(paragraphs, next)) {
            if (next - at <= BeginningCharacters)
                return next;
            qsizetype cut = at + BeginningCharacters;
            if (text[cut - 1] == u'\r' || text[cut - 1].isHighSurrogate())
                --cut;
            return cut;
        }
        at = next;
    }
    return text.size();
}

} // namespace

void LoadDocument(RichEdit &editor, const QString &path)
{
    const QByteArray bytes = readDocumentBytes(path);
    const DocumentFormat format = documentFormat(path, bytes);
    // Read aside while the window goes on answering, then shown in place of the editor's document.
    if (format == DocumentFormat::Text || (format == DocumentFormat::Rtf && !looksLikeRtf(bytes))) {
        editor.replaceDocument(fillAside(
            [&](QTextDocument &document, const std::function<void()> &beginningRead) {
                const QString text = plainDocumentText(bytes);
                checkDocumentLength(text, path);
                // What RichEdit::setPlainContent makes of the editor's own document, the text in the
                // editor's font, in one pass.
                document.setDefaultFont(RichEdit::defaultFont());
                QTextCharFormat font;
                font.setFont(RichEdit::defaultFont());
                document.setUndoRedoEnabled(false);
                QTextCursor end(&document);
                end.setBlockCharFormat(font);
                const qsizetype beginning = beginningLength(text);
                end.insertText(text.first(beginning), font);
                if (beginning < text.size()) {
                    beginningRead();
                    end.insertText(text.sliced(beginning), font);
                }
                document.setUndoRedoEnabled(true);
            },
            editor));
        return;
    }
    const QFont font = editor.document()->defaultFont();
    editor.replaceDocument(fillAside(
        [&](QTextDocument &document, const std::function<void()> &beginningRead) {
            document.setDefaultFont(font);
            readDocument(path, bytes, document, beginningRead);
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

void DocumentCommands::setReadingShown(std::function<void(const QString &)> reading)
{
    m_reading = std::move(reading);
}

bool DocumentCommands::load(const QString &path)
{
    const bool shown = m_reading && m_editor.isVisible();
    if (shown)
        m_reading(path);
    const auto read = qScopeGuard([this, shown] {
        if (shown)
            m_reading(QString());
    });
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
