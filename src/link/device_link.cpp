#include "link/device_link.h"

#include "link/code_page.h"
#include "link/serial_transport.h"

#include <QRandomGenerator>

namespace {

DeviceLink::SequenceStart &sequenceStartSource()
{
    static DeviceLink::SequenceStart source;
    return source;
}

QByteArray hexNoPad(int value)
{
    return QByteArray::number(value, 16).toUpper();
}

} // namespace

DeviceLink::DeviceLink(Clock &clock) : m_clock(clock) {}

void DeviceLink::setSequenceStart(SequenceStart start)
{
    sequenceStartSource() = std::move(start);
}

quint8 DeviceLink::sequenceStart()
{
    if (const SequenceStart &source = sequenceStartSource())
        return quint8(source() % 95);
    return quint8(QRandomGenerator::system()->bounded(95));
}

void DeviceLink::startSequence()
{
    quint8 start = sequenceStart();
    // Within one process the last SEQ is known: the new connection's first request never
    // repeats it.
    if (m_requestSeq != 0 && frame::sequenceByte(quint8(start + 1)) == m_requestSeq)
        start = quint8((start + 1) % 95);
    m_seq.start(start);
}

DeviceLink::~DeviceLink() = default;

void DeviceLink::message(const QString &text)
{
    if (m_message)
        m_message(text);
}

bool DeviceLink::replyShapeOk(const QByteArray &raw)
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
    m_requestSeq = seqByte;
    m_result.flags = 0;
    m_result.fieldCount = 0;

    m_log.writeFrameRecord(hexNoPad(seqByte), hexNoPad(code) + parameters);

    m_rx.resetForExchange();
    const QByteArray request = frame::buildRequest(seqByte, static_cast<quint8>(code), parameters);
    m_result.request = request;
    m_result.parameters = parameters;
    m_result.commandName = m_namer ? m_namer(code) : QString();
    return request;
}

void DeviceLink::markNotRun()
{
    // Nothing went out, so nothing came back: callers must not take the previous reply's
    // error word or frame for this command's.
    m_result.flags = CommandResult::kNoReplyBit;
    m_result.fieldCount = 0;
    m_result.checksumError = 0;
    m_result.reply.clear();
    m_rx.setReplyReady(true);
}

bool DeviceLink::cancelRequested() const
{
    return m_cancel.load() || (m_interrupt && m_interrupt());
}

bool DeviceLink::pause(int ms)
{
    // In slices, so that an interruption does not wait out a whole repeat pause.
    constexpr int kSliceMs = 100;
    for (int left = ms; left > 0; left -= kSliceMs) {
        if (cancelRequested())
            return false;
        m_clock.sleepMs(qMin(left, kSliceMs));
    }
    return !cancelRequested();
}

