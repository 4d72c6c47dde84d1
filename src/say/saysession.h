// velmira-say's work in one process: speaking aloud, or writing one sound file.
#pragma once

#include "sayoptions.h"
#include "sayprogress.h"

#include <QObject>
#include <QStringList>

#include <memory>

class QTemporaryFile;

namespace velmira {

class SpeechControl;

// Speaks the inputs one after another through the sound server, or writes their speech into the one
// sound file `-o` names. The file is written under a temporary name in the same folder and takes its
// own name only when complete, so that a failure or an interruption never leaves a half-written file
// under that name (an older file there stays as it was).
class SaySession : public QObject
{
    Q_OBJECT

public:
    explicit SaySession(SayOptions options, QObject *parent = nullptr);
    ~SaySession() override;

    // Runs to the end in the event loop and returns the exit status: 0 done, 1 an input could not be
    // read or the output written, 2 a usage error, 130 interrupted. Messages go to standard error.
    int exec();

private:
    void start();
    void wordReached(quint64 serial, int position, int length);
    void finished();
    void failed(const QString &message);
    void interrupt();
    void quit(int status);
    QString forUser(const QString &message) const;

    SayOptions m_options;
    std::unique_ptr<SpeechControl> m_speech;
    std::unique_ptr<QTemporaryFile> m_file;
    SayProgress m_progress;
    // Where each text starts in the whole, in characters, and the whole's length.
    QList<qint64> m_offsets;
    qint64 m_total = 0;
    int m_status = 0;
};

} // namespace velmira
