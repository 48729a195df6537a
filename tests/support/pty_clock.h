#pragma once

#include "link/clock.h"

// Virtual time for the link's pauses; the serial reads themselves wait in real time.
class PtyClock final : public Clock {
public:
    void sleepMs(int ms) override { m_now += ms; }
    qint64 nowMs() const override { return m_now; }

private:
    qint64 m_now = 0;
};
