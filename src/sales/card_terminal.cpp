#include "sales/card_terminal.h"

#include "app/prompter.h"

#include <QElapsedTimer>

namespace card_protocol {

QByteArray message(QByteArrayView payload)
{
    const auto n = quint16(qMin<qsizetype>(payload.size(), 0xFFFF));
    QByteArray out;
    out.reserve(n + 2);
    out.append(char(n >> 8));
    out.append(char(n & 0xFF));
    out.append(payload.first(n));
    return out;
}

Take takeMessage(QByteArray &stream, QByteArray &payload, qsizetype &skip)
{
    const qsizetype dropped = qMin(skip, stream.size());
    stream.remove(0, dropped);
    skip -= dropped;
    if (skip > 0 || stream.size() < 2)
        return Take::Incomplete;
    const qsizetype length = (quint8(stream[0]) << 8) | quint8(stream[1]);
    if (length > kMaxReply) {
        if (stream.size() < 2 + kMaxReply)
            return Take::Incomplete;
        payload = stream.mid(2, kMaxReply);
        const qsizetype whole = 2 + length;
        skip = qMax<qsizetype>(0, whole - stream.size());
        stream.remove(0, qMin(whole, stream.size()));
        return Take::Cut;
    }
    if (stream.size() < 2 + length)
        return Take::Incomplete;
    payload = stream.mid(2, length);
    stream.remove(0, 2 + length);
    return Take::Whole;
}

std::optional<QByteArray> tagValue(QByteArrayView payload, QByteArrayView tag)
{
    if (tag.size() != 2)
        return std::nullopt;
    const qsizetype zero = payload.indexOf('\0');
    if (zero >= 0)
        payload = payload.first(zero);
    qsizetype field = !payload.isEmpty() && payload[0] == kStx ? 1 : 0;
    while (field <= payload.size()) {
        qsizetype end = payload.indexOf(kFs, field);
        if (end < 0)
            end = payload.size();
        const QByteArrayView f = payload.sliced(field, end - field);
        if (f.size() >= 3 && f.first(2) == tag && f[2] == '=')
            return f.sliced(3).toByteArray();
        field = end + 1;
    }
    return std::nullopt;
}

std::optional<qint64> amountCents(const QString &typed)
{
    const QString t = typed.trimmed();
    const qsizetype point = t.indexOf(QLatin1Char('.'));
    const QString whole = point < 0 ? t : t.left(point);
    const QString fraction = point < 0 ? QString() : t.mid(point + 1);
    auto digits = [](const QString &s) {
        for (QChar c : s)
            if (c < QLatin1Char('0') || c > QLatin1Char('9'))
                return false;
        return true;
    };
    if (whole.isEmpty() || whole.size() > 9 || !digits(whole))
        return std::nullopt;
    if (point >= 0 && (fraction.isEmpty() || fraction.size() > 2 || !digits(fraction)))
        return std::nullopt;
    const qint64 cents = whole.toLongLong() * 100 + (fraction + QStringLiteral("00")).left(2).toLongLong();
    if (cents <= 0)
        return std::nullopt;
    return cents;
}

QString amountText(qint64 cents)
{
    return QString::number(cents / 100) + QLatin1Char('.')
           + QString::number(cents % 100).rightJustified(2, QLatin1Char('0'));
}

QByteArray purchaseRequest(QByteArrayView tag00, qint64 cents)
{
    QByteArray p;
    p += kStx;
    p += "00=";
    p += tag00;
    p += kFs;
    p += "03=S";
    p += kFs;
    p += "05=" + QByteArray::number(cents);
    p += kFs;
    p += "52=980";
    p += kFs;
    p += "53=UAH";
    p += kFs;
    p += "61=1";
    return p;
}

QByteArray maskedCardNumber(QByteArrayView tag01)
{
    QByteArray number = tag01.toByteArray();
    if (number.size() > 4)
        number.insert(4, ' ');
    return "**** **** " + number;
}

} // namespace card_protocol

bool CardTerminal::open(const QString &portName, QString &failure)
{
    close();
    m_port.setPortName(portName);
    // QSerialPort opens the device exclusively.
    if (portName.isEmpty() || !m_port.open(QIODevice::ReadWrite)) {
        failure = QStringLiteral("Неверный HANDLE порта!");
        return false;
    }
    if (!m_port.setBaudRate(QSerialPort::Baud9600) || !m_port.setDataBits(QSerialPort::Data8)
        || !m_port.setParity(QSerialPort::NoParity) || !m_port.setStopBits(QSerialPort::OneStop)) {
        failure = QStringLiteral("Неверный результат SetCommState!");
        close();
        return false;
    }
    // Bytes left from an exchange given up earlier would be read as this one's.
    m_port.clear();
    return true;
}

void CardTerminal::close()
{
    if (m_port.isOpen())
        m_port.close();
    m_stream.clear();
    m_skip = 0;
}

bool CardTerminal::send(QByteArrayView payload)
{
    const QByteArray bytes = card_protocol::message(payload);
    if (m_port.write(bytes) != bytes.size())
        return false;
    // Out before the wait for the answer begins.
    while (m_port.bytesToWrite() > 0)
        if (!m_port.waitForBytesWritten(1000))
            return false;
    return true;
}

CardTerminal::Read CardTerminal::readMessage(QByteArray &payload, int firstLimitMs, int restLimitMs,
                                             const QString &waitText)
{
    using card_protocol::Take;
    QElapsedTimer clock;
    clock.start();
    m_prompter.beginWait(waitText, firstLimitMs);
    struct EndWait {
        Prompter &p;
        ~EndWait() { p.endWait(); }
    } endWait{m_prompter};

    bool started = false;
    qint64 deadline = firstLimitMs;
    for (;;) {
        m_stream += m_port.readAll();
        switch (card_protocol::takeMessage(m_stream, payload, m_skip)) {
        case Take::Whole:
            return Read::Ok;
        case Take::Cut:
            return Read::Cut;
        case Take::Incomplete:
            break;
        }
        // Once a message has begun, the rest has its own limit whatever was left of the first.
        if (!started && !m_stream.isEmpty()) {
            started = true;
            deadline = clock.elapsed() + restLimitMs;
        }
        const qint64 left = deadline - clock.elapsed();
        if (left <= 0)
            return Read::Timeout;
        if (m_prompter.waitCancelled(int(qMin<qint64>(clock.elapsed(), INT_MAX))))
            return Read::Cancelled;
        if (!m_port.waitForReadyRead(int(qMin<qint64>(left, 100)))) {
            const auto e = m_port.error();
            if (e != QSerialPort::NoError && e != QSerialPort::TimeoutError)
                return Read::PortError;
            m_port.clearError();
        }
    }
}
