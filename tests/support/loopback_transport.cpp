#include "support/loopback_transport.h"

#include "link/serial_transport.h"

#include <algorithm>

void LoopbackTransport::purge()
{
    // Like a port: what has already arrived is thrown away; what the registrar sends
    // later still comes.
    const qint64 now = m_clock.nowMs();
    std::erase_if(m_pending, [now](const Pending &p) { return p.at <= now; });
}

bool LoopbackTransport::sendFrame(const QByteArray &frame)
{
    // The purge before the write throws away whatever arrived in the meantime.
    purge();
    framesSent.append(frame);
    sendTimes.append(m_clock.nowMs());
    // The registrar's output is one byte stream: the answer to this frame follows
    // whatever it is still sending.
    qint64 at = m_clock.nowMs();
    if (!m_pending.empty())
        at = qMax(at, m_pending.back().at);
    for (const emu::Chunk &c : m_registrar.receive(frame)) {
        at += c.delayMs;
        for (char b : c.bytes)
            m_pending.push_back({at, static_cast<quint8>(b)});
    }
    return true;
}

void LoopbackTransport::injectLine(const QByteArray &bytes, qint64 atMs)
{
    // Kept in time order with what is already on the way.
    auto pos = std::upper_bound(m_pending.begin(), m_pending.end(), atMs,
                                [](qint64 t, const Pending &p) { return t < p.at; });
    for (char b : bytes)
        pos = std::next(m_pending.insert(pos, {atMs, static_cast<quint8>(b)}));
}

Transport::Read LoopbackTransport::readByte(quint8 &byte)
{
    ++reads;
    if (onRead)
        onRead();
    if (errorAfterBytes == 0) {
        errorAfterBytes = -1;
        return Read::Error;
    }
    const qint64 deadline = m_clock.nowMs() + SerialTransport::kReadTimeoutMs;
    if (!m_pending.empty() && m_pending.front().at <= deadline) {
        if (m_pending.front().at > m_clock.nowMs())
            m_clock.setNow(m_pending.front().at);
        byte = m_pending.front().byte;
        m_pending.pop_front();
        if (errorAfterBytes > 0)
            --errorAfterBytes;
        return Read::Byte;
    }
    m_clock.setNow(deadline);
    return Read::None;
}
