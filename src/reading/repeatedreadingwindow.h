// The window that reads the text a chosen number of times.
#pragma once

#include "common/ui/dialogwindow.h"
#include "reading/speaker.h"

class QLineEdit;

namespace velmira {

class ReadingHost;

// Asks how many times (1 to 100) to read the editor's selection, or its whole text, and reads it that
// many times as one continuous speech: the text is repeated at once and handed to the speech control
// in a single Speak, so Pause and Stop act on it as on any reading. The count is kept in "ReadCount".
class RepeatedReadingWindow : public DialogWindow
{
    Q_OBJECT

public:
    RepeatedReadingWindow(ReadingHost &host, QWidget *parent = nullptr);

    // Opens the window modally, or only says "Нет текста для чтения" when the editor is empty.
    void SpeedButton21Click();

    // The count as typed (what the main window stores at exit).
    QString count() const;

    // The text `prepared` `times` times, each followed by ". ".
    static QString repeatedText(const QString &prepared, int times);

protected:
    bool previewKey(QKeyEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void done(int result) override;

private:
    void StaticText1Click();
    void stepCount(int step);
    bool countKey(QKeyEvent *event);
    void countEdited(const QString &text);
    void countChanged(const QString &text);
    static QString storedCount();

    ReadingHost &m_host;
    Speaker m_speaker;
    QLineEdit *m_count = nullptr;
    // Where the arrows stand when the field holds no number they can step from.
    int m_arrowPosition = 1;
};

} // namespace velmira
