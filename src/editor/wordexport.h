// Export of the editor's text to the word processor.
#pragma once

#include <QString>
#include <functional>

namespace velmira {

class Prompter;
class RichEdit;

// The word processor is LibreOffice Writer: the program "soffice" found on the PATH, or the program that
// the environment variable VELMIRA_WORD_PROCESSOR names (a path, or a name looked up on the PATH). It
// is started as `PROGRAM --writer -n FILE`, which opens FILE as a new untitled document (in a running
// instance, when there is one).
QString wordProcessorProgram();

class WordExport
{
public:
    // `status` shows a short message in the main window's status bar.
    WordExport(RichEdit &editor, Prompter &prompter, std::function<void(const QString &)> status);

    // Export to the word processor, after asking: the selection, or the whole text when nothing is
    // selected, is written as RTF to a temporary file that the word processor opens as a new document,
    // and is put on the clipboard as a copy would put it; the editor's selection stays as it was. A
    // missing word processor, a file that cannot be written or a program that cannot be started is
    // reported, and then nothing is said to have been exported.
    void exportToWordProcessor();

private:
    RichEdit &m_editor;
    Prompter &m_prompter;
    std::function<void(const QString &)> m_status;
};

} // namespace velmira
