#include "emulator/registrar.h"

#include <QStringEncoder>

namespace emu {

namespace {

constexpr char kNak = 0x15;
constexpr char kSyn = 0x16;
constexpr char kEtx = 0x03;
constexpr int kMaxReplyData = 0xFF - 0x30; // LEN is one byte

QByteArray cp1251(const QString &s)
{
    QStringEncoder enc("windows-1251");
    return enc.isValid() ? QByteArray(enc.encode(s)) : s.toLatin1();
}

// The fields of a parameter string: each closed by ";". A last field without its ";"
// still counts.
QList<QByteArray> fieldsOf(const QByteArray &parameters)
{
    QList<QByteArray> out = parameters.split(';');
    if (!out.isEmpty() && out.last().isEmpty())
        out.removeLast();
    return out;
}

bool allDigits(const QByteArray &s, int length)
{
    if (s.size() != length)
        return false;
    for (char c : s)
        if (c < '0' || c > '9')
            return false;
    return true;
}

} // namespace

Fault Fault::parse(const QString &text, bool *ok)
{
    // [CODE@]KIND[:COUNT[:INTERVAL]], e.g. "syn:5:300", "bursts:2:80", "80@refuse:7:1".
    QString body = text.trimmed().toLower();
    int onlyCode = -1;
    bool codeOk = true;
    const int at = body.indexOf(QLatin1Char('@'));
    if (at >= 0) {
        onlyCode = body.left(at).toInt(&codeOk, 16);
        codeOk = codeOk && at == 2;
        body = body.mid(at + 1);
    }
    const QStringList parts = body.split(QLatin1Char(':'));
    static const QMap<QString, Kind> kinds = {
        {QStringLiteral("none"), None},         {QStringLiteral("silence"), Silence},
        {QStringLiteral("nak"), Nak},           {QStringLiteral("garbage"), Garbage},
        {QStringLiteral("badcheck"), BadCheck}, {QStringLiteral("cut"), CutShort},
        {QStringLiteral("syn"), SynBefore},     {QStringLiteral("bursts"), Bursts},
        {QStringLiteral("late"), Late},         {QStringLiteral("refuse"), Refuse},
        {QStringLiteral("delay"), Delayed},     {QStringLiteral("noise-etx"), NoiseEtx},
        {QStringLiteral("stream"), Stream},
    };
    Fault f;
    bool good = kinds.contains(parts.value(0));
    f.kind = kinds.value(parts.value(0), None);
    if (parts.size() > 1)
        f.count = parts[1].toInt(&good);
    if (good && parts.size() > 2)
        f.intervalMs = parts[2].toInt(&good);
    f.onlyCode = onlyCode;
    if (ok)
        *ok = good && codeOk && parts.size() <= 3 && f.count >= 0 && f.intervalMs >= 0;
    return f;
}

Registrar::Registrar() : Registrar(Options()) {}

Registrar::Registrar(const Options &options) : m_options(options), m_random(1u) {}

void Registrar::setFaultRate(double rate, const QList<Fault> &kinds, quint32 seed)
{
    m_faultRate = rate;
    m_rateKinds = kinds;
    m_random.seed(seed);
}

void Registrar::clearFaults()
{
    m_faults.clear();
    m_faultRate = 0;
    m_rateKinds.clear();
}

Fault Registrar::nextFault(int code)
{
    if (!m_faults.empty() && m_faults.front().onlyCode >= 0 && m_faults.front().onlyCode != code)
        return {};
    if (!m_faults.empty()) {
        Fault f = m_faults.front();
        m_faults.pop_front();
        return f;
    }
    if (m_faultRate > 0 && !m_rateKinds.isEmpty() && m_random.generateDouble() < m_faultRate)
        return m_rateKinds[int(m_random.bounded(quint32(m_rateKinds.size())))];
    return {};
}

QDateTime Registrar::hostNow() const
{
    return m_hostTime.isValid() ? m_hostTime : QDateTime::currentDateTime();
}

QDateTime Registrar::now() const
{
    return hostNow().addSecs(m_clockOffsetSecs);
}

std::array<quint8, 6> Registrar::status() const
{
    if (m_hasStatusOverride) {
        std::array<quint8, 6> s = m_statusOverride;
        for (quint8 &b : s)
            b |= 0x80;
        return s;
    }
    // Every status byte goes out with bit 7 set; byte 2 carries the receipt state.
    return {0x80, 0x80, quint8(0x80 | (m_receiptState & 0x0F)), 0x80, 0x80, 0x80};
}

Registrar::Outcome Registrar::error(int errorClass, int detail) const
{
    Outcome o;
    o.errorWord = QString::asprintf("%02X%02X", detail & 0xFF, errorClass & 0xFF).toLatin1();
    return o;
}

Registrar::Outcome Registrar::execute(const Request &r)
{
    const QList<QByteArray> f = fieldsOf(r.parameters);
    if (f.isEmpty() || f[0] != m_options.password)
        return error(0x06, 0);

    Outcome o;
    switch (r.code) {
    case 0x20: { // date and time: DDMMYY; HHMM;
        if (!allDigits(f.value(1), 6))
            return error(0x03, 2);
        if (!allDigits(f.value(2), 4))
            return error(0x03, 3);
        const QDate d = QDate::fromString(QString::fromLatin1(f[1]), QStringLiteral("ddMMyy")).addYears(100);
        if (!d.isValid())
            return error(0x04, 2);
        const QTime t = QTime::fromString(QString::fromLatin1(f[2]), QStringLiteral("HHmm"));
        if (!t.isValid())
            return error(0x04, 3);
        m_clockOffsetSecs = hostNow().secsTo(QDateTime(d, t));
        break;
    }
    case 0x21: {
        const QDateTime n = now();
        o.data = n.toString(QStringLiteral("ddMMyy")).toLatin1() + ';'
            + n.toString(QStringLiteral("HHmm")).toLatin1() + ';';
        break;
    }
    case 0x28:
        o.data = QByteArray::number(m_options.speed) + ";2;0000;00;32;32;40;";
        break;
    case 0x80: {
        QByteArray d;
        d += cp1251(m_options.model) + ';';                 // 1 model
        d += cp1251(m_options.version) + ';';               // 2 software version
        d += cp1251(m_options.info) + ';';                  // 3 status-bar text
        d += "0;";                                          // 4
        d += "1;";                                          // 5
        d += "0;";                                          // 6
        d += QByteArray::number(m_options.logoMemory) + ';'; // 7 logo memory, bytes
        d += QByteArray::number(m_options.logoWidth) + ';';  // 8 logo width, dots
        d += "0;";                                          // 9
        d += QByteArray::number(m_options.taxGroups) + ';';  // 10 tax groups
        d += QByteArray::number(m_options.paymentForms == 10 ? 0 : m_options.paymentForms) + ';'; // 11
        o.data = d;
        break;
    }
    case 0x88: { // service counter: number; value;
        bool okN = false, okV = false;
        const int n = f.value(1).toInt(&okN);
        const qint64 v = f.value(2).toLongLong(&okV);
        if (!okN)
            return error(0x03, 2);
        if (!okV)
            return error(0x03, 3);
        m_serviceCounters[n] = v;
        break;
    }
    case 0x22: { // header or advertising line: number; text; width flag (0 or 1, may be left out)
        bool ok = false;
        const int line = f.value(1).toInt(&ok);
        if (!ok)
            return error(0x03, 2);
        if (line < 0 || line >= kHeaderLines)
            return error(0x04, 2);
        const QByteArray width = f.value(3, "0");
        if (width != "0" && width != "1")
            return error(0x04, 4);
        m_headerLines[line] = {f.value(2), width == "1"};
        break;
    }
    case 0x23: { // read a header or advertising line: number;
        bool ok = false;
        const int line = f.value(1).toInt(&ok);
        if (!ok)
            return error(0x03, 2);
        if (line < 0 || line >= kHeaderLines)
            return error(0x04, 2);
        o.data = m_headerLines[line].text + ';' + (m_headerLines[line].doubleWidth ? "1;" : "0;");
        break;
    }
    case 0x60: // open a non-fiscal receipt
        if (m_receiptState != kReceiptClosed)
            return error(0x0B, 0);
        m_receiptState = kNonFiscalOpen;
        break;
    case 0x61: // print a text line inside an open receipt
        if (m_receiptState == kReceiptClosed)
            return error(0x0B, 0);
        m_paperTape.append(f.value(1));
        break;
    case 0x62: // close the non-fiscal receipt
        if (m_receiptState != kNonFiscalOpen)
            return error(0x0B, 0);
        m_receiptState = kReceiptClosed;
        break;
    case 0x82: { // sound: melody number
        bool ok = false;
        f.value(1).toInt(&ok);
        if (!ok)
            return error(0x03, 2);
        break;
    }
    default:
        return error(0x02, 0);
    }
    if (o.data.size() > kMaxReplyData)
        o.data.truncate(kMaxReplyData);
    return o;
}

QList<Chunk> Registrar::deliver(const QByteArray &reply, const Fault &fault)
{
    switch (fault.kind) {
    case Fault::Silence:
        return {};
    case Fault::Nak:
        return {Chunk{0, QByteArray(1, kNak)}};
    case Fault::Garbage: {
        QByteArray noise;
        const int n = 12 + int(m_random.bounded(30u));
        for (int i = 0; i < n; ++i)
            noise.append(char(0x20 + m_random.bounded(0x5Fu)));
        return {Chunk{0, noise}};
    }
    case Fault::BadCheck: {
        QByteArray bad = reply;
        const int i = bad.size() - 2; // last check character
        bad[i] = char(bad[i] == '0' ? '1' : '0');
        return {Chunk{0, bad}};
    }
    case Fault::CutShort:
        return {Chunk{0, reply.left(reply.size() / 2) + kEtx}};
    case Fault::SynBefore: {
        QList<Chunk> out;
        for (int i = 0; i < fault.count; ++i)
            out.append(Chunk{i == 0 ? 0 : fault.intervalMs, QByteArray(1, kSyn)});
        out.append(Chunk{fault.count ? fault.intervalMs : 0, reply});
        return out;
    }
    case Fault::Bursts: {
        QList<Chunk> out;
        const int pieces = qMax(1, fault.count);
        const int step = qMax(1, int(reply.size() + pieces - 1) / pieces);
        for (int at = 0; at < reply.size(); at += step)
            out.append(Chunk{at == 0 ? 0 : fault.intervalMs, reply.mid(at, step)});
        return out;
    }
    case Fault::Late: {
        QList<Chunk> out{Chunk{0, reply}};
        for (int i = 0; i < fault.count; ++i)
            out.append(Chunk{fault.intervalMs, reply});
        return out;
    }
    case Fault::Delayed:
        return {Chunk{fault.intervalMs, reply}};
    case Fault::NoiseEtx: {
        QByteArray noise;
        const int n = 4 + int(m_random.bounded(30u));
        for (int i = 0; i < n; ++i)
            noise.append(char(0x20 + m_random.bounded(0x5Fu)));
        return {Chunk{0, noise + kEtx}};
    }
    case Fault::Stream: {
        QList<Chunk> out;
        for (int i = 0; i < fault.count; ++i)
            out.append(Chunk{i == 0 ? 0 : fault.intervalMs, QByteArray(1, char(0x20 + m_random.bounded(0x5Fu)))});
        return out;
    }
    case Fault::Refuse:
    case Fault::None:
        break;
    }
    return {Chunk{0, reply}};
}

QList<Chunk> Registrar::receive(const QByteArray &bytes)
{
    QList<Chunk> out;
    m_parser.feed(bytes);
    while (auto in = m_parser.next()) {
        if (in->kind == Incoming::Rejected) {
            out.append(Chunk{0, QByteArray(1, kNak)});
            continue;
        }
        ++m_framesReceived;
        const Request &r = in->request;
        Fault fault = nextFault(r.code);
        const bool repeat = m_haveLast && r.seq == m_last.seq && r.code == m_last.code
            && r.parameters == m_last.parameters;
        if (fault.kind == Fault::Nak) {
            out.append(deliver({}, fault));
            continue;
        }
        if (fault.kind == Fault::Refuse && repeat)
            fault = {}; // a request already carried out is never refused afterwards
        if (fault.kind == Fault::Refuse) {
            const Outcome o = error(fault.count, fault.intervalMs);
            out.append(Chunk{0, replyFrame(r.seq, r.code, o.errorWord, {}, status())});
            continue;
        }
        QByteArray reply;
        if (repeat) {
            // The same request again: its reply went astray, the work is already done.
            reply = m_lastReply;
            ++m_repeatsAnswered;
        } else {
            const Outcome o = execute(r);
            m_journal.append(Executed{r.code, r.parameters, o.errorWord});
            if (m_journalHook)
                m_journalHook(m_journal.last());
            reply = replyFrame(r.seq, r.code, o.errorWord, o.data, status());
            m_last = r;
            m_lastReply = reply;
            m_haveLast = true;
        }
        out.append(deliver(reply, fault));
    }
    return out;
}

} // namespace emu
