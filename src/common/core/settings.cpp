#include "settings.h"

#include "common/core/inifile.h"

namespace velmira {

bool readSetting(const Setting<bool> &setting)
{
    return IniFile::settings().readBool(IniFile::global(), setting.name.toString(), setting.defaultValue);
}

int readSetting(const Setting<int> &setting)
{
    return IniFile::settings().readInteger(IniFile::global(), setting.name.toString(), setting.defaultValue);
}

QString readSetting(const Setting<QStringView> &setting)
{
    return IniFile::settings().readString(IniFile::global(), setting.name.toString(),
                                          setting.defaultValue.toString());
}

std::optional<int> readSetting(const OpenSetting &setting)
{
    // An empty text is no integer, so a missing key and an unreadable value both give nothing.
    return IniFile::parseInteger(
        IniFile::settings().readString(IniFile::global(), setting.name.toString(), {}));
}

void writeSetting(const Setting<bool> &setting, bool value)
{
    IniFile::settings().writeBool(IniFile::global(), setting.name.toString(), value);
}

void writeSetting(const Setting<int> &setting, int value)
{
    IniFile::settings().writeInteger(IniFile::global(), setting.name.toString(), value);
}

void writeSetting(const OpenSetting &setting, int value)
{
    IniFile::settings().writeInteger(IniFile::global(), setting.name.toString(), value);
}

void writeSetting(const Setting<QStringView> &setting, const QString &value)
{
    IniFile::settings().writeString(IniFile::global(), setting.name.toString(), value);
}

} // namespace velmira
