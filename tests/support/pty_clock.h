#pragma once

#include "link/clock.h"
#include "link/device_link.h"

#include <QThread>

// Virtual time, except that the start-up frame's pause really passes: a real emulator
// process answers that frame, and its reply should be in before the purge that throws it
// away (a later one lands in the next exchange, which drops it as another command's).
class PtyClock final : public Clock {
public:
    void sleepMs(int ms) override
    {
        m_now += ms;
        if (ms == DeviceLink::kStartupPauseMs)
            QThread::msleep(ms);
    }
    qint64 nowMs() const override { return m_now; }

private:
    qint64 m_now = 0;
};