int DeviceLink::ExchangeFrame(int code, const QByteArray &parameters)
{
    if (!m_rx.replyReady())
        return -1;
    auto refuse = [&](const QString &text) {
        if (!text.isEmpty())
            message(text);
        m_result.commandCode = code;
        m_result.request.clear();
        markNotRun();
        return -1;
    };
    // Codes below 0x20 are the frame's own control bytes (SOH, ETX, ...); they never go
    // into the command position.
    if (code < kLowestCode || code > kHighestCode)
        return refuse(QStringLiteral("Код команды должен быть от 20h до FFh: команда не отправлена."));
    if (parameters.size() > frame::kMaxParameterLength)
        return refuse(QStringLiteral("Строка параметров длиннее %1 байт: команда не отправлена.")
                          .arg(frame::kMaxParameterLength));
    if (cancelRequested()) {
        m_waitEnd = WaitEnd::Cancelled;
        return refuse(QString());
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

    m_waitEnd = waitForReply();

    m_rx.clearFrameComplete();
    m_transport->frameEnded();
    reply_parsing::parseReply(m_rx, m_result);

    m_rx.setReplyReady(true);
    logReply();
    m_rx.rewindRawCopy();
    return 0;
}

bool DeviceLink::belongsToRequest() const
{
    // The registrar echoes both the command code and the SEQ of the request it answers.
    return m_rx.frameHeaderSeen() && m_rx.receivedCommand() == quint8(m_lastCode)
        && quint8(m_rx.receivedSequence() + 0x20) == m_requestSeq;
}

void DeviceLink::logReply()
{
    if (!m_log.commentsEnabled())
        return;
    QByteArray label = hexNoPad(m_requestSeq) + " SYN=" + QByteArray::number(qint64(m_rx.synCount()));
    if (m_result.noReply()) {
        // What came for this exchange, marked as no reply: never an earlier reply's copy.
        QString why = QStringLiteral(" нет ответа");
        switch (m_waitEnd) {
        case WaitEnd::NoFrame:
            why += QStringLiteral(": %1 с без кадра").arg(m_noFrameLimitMs / 1000.0);
            break;
        case WaitEnd::SynLimit:
            why += QStringLiteral(": SYN дольше %1 с").arg(m_synLimitMs / 1000.0);
            break;
        case WaitEnd::Cancelled:
            why += QStringLiteral(": прервано");
            break;
        case WaitEnd::Lost:
            why += QStringLiteral(": связь с устройством потеряна");
            break;
        default:
            break;
        }
        label += code_page::toDevice(why);
    }
    m_log.writeFrameRecord(label, m_result.reply);
}

DeviceLink::WaitEnd DeviceLink::waitForReply()
{
    const qint64 start = m_clock.nowMs();
    qint64 aliveSince = start; // the request, or the last SYN
    int silence = 0;
    for (;;) {
        if (cancelRequested())
            return WaitEnd::Cancelled;
        const qint64 now = m_clock.nowMs();
        if (now - start >= m_synLimitMs)
            return WaitEnd::SynLimit;
        if (now - aliveSince >= m_noFrameLimitMs)
            return WaitEnd::NoFrame;

        quint8 b = 0;
        const Transport::Read r = m_transport->readByte(b);
        if (r == Transport::Read::Byte) {
            silence = 0;
            m_rx.dispatch(b);
            if (b == frame::SYN)
                aliveSince = m_clock.nowMs();
            if (m_rx.replyReady() && !m_rx.nakReceived() && !belongsToRequest()) {
                // Another command's reply, or noise closed by ETX: not this command's
                // answer. Note it and keep waiting.
                if (m_log.commentsEnabled()) {
                    QByteArray raw = m_rx.rawCopy();
                    raw.replace('\n', ' ').replace('\r', ' ');
                    const QString what = m_rx.frameHeaderSeen()
                        ? QStringLiteral("чужой кадр отброшен (команда %1): ")
                              .arg(QString::fromLatin1(hexNoPad(m_rx.receivedCommand())))
                        : QStringLiteral("байты без кадра отброшены: ");
                    m_log.writeComment(hexNoPad(m_requestSeq) + ' ' + code_page::toDevice(what) + raw);
                }
                m_rx.dropFrame();
                continue;
            }
            // A NAK, this command's frame, or a frame spoilt after its check characters.
            if (m_rx.replyReady() || m_rx.frameComplete())
                return WaitEnd::Reply;
            continue;
        }
        if (m_transport->lost())
            return WaitEnd::Lost;
        if (r == Transport::Read::Error) {
            m_rx.returnToIdle();
        } else if (r == Transport::Read::Exhausted) {
            if (m_rx.lastByte() != frame::ETX)
                m_rx.returnToIdle();
            return WaitEnd::Exhausted;
        }
        if (++silence >= kSilenceLimit)
            return WaitEnd::Silence;
    }
}

void DeviceLink::watchForLoss()
{
    m_transport->setLostHandler([this](const QString &why) {
        if (m_lostHook)
            m_lostHook(why);
    });
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
        // An interruption ends the transaction; a registrar still busy after the SYN
        // limit would only make a repeat wait as long again.
        if (m_waitEnd == WaitEnd::Cancelled || m_waitEnd == WaitEnd::SynLimit || m_waitEnd == WaitEnd::Lost)
            break;
        const bool linkFault = m_result.flags
            & (CommandResult::kNoReplyBit | CommandResult::kNakBit | CommandResult::kChecksumBit);
        if (m_result.noReply() && m_onVirtualPort) {
            if (!pause(kVirtualPortPauseMs))
                break;
        } else if (linkFault || !replyShapeOk(m_result.reply)) {
            // Silence, NAK, a cut or corrupted frame: the same request again, same SEQ.
            if (!pause(kRepeatPauseMs))
                break;
            ++m_retryCount;
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
    if (cancelRequested())
        return -1;
    // Whatever the registrar answers to the start-up frame is thrown away.
    return ExecuteCommand(kStartupCommand, kStartupParameters)->noReply() ? -1 : 0;
}

bool DeviceLink::OpenSerial(const QString &portName, qint32 baudRate)
{
    detachTransport();
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
    startSequence();
    watchForLoss();
    m_log.writeSessionStart();
    return true;
}

bool DeviceLink::CloseSerial()
{
    if (!m_serial)
        return false;
    SerialTransport *serial = m_serial;
    m_log.writeSessionEnd();
    m_retryCount = 0;
    const bool closed = serial->close();
    m_serial = nullptr;
    m_transport.reset();
    return closed;
}

bool DeviceLink::serialOpen() const
{
    return m_serial && m_serial->isOpen();
}

void DeviceLink::attachTransport(std::unique_ptr<Transport> transport)
{
    detachTransport();
    m_transport = std::move(transport);
    startSequence();
    watchForLoss();
    m_rx.setReplyReady(true);
}

void DeviceLink::detachTransport()
{
    if (m_serial)
        CloseSerial();
    m_transport.reset();
}
