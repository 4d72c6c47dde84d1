#include "reminderscheduler.h"

#include "clock.h"

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

ReminderScheduler::ReminderScheduler(ReminderTable &table, const Clock &clock, ReminderActions actions)
    : m_table(table), m_clock(clock), m_actions(std::move(actions))
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
    announceHour();
    fireDueReminders();
}

void ReminderScheduler::announceHour()
{
    const int hour = m_clock.now().time().hour();
    if (hour == m_lastAnnouncedHour || !m_timeAnnouncementOn)
        return;
    m_lastAnnouncedHour = hour;
    m_actions.speak(hourAnnouncement(hour));
}

void ReminderScheduler::fireDueReminders()
{
    const int rowCount = m_table.rowCount();
    if (rowCount <= 1)
        return;
    for (int r = 1; r < rowCount; ++r) {
        // A message box of an earlier row lets other code run; should the table have been replaced by a
        // shorter one meanwhile, the rows that are gone are simply not there to fire.
        if (r >= m_table.rowCount())
            return;
        const QDateTime now = m_clock.now();
        const QString time = organizerTimeText(now.time());
        const QString dateTime = organizerDateTimeText(now);
        const QString today = organizerDateText(now.date());

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
        m_actions.store();

        // Copies: the notifications may run nested ticks that touch the table.
        const QString kind = QLatin1Char(' ') + m_table.cell(r, ReminderTable::Kind);
        const QString text = m_table.cell(r, ReminderTable::Text);
        if (kind.contains(reminderwords::voice()))
            m_actions.speak(text);
        if (kind.contains(reminderwords::text()))
            m_actions.show(reminderMessage(text));
    }
}

} // namespace velmira
