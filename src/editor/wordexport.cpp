#include "wordexport.h"

#include "common/core/error.h"
#include "common/core/prompter.h"
#include "richedit.h"
#include "selectiondocument.h"

#include <QClipboard>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryFile>
#include <QTextCursor>
#include <QTextDocument>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace velmira {

namespace {

const QString ExportPrefix = u"velmira-export-"_s;

// Export files stay for the word processor to read after we hand them over; those of earlier days are
// removed.
void removeOldExports(const QDir &folder)
{
    const QDateTime dayAgo = QDateTime::currentDateTime().addDays(-1);
    const QFileInfoList files =
        folder.entryInfoList({ExportPrefix + u"*.rtf"_s}, QDir::Files | QDir::NoSymLinks);
    for (const QFileInfo &file : files) {
        if (file.ownerId() == ::getuid() && file.lastModified() < dayAgo)
            QFile::remove(file.absoluteFilePath());
    }
}

// Writes the RTF to a new file that only this user can read, and returns its path.
QString writeExportFile(const QByteArray &rtf)
{
    const QDir folder = QDir::temp();
    removeOldExports(folder);
    QTemporaryFile file(folder.filePath(ExportPrefix + u"XXXXXX.rtf"_s));
    file.setAutoRemove(false);
    if (!file.open())
        throw Error(u"Не удалось создать файл для экспорта в папке «%1»: %2"_s
                        .arg(QDir::toNativeSeparators(folder.path()), file.errorString()));
    if (file.write(rtf) != rtf.size() || !file.flush()) {
        const QString reason = file.errorString();
        file.remove();
        throw Error(u"Не удалось записать файл «%1»: %2"_s
                        .arg(QDir::toNativeSeparators(file.fileName()), reason));
    }
    file.close();
    return file.fileName();
}

void startWordProcessor(const QString &program, const QString &file)
{
    QProcess process;
    process.setProgram(program);
    process.setArguments({u"--writer"_s, u"-n"_s, file});
    process.setStandardInputFile(QProcess::nullDevice());
    process.setStandardOutputFile(QProcess::nullDevice());
    process.setStandardErrorFile(QProcess::nullDevice());
    if (!process.startDetached()) {
        QFile::remove(file);
        throw Error(u"Не удалось запустить текстовый процессор «%1»: %2"_s
                        .arg(QDir::toNativeSeparators(program), process.errorString()));
    }
}

} // namespace

QString wordProcessorProgram()
{
    QString name = qEnvironmentVariable("VELMIRA_WORD_PROCESSOR");
    if (name.isEmpty())
        name = u"soffice"_s;
    if (name.contains(u'/')) {
        const QFileInfo info(name);
        return info.isFile() && info.isExecutable() ? info.absoluteFilePath() : QString();
    }
    return QStandardPaths::findExecutable(name);
}

WordExport::WordExport(RichEdit &editor, Prompter &prompter, std::function<void(const QString &)> status)
    : m_editor(editor), m_prompter(prompter), m_status(std::move(status))
{}

void WordExport::exportToWordProcessor()
{
    if (m_editor.document()->isEmpty()) {
        m_status(u"Нет текста для экспорта!"_s);
        return;
    }
    if (!m_prompter.askYesNo(m_editor.window(), programCaption(),
                             u"Экспортировать текст в MS Word?"_s))
        return;
    const QString program = wordProcessorProgram();
    if (program.isEmpty()) {
        m_status(u"Ошибка! Возможно, MS Word не установлен."_s);
        return;
    }
    try {
        // The selection, or the whole text; the editor's own selection is not touched.
        QTextCursor cursor = m_editor.textCursor();
        if (!cursor.hasSelection())
            cursor.select(QTextCursor::Document);
        std::unique_ptr<QTextDocument> fragment = selectionDocument(cursor);
        // The new document, then the clipboard, then the word processor shows it.
        const QString file = writeExportFile(selectionRtf(*fragment));
        QGuiApplication::clipboard()->setMimeData(new DocumentMimeData(std::move(fragment)));
        startWordProcessor(program, file);
    } catch (const Error &error) {
        m_prompter.message(m_editor.window(), programCaption(), error.message(), Prompter::Icon::Critical,
                           Prompter::Button::Ok);
        return;
    }
    m_status(u"Текст успешно экспортирован."_s);
}

} // namespace velmira
