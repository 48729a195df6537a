#include "commands/exchange_log_reader.h"

#include "commands/command_catalogue.h"
#include "commands/status_bytes.h"
#include "commands/verdict.h"
#include "link/byte_receiver.h"
#include "link/code_page.h"
#include "link/command_result.h"
#include "link/device_link.h"
#include "link/frame.h"

#include <QIODevice>

namespace {

// What the link writes, in the registrar's code page as in the file.
const QByteArray &sessionStartPrefix()
{
    static const QByteArray p = code_page::toDevice(QStringLiteral(";Начало сеанса"));
    return p;
}
const QByteArray &sessionEndPrefix()
{
    static const QByteArray p = code_page::toDevice(QStringLiteral(";Конец Сеанса"));
    return p;
}
const QByteArray &noReplyMark()
{
    static const QByteArray p = code_page::toDevice(QStringLiteral(" нет ответа"));
    return p;
}

constexpr int kStampLength = 19; // " 9-12-2026 14:03:07"
constexpr int kShownJunk = 120;  // bytes of an unreadable line kept for the user
constexpr int kMaxReply = 2 * ByteReceiver::kRawCapacity;

bool isHex(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
}

// A time-stamped comment line and what its label says.
struct Comment {
    enum Kind { None, Request, Reply, Note } kind = None;
    QDateTime time;
    int sequence = -1;
    long syn = -1;
    QByteArray rest; // of a reply label after the SYN count; of a note after the SEQ
};

Comment parseComment(const QByteArray &line)
{
    Comment c;
    if (!line.startsWith(';') || line.size() < 1 + kStampLength + 3 || line.mid(1 + kStampLength, 2) != "  ")
        return c;
    c.time = exchange_log_reading::parseStamp(line.mid(1, kStampLength));
    if (!c.time.isValid())
        return c;
    const QByteArray label = line.mid(1 + kStampLength + 2);
    int n = 0;
    while (n < label.size() && n < 2 && isHex(label[n]))
        ++n;
    if (n == 0)
        return c;
    bool ok = false;
    c.sequence = label.left(n).toInt(&ok, 16);
    const QByteArray rest = label.mid(n);
    if (rest.isEmpty()) {
        c.kind = Comment::Request;
    } else if (rest.startsWith(" SYN=")) {
        int d = 5;
        while (d < rest.size() && d < 5 + 18 && rest[d] >= '0' && rest[d] <= '9')
            ++d;
        if (d == 5)
            return c;
        c.syn = rest.mid(5, d - 5).toLong(&ok);
        if (!ok)
            return c;
        c.rest = rest.mid(d);
        c.kind = Comment::Reply;
    } else if (rest.startsWith(' ')) {
        c.rest = rest.mid(1);
        c.kind = Comment::Note;
    }
    return c;
}

// A request line: the code as two hexadecimal digits, then the parameters as sent.
bool parseRequest(const QByteArray &line, int &code, QByteArray &parameters)
{
    if (line.size() < 2 || !isHex(line[0]) || !isHex(line[1]))
        return false;
    const int c = line.left(2).toInt(nullptr, 16);
    if (c < 0x20)
        return false;
    for (int i = 2; i < line.size(); ++i)
        if (quint8(line[i]) < 0x20)
            return false;
    code = c;
    parameters = line.mid(2);
    return true;
}

bool isSessionLine(const QByteArray &line)
{
    return line.startsWith(sessionStartPrefix()) || line.startsWith(sessionEndPrefix());
}

// A line that starts a record of its own, or a session line.
bool startsRecord(const QByteArray &line)
{
    return isSessionLine(line) || parseComment(line).kind != Comment::None;
}

// A line that fits nowhere in a log.
bool isJunk(const QByteArray &line)
{
    if (startsRecord(line))
        return false;
    int code = 0;
    QByteArray parameters;
    return line.startsWith(';') || !parseRequest(line, code, parameters);
}

QString shown(const QByteArray &bytes)
{
    QByteArray b = bytes.left(kShownJunk);
    for (char &c : b)
        if (quint8(c) < 0x20)
            c = '.';
    return code_page::fromDevice(b) + (bytes.size() > kShownJunk ? QStringLiteral("…") : QString());
}

// A logged reply still waiting for the rest of its bytes: a frame whose data held a line
// feed is split over two lines of the file.
bool frameWantsMore(const QByteArray &raw)
{
    if (raw.size() < 2 || quint8(raw[0]) != frame::SOH || quint8(raw[1]) < 0x30)
        return false;
    const int expected = quint8(raw[1]) - 0x30 + 22;
    return raw.size() < expected && !raw.endsWith(char(frame::ETX));
}

} // namespace

