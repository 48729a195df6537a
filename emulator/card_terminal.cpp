#include "emulator/card_terminal.h"

namespace emu {

namespace {

constexpr char kStx = 0x02;
constexpr char kAck = 0x06;
constexpr char kNak = 0x15;
constexpr char kCardRequest = 0x12;
constexpr char kFs = 0x1C;

QByteArray framed(const QByteArray &payload)
{
    const int n = int(qMin<qsizetype>(payload.size(), 0xFFFF));
    return QByteArray(1, char(n >> 8)) + char(n & 0xFF) + payload.left(n);
}

QByteArray joined(const QList<QByteArray> &fields)
{
    QByteArray out;
    for (const QByteArray &f : fields) {
        if (!out.isEmpty())
            out += kFs;
        out += f;
    }
    return out;
}

} // namespace

bool CardTerminal::parseFault(const QString &text, Fault &fault)
{
    static const QList<QPair<QString, Fault>> names = {
        {QStringLiteral("none"), Fault::None},
        {QStringLiteral("no-ack"), Fault::NoAck},
        {QStringLiteral("wrong-ack"), Fault::WrongAck},
        {QStringLiteral("silent"), Fault::Silent},
        {QStringLiteral("long"), Fault::LongReply},
        {QStringLiteral("long-purchase"), Fault::LongPurchase},
        {QStringLiteral("missing-tags"), Fault::MissingTags},
        {QStringLiteral("declined"), Fault::Declined},
    };
    for (const auto &n : names)
        if (n.first == text) {
            fault = n.second;
            return true;
        }
    return false;
}

QByteArray CardTerminal::field(const QByteArray &payload, const QByteArray &tag, bool *found)
{
    QByteArray body = payload;
    if (body.startsWith(kStx))
        body.remove(0, 1);
    for (const QByteArray &f : body.split(kFs))
        if (f.startsWith(tag + '=')) {
            if (found)
                *found = true;
            return f.mid(tag.size() + 1);
        }
    if (found)
        *found = false;
    return QByteArray();
}

QList<Chunk> CardTerminal::receive(const QByteArray &bytes)
{
    m_input += bytes;
    QList<Chunk> out;
    while (m_input.size() >= 2) {
        const int length = (quint8(m_input[0]) << 8) | quint8(m_input[1]);
        if (m_input.size() < 2 + length)
            break;
        const QByteArray payload = m_input.mid(2, length);
        m_input.remove(0, 2 + length);
        m_received.append(payload);
        if (m_journalHook)
            m_journalHook(payload);
        out += answer(payload);
    }
    return out;
}

QList<Chunk> CardTerminal::answer(const QByteArray &payload)
{
    if (payload == QByteArray(1, kCardRequest))
        return cardReply();
    if (payload.startsWith(kStx))
        return purchaseReply(payload);
    return {}; // the program's acknowledgements, and anything the terminal does not know
}

QList<Chunk> CardTerminal::cardReply()
{
    switch (m_fault) {
    case Fault::NoAck:
        return {};
    case Fault::WrongAck:
        return {{0, framed(QByteArray(1, kNak))}};
    default:
        break;
    }
    QList<QByteArray> fields;
    if (m_fault != Fault::MissingTags)
        fields << "00=" + m_options.token << "01=" + m_options.cardNumber;
    fields << "02=" + m_options.holder << "04=" + m_options.brand;
    if (m_fault == Fault::LongReply)
        fields << "99=" + QByteArray(1200, 'X');
    return {{0, framed(QByteArray(1, kAck))}, {m_options.cardDelayMs, framed(joined(fields))}};
}

QList<Chunk> CardTerminal::purchaseReply(const QByteArray &request)
{
    if (m_fault == Fault::Silent)
        return {};
    QList<Chunk> out;
    if (m_options.acknowledgePurchase)
        out.append({0, framed(QByteArray(1, kAck))});

    bool amountFound = false;
    const QByteArray amount = field(request, "05", &amountFound);
    bool amountOk = amountFound && !amount.isEmpty();
    for (char c : amount)
        amountOk = amountOk && c >= '0' && c <= '9';
    const bool approved = m_fault != Fault::Declined && amountOk && amount.toLongLong() > 0
                          && field(request, "00") == m_options.token && field(request, "52") == "980"
                          && field(request, "53") == "UAH";
    QList<QByteArray> fields{"00=" + m_options.token};
    if (approved) {
        ++m_charges;
        fields << "39=00" << "58=" + QByteArray::number(700000 + m_charges).rightJustified(12, '0');
    } else {
        fields << "39=05";
    }
    if (m_fault == Fault::LongPurchase)
        fields << "99=" + QByteArray(1200, 'X');
    out.append({0, framed(joined(fields))});
    return out;
}

} // namespace emu
