// Ctrl+C and termination requests, brought into the event loop.
#pragma once

#include <QObject>

class QSocketNotifier;

namespace velmira {

// Catches SIGINT, SIGTERM and SIGHUP for as long as it lives and emits interrupted() in the event loop,
// where stopping cleanly is safe (a signal handler may do next to nothing). One at a time.
class SayInterrupt : public QObject
{
    Q_OBJECT

public:
    explicit SayInterrupt(QObject *parent = nullptr);
    ~SayInterrupt() override;

signals:
    void interrupted();

private:
    void readSignal();

    QSocketNotifier *m_notifier = nullptr;
};

} // namespace velmira
