// The organizer window: the list of reminders, changed on a copy and stored on OK.
#pragma once

#include "common/ui/dialogwindow.h"
#include "remindertable.h"

#include <functional>

class QTableWidget;
class QToolButton;

namespace velmira {

class LabelButton;
class Prompter;

class OrganizerWindow : public DialogWindow
{
    Q_OBJECT

public:
    // Opens the reminder editor on a row; true when the user confirmed it (the row then holds the new
    // fields), false when cancelled.
    using RowEditor = std::function<bool(ReminderTable::Row &row)>;

    OrganizerWindow(ReminderTable &table, Prompter &prompter, RowEditor editRow, QWidget *parent = nullptr);

    // Shows the window modally (SpeedButton3Click of the main window). On OK the table is replaced by
    // the list and stored.
    void showOrganizer();

    // The list's rows, header not counted; the selected one (from 0).
    int rowCount() const;
    int selectedRow() const;
    ReminderTable::Row rowAt(int row) const;

protected:
    bool previewKey(QKeyEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    void FormShow();
    void SpeedButton1Click();
    void SpeedButton2Click();
    void SpeedButton3Click();
    void SpeedButton4Click();
    void SpeedButton5Click();
    void StaticText1Click();
    void StaticText2Click();

    // Removes the selected row, or empties it when it is the only one; asks first unless told not to.
    void deleteSelected(bool ask);
    // Writes a grid row. `tableRow` is the table row the reminder was loaded from and is still unchanged
    // by the user; 0 for a row that is new or edited.
    void setRow(int row, const ReminderTable::Row &cells, int tableRow = 0);
    int tableRowOf(int row) const;
    void selectRow(int row);
    void swapRows(int a, int b);

    ReminderTable &m_table;
    Prompter &m_prompter;
    RowEditor m_editRow;

    QTableWidget *m_grid = nullptr;
    LabelButton *m_ok = nullptr;
    LabelButton *m_cancel = nullptr;
};

} // namespace velmira
