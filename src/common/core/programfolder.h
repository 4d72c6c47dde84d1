// Where the program keeps its data files.
#pragma once

#include <QString>

namespace velmira {

// The full path of the running executable.
QString executablePath();

// Whether the executable's folder `folder` may hold the user's files: a build tree or a portable folder
// does; an installed program does not. A folder is an installed program's when it lies in a system
// prefix (/usr, /usr/local, /opt, /bin, ...), when it is a "bin" folder beside a "share" folder (the
// layout of an install prefix such as ~/.local), or when the user cannot write to it.
bool folderHoldsUserData(const QString &folder);

// The program folder, ending with '/': the folder named by VELMIRA_HOME when set; otherwise the folder
// of the running executable when it may hold the user's files (folderHoldsUserData), or else the
// per-user folder $XDG_DATA_HOME/velmira/, which is created when missing.
QString programFolder();

// The full path of a data file in the program folder.
QString programFile(const QString &name);

} // namespace velmira
