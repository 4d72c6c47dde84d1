// "Organayzer.txt": the reminder table kept as one scrambled line and a check line.
//
// The file has two lines, each ended by CR LF: the stored line S, the scrambled form of the table's plain
// text, and the check line "<sum of the bytes of S>:<length of S>". Other programs read and write the same
// file, so every step here works on the Windows-1251 bytes exactly as the format defines it.
#pragma once

#include "remindertable.h"

#include <QByteArray>
#include <QString>

class QRandomGenerator;

namespace velmira {

// The scrambling key, "Ласточкин", in Windows-1251.
QByteArray reminderKey();

// The full path of "Organayzer.txt" in the program folder.
QString reminderFilePath();

// Scrambles `plain` with `key`: each byte plus two key bytes as three reversed decimal digits, a random
// digit before every eight digits, then runs of digits replaced by single characters. A key shorter than
// four bytes gives an empty result. The random digits come from `random`, or from the system's
// randomly seeded generator when it is null, so that two stores of one table differ.
QByteArray ScrambleText(const QByteArray &plain, const QByteArray &key, QRandomGenerator *random = nullptr);

// The inverse of ScrambleText. Returns an empty text when `stored` is not a scrambled text (a character
// outside the digit code, or a byte outside 0..255 decoded), or when the key is shorter than four bytes.
QByteArray UnscrambleText(const QByteArray &stored, const QByteArray &key);

// The last step of scrambling on its own: in a string of decimal digits, every decimal number from 255
// down to 33 (but 127..191 and 48..57) is replaced by the character with that code, in that order.
// "1234567890" becomes "1\xEA" "56NZ".
QByteArray substituteDigits(const QByteArray &digits);
// Its inverse: every such character back to its decimal number.
QByteArray restoreDigits(const QByteArray &stored);

// The check line of a stored line, without the line end: "294:3" for "abc".
QByteArray checkLine(const QByteArray &stored);

// The table's plain text: the row count, then every cell of rows 1 and on in column order, each line
// ended by CR LF. Cells are written in Windows-1251.
QByteArray plainTableText(const ReminderTable &table);

// Loads the table from the file at `path` (ShowOTable). A missing file, a file of fewer than two lines, a
// wrong check line, a line that does not unscramble, a bad row count or too few cells leave `table` as
// it was and return false; nothing is reported.
bool ShowOTable(ReminderTable &table, const QString &path = reminderFilePath());

// Stores the table into the file at `path` (SaveOTable), replacing it whole; a table without reminders
// deletes the file instead. Throws Error when the file cannot be written or deleted; the old file is
// then left as it was.
void SaveOTable(const ReminderTable &table, const QString &path = reminderFilePath());

} // namespace velmira
