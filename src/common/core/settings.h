// Every key of "Settings.ini" with its type and its default, declared once.
#pragma once

#include <QString>
#include <QStringView>
#include <optional>

namespace velmira {

// A key of the section "Global" of "Settings.ini" holding a value of type T. `defaultValue` is what a
// read gives when the file, the key or a readable value is missing.
template <typename T>
struct Setting
{
    QStringView name;
    T defaultValue;
};

// A key whose default is not fixed: the caller knows it (the speed and pitch depend on the engine).
struct OpenSetting
{
    QStringView name;
};

namespace settings {

// The main window: the settings panel shown, the two tracking buttons, the editor's selection.
inline constexpr Setting<bool> Panel{u"Panel", true};
inline constexpr Setting<bool> Tracking{u"Tracking", true};
inline constexpr Setting<bool> Buffer{u"Buffer", false};
inline constexpr Setting<int> SelStart{u"SelStart", 0};
inline constexpr Setting<int> SelLength{u"SelLength", 0};
// The settings window: remember the text at exit, the greeting and the hourly time at start.
inline constexpr Setting<bool> RemText{u"RemText", true};
inline constexpr Setting<bool> Greeting{u"Greeting", true};
inline constexpr Setting<bool> Time{u"Time", true};
// Reading: the engine's position in the list, its speed and pitch, the repetition count.
inline constexpr Setting<int> Engine{u"Engine", 0};
// The chosen voice by name ("RHVoice:Aleksandr"), which finds it wherever voices installed or removed
// since have moved it in the list; empty in files written before voices were named.
inline constexpr Setting<QStringView> EngineVoice{u"EngineVoice", u""};
inline constexpr OpenSetting ReadSpeed{u"ReadSpeed"};
inline constexpr OpenSetting ReadPitch{u"ReadPitch"};
inline constexpr Setting<QStringView> ReadCount{u"ReadCount", u"1"};
// Whether the word being read is marked in the editor.
inline constexpr Setting<bool> Follow{u"Follow", true};
// The greeting said last, and whether the correction dictionary is applied.
inline constexpr Setting<int> LastGreeting{u"LastGreeting", 0};
inline constexpr Setting<bool> Dictionary{u"Dictionary", false};

} // namespace settings

// Reads a setting from "Settings.ini" (opened for this read only). Never fails.
bool readSetting(const Setting<bool> &setting);
int readSetting(const Setting<int> &setting);
QString readSetting(const Setting<QStringView> &setting);
// Nothing when the key is missing or not an integer.
std::optional<int> readSetting(const OpenSetting &setting);

// Writes a setting to "Settings.ini" at once. Throws FileWriteError("Unable to write to <path>", the
// reason) when the file cannot be written.
void writeSetting(const Setting<bool> &setting, bool value);
void writeSetting(const Setting<int> &setting, int value);
void writeSetting(const OpenSetting &setting, int value);
void writeSetting(const Setting<QStringView> &setting, const QString &value);

} // namespace velmira
