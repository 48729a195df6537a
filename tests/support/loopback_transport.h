#pragma once

#include "emulator/registrar.h"
#include "link/clock.h"
#include "link/transport.h"

#include <QList>

#include <deque>
#include <functional>

// Hands each frame to an in-process emulator and feeds back its reply bytes on a virtual
// clock: a read that finds nothing waits its 100 ms in virtual time, a piece of the reply
// that comes after a pause becomes readable only once that much virtual time has passed.
class LoopbackTransport final : public Transport {
public:
    LoopbackTransport(emu::Registrar &registrar, VirtualClock &clock, Kind kind = Kind::Serial)
        : m_registrar(registrar), m_clock(clock), m_kind(kind)
    {
    }

    Kind kind() const override { return m_kind; }
    bool sendFrame(const QByteArray &frame) override;
    Read readByte(quint8 &byte) override;
    void purge() override;

    // Bytes that turn up on the line at a moment of virtual time, outside any reply.
    void injectLine(const QByteArray &bytes, qint64 atMs);
    // Bytes scheduled but not yet read (arrived or still to come).
    int pendingBytes() const { return int(m_pending.size()); }
    // Called before every read; tests use it to try a second exchange mid-wait.
    std::function<void()> onRead;
    // The read after this many more delivered bytes reports a port error (-1: never).
    int errorAfterBytes = -1;

    QList<QByteArray> framesSent;
    QList<qint64> sendTimes;
    int reads = 0;

private:
    struct Pending {
        qint64 at;
        quint8 byte;
    };
    emu::Registrar &m_registrar;
    VirtualClock &m_clock;
    Kind m_kind;
    std::deque<Pending> m_pending;
};
