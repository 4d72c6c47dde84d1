// velmira-say -d: one sound file per input file, several at once.
#include "parallelsay.h"

#include "common/core/stoprequests.h"
#include "sayvoice.h"
#include "speech/espeakspeechcontrol.h"
#include "speech/pacedaudiooutput.h"
#include "speech/soundwriter.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QProcess>
#include <QThread>
#include <QTimer>

#include <cstdio>

using namespace Qt::StringLiterals;

namespace velmira {

namespace {

void printError(const QString &message)
{
    std::fprintf(stderr, "velmira-say: %s\n", message.toLocal8Bit().constData());
}

} // namespace

ParallelSay::ParallelSay(SayOptions options, QObject *parent)
    : QObject(parent), m_options(std::move(options)), m_progress(SayProgress::toTerminal())
{
}

ParallelSay::~ParallelSay()
{
    for (Job &job : m_jobs) {
        if (job.process && job.process->state() != QProcess::NotRunning) {
            job.process->kill();
            job.process->waitForFinished();
        }
    }
}

QString ParallelSay::outputPath(const QString &input, const QString &directory, const QString &format)
{
    const QString extension = soundFormatExtension(*soundFormatNamed(format));
    return QDir(directory).filePath(QFileInfo(input).completeBaseName() + extension);
}

int ParallelSay::exec()
{
    StopRequests interrupt;
    connect(&interrupt, &StopRequests::requested, this, &ParallelSay::interrupt);
    QTimer::singleShot(0, this, &ParallelSay::start);
    QCoreApplication::exec();
    return m_status;
}

void ParallelSay::start()
{
    try {
        // The voice options are checked once here, rather than failing every file the same way.
        startOnlyTheSynthesisersNeeded(m_options);
        EspeakSpeechControl speech(std::make_unique<PacedAudioOutput>());
        setUpSayVoice(speech, m_options);
        QHash<QString, QString> taken;
        for (const QString &input : std::as_const(m_options.inputs)) {
            Job job;
            job.input = input;
            job.output = outputPath(input, m_options.directory, m_options.format);
            const QString key = QFileInfo(job.output).absoluteFilePath();
            if (taken.contains(key)) {
                throw UsageError(u"Файлы «%1» и «%2» дали бы один и тот же файл «%3»."_s.arg(taken[key], input, job.output));
            }
            taken.insert(key, input);
            job.size = std::max<qint64>(QFileInfo(input).size(), 1);
            m_totalSize += job.size;
            m_jobs.append(job);
        }
    } catch (const UsageError &e) {
        printError(e.message());
        std::fputs(sayUsage().toLocal8Bit().constData(), stderr);
        m_status = 2;
        QCoreApplication::exit(2);
        return;
    } catch (const Error &e) {
        printError(e.message());
        m_status = 1;
        QCoreApplication::exit(1);
        return;
    }
    if (!QDir().mkpath(m_options.directory)) {
        printError(u"Не удалось создать папку «%1»."_s.arg(m_options.directory));
        m_status = 1;
        QCoreApplication::exit(1);
        return;
    }
    m_limit = m_options.jobs.value_or(std::max(1, QThread::idealThreadCount()));
    m_progress.update(0, m_totalSize);
    startNext();
}

void ParallelSay::startNext()
{
    while (!m_interrupted && m_running < m_limit && m_next < m_jobs.size()) {
        Job &job = m_jobs[m_next++];
        job.process = new QProcess(this);
        job.process->setProgram(QCoreApplication::applicationFilePath());
        job.process->setArguments(m_options.voiceArguments() + QStringList{u"-o"_s, job.output, u"--"_s, job.input});
        job.process->setStandardInputFile(QProcess::nullDevice());
        job.process->setStandardOutputFile(QProcess::nullDevice());
        connect(job.process, &QProcess::finished, this, [this, &job](int exitCode, QProcess::ExitStatus status) {
            jobFinished(job, exitCode, status == QProcess::CrashExit);
        });
        connect(job.process, &QProcess::errorOccurred, this, [this, &job](QProcess::ProcessError error) {
            if (error == QProcess::FailedToStart)
                jobFinished(job, -1, true);
        });
        ++m_running;
        job.process->start();
    }
    if (m_running == 0)
        finish();
}

void ParallelSay::jobFinished(Job &job, int exitCode, bool crashed)
{
    if (job.done)
        return;
    job.done = true;
    --m_running;
    const QString said = QString::fromLocal8Bit(job.process->readAllStandardError()).trimmed();
    if (crashed || exitCode != 0) {
        job.message = said.isEmpty() ? u"velmira-say: не удалось записать «%1»: %2."_s.arg(job.output, job.process->errorString())
                                     : said;
    }
    m_doneSize += job.size;
    m_progress.update(m_doneSize, m_totalSize);
    job.process->deleteLater();
    job.process = nullptr;
    startNext();
}

void ParallelSay::interrupt()
{
    m_interrupted = true;
    // Each conversion stops cleanly on its own signal: it removes its unfinished file.
    for (Job &job : m_jobs) {
        if (job.process && job.process->state() != QProcess::NotRunning)
            job.process->terminate();
    }
    for (Job &job : m_jobs) {
        if (job.process && !job.process->waitForFinished(10000))
            job.process->kill();
    }
    m_progress.clear();
    printError(u"Прервано."_s);
    m_status = 130;
    QCoreApplication::exit(130);
}

void ParallelSay::finish()
{
    if (m_interrupted)
        return;
    m_progress.clear();
    QStringList failed;
    for (const Job &job : std::as_const(m_jobs)) {
        if (!job.message.isEmpty()) {
            std::fprintf(stderr, "%s\n", job.message.toLocal8Bit().constData());
            failed << job.input;
        }
    }
    if (failed.isEmpty()) {
        m_status = 0;
    } else {
        printError(u"Записано %1 из %2 файлов; не удалось: %3."_s.arg(m_jobs.size() - failed.size())
                       .arg(m_jobs.size())
                       .arg(failed.join(u", ")));
        m_status = 1;
    }
    QCoreApplication::exit(m_status);
}

} // namespace velmira
