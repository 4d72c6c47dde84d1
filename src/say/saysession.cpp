// velmira-say's work in one process: speaking aloud, or writing one sound file.
#include "saysession.h"

#include "sayinput.h"
#include "sayvoice.h"
#include "speech/espeakspeechcontrol.h"
#include "speech/pacedaudiooutput.h"
#include "speech/speechcontrolfactory.h"
#include "common/core/stoprequests.h"
#include "dictionary/textpreparation.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QTemporaryFile>
#include <QTimer>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <sys/stat.h>

using namespace Qt::StringLiterals;

namespace velmira {

namespace {

void printError(const QString &message)
{
    std::fprintf(stderr, "velmira-say: %s\n", message.toLocal8Bit().constData());
}

// The file mode a new file gets from the user's umask.
void giveUsualPermissions(const QString &path)
{
    const mode_t mask = umask(0);
    umask(mask);
    chmod(QFile::encodeName(path).constData(), 0666 & ~mask);
}

} // namespace

SaySession::SaySession(SayOptions options, QObject *parent)
    : QObject(parent), m_options(std::move(options)),
      m_progress(!m_options.output.isEmpty() && SayProgress::toTerminal())
{
}

SaySession::~SaySession() = default;

int SaySession::exec()
{
    StopRequests interrupt;
    connect(&interrupt, &StopRequests::requested, this, &SaySession::interrupt);
    QTimer::singleShot(0, this, &SaySession::start);
    QCoreApplication::exec();
    return m_status;
}

void SaySession::quit(int status)
{
    m_status = status;
    m_progress.clear();
    QCoreApplication::exit(status);
}

void SaySession::start()
{
    QStringList inputs = m_options.inputs;
    if (inputs.isEmpty())
        inputs << u"-"_s;
    QStringList texts;
    try {
        for (const QString &input : inputs)
            texts << readSayInput(input);
    } catch (const Error &e) {
        printError(e.message());
        quit(1);
        return;
    }

    const bool toFile = !m_options.output.isEmpty();
    try {
        startOnlyTheSynthesisersNeeded(m_options);
        // Writing a file needs no sound device: the control's output is never opened then.
        if (toFile)
            m_speech = std::make_unique<EspeakSpeechControl>(std::make_unique<PacedAudioOutput>());
        else
            m_speech = createSpeechControl();
        setUpSayVoice(*m_speech, m_options);
    } catch (const UsageError &e) {
        printError(e.message());
        std::fputs(sayUsage().toLocal8Bit().constData(), stderr);
        quit(2);
        return;
    } catch (const Error &e) {
        printError(e.message());
        quit(1);
        return;
    }

    try {
        for (qsizetype i = 0; i < texts.size(); ++i) {
            if (!m_options.noDictionary)
                texts[i] = prepareText(texts[i]);
            m_offsets << m_total;
            m_total += texts[i].size();
        }
    } catch (const Error &e) {
        printError(e.message());
        quit(1);
        return;
    }

    if (toFile) {
        const QFileInfo target(m_options.output);
        // The extension stays last, so that the control writes the format the name asks for.
        m_file = std::make_unique<QTemporaryFile>(
            target.dir().filePath(u"."_s + target.completeBaseName() + u".XXXXXX."_s + target.suffix()));
        if (!m_file->open()) {
            printError(u"Не удалось записать «%1»: %2."_s.arg(m_options.output, m_file->errorString()));
            quit(1);
            return;
        }
        m_file->close();
    }

    connect(m_speech.get(), &SpeechControl::finished, this, &SaySession::finished);
    connect(m_speech.get(), &SpeechControl::failed, this, &SaySession::failed);
    connect(m_speech.get(), &SpeechControl::wordReached, this, &SaySession::wordReached);
    try {
        if (toFile)
            m_speech->setFileName(m_file->fileName());
        for (const QString &text : std::as_const(texts))
            m_speech->Speak(text);
    } catch (const Error &e) {
        failed(e.message());
        return;
    }
    m_progress.update(0, m_total);
}

void SaySession::wordReached(quint64 serial, int position, int)
{
    const qsizetype index = qsizetype(serial) - 1;
    if (index >= 0 && index < m_offsets.size())
        m_progress.update(m_offsets[index] + position, m_total);
}

void SaySession::finished()
{
    if (!m_file) {
        quit(0);
        return;
    }
    m_progress.update(m_total, m_total);
    try {
        // Completes the file and lets it go.
        m_speech->setFileName(QString());
    } catch (const Error &e) {
        failed(e.message());
        return;
    }
    const QString temporary = m_file->fileName();
    giveUsualPermissions(temporary);
    if (std::rename(QFile::encodeName(temporary).constData(), QFile::encodeName(m_options.output).constData()) != 0) {
        failed(u"Не удалось записать «%1»: %2."_s.arg(m_options.output, QString::fromLocal8Bit(std::strerror(errno))));
        return;
    }
    m_file->setAutoRemove(false);
    quit(0);
}

void SaySession::failed(const QString &message)
{
    if (m_speech)
        m_speech->AudioReset();
    printError(forUser(message));
    quit(1);
}

void SaySession::interrupt()
{
    // The speech stops at once; a file being written is left unnamed and removed with its temporary.
    if (m_speech)
        m_speech->AudioReset();
    m_progress.clear();
    printError(u"Прервано."_s);
    quit(130);
}

QString SaySession::forUser(const QString &message) const
{
    // The user knows the file by the name asked for, not by its temporary one.
    return m_file ? QString(message).replace(m_file->fileName(), m_options.output) : message;
}

} // namespace velmira
