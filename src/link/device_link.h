#pragma once

#include "link/command_result.h"
#include "link/byte_receiver.h"
#include "link/clock.h"
#include "link/exchange_log.h"
#include "link/frame.h"
#include "link/transport.h"

#include <QByteArray>
#include <QString>

#include <atomic>
#include <functional>
#include <memory>

class SerialTransport;

// The one link of the process: the active transport, the byte receiver and its buffers,
// the sequence counter, the repeat policy and the one CommandResult that every exchange
// overwrites. Not re-entrant: an exchange waiting for its reply refuses another.
//
// A reply belongs to its request: a frame whose echoed command code or SEQ differs (a
// late answer to an earlier command, the start-up frame's answer) is dropped and the
// wait goes on. A missing, refused (NAK), malformed or corrupted reply is repeated with
// the same SEQ, so the registrar answers a request it already carried out from its cache.
class DeviceLink {
public:
    static constexpr int kSilenceLimit = 50;       // reads without a byte before giving up
    static constexpr int kRepeatPauseMs = 2000;    // after a malformed or missing frame
    static constexpr int kVirtualPortPauseMs = 3000; // silent reply through the virtual COM port
    // Bytes that never make this command's reply end the wait this long after the request
    // (or after the last SYN): a noisy line cannot hold the program.
    static constexpr qint64 kNoFrameLimitMs = 30000;
    // SYN says the registrar is still working; it keeps the wait alive up to this long.
    static constexpr qint64 kSynLimitMs = 10 * 60 * 1000;
    static constexpr int kLowestCode = 0x20; // below are the frame's control bytes
    static constexpr int kHighestCode = 0xFF;

    // How the last wait for a reply ended.
    enum class WaitEnd { Reply, Silence, NoFrame, SynLimit, Cancelled, Exhausted, Lost };
    static inline const QByteArray kStartupParameters = QByteArrayLiteral("482913;20;0;");
    static constexpr int kStartupCommand = 0x88;

    // Where a new connection's sequence counter starts, 0 to 94. The registrar answers a
    // request with the SEQ and command of the one before from its cache, undone; a fixed
    // start would make every process's first command such a repeat of the last process's.
    using SequenceStart = std::function<quint8()>;
    // Process-wide, for tests that need a known SEQ; an empty function restores the
    // default, a draw from the system's random source.
    static void setSequenceStart(SequenceStart start);
    static quint8 sequenceStart();

    using MessageHook = std::function<void(const QString &message)>;
    // The display name of a command code, for the result record; the command layer gives it.
    using CommandNamer = std::function<QString(int code)>;

    explicit DeviceLink(Clock &clock = SystemClock::instance());
    ~DeviceLink();
    DeviceLink(const DeviceLink &) = delete;
    DeviceLink &operator=(const DeviceLink &) = delete;

    // The transaction: one exchange and its repeats. Never returns null.
    CommandResult *ExecuteCommand(int code, const QByteArray &parameters);
    // One send and one wait: 0 when it ran (whatever the reply), -1 when it could not.
    int ExchangeFrame(int code, const QByteArray &parameters);
    int ResendLastCommand(bool keepNewSequence);
    // A full ExecuteCommand of the last command; null while an exchange waits.
    CommandResult *RepeatPreviousCommand(bool keepNewSequence);
    // The start-up frame (0x88) that opens a serial connection, one exchange with the
    // repeats of any other: a lost or refused answer is asked for again with the same SEQ,
    // so the frame takes the registrar's cached slot and the next command cannot be taken
    // for a repeat. Its answer is thrown away. 0 when an answer came, -1 when none did (the
    // connection goes on), 1 on USB, which has no start-up frame.
    int SendStartupFrame();
    void SetReplyCount(int n) { m_replyCount = n < 0 ? 0 : n; }
    int replyCount() const { return m_replyCount; }
    int RetryCount() const { return m_retryCount; }
    void SetLinkReady(bool ready) { m_rx.setReplyReady(ready); }
    bool linkReady() const { return m_rx.replyReady(); }

