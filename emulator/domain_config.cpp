// Header and advertising lines, service counters.
#include "emulator/domains.h"

#include <climits>

namespace emu {

namespace {

// A line number the registrar has, or the refusal for field 2.
bool headerLineOf(const Fields &f, int &line, Outcome &refusal)
{
    qint64 v = 0;
    if (!intField(f, 1, 0, State::kHeaderLines - 1, v, refusal))
        return false;
    line = int(v);
    return true;
}

// Number; text; width flag (0 or 1, may be left out).
Outcome setHeaderFooter(State &s, const Fields &f)
{
    int line = 0;
    Outcome refusal;
    if (!headerLineOf(f, line, refusal))
        return refusal;
    const QByteArray width = f.value(3, "0");
    if (width != "0" && width != "1")
        return refuse(errorClass::fieldRange, 4);
    s.headerLines[line] = {f.value(2), width == "1"};
    return {};
}

Outcome getHeaderFooter(State &s, const Fields &f)
{
    int line = 0;
    Outcome refusal;
    if (!headerLineOf(f, line, refusal))
        return refusal;
    Outcome o;
    o.data = s.headerLines[line].text + ';' + (s.headerLines[line].doubleWidth ? "1;" : "0;");
    return o;
}

// Number; value;. The program's start-up frame writes one with fixed values.
Outcome setServiceCounter(State &s, const Fields &f)
{
    qint64 n = 0, v = 0;
    if (!integerValue(f.value(1), n) || n < INT_MIN || n > INT_MAX)
        return refuse(errorClass::fieldFormat, 2);
    if (!integerValue(f.value(2), v))
        return refuse(errorClass::fieldFormat, 3);
    s.serviceCounters[int(n)] = v;
    return {};
}

} // namespace

void registerConfig(HandlerTable &table)
{
    table.add(cmd::SetHeaderFooter, setHeaderFooter, 4);
    table.add(cmd::GetHeaderFooter, getHeaderFooter, 2);
    table.add(cmd::SetServiceCounter, setServiceCounter, 3);
}

} // namespace emu
