#include "emulator/registrar.h"

#include "emulator/domains.h"

namespace emu {

namespace {

constexpr char kNak = 0x15;
constexpr char kSyn = 0x16;
constexpr char kEtx = 0x03;
constexpr int kMaxReplyData = 0xFF - 0x30; // LEN is one byte

// Built once: the handlers keep no state of their own, so every registrar shares them.
const HandlerTable &handlers()
{
    static const HandlerTable table = [] {
        HandlerTable t;
        registerAllDomains(t);
        return t;
    }();
    return table;
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

Registrar::Registrar(const Options &options) : m_state(options), m_random(1u) {}

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

std::array<quint8, 6> Registrar::status() const
{
    if (m_hasStatusOverride) {
        std::array<quint8, 6> s = m_statusOverride;
        for (quint8 &b : s)
            b |= 0x80;
        return s;
    }
    // Every status byte goes out with bit 7 set; byte 2 carries the receipt state and
    // the return-receipt bit.
    const quint8 receipt = quint8((m_state.receiptState & 0x0F) | (m_state.receiptIsReturn ? 0x10 : 0));
    return {0x80, 0x80, quint8(0x80 | receipt), 0x80, 0x80, 0x80};
}

Outcome Registrar::execute(const Request &r)
{
    const Fields f = fieldsOf(r.parameters);
    if (f.isEmpty() || f[0] != m_state.options.password)
        return refuse(errorClass::password);
    const Handler handler = handlers().find(r.code);
    if (!handler)
        return refuse(errorClass::protocol); // no command with that code
    // A field more than the command takes is a malformed request, not one to guess at.
    if (const int taken = handlers().fields(r.code); f.size() > taken)
        return refuse(errorClass::fieldFormat, taken + 1);
    Outcome o = handler(m_state, f);
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
            const Outcome o = refuse(fault.count, fault.intervalMs);
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
