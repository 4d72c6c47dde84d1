// The reminder editor: one reminder's fields, checked and written back in the organizer's text forms.
#pragma once

#include "common/ui/dialogwindow.h"
#include "remindertable.h"

#include <functional>

class QCalendarWidget;
class QCheckBox;
class QLabel;
class QLineEdit;
class QRadioButton;
class QToolButton;

namespace velmira {

class LabelButton;
class Prompter;

class ReminderEditor : public DialogWindow
{
    Q_OBJECT

public:
    // Stops whatever is spoken, prepares `text` for speech and speaks it; throws on a speech failure.
    using Speaker = std::function<void(const QString &text)>;

    ReminderEditor(Prompter &prompter, Speaker speaker, QWidget *parent = nullptr);

    // Shows the editor modally on `row`. On OK the fields are written into `row` and true is returned;
    // on "Отмена", Esc or the close box `row` is left alone and false is returned.
    bool edit(ReminderTable::Row &row);

    // The time field's text with a blank in every unfilled position: "  :  " when nothing is typed.
    QString timeFieldText() const;

protected:
    bool previewKey(QKeyEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void FormShow(const ReminderTable::Row &row);
    void StaticText1Click();
    void updateDateEnabled();
    void SpeedButton1Click();
    void SpeedButton2Click();
    bool refuse(const QString &message, QWidget *focus);
    // The text of a filled time field as HH:MM; a lone hour digit gets a "0" in front. Empty when the
    // field is not a whole time.
    QString normalizedTime() const;

    Prompter &m_prompter;
    Speaker m_speaker;
    ReminderTable::Row m_result;

    QLineEdit *m_name = nullptr;
    QLineEdit *m_time = nullptr;
    QRadioButton *m_daily = nullptr;
    QRadioButton *m_once = nullptr;
    QLabel *m_dateLabel = nullptr;
    QCalendarWidget *m_calendar = nullptr;
    QLineEdit *m_text = nullptr;
    QCheckBox *m_byVoice = nullptr;
    QCheckBox *m_byMessage = nullptr;
    QRadioButton *m_enabled = nullptr;
    QRadioButton *m_disabled = nullptr;
    QToolButton *m_voiceTest = nullptr;
    QToolButton *m_messageTest = nullptr;
    LabelButton *m_ok = nullptr;
    LabelButton *m_cancel = nullptr;
};

} // namespace velmira