namespace exchange_log_reading {

QDateTime parseStamp(const QByteArray &stamp)
{
    if (stamp.size() != kStampLength)
        return QDateTime();
    // "%2d-%02d-%4d %2d:%02d:%02d": day and hour padded with a blank.
    const QString s = QString::fromLatin1(stamp);
    auto num = [&](int at, int len, bool blankPadded) {
        int v = 0;
        for (int i = at; i < at + len; ++i) {
            const QChar c = s[i];
            if (c == QLatin1Char(' ') && blankPadded && i == at)
                continue;
            if (!c.isDigit() || c.unicode() > '9')
                return -1;
            v = v * 10 + (c.unicode() - '0');
        }
        return v;
    };
    if (s[2] != QLatin1Char('-') || s[5] != QLatin1Char('-') || s[10] != QLatin1Char(' ') || s[13] != QLatin1Char(':')
        || s[16] != QLatin1Char(':'))
        return QDateTime();
    const QDate date(num(6, 4, false), num(3, 2, false), num(0, 2, true));
    const QTime time(num(11, 2, true), num(14, 2, false), num(17, 2, false));
    if (!date.isValid() || !time.isValid())
        return QDateTime();
    // A wall-clock reading as the log holds it: kept without a time zone (no zone lookup
    // per line) and shown back as written.
    return QDateTime(date, time, Qt::UTC);
}

} // namespace exchange_log_reading

QString LoggedExchange::commandText() const
{
    if (code < 0)
        return QString();
    QString name;
    QString templ;
    if (CommandEntry(code, name, templ))
        return name;
    return QStringLiteral("Команда %1h").arg(QString::asprintf("%02X", code));
}

QString LoggedExchange::parametersText() const
{
    return code_page::fromDevice(parameters);
}

QString LoggedExchange::statusText() const
{
    if (!hasStatus)
        return QString();
    QStringList bytes;
    for (quint8 b : status)
        bytes << QStringLiteral("%1").arg(b, 2, 16, QLatin1Char('0')).toUpper();
    return bytes.join(QLatin1Char(' '));
}

QString LoggedExchange::receiptStage() const
{
    return hasStatus ? status_bytes::receiptStateText(status_bytes::receiptState(status[2])) : QString();
}

QStringList LoggedExchange::fieldTexts() const
{
    QStringList out;
    for (const QByteArray &f : fields)
        out << code_page::fromDevice(f);
    return out;
}

QString LoggedExchange::outcomeText() const
{
    switch (outcome) {
    case Outcome::Success: return QStringLiteral("OK");
    case Outcome::RegistrarError: return QStringLiteral("Ошибка");
    case Outcome::NoReply: return QStringLiteral("Нет ответа");
    case Outcome::Nak: return QStringLiteral("NAK");
    case Outcome::ChecksumMismatch: return QStringLiteral("Контрольная сумма");
    case Outcome::Unlogged: return QStringLiteral("Ответ не записан");
    case Outcome::Damaged: return QStringLiteral("Повреждено");
    }
    return QString();
}

QString LoggedExchange::verdictText() const
{
    QString word = code_page::fromDevice(errorWord);
    if (outcome == Outcome::Success)
        return word;
    QString text = message;
    text.replace(QLatin1Char('\n'), QLatin1Char(' '));
    text = text.simplified();
    if (outcome == Outcome::RegistrarError)
        return text.isEmpty() ? word : word + QStringLiteral(" ") + text;
    return text;
}

QString LoggedExchange::searchText() const
{
    QStringList all = {commandText(), parametersText(), verdictText(), statusText(), receiptStage(),
                       outcomeText()};
    all += fieldTexts();
    all += notes;
    if (code >= 0)
        all << QStringLiteral("%1").arg(code, 2, 16, QLatin1Char('0')).toUpper();
    return all.join(QLatin1Char('\t'));
}

ExchangeLogReader::ExchangeLogReader(QIODevice &device) : m_device(device) {}

void ExchangeLogReader::seek(qint64 offset, int line, const QDateTime &sessionStart)
{
    m_device.seek(offset);
    m_line = line - 1;
    m_haveUnread = false;
    m_session = sessionStart;
    m_lastSequence = -1;
    m_lastCode = -1;
    m_lastParameters.clear();
}

bool ExchangeLogReader::readLine(Line &line)
{
    if (m_haveUnread) {
        line = m_unread;
        m_haveUnread = false;
        return true;
    }
    if (m_device.atEnd())
        return false;
    line.offset = m_device.pos();
    line.text = m_device.readLine(kMaxLine + 1);
    if (line.text.isEmpty() && m_device.atEnd())
        return false;
    line.number = ++m_line;
    line.cut = false;
    if (line.text.endsWith('\n')) {
        line.text.chop(1);
    } else {
        // Over-long (the rest of it up to its end is skipped), or the file ends inside it.
        line.cut = true;
        char c = 0;
        while (m_device.getChar(&c) && c != '\n') {
        }
    }
    // A log written on a system that ends lines with CR LF.
    if (line.text.endsWith('\r'))
        line.text.chop(1);
    return true;
}

