// Firing the reminders that are due, and announcing every full hour.
#pragma once

#include "remindertable.h"

#include <QDate>
#include <QDateTime>
#include <QList>
#include <QObject>
#include <QStringList>
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
    // Cuts off whatever is spoken and speaks the texts one after another (ReadText); reports its own
    // failures.
    std::function<void(const QStringList &texts)> speak;
    // Shows a reminder's message box. It may return at once or only when the user has closed the box;
    // the scheduler goes on either way.
    std::function<void(const QString &message)> show;
};

// Runs on every tick of the main window's five-second timer: first announces a new hour, then fires the
// reminders that are due.
//
// A reminder is due when its "Дата/время" equals the current HH:MM (daily) or DD.MM.YYYY HH:MM (once),
// its "Статус" is "вкл." and its "Последний раз" is not today. A tick marks every due reminder at once
// (today into "Последний раз", a one-time reminder switched to "выкл."), stores the table once, and only
// then notifies. The notifications are delivered after the tick has returned, one by one: the hour and
// the voice reminders spoken in turn, then one message box per text reminder. So a message box that
// waits for the user never holds up the timer, nor the other reminders of the same minute.
class ReminderScheduler : public QObject
{
    Q_OBJECT

public:
    ReminderScheduler(ReminderTable &table, const Clock &clock, ReminderActions actions, QObject *parent = nullptr);

    // Switches the hourly announcement on for the rest of the run; the current hour is not announced.
    // Once on, further calls change nothing.
    void startTimeAnnouncement();

    int LastAnnouncedHour() const { return m_lastAnnouncedHour; }
    bool TimeAnnouncementOn() const { return m_timeAnnouncementOn; }

    // One tick: the announcement, then the reminders. Returns without waiting for the user.
    void onTick();

private:
    struct Notification
    {
        QStringList spoken; // spoken in turn, when not empty
        QString shown;      // a message box, when not empty
    };

    void fireDueReminders(const QDateTime &now, Notification &speech, QList<Notification> &boxes);
    void deliverLater(Notification notification);
    void postDelivery();
    void deliverPending();

    ReminderTable &m_table;
    const Clock &m_clock;
    ReminderActions m_actions;
    int m_lastAnnouncedHour = 0;
    bool m_timeAnnouncementOn = false;
    QList<Notification> m_pending;
    bool m_deliveryPosted = false;
};

} // namespace velmira
