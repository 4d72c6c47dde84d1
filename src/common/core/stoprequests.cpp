// Requests to stop (Ctrl+C, the end of the session, kill), brought into the event loop.
#include "stoprequests.h"

#include <QSocketNotifier>

#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace velmira {

namespace {

int signalPipe[2] = {-1, -1};

void onSignal(int)
{
    const char byte = 1;
    // Nothing can be done here when the pipe is full: one byte in it is enough.
    [[maybe_unused]] const ssize_t written = write(signalPipe[1], &byte, 1);
}

constexpr int Signals[] = {SIGINT, SIGTERM, SIGHUP};

} // namespace

StopRequests::StopRequests(QObject *parent) : QObject(parent)
{
    Q_ASSERT(signalPipe[0] < 0);
    if (pipe2(signalPipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    m_notifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &StopRequests::readSignal);
    struct sigaction action = {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int s : Signals)
        sigaction(s, &action, nullptr);
}

StopRequests::~StopRequests()
{
    for (int s : Signals)
        std::signal(s, SIG_DFL);
    delete m_notifier;
    if (signalPipe[0] >= 0) {
        close(signalPipe[0]);
        close(signalPipe[1]);
        signalPipe[0] = signalPipe[1] = -1;
    }
}

void StopRequests::readSignal()
{
    char bytes[16];
    while (read(signalPipe[0], bytes, sizeof bytes) > 0) {
    }
    emit requested();
}

} // namespace velmira
