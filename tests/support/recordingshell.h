// A desktop shell for tests: writes its entries under a temporary folder, records what it is asked to
// open and to remove after exit instead of doing it.
#pragma once

#include "platform/freedesktopshell.h"

#include <QList>

namespace velmira {

using namespace Qt::StringLiterals;

class RecordingShell : public FreedesktopShell
{
public:
    struct Removal
    {
        qint64 pid = 0;
        QStringList files;
        QStringList folders;
    };

    // Entries go under `root`: data/, config/, Desktop/ and run/.
    explicit RecordingShell(const QString &root)
        : FreedesktopShell(Folders{root + u"/data"_s, root + u"/config"_s,
                                   root + u"/Desktop"_s, root + u"/run"_s})
    {
    }
    explicit RecordingShell(Folders folders) : FreedesktopShell(std::move(folders)) {}

    QList<QUrl> opened;
    QList<Removal> removals;
    // When set, removeAfterExit fails with this message.
    QString failRemoval;

    bool open(const QUrl &url) override
    {
        opened.append(url);
        return true;
    }
    void removeAfterExit(qint64 pid, const QStringList &files, const QStringList &folders) override;
};

} // namespace velmira
