// The editor as a document: new, open, save as and the clipboard commands.
#pragma once

#include <QString>
#include <functional>

namespace velmira {

class Prompter;
class RichEdit;

// Replaces the editor's content with the file at `path`: a file whose name ends in ".rtf" (any letter
// case) is read as rich text, or as plain text when it holds no RTF; books and documents (FB2, EPUB,
// DOCX, ODT, HTML, PDF) as readDocument reads them; any other file is read as plain text (see
// plainDocumentText) in the editor's own font. Throws Error, leaving the editor as it was, when the
// file cannot be read, is too large, damaged, or of no format the program reads.
//
// While the editor's window is shown, the file is read into a new document on a thread of its own,
// the window drawn and its timers running meanwhile; the user's keys and clicks wait until the document
// has taken the place of the editor's (RichEdit::replaceDocument), and then apply to it.
void LoadDocument(RichEdit &editor, const QString &path);

class DocumentCommands
{
public:
    // `status` shows a short message in the main window's status bar.
    DocumentCommands(RichEdit &editor, Prompter &prompter, std::function<void(const QString &)> status);

    // New: asks before clearing a text that is not empty.
    void newDocument();
    // Open: asks before replacing a text that is not empty, then loads the chosen file.
    void openDocument();
    // Save as: writes the whole content as RTF under the chosen name, with ".rtf" added where the name
    // lacks it. Returns true when the text was saved; false when the user cancelled or the failure
    // was shown.
    bool saveDocumentAs();

    // The clipboard commands and select all, as the editor's own keys do them.
    void copy();
    void cut();
    void paste();
    void selectAll();

    // Loads the document named on the command line and returns true; a failure is shown in a message
    // box, the editor stays empty and false is returned.
    bool openAtStart(const QString &path);

    // `reading` is told the path of a document as it begins to be read while the window is shown, and
    // an empty string once it is in or refused.
    void setReadingShown(std::function<void(const QString &)> reading);

private:
    bool load(const QString &path);
    void showFailure(const QString &text);

    RichEdit &m_editor;
    Prompter &m_prompter;
    std::function<void(const QString &)> m_status;
    std::function<void(const QString &)> m_reading;
    // The open box shows the file chosen last time.
    QString m_openName;
};

} // namespace velmira
