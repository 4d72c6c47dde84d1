// The dictionary window "Словарь поправок": the user edits the pronunciation corrections, switches
// their use on and off, imports lines from another file and listens to a replacement.
#pragma once

#include "common/ui/dialogwindow.h"
#include "correctiondictionary.h"

class QCheckBox;
class QFrame;
class QLineEdit;
class QListWidget;
class QListWidgetItem;

namespace velmira {

class Error;
class LabelButton;
class Prompter;
class SpeechControl;

// The list is the window's working copy of "Dictionary.txt": it reaches the file only on "OK" (or
// Enter), and "Отмена" (or Esc) forgets it. The use flag is different: every change of the check box is
// written to "Settings.ini" at once and stays whatever button closes the window.
class DictionaryWindow : public DialogWindow
{
    Q_OBJECT

public:
    // `speech` is the control "Тест" speaks on; without one the test says nothing.
    DictionaryWindow(Prompter &prompter, SpeechControl *speech, QWidget *parent = nullptr);

    // Opens a fresh window modally and destroys it when it closes, so that nothing typed in one
    // showing survives into the next.
    static void N14Click(Prompter &prompter, SpeechControl *speech, QWidget *parent);

    // The lines as the list shows them.
    const QStringList &lines() const { return m_dictionary.lines(); }

protected:
    void showEvent(QShowEvent *event) override;
    bool previewKey(QKeyEvent *event) override;

private:
    LabelButton *addButton(QWidget *parent, const QString &name, const QString &text, const QRect &geometry);
    void FormShow();
    void CheckBox1Click(bool checked);
    void Edit1Change();
    void Edit2Change();
    void StaticText3Click();
    void ListBox1DblClick(QListWidgetItem *item);
    void StaticText4Click();
    void StaticText8Click();
    void StaticText5Click();
    void Label1Click();
    void StaticText6Click();
    void StaticText7Click();

    // Shows a failure to read or write a file the way the program's general error box does.
    void report(const Error &error);

    Prompter &m_prompter;
    SpeechControl *m_speech;
    CorrectionDictionary m_dictionary;

    QCheckBox *m_useBox = nullptr;
    QFrame *m_editPanel = nullptr;
    QLineEdit *m_word = nullptr;
    QLineEdit *m_replacement = nullptr;
    LabelButton *m_test = nullptr;
    LabelButton *m_add = nullptr;
    QListWidget *m_list = nullptr;
};

} // namespace velmira
