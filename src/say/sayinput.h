// The texts velmira-say speaks: files in the formats the program opens, or standard input.
#pragma once

#include <QString>

namespace velmira {

// The text of an input file, as the editor would open it: RTF when the name ends in ".rtf" (any
// letter case), otherwise plain text (UTF-8, else Windows-1251). "-" reads standard input, always as
// plain text. Throws Error naming the file and the reason when it cannot be read.
QString readSayInput(const QString &path);

// How an input is named in messages: "стандартный ввод" for "-", otherwise the path.
QString sayInputName(const QString &path);

} // namespace velmira
