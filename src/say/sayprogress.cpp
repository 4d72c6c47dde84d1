// The progress line velmira-say shows on a terminal while it writes files.
#include "sayprogress.h"

#include <algorithm>

#include <unistd.h>

using namespace Qt::StringLiterals;

namespace velmira {

namespace {

constexpr qint64 ShowEveryMs = 250;

} // namespace

SayProgress::SayProgress(bool enabled) : m_enabled(enabled)
{
    m_clock.start();
}

SayProgress::~SayProgress()
{
    clear();
}

bool SayProgress::toTerminal()
{
    return isatty(STDERR_FILENO) == 1;
}

QString SayProgress::text(qint64 done, qint64 total, qint64 elapsedMs)
{
    const double part = total > 0 ? std::clamp(double(done) / double(total), 0.0, 1.0) : 0.0;
    QString line = u"Записано %1 %"_s.arg(int(part * 100));
    // The first moments say little about the rest.
    if (part >= 0.01 && elapsedMs >= 1000) {
        const qint64 left = qint64(double(elapsedMs) * (1 - part) / part / 1000 + 0.5);
        line += u", осталось %1:%2"_s.arg(left / 60).arg(left % 60, 2, 10, QChar(u'0'));
    }
    return line;
}

void SayProgress::update(qint64 done, qint64 total)
{
    if (!m_enabled)
        return;
    const qint64 now = m_clock.elapsed();
    if (m_lastShownMs >= 0 && now - m_lastShownMs < ShowEveryMs && done < total)
        return;
    m_lastShownMs = now;
    // Blanks at the end wipe what a longer line left before.
    std::fprintf(stderr, "\r%s   ", text(done, total, now).toLocal8Bit().constData());
    std::fflush(stderr);
    m_shown = true;
}

void SayProgress::clear()
{
    if (!m_shown)
        return;
    std::fputs("\r\033[K", stderr);
    std::fflush(stderr);
    m_shown = false;
}

} // namespace velmira
