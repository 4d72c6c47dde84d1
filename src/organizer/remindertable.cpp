#include "remindertable.h"

namespace velmira {

const QString &ReminderTable::cell(int row, int column) const
{
    Q_ASSERT(row >= 0 && row < rowCount() && column >= 0 && column < ColumnCount);
    return m_rows.at(row)[column];
}

void ReminderTable::setCell(int row, int column, const QString &text)
{
    Q_ASSERT(row >= 0 && row < rowCount() && column >= 0 && column < ColumnCount);
    m_rows[row][column] = text;
}

const ReminderTable::Row &ReminderTable::row(int row) const
{
    Q_ASSERT(row >= 0 && row < rowCount());
    return m_rows.at(row);
}

void ReminderTable::setReminders(const QList<Row> &reminders)
{
    m_rows.clear();
    m_rows.reserve(reminders.size() + 1);
    m_rows.append(Row{});
    m_rows.append(reminders);
}

QList<ReminderTable::Row> ReminderTable::reminders() const
{
    return m_rows.size() > 1 ? m_rows.mid(1) : QList<Row>();
}

bool ReminderTable::hasActiveReminder() const
{
    for (qsizetype r = 1; r < m_rows.size(); ++r) {
        if (m_rows.at(r)[Status] == reminderwords::on())
            return true;
    }
    return false;
}

} // namespace velmira
