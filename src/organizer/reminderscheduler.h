// Firing the reminders that are due, and announcing every full hour.
#pragma once

#include "remindertable.h"

#include <QDate>
#include <QDateTime>
#include <QTime>
#include <functional>

namespace velmira {

class Clock;

// The time as the organizer writes it: HH:MM, 24 hours, two digits each, whatever the system's locale.
QString organizerTimeText(const QTime &time);
// The date as the organizer writes it: DD.MM.YYYY.
QString organizerDateText(const QDate &date);
// The date, one blank and the time: the "Дата/время" of a one-time reminder.
QString organizerDateTimeText(const QDateTime &moment);

// What is spoken at a full hour: "Системное время: 21 час.", "... 22 часа.", "... 0 часов.".
QString hourAnnouncement(int hour);

// The message box text of a reminder: "Напоминание от программы Вельмира 6.1:", CR LF, the text.
QString reminderMessage(const QString &text);

// What the scheduler does to the world: the main window gives it these.
struct ReminderActions
{
    // Stores the table (SaveOTable); failures are the caller's to swallow, the table in memory counts.
    std::function<void()> store;
    // Speaks a text at once, cutting off whatever is spoken (ReadText); reports its own failures.
    std::function<void(const QString &text)> speak;
    // Shows a reminder's message box and returns when the user has closed it. Timer ticks may run
    // inside it.
    std::function<void(const QString &message)> show;
};

// Runs on every tick of the main window's five-second timer: first announces a new hour, then fires the
// reminders that are due.
//
// A reminder is due when its "Дата/время" equals the current HH:MM (daily) or DD.MM.YYYY HH:MM (once),
// its "Статус" is "вкл." and its "Последний раз" is not today. Firing writes today into "Последний раз",
// switches a one-time reminder to "выкл.", stores the table, and only then notifies, so that a tick
// that runs while a message box is open never fires the same reminder again.
class ReminderScheduler
{
public:
    ReminderScheduler(ReminderTable &table, const Clock &clock, ReminderActions actions);

    // Switches the hourly announcement on for the rest of the run; the current hour is not announced.
    // Once on, further calls change nothing.
    void startTimeAnnouncement();

    int LastAnnouncedHour() const { return m_lastAnnouncedHour; }
    bool TimeAnnouncementOn() const { return m_timeAnnouncementOn; }

    // One tick: the announcement, then the reminders.
    void onTick();

private:
    void announceHour();
    void fireDueReminders();

    ReminderTable &m_table;
    const Clock &m_clock;
    ReminderActions m_actions;
    int m_lastAnnouncedHour = 0;
    bool m_timeAnnouncementOn = false;
};

} // namespace velmira
