// The organizer as the main window holds it: the reminder table, the scheduler and the two windows.
#pragma once

#include "organizerwindow.h"
#include "remindereditor.h"
#include "reminderscheduler.h"
#include "remindertable.h"

#include <QObject>
#include <QPointer>
#include <functional>
#include <memory>

class QWidget;

namespace velmira {

class Clock;
class Prompter;

class Organizer : public QObject
{
    Q_OBJECT

public:
    // `owner` is the main window, which owns the message boxes of reminders; `readText` speaks texts one
    // after another at once, cutting off other speech, and reports its own failures (ReadText);
    // `voiceTest` is the reminder editor's test button (see ReminderEditor::Speaker). `clock` is the system
    // clock when null.
    Organizer(QWidget *owner, Prompter &prompter, std::function<void(const QStringList &)> readText,
              ReminderEditor::Speaker voiceTest, const Clock *clock = nullptr);
    ~Organizer() override;

    // The reminders, for the whole run.
    ReminderTable &table() { return m_table; }

    // Loads the table from "Organayzer.txt" (a missing or bad file leaves it as it was).
    void ShowOTable();
    // One tick of the main window's Timer3.
    void onTick();
    // Arms the hourly announcement, when the settings ask for it at start-up.
    void startTimeAnnouncement();
    // Whether closing the program would silence a reminder.
    bool hasActiveReminder() const { return m_table.hasActiveReminder(); }
    // Opens the organizer window (toolbar button and menu item "Органайзер").
    void openOrganizerWindow();

    const ReminderScheduler &scheduler() const { return m_scheduler; }
    OrganizerWindow *organizerWindow() const { return m_organizerWindow; }
    ReminderEditor *reminderEditor() const { return m_reminderEditor; }

private:
    ReminderTable m_table;
    std::unique_ptr<Clock> m_ownClock;
    ReminderScheduler m_scheduler;
    QPointer<OrganizerWindow> m_organizerWindow;
    QPointer<ReminderEditor> m_reminderEditor;
};

} // namespace velmira
