// Text preparation: the step every text takes before it is spoken, which applies the user's
// correction dictionary.
#pragma once

#include "common/core/error.h"

#include <QString>
#include <QStringList>

#include <memory>

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

// A dictionary made ready for applying: the text of its lines held once, each entry as a place in it,
// and one finder of all their words. It never changes once made, so that the texts prepared on other
// threads can share it.
//
// The finder of a dictionary of millions of words takes seconds to build. Made with
// Finder::OnAThread it is built on a thread of its own; meanwhile a short text is prepared line by
// line, which gives the same, and a longer one waits for the finder.
class Corrections
{
public:
    enum class Finder { AtOnce, OnAThread };

    // The entries among `lines`, in their order; line numbers count every line from 1.
    explicit Corrections(const QStringList &lines, Finder finder = Finder::AtOnce);
    // The entries among the lines of a dictionary file's text (lines end at CR LF, CR or LF).
    explicit Corrections(QString text, Finder finder = Finder::AtOnce);
    // A finder still being built is given up.
    ~Corrections();
    Corrections(const Corrections &) = delete;
    Corrections &operator=(const Corrections &) = delete;

    // What applyCorrections does to `text` with these lines. Throws DictionaryRunaway; waits for the
    // finder unless appliesAtOnce(text.size()), and throws what building it threw (out of memory).
    QString apply(const QString &text) const;

    // Whether the finder is built (or building it failed): apply no longer waits.
    bool isReady() const;
    // Whether apply prepares a text of `length` characters without waiting for the finder.
    bool appliesAtOnce(qsizetype length) const;
    // Waits until isReady().
    void waitUntilReady() const;

    // How many entries the dictionary has.
    qsizetype size() const;

    struct Data;

private:
    std::unique_ptr<Data> d;
};

// Prepares a text for speaking. When the dictionary is switched on ("Dictionary" in the settings file)
// and "Dictionary.txt" exists, applies its entries (see applyCorrections); otherwise returns the text
// unchanged. The settings are read at every call, and the dictionary whenever the file has changed,
// so a change counts from the next text spoken. Throws Error when the dictionary file cannot be read,
// DictionaryRunaway as applyCorrections does.
QString prepareText(const QString &text);

// The dictionary prepareText applies: that of "Dictionary.txt" when the dictionary is switched on and
// the file exists, otherwise none. The file is read again only when it has changed (its size, times
// or identity on disk); until then every call gives the same object. The finder of a large dictionary
// is built on a thread of its own (Corrections::Finder::OnAThread). Throws Error when the file cannot
// be read.
std::shared_ptr<const Corrections> correctionsInUse();

// Reads the dictionary correctionsInUse would give on a thread of the program's pool, so that the
// finder of a large one is being built before the first text needs it (at start-up, after the
// dictionary was saved or switched on). A file that cannot be read is left for the text to report.
void prepareCorrectionsAhead();

// Applies the entries among dictionary lines to a text, in the order of the lines, each to the text as
// the lines before it left it, with ReplaceAll: case-sensitive, inside words too, searching again from
// the start after every replacement. An entry whose replacement contains its word replaces only the
// occurrences present before it is applied. Lines that are not entries change nothing.
//
// Throws DictionaryRunaway when a line makes the text grow far beyond its size (16 times, and at least
// to 16 million characters) or needs far more replacements than the text has characters.
QString applyCorrections(const QString &text, const QStringList &lines);

} // namespace velmira
