// The program's settings file: an INI file read and written key by key.
#pragma once

#include <QString>
#include <optional>

namespace velmira {

// An INI file addressed by its full path. Nothing is cached: every read opens the file and every write
// updates it at once (atomically), so a value written anywhere is seen by the next read everywhere.
//
// Sections and keys are matched without regard to letter case. A new key is appended at the end of its
// section (a missing section is appended at the end of the file); an existing key gets its new value in
// place; lines the program does not know are left untouched. A value is read as the text after "=",
// trimmed, without one pair of quotes enclosing it whole, at most 2047 characters. The file is
// Windows-1251 with CR LF (UTF-8 when a value does not fit). Reads never fail: a missing file, section
// or key, or a value that is not a number where one is read, gives the default.
class IniFile
{
public:
    explicit IniFile(QString path);

    // The settings file of the program, "Settings.ini" in the program folder.
    static IniFile settings();

    const QString &path() const { return m_path; }

    QString readString(const QString &section, const QString &key, const QString &defaultValue) const;
    // Decimal, or hexadecimal after "$", "0x" or "0X".
    int readInteger(const QString &section, const QString &key, int defaultValue) const;
    // An integer; anything but 0 is true.
    bool readBool(const QString &section, const QString &key, bool defaultValue) const;

    // Writes throw FileWriteError("Unable to write to <path>", the reason) when the file cannot be
    // written.
    void writeString(const QString &section, const QString &key, const QString &value);
    void writeInteger(const QString &section, const QString &key, int value);
    void writeBool(const QString &section, const QString &key, bool value);

    // The section all of the program's settings live in.
    static QString global() { using namespace Qt::StringLiterals; return u"Global"_s; }

    // Parses an integer the way readInteger does; nothing when the text is not an integer.
    static std::optional<int> parseInteger(const QString &text);

private:
    QString m_path;
};

} // namespace velmira
