#include "emulator/wire.h"

#include <array>

namespace emu {

namespace {
constexpr char kSoh = 0x01, kEtx = 0x03, kEot = 0x04, kEnq = 0x05;
}

QByteArray checkOf(const QByteArray &lenThroughEnq)
{
    unsigned sum = 0;
    for (char c : lenThroughEnq)
        sum += static_cast<unsigned char>(c);
    QByteArray out;
    for (int shift = 12; shift >= 0; shift -= 4)
        out.append(char('0' + ((sum >> shift) & 0xF)));
    return out;
}

void RequestParser::feed(const QByteArray &bytes)
{
    m_buffer.append(bytes);
    // A sender that never stops cannot make the buffer grow without bound.
    if (m_buffer.size() > 64 * 1024)
        m_buffer = m_buffer.right(1024);
}

std::optional<Incoming> RequestParser::next()
{
    for (;;) {
        const int soh = m_buffer.indexOf(kSoh);
        if (soh < 0) {
            m_buffer.clear();
            return std::nullopt;
        }
        m_buffer.remove(0, soh);
        if (m_buffer.size() < 2)
            return std::nullopt;
        const int len = static_cast<unsigned char>(m_buffer[1]);
        if (len < 0x24) { // not even room for SEQ, CMD and ENQ
            m_buffer.remove(0, 1);
            return Incoming{Incoming::Rejected, {}};
        }
        const int body = len - 0x20;  // LEN through ENQ
        const int total = body + 6;   // SOH + body + 4 check + ETX
        if (m_buffer.size() < total)
            return std::nullopt;
        const QByteArray frame = m_buffer.left(total);
        const QByteArray summed = frame.mid(1, body);
        const bool ok = frame[body] == kEnq && frame[total - 1] == kEtx
            && frame.mid(body + 1, 4) == checkOf(summed);
        if (!ok) {
            // Drop up to the next SOH after this one and say no.
            m_buffer.remove(0, 1);
            return Incoming{Incoming::Rejected, {}};
        }
        m_buffer.remove(0, total);
        Incoming in;
        in.request.seq = static_cast<quint8>(frame[2]);
        in.request.code = static_cast<quint8>(frame[3]);
        in.request.parameters = frame.mid(4, body - 4);
        return in;
    }
}

QByteArray replyFrame(quint8 seq, quint8 code, const QByteArray &errorWord, const QByteArray &data,
                      const std::array<quint8, 6> &status)
{
    QByteArray summed;
    summed.append(char(0x30 + data.size()));
    summed.append(char(seq));
    summed.append(char(code));
    summed.append(errorWord);
    summed.append(';');
    summed.append(data);
    summed.append(kEot);
    for (quint8 s : status)
        summed.append(char(s));
    summed.append(kEnq);
    QByteArray frame;
    frame.append(kSoh);
    frame.append(summed);
    frame.append(checkOf(summed));
    frame.append(kEtx);
    return frame;
}

} // namespace emu
