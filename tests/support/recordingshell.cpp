#include "recordingshell.h"

#include "common/core/error.h"

namespace velmira {

void RecordingShell::removeAfterExit(qint64 pid, const QStringList &files, const QStringList &folders)
{
    if (!failRemoval.isEmpty())
        throw Error(failRemoval);
    removals.append({pid, files, folders});
}

} // namespace velmira
