// Text preparation: the step every text takes before it is spoken, which applies the user's
// correction dictionary.
#pragma once

#include "common/core/error.h"

#include <QString>
#include <QStringList>

namespace velmira {

// A line of the dictionary whose replacements would never end (the text grows without bound, or the
// replacements go on and on). The message names the line.
class DictionaryRunaway : public Error
{
public:
    DictionaryRunaway(qsizetype lineNumber, const QString &line);
    qsizetype lineNumber() const { return m_lineNumber; }

private:
    qsizetype m_lineNumber;
};

// Prepares a text for speaking. When the dictionary is switched on ("Dictionary" in the settings file)
// and "Dictionary.txt" exists, applies its entries (see applyCorrections); otherwise returns the text
// unchanged. Both files are read afresh at every call, so a change counts from the next text spoken.
// Throws Error when the dictionary file cannot be read, DictionaryRunaway as applyCorrections does.
QString prepareText(const QString &text);

// The dictionary lines prepareText applies: those of "Dictionary.txt" when the dictionary is switched
// on and the file exists, otherwise none. Throws Error when the file cannot be read.
QStringList correctionLinesInUse();

// Applies the entries among dictionary lines to a text, in the order of the lines, each to the text as
// the lines before it left it, with ReplaceAll: case-sensitive, inside words too, searching again from
// the start after every replacement. An entry whose replacement contains its word replaces only the
// occurrences present before it is applied. Lines that are not entries change nothing.
//
// Throws DictionaryRunaway when a line makes the text grow far beyond its size (16 times, and at least
// to 16 million characters) or needs far more replacements than the text has characters.
QString applyCorrections(const QString &text, const QStringList &lines);

} // namespace velmira
