#include "link/device_link.h"

#include "commands/command_catalogue.h"
#include "link/serial_transport.h"

namespace {

QByteArray hexNoPad(int value)
{
    return QByteArray::number(value, 16).toUpper();
}

} // namespace

DeviceLink::DeviceLink(Clock &clock) : m_clock(clock) {}

DeviceLink::~DeviceLink() = default;

void DeviceLink::message(const QString &text)
{
    if (m_message)
        m_message(text);
}

bool DeviceLink::ReplyShapeOk(const QByteArray &raw)
{
    // The shortest reply is 22 bytes; anything shorter cannot have the fixed positions.
    const int n = raw.size();
    if (n < 22)
        return false;
    auto at = [&](int i) { return static_cast<quint8>(raw[i]); };
    if (at(0) != frame::SOH)
        return false;
    if (at(1) < 0x30)
        return false;
    if (at(2) < 0x20 || at(2) > 0x7F)
        return false;
    if (at(3) < 0x20)
        return false;
    if (at(8) != ';')
        return false;
    if (at(n - 1) != frame::ETX)
        return false;
    if (at(n - 6) != frame::ENQ)
        return false;
    return true;
}

QByteArray DeviceLink::beginExchange(int code, const QByteArray &parameters)
{
    m_lastParameters = parameters;
    m_lastCode = code;
    m_result.commandCode = code;
    const quint8 seqByte = m_seq.next();
    m_result.flags = 0;
    m_result.fieldCount = 0;

    m_log.WriteFrameRecord(hexNoPad(seqByte), hexNoPad(code) + parameters);

    m_rx.resetForExchange();
    const QByteArray request = frame::buildRequest(seqByte, static_cast<quint8>(code), parameters);
    m_result.request = request;
    m_result.parameters = parameters;
    m_result.commandName = CommandName(code);
    return request;
}

void DeviceLink::markNotRun()
{
    // Nothing went out, so nothing came back: callers must not take the previous reply's
    // error word for this command's verdict.
    m_result.flags = CommandResult::kNoReplyBit;
    m_result.fieldCount = 0;
    m_result.checksumError = 0;
    m_rx.setReplyReady(true);
}

int DeviceLink::ExchangeFrame(int code, const QByteArray &parameters)
{
    if (!m_rx.replyReady())
        return -1;
    if (code < 0 || code > 0xFF || parameters.size() > frame::kMaxParameterLength) {
        message(QStringLiteral("Строка параметров длиннее %1 байт: команда не отправлена.")
                    .arg(frame::kMaxParameterLength));
        m_result.commandCode = code;
        m_result.request.clear();
        markNotRun();
        return -1;
    }

    const QByteArray request = beginExchange(code, parameters);

    if (!m_transport) {
        message(QStringLiteral("Ошибка выбора устройства подключения!"));
        markNotRun();
        return -1;
    }
    if (!m_transport->sendFrame(request)) {
        markNotRun();
        return -1;
    }

    waitForReply();

    m_rx.clearFrameComplete();
    m_transport->frameEnded();
    reply_parsing::parseReply(m_rx, m_result);

    m_rx.setReplyReady(true);
    m_rx.rewindRawCopy();

    if (m_log.CommentsEnabled()) {
        const int seq = m_rx.receivedSequence() % 95 + 0x20;
        m_log.WriteFrameRecord(hexNoPad(seq) + " SYN=" + QByteArray::number(qint64(m_rx.synCount())),
                               m_result.reply);
    }
    return 0;
}

void DeviceLink::waitForReply()
{
    int silence = 0;
    while (silence < kSilenceLimit) {
        bool exhausted = false;
        // ETX completes the frame; a NAK ends the wait at once.
        while (!m_rx.frameComplete() && !m_rx.replyReady()) {
            quint8 b = 0;
            const Transport::Read r = m_transport->readByte(b);
            if (r == Transport::Read::Byte) {
                silence = 0;
                m_rx.dispatch(b);
                continue;
            }
            if (r == Transport::Read::Error) {
                m_rx.returnToIdle();
            } else if (r == Transport::Read::Exhausted) {
                if (m_rx.lastByte() != frame::ETX)
                    m_rx.returnToIdle();
                exhausted = true;
            }
            break;
        }
        // A finished frame (ready or not) and a used-up buffer both end the wait.
        if (m_rx.replyReady() || m_rx.frameComplete() || exhausted)
            return;
        ++silence;
    }
}

int DeviceLink::ResendLastCommand(bool keepNewSequence)
{
    if (!m_rx.replyReady())
        return -1;
    if (!keepNewSequence)
        m_seq.restore();
    const QByteArray parameters = m_lastParameters;
    return ExchangeFrame(m_lastCode, parameters);
}

CommandResult *DeviceLink::RepeatPreviousCommand(bool keepNewSequence)
{
    if (!m_rx.replyReady())
        return nullptr;
    if (!keepNewSequence)
        m_seq.restore();
    const QByteArray parameters = m_lastParameters;
    return ExecuteCommand(m_lastCode, parameters);
}

CommandResult *DeviceLink::ExecuteCommand(int code, const QByteArray &parameters)
{
    m_rx.setReplyReady(true);
    if (ExchangeFrame(code, parameters) < 0)
        return &m_result;
    for (int i = 1; i <= m_replyCount; ++i) {
        if (!ReplyShapeOk(m_result.reply)) {
            m_clock.sleepMs(kRepeatPauseMs);
            ++m_retryCount;
        } else if (m_result.noReply() && m_onVirtualPort) {
            m_clock.sleepMs(kVirtualPortPauseMs);
        } else {
            break;
        }
        if (ResendLastCommand(false) < 0)
            break;
    }
    return &m_result;
}

int DeviceLink::SendStartupFrame()
{
    if (m_transport && m_transport->kind() == Transport::Kind::Usb)
        return 1;
    if (!m_transport) {
        message(QStringLiteral("Ошибка выбора устройства подключения!"));
        return -1;
    }
    const QByteArray request = beginExchange(kStartupCommand, kStartupParameters);
    // Whatever the registrar answers to the start-up frame is thrown away.
    m_transport->sendFrame(request);
    m_clock.sleepMs(kStartupPauseMs);
    m_transport->purge();
    m_rx.setReplyReady(true);
    return 0;
}

bool DeviceLink::OpenSerial(const QString &portName, qint32 baudRate)
{
    DetachTransport();
    m_retryCount = 0;
    m_rx.setReplyReady(true);
    auto serial = std::make_unique<SerialTransport>();
    if (!serial->open(portName, baudRate)) {
        m_openFailure = int(serial->openFailure());
        m_openError = serial->errorString();
        return false;
    }
    m_openFailure = 0;
    m_openError.clear();
    m_serial = serial.get();
    m_transport = std::move(serial);
    m_log.WriteSessionStart();
    return true;
}

bool DeviceLink::CloseSerial()
{
    if (!m_serial)
        return false;
    SerialTransport *serial = m_serial;
    m_log.WriteSessionEnd();
    m_retryCount = 0;
    const bool closed = serial->close();
    m_serial = nullptr;
    m_transport.reset();
    return closed;
}

bool DeviceLink::SerialOpen() const
{
    return m_serial && m_serial->isOpen();
}

void DeviceLink::AttachTransport(std::unique_ptr<Transport> transport)
{
    DetachTransport();
    m_transport = std::move(transport);
    m_rx.setReplyReady(true);
}

void DeviceLink::DetachTransport()
{
    if (m_serial)
        CloseSerial();
    m_transport.reset();
}