    // Serial port of the registrar. OpenSerial returns false when the port cannot be opened.
    bool OpenSerial(const QString &portName, qint32 baudRate);
    // Why the last OpenSerial failed (a SerialTransport::OpenFailure value) and the
    // system's own words for it.
    int lastOpenFailure() const { return m_openFailure; }
    QString lastOpenError() const { return m_openError; }
    bool CloseSerial();
    bool serialOpen() const;

    // Any other transport (USB, or a loopback in tests). The link takes it over and is idle.
    void attachTransport(std::unique_ptr<Transport> transport);
    void detachTransport();
    Transport *activeTransport() const { return m_transport.get(); }

    bool OnVirtualPort() const { return m_onVirtualPort; }
    void setOnVirtualPort(bool on) { m_onVirtualPort = on; }

    // The limits of one wait (see kNoFrameLimitMs, kSynLimitMs); 0 or less restores the default.
    void setSynLimitMs(qint64 ms) { m_synLimitMs = ms > 0 ? ms : kSynLimitMs; }
    qint64 synLimitMs() const { return m_synLimitMs; }
    void setNoFrameLimitMs(qint64 ms) { m_noFrameLimitMs = ms > 0 ? ms : kNoFrameLimitMs; }
    qint64 noFrameLimitMs() const { return m_noFrameLimitMs; }
    WaitEnd lastWaitEnd() const { return m_waitEnd; }

    // Interruption (Ctrl-C, a stop button). requestCancel() only stores a lock-free atomic
    // flag, so a signal handler or another thread may call it. The link looks at the flag,
    // and at the interrupt hook when one is set, between reads (at least every 100 ms) and
    // in its pauses: the waiting exchange ends as a missing reply, nothing is repeated, and
    // while the flag stays set every new command is refused unsent (the no-reply result).
    // clearCancel() lets commands through again.
    void requestCancel() { m_cancel.store(true); }
    void clearCancel() { m_cancel.store(false); }
    bool cancelRequested() const;
    void setInterruptHook(std::function<bool()> hook) { m_interrupt = std::move(hook); }

    ExchangeLog &Log() { return m_log; }
    void setMessageHook(MessageHook hook) { m_message = std::move(hook); }
    void setCommandNamer(CommandNamer namer) { m_namer = std::move(namer); }
    // The active transport found its device gone (it may be called between exchanges, or
    // inside one: the receiver must not close the link from inside the call).
    void setConnectionLostHook(MessageHook hook) { m_lostHook = std::move(hook); }

    CommandResult &Result() { return m_result; }
    const ByteReceiver &Receiver() const { return m_rx; }
    SequenceCounter &Sequence() { return m_seq; }
    Clock &clock() { return m_clock; }

    // The shape test of the transaction on a raw reply copy.
    static bool replyShapeOk(const QByteArray &raw);

private:
    QByteArray beginExchange(int code, const QByteArray &parameters);
    WaitEnd waitForReply();
    bool belongsToRequest() const;
    void logReply();
    bool pause(int ms);
    void message(const QString &text);
    void watchForLoss();
    void markNotRun();
    void startSequence();

    Clock &m_clock;
    std::unique_ptr<Transport> m_transport;
    SerialTransport *m_serial = nullptr; // m_transport when it is the serial port
    ByteReceiver m_rx;
    SequenceCounter m_seq;
    CommandResult m_result;
    int m_replyCount = 1;
    int m_retryCount = 0;
    int m_lastCode = 0;
    QByteArray m_lastParameters;
    quint8 m_requestSeq = 0; // the SEQ byte of the request on the wire
    qint64 m_synLimitMs = kSynLimitMs;
    qint64 m_noFrameLimitMs = kNoFrameLimitMs;
    WaitEnd m_waitEnd = WaitEnd::Reply;
    std::atomic<bool> m_cancel{false};
    static_assert(std::atomic<bool>::is_always_lock_free);
    std::function<bool()> m_interrupt;
    bool m_onVirtualPort = false;
    int m_openFailure = 0;
    QString m_openError;
    ExchangeLog m_log;
    MessageHook m_message;
    CommandNamer m_namer;
    MessageHook m_lostHook;
};
