#include "emulator/domains.h"

#include <QStringEncoder>

#include <cstdio>
#include <cstdlib>

namespace emu {

Outcome refuse(int errorClass, int detail)
{
    Outcome o;
    o.errorWord = QString::asprintf("%02X%02X", detail & 0xFF, errorClass & 0xFF).toLatin1();
    return o;
}

Fields fieldsOf(const QByteArray &parameters)
{
    Fields out = parameters.split(';');
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

QByteArray toCp1251(const QString &s)
{
    QStringEncoder enc("windows-1251");
    return enc.isValid() ? QByteArray(enc.encode(s)) : s.toLatin1();
}

bool digitsValue(const QByteArray &field, int maxDigits, qint64 &value)
{
    if (field.isEmpty() || field.size() > maxDigits)
        return false;
    qint64 v = 0;
    for (char c : field) {
        if (c < '0' || c > '9')
            return false;
        v = v * 10 + (c - '0');
    }
    value = v;
    return true;
}

bool integerValue(const QByteArray &field, qint64 &value)
{
    if (field.isEmpty() || field.size() > 18 || field[0] == '+' || field[0] == ' ')
        return false;
    bool ok = false;
    const qint64 v = field.toLongLong(&ok);
    if (ok)
        value = v;
    return ok;
}

bool fixedValue(const QByteArray &t, int decimals, qint64 &value)
{
    int i = 0;
    bool negative = false;
    if (i < t.size() && (t[i] == '-' || t[i] == '+'))
        negative = t[i++] == '-';
    qint64 whole = 0;
    int wholeDigits = 0;
    while (i < t.size() && t[i] >= '0' && t[i] <= '9') {
        if (++wholeDigits > 13)
            return false;
        whole = whole * 10 + (t[i++] - '0');
    }
    qint64 fraction = 0;
    int fractionDigits = 0;
    if (i < t.size() && t[i] == '.') {
        ++i;
        while (i < t.size() && t[i] >= '0' && t[i] <= '9') {
            if (++fractionDigits > decimals)
                return false;
            fraction = fraction * 10 + (t[i++] - '0');
        }
    }
    if (i != t.size() || (wholeDigits == 0 && fractionDigits == 0))
        return false;
    for (int k = fractionDigits; k < decimals; ++k)
        fraction *= 10;
    qint64 scale = 1;
    for (int k = 0; k < decimals; ++k)
        scale *= 10;
    value = negative ? -(whole * scale + fraction) : whole * scale + fraction;
    return true;
}

bool intField(const Fields &f, int index, qint64 low, qint64 high, qint64 &value, Outcome &refusal)
{
    if (!integerValue(f.value(index), value)) {
        refusal = refuse(errorClass::fieldFormat, index + 1);
        return false;
    }
    if (value < low || value > high) {
        refusal = refuse(errorClass::fieldRange, index + 1);
        return false;
    }
    return true;
}

bool fixedField(const Fields &f, int index, int decimals, qint64 &value, Outcome &refusal)
{
    if (!fixedValue(f.value(index), decimals, value)) {
        refusal = refuse(errorClass::fieldFormat, index + 1);
        return false;
    }
    return true;
}

namespace {

QByteArray signedUnits(qint64 units, qint64 scale, int places)
{
    const qint64 a = units < 0 ? -units : units;
    return (units < 0 ? QByteArray("-") : QByteArray()) + QByteArray::number(a / scale) + '.'
        + QByteArray::number(a % scale).rightJustified(places, '0');
}

} // namespace

QByteArray money(qint64 cents)
{
    return signedUnits(cents, 100, 2);
}

QByteArray quantity(qint64 milli)
{
    return signedUnits(milli, 1000, 3);
}

void HandlerTable::add(cmd::Code code, Handler handler, int fields)
{
    // Two domains answering one code would make the answer depend on the order of
    // registration; the table is built on first use, so every test run would stop here.
    if (m_handlers[code]) {
        std::fprintf(stderr, "registrar emulator: command %02X has two handlers\n", int(code));
        std::abort();
    }
    m_handlers[code] = handler;
    m_fields[code] = fields;
}

} // namespace emu
