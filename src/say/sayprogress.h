// The progress line velmira-say shows on a terminal while it writes files.
#pragma once

#include <QElapsedTimer>
#include <QString>

#include <cstdio>

namespace velmira {

// Shows "Записано 42 %, осталось 0:15" on one line of standard error, rewritten in place at most a few
// times a second, and only when standard error is a terminal; silent otherwise.
class SayProgress
{
public:
    explicit SayProgress(bool enabled);
    ~SayProgress();

    SayProgress(const SayProgress &) = delete;
    SayProgress &operator=(const SayProgress &) = delete;

    // `done` of `total` is ready.
    void update(qint64 done, qint64 total);
    // Clears the line, so that messages after it start on a clean one.
    void clear();

    bool isEnabled() const { return m_enabled; }

    // True when standard error goes to a terminal.
    static bool toTerminal();
    // The text of the line: the percentage, and the time left estimated from the time so far.
    static QString text(qint64 done, qint64 total, qint64 elapsedMs);

private:
    bool m_enabled;
    bool m_shown = false;
    QElapsedTimer m_clock;
    qint64 m_lastShownMs = -1;
};

} // namespace velmira
