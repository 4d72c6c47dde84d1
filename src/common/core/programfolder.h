// Where the program keeps its data files.
#pragma once

#include <QString>

namespace velmira {

// The full path of the running executable.
QString executablePath();

// The program folder, ending with '/': the folder named by VELMIRA_HOME when set; otherwise the folder
// of the running executable, or, when that folder is not writable (a system-wide install), the
// per-user folder $XDG_DATA_HOME/velmira/, which is created when missing.
QString programFolder();

// The full path of a data file in the program folder.
QString programFile(const QString &name);

} // namespace velmira
