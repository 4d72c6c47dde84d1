// velmira-say -d: one sound file per input file, several at once.
#pragma once

#include "sayoptions.h"
#include "sayprogress.h"

#include <QList>
#include <QObject>
#include <QStringList>

class QProcess;

namespace velmira {

// Converts every input file into a sound file of its own in the folder `-d` names, each in a process
// of its own (velmira-say -o, so that each file comes out exactly as a run on that file alone would
// make it; espeak-ng keeps state from one text to the next), up to `-j` at a time. A file that fails
// does not stop the others; the summary names every file that failed.
class ParallelSay : public QObject
{
    Q_OBJECT

public:
    explicit ParallelSay(SayOptions options, QObject *parent = nullptr);
    ~ParallelSay() override;

    // Runs to the end and returns the exit status: 0 every file written, 1 some failed, 2 a usage
    // error (checked before anything is started), 130 interrupted.
    int exec();

    // The sound file an input file is written to: its name with the format's extension in place of
    // its own, in `directory`.
    static QString outputPath(const QString &input, const QString &directory, const QString &format);

private:
    struct Job
    {
        QString input;
        QString output;
        qint64 size = 0;
        QProcess *process = nullptr;
        bool done = false;
        QString message;
    };

    void start();
    void startNext();
    void jobFinished(Job &job, int exitCode, bool crashed);
    void interrupt();
    void finish();

    SayOptions m_options;
    QList<Job> m_jobs;
    qsizetype m_next = 0;
    int m_running = 0;
    int m_limit = 1;
    qint64 m_totalSize = 0;
    qint64 m_doneSize = 0;
    bool m_interrupted = false;
    SayProgress m_progress;
    int m_status = 0;
};

} // namespace velmira