void ExchangeLogReader::unread(const Line &line)
{
    m_unread = line;
    m_haveUnread = true;
}

void ExchangeLogReader::emitDamaged(LoggedExchange &out, const Line &first, const QString &why)
{
    out = LoggedExchange();
    out.offset = first.offset;
    out.line = first.number;
    out.time = m_session;
    out.timeFromSession = true;
    out.outcome = LoggedExchange::Outcome::Damaged;
    int count = 1;
    Line l;
    while (readLine(l)) {
        if (!isJunk(l.text)) {
            unread(l);
            break;
        }
        ++count;
    }
    out.message = count == 1 ? QStringLiteral("%1 (строка %2)").arg(why).arg(first.number)
                             : QStringLiteral("%1 (строки %2-%3)").arg(why).arg(first.number).arg(first.number + count - 1);
    out.notes << shown(first.text);
}

bool ExchangeLogReader::readRequestText(LoggedExchange &x, const Line &comment)
{
    Line t;
    if (!readLine(t) || startsRecord(t.text)) {
        if (t.number > comment.number)
            unread(t);
        x.outcome = LoggedExchange::Outcome::Damaged;
        x.message = QStringLiteral("Нет строки запроса");
        return false;
    }
    if (!parseRequest(t.text, x.code, x.parameters)) {
        x.outcome = LoggedExchange::Outcome::Damaged;
        x.message = QStringLiteral("Нераспознанная строка запроса");
        x.notes << shown(t.text);
        return false;
    }
    // Parameters that held a line feed go on over the next lines, up to the next record.
    if (continueText(x.parameters, t.cut, [&] { return x.parameters.size() < frame::kMaxParameterLength; }))
        x.notes << QStringLiteral("Строка запроса оборвана");
    return true;
}

bool ExchangeLogReader::continueText(QByteArray &text, bool cut, const std::function<bool()> &wantsMore)
{
    Line more;
    while (wantsMore() && readLine(more)) {
        if (startsRecord(more.text)) {
            unread(more);
            break;
        }
        text += '\n' + more.text;
        cut = more.cut;
    }
    return cut;
}

void ExchangeLogReader::readReplyText(LoggedExchange &x, const QByteArray &labelRest)
{
    using Outcome = LoggedExchange::Outcome;
    const int at = labelRest.indexOf(noReplyMark());
    const bool noReply = at >= 0;
    if (noReply) {
        QString why = code_page::fromDevice(labelRest.mid(at + noReplyMark().size()));
        if (why.startsWith(QLatin1Char(':')))
            why = why.mid(1).trimmed();
        if (!why.isEmpty())
            x.notes << why;
    }

    Line t;
    bool missing = !readLine(t);
    if (!missing && startsRecord(t.text)) {
        unread(t);
        missing = true;
    }
    if (missing && !noReply) {
        x.outcome = Outcome::Damaged;
        x.message = QStringLiteral("Запись ответа оборвана");
        return;
    }
    if (!missing) {
        x.reply = t.text;
        if (continueText(x.reply, t.cut, [&] { return frameWantsMore(x.reply) && x.reply.size() < kMaxReply; }))
            x.notes << QStringLiteral("Строка ответа оборвана");
    }

    // The reply judged as the link judged it when it came: the receiver takes the bytes
    // up to the end of the frame, and the verdict decides.
    ByteReceiver rx;
    rx.resetForExchange();
    for (char c : x.reply) {
        rx.dispatch(quint8(c));
        if (rx.replyReady() || rx.frameComplete())
            break;
    }
    CommandResult r;
    r.commandCode = x.code >= 0 ? x.code : rx.receivedCommand();
    reply_parsing::parseReply(rx, r);
    if (noReply || x.reply.isEmpty())
        r.flags = CommandResult::kNoReplyBit;
    const Verdict v = Verdict::of(r);

    if (noReply && !x.reply.isEmpty())
        x.notes << QStringLiteral("Получено: ") + shown(x.reply);
    if (!noReply && !x.reply.isEmpty() && !rx.replyReady()) {
        x.outcome = Outcome::Damaged;
        x.message = QStringLiteral("Ответ записан не полностью");
        return;
    }
    switch (v.kind) {
    case Verdict::Kind::Success: x.outcome = Outcome::Success; break;
    case Verdict::Kind::RegistrarError: x.outcome = Outcome::RegistrarError; break;
    case Verdict::Kind::Nak: x.outcome = Outcome::Nak; break;
    case Verdict::Kind::ChecksumMismatch: x.outcome = Outcome::ChecksumMismatch; break;
    default: x.outcome = Outcome::NoReply; break;
    }
    x.message = v.message;
    if (v.replied()) {
        x.errorWord = r.errorWord;
        x.hasStatus = true;
        x.status = r.status;
        for (int i = 0; i < r.fieldCount; ++i)
            x.fields << r.field(i);
        if (x.code >= 0 && rx.receivedCommand() != quint8(x.code))
            x.notes << QStringLiteral("Ответ на команду %1h").arg(QString::asprintf("%02X", rx.receivedCommand()));
    }
}

