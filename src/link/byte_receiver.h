#pragma once

#include <QByteArray>

#include <array>

// The reply side of the frame protocol: a state machine fed one received byte at a time.
// Its buffers have fixed capacities; a byte that does not fit is dropped, never written
// past the end. The raw copy holds only what the current exchange received: an exchange
// that receives nothing shows an empty copy, never the previous reply.
class ByteReceiver {
public:
    static constexpr int kErrorWordCapacity = 19;
    static constexpr int kDataCapacity = 300;
    static constexpr int kRawCapacity = 299;

    enum State {
        Idle = 0, Length, Sequence, Command, ErrorWord, Data, AfterData,
        Status, AfterStatus, Check, End
    };

    // Before each exchange: SYN count 0, reply not ready, link flags clear, data and raw
    // copy emptied, status zeroed. The state itself is left alone; a new SOH restarts it.
    void resetForExchange();
    // After each exchange the raw copy's length goes back to 0.
    void rewindRawCopy() { m_rawLength = 0; }
    // A finished frame that is not the awaited reply (another command's, or noise closed
    // by ETX) is forgotten, and the exchange goes on waiting: everything but the SYN
    // count returns to what resetForExchange() left.
    void dropFrame();

    void dispatch(quint8 b);
    // A port error abandons the partial frame: what follows is no frame of its own.
    void returnToIdle()
    {
        m_state = Idle;
        m_headerSeen = false;
    }

    int state() const { return m_state; }
    bool replyReady() const { return m_replyReady; }
    void setReplyReady(bool ready) { m_replyReady = ready; }
    bool frameComplete() const { return m_frameComplete; }
    void clearFrameComplete() { m_frameComplete = false; }
    bool nakReceived() const { return m_nak; }
    long synCount() const { return m_synCount; }
    quint8 lastByte() const { return m_lastByte; }

    quint32 runningSum() const { return m_sum; }
    quint32 checkValue() const { return m_check; }
    // The received check characters against the running sum. A frame closed by ETX
    // before all four check characters came never matches, whatever stale value the
    // check register holds.
    bool checksumMatches() const { return m_checkComplete && m_check == (m_sum & 0xFFFF); }

    // The current (or just finished) frame came through SOH, LEN, SEQ and CMD without
    // being dropped; an ETX without that closes noise, not a frame.
    bool frameHeaderSeen() const { return m_headerSeen; }
    quint8 receivedSequence() const { return m_seq; } // SEQ byte minus 0x20
    quint8 receivedCommand() const { return m_cmd; }
    QByteArray errorWord() const { return QByteArray(m_errorWord.data(), m_errorLength); }
    QByteArray data() const { return QByteArray(m_data.data(), m_dataLength); }
    const std::array<quint8, 6> &rawStatus() const { return m_status; }
    // The raw copy as text: every byte received except SYN, up to the first zero byte.
    QByteArray rawCopy() const { return QByteArray(m_raw.data()); }

private:
    void handle(quint8 b);
    void appendRaw(quint8 b);

    int m_state = Idle;
    quint32 m_sum = 0;
    quint32 m_check = 0;
    int m_count = 0;
    int m_expectedLength = 0;
    quint8 m_seq = 0;
    quint8 m_cmd = 0;
    std::array<char, kErrorWordCapacity + 1> m_errorWord{};
    int m_errorLength = 0;
    std::array<char, kDataCapacity + 1> m_data{};
    int m_dataLength = 0;
    std::array<quint8, 6> m_status{};
    std::array<char, kRawCapacity + 1> m_raw{};
    int m_rawLength = 0;
    long m_synCount = 0;
    bool m_nak = false;
    bool m_checkComplete = false;
    bool m_headerSeen = false;
    bool m_frameComplete = false;
    bool m_replyReady = false;
    quint8 m_lastByte = 0;
};
