#include "link/byte_receiver.h"

#include "link/frame.h"

void ByteReceiver::resetForExchange()
{
    m_synCount = 0;
    m_replyReady = false;
    m_nak = false;
    m_checkComplete = false;
    m_dataLength = 0;
    m_data[0] = 0;
    m_status.fill(0);
    m_rawLength = 0;
    m_raw[0] = 0;
    // A frame begun before this exchange's request went out is not its reply.
    m_headerSeen = false;
}

void ByteReceiver::dropFrame()
{
    const long syn = m_synCount;
    resetForExchange();
    m_synCount = syn;
    m_frameComplete = false;
    m_errorLength = 0;
    m_errorWord[0] = 0;
}

void ByteReceiver::appendRaw(quint8 b)
{
    if (m_rawLength >= kRawCapacity)
        return;
    m_raw[m_rawLength++] = static_cast<char>(b);
    m_raw[m_rawLength] = 0;
}

void ByteReceiver::dispatch(quint8 b)
{
    m_lastByte = b;
    if (b == frame::SYN)
        ++m_synCount;
    else
        appendRaw(b);

    if (b >= 0x20) {
        handle(b);
    } else if (b == frame::SOH) {
        m_state = Idle;
        handle(b);
    } else if (b == frame::ETX) {
        m_state = End;
        handle(b);
    } else if (b == frame::NAK) {
        m_state = Idle;
        m_nak = true;
        m_replyReady = true;
    } else {
        handle(b);
    }
}

void ByteReceiver::handle(quint8 b)
{
    switch (m_state) {
    case Idle:
        m_sum = 0;
        m_checkComplete = false;
        m_headerSeen = false;
        if (b == frame::SOH)
            m_state = Length;
        return;
    case Length:
        if (b < 0x30) {
            returnToIdle();
            return;
        }
        m_expectedLength = b - 0x30;
        m_sum += b;
        m_state = Sequence;
        return;
    case Sequence:
        if (b < 0x20) {
            returnToIdle();
            return;
        }
        m_seq = static_cast<quint8>(b - 0x20);
        m_sum += b;
        m_state = Command;
        return;
    case Command:
        m_cmd = b;
        m_sum += b;
        m_errorLength = 0;
        m_errorWord[0] = 0;
        m_dataLength = 0;
        m_data[0] = 0;
        m_count = 0;
        m_headerSeen = true;
        m_state = ErrorWord;
        return;
    case ErrorWord:
        m_sum += b;
        if (b == ';') {
            m_state = m_expectedLength != 0 ? Data : AfterData;
            return;
        }
        if (m_errorLength < kErrorWordCapacity) {
            m_errorWord[m_errorLength++] = static_cast<char>(b);
            m_errorWord[m_errorLength] = 0;
        }
        return;
    case Data:
        if (m_count < m_expectedLength) {
            if (m_dataLength < kDataCapacity) {
                m_data[m_dataLength++] = static_cast<char>(b);
                m_data[m_dataLength] = 0;
            }
            ++m_count;
            m_sum += b;
        }
        if (m_count >= m_expectedLength)
            m_state = AfterData;
        return;
    case AfterData:
        if (b != frame::EOT) {
            returnToIdle();
            return;
        }
        m_sum += b;
        m_count = 0;
        m_state = Status;
        return;
    case Status:
        if (m_count < 6) {
            m_status[m_count++] = b;
            m_sum += b;
        }
        if (m_count >= 6)
            m_state = AfterStatus;
        return;
    case AfterStatus:
        if (b != frame::ENQ) {
            returnToIdle();
            return;
        }
        m_sum += b;
        m_count = 0;
        m_check = 0;
        m_state = Check;
        return;
    case Check:
        if (m_count < 4) {
            m_check = m_check * 16 + static_cast<quint32>(static_cast<int>(b) - 0x30);
            ++m_count;
        }
        if (m_count >= 4) {
            m_checkComplete = true;
            m_state = End;
        }
        return;
    case End:
        // ETX closes the frame properly; anything else after the check characters ends
        // it as a missing reply.
        m_frameComplete = true;
        if (b == frame::ETX)
            m_replyReady = true;
        m_state = Idle;
        return;
    default:
        m_state = Idle;
        return;
    }
}
