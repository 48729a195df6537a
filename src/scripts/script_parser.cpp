#include "scripts/script_parser.h"

#include <climits>
#include <cstring>

namespace script {

namespace {

struct KeywordName {
    Keyword keyword;
    const char *text;
};

// Tested in this order; the first that matches wins ("SetSpeed" before "Set").
constexpr KeywordName kDeclarationKeywords[] = {
    {Keyword::DeclareBeg, "DeclareBeg"}, {Keyword::New, "New"},           {Keyword::DeclareEnd, "DeclareEnd"},
    {Keyword::Delay, "Delay"},           {Keyword::SetSpeed, "SetSpeed"}, {Keyword::Set, "Set"},
};
constexpr KeywordName kControlKeywords[] = {
    {Keyword::While, "While"}, {Keyword::EndWhile, "EndWhile"},     {Keyword::If, "If"},
    {Keyword::Then, "Then"},   {Keyword::Else, "Else"},             {Keyword::EndIf, "EndIf"},
    {Keyword::RunCommand, "RunCommand"}, {Keyword::Oper, "Oper"},   {Keyword::Print, "Print"},
};

// Digits with an optional sign in front.
bool signedDigits(const QByteArray &text)
{
    const int start = !text.isEmpty() && (text[0] == '-' || text[0] == '+') ? 1 : 0;
    if (start >= text.size())
        return false;
    for (int i = start; i < text.size(); ++i)
        if (text[i] < '0' || text[i] > '9')
            return false;
    return true;
}

bool namesAt(const QByteArray &line, int at, const char *word)
{
    const int n = int(qstrlen(word));
    return line.size() >= at + n && std::memcmp(line.constData() + at, word, size_t(n)) == 0;
}

// The item up to the next `separator`; the rest after it. Without a separator the item
// is everything and nothing is left.
QByteArray take(QByteArray &rest, char separator)
{
    const int at = rest.indexOf(separator);
    QByteArray item;
    if (at < 0) {
        item = rest;
        rest.clear();
    } else {
        item = rest.left(at);
        rest = rest.mid(at + 1);
    }
    return item;
}

QByteArray upToClosingBracket(const QByteArray &text)
{
    const int at = text.indexOf(')');
    return at < 0 ? text : text.left(at);
}

QByteArray afterOpeningBracket(const QByteArray &argument)
{
    const int at = argument.indexOf('(');
    return at < 0 ? QByteArray() : argument.mid(at + 1);
}

QByteArray padded(int value, int width)
{
    QByteArray s = QByteArray::number(value);
    while (s.size() < width)
        s.prepend('0');
    return s;
}

char lower(char c)
{
    return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
}

} // namespace

QByteArray stripTrailingControls(const QByteArray &line)
{
    int n = line.size();
    while (n > 0 && quint8(line[n - 1]) < 32)
        --n;
    return line.left(n);
}

QByteArray trimmed(const QByteArray &text)
{
    int begin = 0;
    int end = text.size();
    while (begin < end && quint8(text[begin]) <= 32)
        ++begin;
    while (end > begin && quint8(text[end - 1]) <= 32)
        --end;
    return text.mid(begin, end - begin);
}

QByteArray keywordText(Keyword keyword)
{
    for (const KeywordName &k : kDeclarationKeywords)
        if (k.keyword == keyword)
            return k.text;
    for (const KeywordName &k : kControlKeywords)
        if (k.keyword == keyword)
            return k.text;
    return {};
}

Keyword declarationKeyword(const QByteArray &line)
{
    if (!line.startsWith('%'))
        return Keyword::None;
    for (const KeywordName &k : kDeclarationKeywords)
        if (namesAt(line, 1, k.text))
            return k.keyword;
    return Keyword::None;
}

Keyword controlKeyword(const QByteArray &line)
{
    for (const KeywordName &k : kControlKeywords)
        if (namesAt(line, 1, k.text))
            return k.keyword;
    return Keyword::None;
}

bool namesDeclaration(const QByteArray &line)
{
    return line.startsWith('%')
        && (namesAt(line, 1, "DeclareBeg") || namesAt(line, 1, "DeclareEnd") || namesAt(line, 1, "New"));
}

QByteArray argumentOf(const QByteArray &line, Keyword keyword)
{
    return trimmed(line.mid(1 + keywordText(keyword).size()));
}

QByteArray delayArgument(const QByteArray &line)
{
    return trimmed(line.mid(7));
}

QByteArray setSpeedArgument(const QByteArray &line)
{
    return trimmed(line.mid(10));
}

std::optional<SetStatement> parseSet(const QByteArray &line)
{
    const QByteArray text = line.mid(5);
    const int eq = text.indexOf('=');
    if (eq < 0 || text.indexOf('=', eq + 1) >= 0)
        return std::nullopt;
    return SetStatement{trimmed(text.left(eq)), trimmed(text.mid(eq + 1))};
}

Condition parseCondition(const QByteArray &argument)
{
    static const struct {
        const char *text;
        CompareOp op;
    } kOperators[] = {
        {"<=", CompareOp::LessOrEqual}, {"==", CompareOp::Equal}, {">=", CompareOp::GreaterOrEqual},
        {"<", CompareOp::Less},         {">", CompareOp::Greater},
    };
    Condition c;
    const QByteArray inner = argument.size() >= 2 ? argument.mid(1, argument.size() - 2) : QByteArray();
    for (const auto &o : kOperators) {
        const int at = inner.indexOf(o.text);
        if (at >= 0) {
            c.left = trimmed(inner.left(at));
            c.op = o.op;
            c.right = trimmed(inner.mid(at + int(qstrlen(o.text))));
            break;
        }
    }
    return c;
}

bool compare(qint64 left, CompareOp op, qint64 right)
{
    switch (op) {
    case CompareOp::Less:
        return left < right;
    case CompareOp::LessOrEqual:
        return left <= right;
    case CompareOp::Equal:
        return left == right;
    case CompareOp::Greater:
        return left > right;
    case CompareOp::GreaterOrEqual:
        return left >= right;
    case CompareOp::None:
        break;
    }
    return false;
}

RunCommandArguments parseRunCommand(const QByteArray &argument)
{
    RunCommandArguments out;
    QByteArray rest = afterOpeningBracket(argument);
    if (rest.indexOf(',') < 0) {
        out.code = trimmed(upToClosingBracket(rest));
        return out;
    }
    out.code = trimmed(take(rest, ','));
    for (;;) {
        if (rest.indexOf(',') < 0) {
            out.parameters.append(trimmed(upToClosingBracket(rest)));
            break;
        }
        out.parameters.append(trimmed(take(rest, ',')));
    }
    return out;
}

OperArguments parseOper(const QByteArray &argument)
{
    OperArguments out;
    QByteArray rest = afterOpeningBracket(argument);
    out.a = trimmed(take(rest, ','));
    out.b = trimmed(take(rest, ','));
    out.op = trimmed(take(rest, ','));
    out.result = trimmed(upToClosingBracket(rest));
    return out;
}

bool isDigits(const QByteArray &text)
{
    if (text.isEmpty())
        return false;
    for (char c : text)
        if (c < '0' || c > '9')
            return false;
    return true;
}

bool isQuoted(const QByteArray &text)
{
    return text.size() >= 2 && text.front() == '"' && text.back() == '"';
}

QByteArray unquoted(const QByteArray &text)
{
    return isQuoted(text) ? text.mid(1, text.size() - 2) : text;
}

bool parseReplyField(const QByteArray &text, int &field)
{
    if (!text.startsWith("%Ret") || !isDigits(text.mid(4)))
        return false;
    qint64 n = 0;
    for (char c : text.mid(4)) {
        n = n * 10 + (c - '0');
        if (n > INT_MAX) {
            n = INT_MAX;
            break;
        }
    }
    field = int(n);
    return true;
}

bool toInteger(const QByteArray &text, qint64 &value)
{
    int i = 0;
    bool negative = false;
    if (!text.isEmpty() && (text[0] == '-' || text[0] == '+')) {
        negative = text[0] == '-';
        i = 1;
    }
    if (i >= text.size())
        return false;
    quint64 magnitude = 0;
    const quint64 limit = negative ? quint64(LLONG_MAX) + 1 : quint64(LLONG_MAX);
    for (; i < text.size(); ++i) {
        const char c = text[i];
        if (c < '0' || c > '9')
            return false;
        const quint64 digit = quint64(c - '0');
        if (magnitude > (limit - digit) / 10)
            return false;
        magnitude = magnitude * 10 + digit;
    }
    value = negative ? qint64(0 - magnitude) : qint64(magnitude);
    return true;
}

int parseHexCode(const QByteArray &text)
{
    if (text.size() != 2)
        return -1;
    auto digit = [](char c) {
        if (c >= '0' && c <= '9')
            return c - '0';
        if (c >= 'A' && c <= 'F')
            return c - 'A' + 10;
        if (c >= 'a' && c <= 'f')
            return c - 'a' + 10;
        return -1;
    };
    const int hi = digit(text[0]);
    const int lo = digit(text[1]);
    return hi < 0 || lo < 0 ? -1 : hi * 16 + lo;
}

CommandLine splitCommandLine(const QByteArray &line)
{
    CommandLine c;
    c.codeText = line.left(2);
    c.password = line.mid(2, 6);
    c.data = line.mid(9);
    c.parameters = line.mid(2);
    c.code = parseHexCode(c.codeText);
    return c;
}

// ---- Oper -----------------------------------------------------------------------------

OperStatus computeOper(qint64 op, const OperOperand &a, const OperOperand &b, const OperContext &context,
                       QByteArray &result, QByteArray &badText)
{
    if (((op >= 0 && op <= 4) || op == 6) && (a.quoted || b.quoted))
        return OperStatus::QuotedOperand;

    qint64 x = 0, y = 0;
    OperStatus refused = OperStatus::NotInteger;
    // A text of digits that is no integer holds more than 64 bits: out of range, which
    // the statement reports as a bad operand of its own.
    auto integers = [&](bool needB) {
        if (!toInteger(a.text, x)) {
            badText = a.text;
            refused = signedDigits(a.text) ? OperStatus::FirstOutOfRange : OperStatus::NotInteger;
            return false;
        }
        if (needB && !toInteger(b.text, y)) {
            badText = b.text;
            refused = signedDigits(b.text) ? OperStatus::SecondOutOfRange : OperStatus::NotInteger;
            return false;
        }
        return true;
    };
    qint64 r = 0;
    switch (op) {
    case 0:
    case 1:
    case 2:
        if (!integers(true))
            return refused;
        if (op == 0 ? __builtin_add_overflow(x, y, &r)
                    : op == 1 ? __builtin_sub_overflow(x, y, &r) : __builtin_mul_overflow(x, y, &r))
            return OperStatus::Overflow;
        result = QByteArray::number(r);
        return OperStatus::Done;
    case 3:
    case 4:
        if (!integers(true))
            return refused;
        if (y == 0)
            return OperStatus::DivisionByZero;
        if (x == LLONG_MIN && y == -1)
            return op == 3 ? OperStatus::Overflow : (result = "0", OperStatus::Done);
        result = QByteArray::number(op == 3 ? x / y : x % y);
        return OperStatus::Done;
    case 5:
        if (qint64(a.text.size()) + b.text.size() > kMaxValueLength)
            return OperStatus::TooLong;
        result = a.text + b.text;
        return OperStatus::Done;
    case 6: {
        if (!integers(true))
            return refused;
        if (y == 0)
            return OperStatus::DivisionByZero;
        result = generalFloat(double(x) / double(y));
        return OperStatus::Done;
    }
    case 7: {
        if (!integers(true))
            return refused;
        qint64 n = 0;
        if (__builtin_sub_overflow(y, x, &n) || __builtin_add_overflow(n, 1, &n))
            return OperStatus::Overflow;
        if (n == 0) {
            result = QByteArray::number(x);
            return OperStatus::Done;
        }
        const qint64 draw = context.draw ? qint64(context.draw()) : 0;
        if (__builtin_add_overflow(x, draw % n, &r))
            return OperStatus::Overflow;
        result = QByteArray::number(r);
        return OperStatus::Done;
    }
    case 8:
        if (!integers(true))
            return refused;
        if (y > kMaxValueLength)
            return OperStatus::TooLong;
        result = y > 0 ? QByteArray(int(y), char(x & 0xFF)) : QByteArray();
        return OperStatus::Done;
    case 9:
        result = QByteArray::number(a.text.size());
        return OperStatus::Done;
    case 10:
        result = a.text == b.text ? "1" : "0";
        return OperStatus::Done;
    case 11:
        result = formatDateTime(a.text, context.now);
        if (result.size() > kMaxValueLength)
            return OperStatus::TooLong;
        return OperStatus::Done;
    case 12:
        result = a.text.mid(4, 2) + a.text.mid(2, 2) + a.text.mid(0, 2);
        return OperStatus::Done;
    default:
        return OperStatus::Unchanged;
    }
}

QByteArray formatDateTime(const QByteArray &format, const QDateTime &dateTime)
{
    const QDate d = dateTime.date();
    const QTime t = dateTime.time();
    QByteArray out;
    bool afterHour = false; // "m" right after an hour letter means minutes
    int i = 0;
    const int n = format.size();
    auto run = [&](char letter) {
        int k = 0;
        while (i + k < n && lower(format[i + k]) == letter)
            ++k;
        return k;
    };
    while (i < n) {
        const char c = lower(format[i]);
        if (c == '\'' || c == '"') {
            const int close = format.indexOf(format[i], i + 1);
            const int end = close < 0 ? n : close;
            out += format.mid(i + 1, end - i - 1);
            i = close < 0 ? n : close + 1;
            continue;
        }
        const int k = run(c);
        const int two = qMin(k, 2);
        switch (c) {
        case 'd':
            out += two == 2 ? padded(d.day(), 2) : QByteArray::number(d.day());
            i += two;
            afterHour = false;
            break;
        case 'm': {
            const int v = afterHour ? t.minute() : d.month();
            out += two == 2 ? padded(v, 2) : QByteArray::number(v);
            i += two;
            afterHour = false;
            break;
        }
        case 'y':
            out += k <= 2 ? padded(d.year() % 100, 2) : padded(d.year(), 4);
            i += k;
            afterHour = false;
            break;
        case 'h':
            out += two == 2 ? padded(t.hour(), 2) : QByteArray::number(t.hour());
            i += two;
            afterHour = true;
            break;
        case 'n':
            out += two == 2 ? padded(t.minute(), 2) : QByteArray::number(t.minute());
            i += two;
            afterHour = false;
            break;
        case 's':
            out += two == 2 ? padded(t.second(), 2) : QByteArray::number(t.second());
            i += two;
            afterHour = false;
            break;
        case 'z':
            out += k >= 3 ? padded(t.msec(), 3) : QByteArray::number(t.msec());
            i += k >= 3 ? 3 : 1;
            afterHour = false;
            break;
        default:
            out += format[i];
            ++i;
            break;
        }
    }
    return out;
}

QByteArray generalFloat(double value)
{
    if (value == 0)
        return "0";
    QByteArray s = QByteArray::number(value, 'g', 15);
    const int e = s.indexOf('e');
    if (e < 0)
        return s;
    const int exponent = s.mid(e + 1).toInt();
    return s.left(e) + 'E' + QByteArray::number(exponent);
}

} // namespace script
