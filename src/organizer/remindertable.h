// The organizer's reminders: six text columns, row 0 never used.
#pragma once

#include <QList>
#include <QString>
#include <array>

namespace velmira {

// Words the organizer writes into the "Тип оповещения" and "Статус" columns.
namespace reminderwords {
using namespace Qt::StringLiterals;
inline QString voice() { return u"голос"_s; }
inline QString text() { return u"текст"_s; }
inline QString voiceAndText() { return u"голос+текст"_s; }
inline QString on() { return u"вкл."_s; }
inline QString off() { return u"выкл."_s; }
} // namespace reminderwords

// The reminders as the organizer list shows them. Every row has six cells; row 0 stays empty, rows 1 and
// on are the reminders in list order. A table without any rows (nothing loaded yet) and a table with only
// row 0 both hold no reminders.
class ReminderTable
{
public:
    enum Column {
        Name = 0,      // "Название"
        When = 1,      // "Дата/время": HH:MM daily, or DD.MM.YYYY HH:MM once
        LastFired = 2, // "Последний раз": DD.MM.YYYY, or empty
        Text = 3,      // "Текст напоминания"
        Kind = 4,      // "Тип оповещения": "голос", "текст" or "голос+текст"
        Status = 5,    // "Статус": "вкл." or "выкл."
    };
    static constexpr int ColumnCount = 6;
    using Row = std::array<QString, ColumnCount>;

    // The number of rows, row 0 included (0 before anything was loaded).
    int rowCount() const { return int(m_rows.size()); }
    bool hasReminders() const { return m_rows.size() > 1; }

    const QString &cell(int row, int column) const;
    void setCell(int row, int column, const QString &text);
    const Row &row(int row) const;

    // Makes the table row 0 followed by `reminders`.
    void setReminders(const QList<Row> &reminders);
    // Rows 1 and on.
    QList<Row> reminders() const;

    // Whether some reminder's "Статус" reads exactly "вкл.".
    bool hasActiveReminder() const;

    bool operator==(const ReminderTable &other) const = default;

private:
    QList<Row> m_rows;
};

} // namespace velmira
