// Requests to stop (Ctrl+C, the end of the session, kill), brought into the event loop.
#pragma once

#include <QObject>

class QSocketNotifier;

namespace velmira {

// Catches SIGINT, SIGTERM and SIGHUP for as long as it lives and emits requested() in the event loop,
// where stopping cleanly is safe (a signal handler may do next to nothing). One at a time.
class StopRequests : public QObject
{
    Q_OBJECT

public:
    explicit StopRequests(QObject *parent = nullptr);
    ~StopRequests() override;

signals:
    void requested();

private:
    void readSignal();

    QSocketNotifier *m_notifier = nullptr;
};

} // namespace velmira
