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

void HandlerTable::add(cmd::Code code, Handler handler)
{
    // Two domains answering one code would make the answer depend on the order of
    // registration; the table is built on first use, so every test run would stop here.
    if (m_handlers[code]) {
        std::fprintf(stderr, "registrar emulator: command %02X has two handlers\n", int(code));
        std::abort();
    }
    m_handlers[code] = handler;
}

} // namespace emu
