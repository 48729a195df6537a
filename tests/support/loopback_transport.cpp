#include "support/loopback_transport.h"

#include "link/serial_transport.h"

bool LoopbackTransport::sendFrame(const QByteArray &frame)
{
    // The purge before the write throws away whatever arrived in the meantime.
    m_pending.clear();
    framesSent.append(frame);
    sendTimes.append(m_clock.nowMs());
    qint64 at = m_clock.nowMs();
    for (const emu::Chunk &c : m_registrar.receive(frame)) {
        at += c.delayMs;
        for (char b : c.bytes)
            m_pending.push_back({at, static_cast<quint8>(b)});
    }
    return true;
}

void LoopbackTransport::injectLine(const QByteArray &bytes, qint64 atMs)
{
    for (char b : bytes)
        m_pending.push_back({atMs, static_cast<quint8>(b)});
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
