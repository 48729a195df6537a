#include "link/clock.h"

#include <QElapsedTimer>
#include <QThread>

void SystemClock::sleepMs(int ms)
{
    if (ms > 0)
        QThread::msleep(static_cast<unsigned long>(ms));
}

qint64 SystemClock::nowMs() const
{
    static QElapsedTimer timer = [] {
        QElapsedTimer t;
        t.start();
        return t;
    }();
    return timer.elapsed();
}

SystemClock &SystemClock::instance()
{
    static SystemClock clock;
    return clock;
}
