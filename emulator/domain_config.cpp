// Header and advertising lines, service counters.
#include "emulator/domains.h"

namespace emu {

namespace {

// A line number the registrar has, or the refusal for field 2.
bool headerLineOf(const Fields &f, int &line, Outcome &refusal)
{
    bool ok = false;
    line = f.value(1).toInt(&ok);
    if (!ok) {
        refusal = refuse(errorClass::fieldFormat, 2);
        return false;
    }
    if (line < 0 || line >= State::kHeaderLines) {
        refusal = refuse(errorClass::fieldRange, 2);
        return false;
    }
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
    bool okN = false, okV = false;
    const int n = f.value(1).toInt(&okN);
    const qint64 v = f.value(2).toLongLong(&okV);
    if (!okN)
        return refuse(errorClass::fieldFormat, 2);
    if (!okV)
        return refuse(errorClass::fieldFormat, 3);
    s.serviceCounters[n] = v;
    return {};
}

} // namespace

void registerConfig(HandlerTable &table)
{
    table.add(cmd::SetHeaderFooter, setHeaderFooter);
    table.add(cmd::GetHeaderFooter, getHeaderFooter);
    table.add(cmd::SetServiceCounter, setServiceCounter);
}

} // namespace emu
