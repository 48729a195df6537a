#pragma once

#include <QByteArray>

namespace frame {

constexpr quint8 SOH = 0x01;
constexpr quint8 ETX = 0x03;
constexpr quint8 EOT = 0x04;
constexpr quint8 ENQ = 0x05;
constexpr quint8 NAK = 0x15;
constexpr quint8 SYN = 0x16;

// LEN is one byte: 0x20 + parameters + 4 must stay at or below 0xFF.
constexpr int kMaxParameterLength = 219;

// The four check characters of a sum: its low 16 bits, most significant nibble first,
// each written as 0x30 + nibble ("0".."9", ":", ";", "<", "=", ">", "?").
QByteArray checkCharacters(quint32 sum);

// The SEQ byte a request carries for counter value c.
inline quint8 sequenceByte(quint8 counter) { return static_cast<quint8>(0x20 + counter % 95); }

// SOH LEN SEQ CMD parameters ENQ check ETX. Returns an empty array when the
// parameters are too long to be framed.
QByteArray buildRequest(quint8 seqByte, quint8 code, const QByteArray &parameters);

} // namespace frame

// The link's 8-bit sequence counter. Each new command saves it and increments it;
// a repeat restores the saved value first so the same SEQ goes out again.
// start() begins a new connection's count (see DeviceLink::sequenceStart()).
class SequenceCounter {
public:
    // Saves the counter, increments it and returns the SEQ byte to send.
    quint8 next()
    {
        m_saved = m_counter;
        ++m_counter;
        return frame::sequenceByte(m_counter);
    }
    void restore() { m_counter = m_saved; }
    quint8 value() const { return m_counter; }
    void setValue(quint8 v) { m_counter = v; }
    void start(quint8 v) { m_counter = m_saved = v; }

private:
    quint8 m_counter = 0;
    quint8 m_saved = 0;
};
