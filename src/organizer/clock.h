// Where the organizer reads the time from.
#pragma once

#include <QDateTime>

namespace velmira {

// The current local date and time. The program reads the system clock; tests set any moment they need.
class Clock
{
public:
    virtual ~Clock() = default;
    virtual QDateTime now() const = 0;
};

class SystemClock final : public Clock
{
public:
    QDateTime now() const override { return QDateTime::currentDateTime(); }
};

} // namespace velmira
