#include "reminderscheduler.h"

#include "clock.h"

#include <QPointer>

using namespace Qt::StringLiterals;

namespace velmira {

QString organizerTimeText(const QTime &time)
{
    // Built by hand: a locale's time format may drop the leading zero or count to 12.
    return u"%1:%2"_s.arg(time.hour(), 2, 10, QLatin1Char('0')).arg(time.minute(), 2, 10, QLatin1Char('0'));
}

QString organizerDateText(const QDate &date)
{
    return u"%1.%2.%3"_s
        .arg(date.day(), 2, 10, QLatin1Char('0'))
        .arg(date.month(), 2, 10, QLatin1Char('0'))
        .arg(date.year());
}

QString organizerDateTimeText(const QDateTime &moment)
{
    return organizerDateText(moment.date()) + QLatin1Char(' ') + organizerTimeText(moment.time());
}

QString hourAnnouncement(int hour)
{
    QString ending;
    switch (hour) {
    case 1:
    case 21:
        ending = u" час."_s;
        break;
    case 2:
    case 3:
    case 4:
    case 22:
    case 23:
        ending = u" часа."_s;
        break;
    default:
        ending = u" часов."_s;
        break;
    }
    return u"Системное время: "_s + QString::number(hour) + ending;
}

QString reminderMessage(const QString &text)
{
    return u"Напоминание от программы Вельмира 6.1:\r\n"_s + text;
}

ReminderScheduler::ReminderScheduler(ReminderTable &table, const Clock &clock, ReminderActions actions,
                                     QObject *parent)
    : QObject(parent), m_table(table), m_clock(clock), m_actions(std::move(actions))
{
}

void ReminderScheduler::startTimeAnnouncement()
{
    if (m_timeAnnouncementOn)
        return;
    m_lastAnnouncedHour = m_clock.now().time().hour();
    m_timeAnnouncementOn = true;
}

void ReminderScheduler::onTick()
{
    const QDateTime now = m_clock.now();
    Notification speech;
    QList<Notification> boxes;

    const int hour = now.time().hour();
    if (hour != m_lastAnnouncedHour && m_timeAnnouncementOn) {
        m_lastAnnouncedHour = hour;
        speech.spoken.append(hourAnnouncement(hour));
    }
    fireDueReminders(now, speech, boxes);

    if (!speech.spoken.isEmpty())
        deliverLater(std::move(speech));
    for (Notification &box : boxes)
        deliverLater(std::move(box));
}

void ReminderScheduler::fireDueReminders(const QDateTime &now, Notification &speech, QList<Notification> &boxes)
{
    const int rowCount = m_table.rowCount();
    if (rowCount <= 1)
        return;
    const QString time = organizerTimeText(now.time());
    const QString dateTime = organizerDateTimeText(now);
    const QString today = organizerDateText(now.date());
    bool fired = false;
    for (int r = 1; r < rowCount; ++r) {
        const QString when = m_table.cell(r, ReminderTable::When);
        if (when != time && when != dateTime)
            continue;
        if (m_table.cell(r, ReminderTable::Status) != reminderwords::on())
            continue;
        if (m_table.cell(r, ReminderTable::LastFired) == today)
            continue;

        m_table.setCell(r, ReminderTable::LastFired, today);
        if (when == dateTime)
            m_table.setCell(r, ReminderTable::Status, reminderwords::off());
        fired = true;

        const QString kind = QLatin1Char(' ') + m_table.cell(r, ReminderTable::Kind);
        const QString text = m_table.cell(r, ReminderTable::Text);
        if (kind.contains(reminderwords::voice()))
            speech.spoken.append(text);
        if (kind.contains(reminderwords::text()))
            boxes.append({{}, reminderMessage(text)});
    }
    // Once for all the reminders of the tick, and before anyone is told.
    if (fired)
        m_actions.store();
}

void ReminderScheduler::deliverLater(Notification notification)
{
    m_pending.append(std::move(notification));
    if (!m_deliveryPosted)
        postDelivery();
}

void ReminderScheduler::postDelivery()
{
    m_deliveryPosted = true;
    QMetaObject::invokeMethod(this, &ReminderScheduler::deliverPending, Qt::QueuedConnection);
}

void ReminderScheduler::deliverPending()
{
    m_deliveryPosted = false;
    const QPointer<ReminderScheduler> alive(this);
    while (alive && !m_pending.isEmpty()) {
        const Notification next = m_pending.takeFirst();
        // This one may wait for the user in a message box's event loop (the program may even end
        // there). A delivery posted afresh is run in that loop, as the timer's ticks are, and takes over
        // the rest.
        if (!m_pending.isEmpty() && !m_deliveryPosted)
            postDelivery();
        if (!next.spoken.isEmpty())
            m_actions.speak(next.spoken);
        if (alive && !next.shown.isEmpty())
            m_actions.show(next.shown);
    }
}

} // namespace velmira
