#pragma once

#include "commands/command_result.h"
#include "link/byte_receiver.h"
#include "link/clock.h"
#include "link/exchange_log.h"
#include "link/frame.h"
#include "link/transport.h"

#include <QByteArray>
#include <QString>

#include <functional>
#include <memory>

class SerialTransport;

// The one link of the process: the active transport, the byte receiver and its buffers,
// the sequence counter, the repeat policy and the one CommandResult that every exchange
// overwrites. Not re-entrant: an exchange waiting for its reply refuses another.
class DeviceLink {
public:
    static constexpr int kSilenceLimit = 50;       // reads without a byte before giving up
    static constexpr int kRepeatPauseMs = 2000;    // after a malformed or missing frame
    static constexpr int kVirtualPortPauseMs = 3000; // silent reply through the virtual COM port
    static constexpr int kStartupPauseMs = 200;
    static inline const QByteArray kStartupParameters = QByteArrayLiteral("482913;20;0;");
    static constexpr int kStartupCommand = 0x88;

    using MessageHook = std::function<void(const QString &message)>;

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
    int SendStartupFrame();
    void SetReplyCount(int n) { m_replyCount = n < 0 ? 0 : n; }
    int ReplyCount() const { return m_replyCount; }
    int RetryCount() const { return m_retryCount; }
    void SetLinkReady(bool ready) { m_rx.setReplyReady(ready); }
    bool LinkReady() const { return m_rx.replyReady(); }

    // Serial port of the registrar. OpenSerial returns false when the port cannot be opened.
    bool OpenSerial(const QString &portName, qint32 baudRate);
    // Why the last OpenSerial failed (a SerialTransport::OpenFailure value) and the
    // system's own words for it.
    int LastOpenFailure() const { return m_openFailure; }
    QString LastOpenError() const { return m_openError; }
    bool CloseSerial();
    bool SerialOpen() const;

    // Any other transport (USB, or a loopback in tests). The link takes it over and is idle.
    void AttachTransport(std::unique_ptr<Transport> transport);
    void DetachTransport();
    Transport *ActiveTransport() const { return m_transport.get(); }

    bool OnVirtualPort() const { return m_onVirtualPort; }
    void SetOnVirtualPort(bool on) { m_onVirtualPort = on; }

    ExchangeLog &Log() { return m_log; }
    void SetMessageHook(MessageHook hook) { m_message = std::move(hook); }

    CommandResult &Result() { return m_result; }
    const ByteReceiver &Receiver() const { return m_rx; }
    SequenceCounter &Sequence() { return m_seq; }
    Clock &clock() { return m_clock; }

    // The shape test of the transaction on a raw reply copy.
    static bool ReplyShapeOk(const QByteArray &raw);

private:
    QByteArray beginExchange(int code, const QByteArray &parameters);
    void waitForReply();
    void message(const QString &text);
    void markNotRun();

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
    bool m_onVirtualPort = false;
    int m_openFailure = 0;
    QString m_openError;
    ExchangeLog m_log;
    MessageHook m_message;
};
