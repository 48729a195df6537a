#pragma once

#include <QtGlobal>

// Every fixed wait of the link (repeat pauses, the start-up frame pause, activation
// pauses, script delays) goes through a Clock, so tests can run them in virtual time.
class Clock {
public:
    virtual ~Clock() = default;
    virtual void sleepMs(int ms) = 0;
    // Milliseconds since an arbitrary origin; only differences matter.
    virtual qint64 nowMs() const = 0;
};

// Waits really wait.
class SystemClock final : public Clock {
public:
    void sleepMs(int ms) override;
    qint64 nowMs() const override;
    static SystemClock &instance();
};

// Time that moves only when somebody sleeps or advances it; nothing really waits.
class VirtualClock final : public Clock {
public:
    void sleepMs(int ms) override
    {
        if (ms > 0)
            m_now += ms;
    }
    qint64 nowMs() const override { return m_now; }
    void advance(qint64 ms) { m_now += ms; }
    void setNow(qint64 ms) { m_now = ms; }

private:
    qint64 m_now = 0;
};