bool ExchangeLogReader::next(LoggedExchange &out)
{
    using Outcome = LoggedExchange::Outcome;
    Line l;
    while (readLine(l)) {
        if (l.text.startsWith(sessionStartPrefix())) {
            const QByteArray rest = l.text.mid(sessionStartPrefix().size()).trimmed();
            // "   9-12-2026 14:03:07": the day may lose its padding blank to the trim.
            const QDateTime t = exchange_log_reading::parseStamp(rest.size() == kStampLength - 1 ? ' ' + rest : rest);
            if (t.isValid())
                m_session = t;
            continue;
        }
        if (l.text.startsWith(sessionEndPrefix()))
            continue;

        LoggedExchange x;
        x.offset = l.offset;
        x.line = l.number;
        x.time = m_session;
        x.timeFromSession = true;

        if (!l.text.startsWith(';')) {
            // A request without its comment line: the log was written with comments off,
            // so no reply follows.
            if (!parseRequest(l.text, x.code, x.parameters)) {
                emitDamaged(out, l, QStringLiteral("Нераспознанная строка"));
                return true;
            }
            x.outcome = Outcome::Unlogged;
            if (l.cut)
                x.notes << QStringLiteral("Строка запроса оборвана");
            out = x;
            return true;
        }

        const Comment c = parseComment(l.text);
        if (c.kind == Comment::None || c.kind == Comment::Note) {
            emitDamaged(out, l, c.kind == Comment::Note ? QStringLiteral("Замечание вне обмена")
                                                        : QStringLiteral("Нераспознанная строка"));
            return true;
        }
        x.time = c.time;
        x.timeFromSession = false;
        x.sequence = c.sequence;

        if (c.kind == Comment::Reply) {
            // A reply whose request is not in the log: decoded, and marked.
            x.synCount = c.syn;
            readReplyText(x, c.rest);
            x.notes << QStringLiteral("Нет записи запроса");
            x.outcome = Outcome::Damaged;
            x.message = QStringLiteral("Ответ без запроса");
            out = x;
            return true;
        }

        if (readRequestText(x, l)) {
            // Notes of the link about this exchange, then its reply.
            Line r;
            bool replied = false;
            while (readLine(r)) {
                if (r.cut && r.text.startsWith(';') && m_device.atEnd()) {
                    // The file ends inside the comment line of the reply.
                    x.outcome = Outcome::Damaged;
                    x.message = QStringLiteral("Запись ответа оборвана");
                    replied = true;
                    break;
                }
                const Comment rc = parseComment(r.text);
                if (rc.kind == Comment::Note && rc.sequence == x.sequence) {
                    x.notes << shown(rc.rest);
                    continue;
                }
                if (rc.kind == Comment::Reply) {
                    if (rc.sequence != x.sequence)
                        x.notes << QStringLiteral("SEQ ответа %1h").arg(QString::asprintf("%X", rc.sequence));
                    x.synCount = rc.syn;
                    readReplyText(x, rc.rest);
                    replied = true;
                } else {
                    unread(r);
                }
                break;
            }
            if (!replied) {
                // Logs of earlier versions kept no answer of the start-up frame, so its
                // request may stand alone; any other request stands alone only where the
                // log was cut off.
                const bool startup = x.code == DeviceLink::kStartupCommand && x.parameters == DeviceLink::kStartupParameters;
                if (startup || !m_device.atEnd() || m_haveUnread) {
                    x.outcome = Outcome::Unlogged;
                    if (!startup)
                        x.notes << QStringLiteral("Нет записи ответа");
                } else {
                    x.outcome = Outcome::Damaged;
                    x.message = QStringLiteral("Журнал обрывается: нет записи ответа");
                }
            }
            x.repeat = x.code == m_lastCode && x.sequence == m_lastSequence && x.parameters == m_lastParameters;
            m_lastCode = x.code;
            m_lastSequence = x.sequence;
            m_lastParameters = x.parameters;
        }
        out = x;
        return true;
    }
    return false;
}
