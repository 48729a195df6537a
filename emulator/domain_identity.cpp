// Who the registrar is, its parameters, its clock and its sound.
#include "emulator/domains.h"

#include <QDate>
#include <QTime>

namespace emu {

namespace {

// DDMMYY; HHMM; the registrar's clock keeps its offset from the computer's.
Outcome setDateTime(State &s, const Fields &f)
{
    if (!allDigits(f.value(1), 6))
        return refuse(errorClass::fieldFormat, 2);
    if (!allDigits(f.value(2), 4))
        return refuse(errorClass::fieldFormat, 3);
    const QDate d = QDate::fromString(QString::fromLatin1(f[1]), QStringLiteral("ddMMyy")).addYears(100);
    if (!d.isValid())
        return refuse(errorClass::fieldRange, 2);
    const QTime t = QTime::fromString(QString::fromLatin1(f[2]), QStringLiteral("HHmm"));
    if (!t.isValid())
        return refuse(errorClass::fieldRange, 3);
    s.clockOffsetSecs = s.hostNow().secsTo(QDateTime(d, t));
    return {};
}

Outcome getDateTime(State &s, const Fields &)
{
    const QDateTime n = s.now();
    Outcome o;
    o.data = n.toString(QStringLiteral("ddMMyy")).toLatin1() + ';' + n.toString(QStringLiteral("HHmm")).toLatin1() + ';';
    return o;
}

Outcome getRegistratorParams(State &s, const Fields &)
{
    Outcome o;
    o.data = QByteArray::number(s.options.speed) + ";2;0000;00;32;32;40;";
    return o;
}

Outcome diagnostics(State &s, const Fields &)
{
    const RegistrarOptions &opt = s.options;
    QByteArray d;
    d += toCp1251(opt.model) + ';';                  // 1 model
    d += toCp1251(opt.version) + ';';                // 2 software version
    d += toCp1251(opt.info) + ';';                   // 3 status-bar text
    d += "0;";                                       // 4
    d += "1;";                                       // 5
    d += "0;";                                       // 6
    d += QByteArray::number(opt.logoMemory) + ';';   // 7 logo memory, bytes
    d += QByteArray::number(opt.logoWidth) + ';';    // 8 logo width, dots
    d += "0;";                                       // 9
    d += QByteArray::number(opt.taxGroups) + ';';    // 10 tax groups
    d += QByteArray::number(opt.paymentForms == 10 ? 0 : opt.paymentForms) + ';'; // 11
    Outcome o;
    o.data = d;
    return o;
}

// The melody number must be a number; the emulator has no speaker to play it on.
Outcome sound(State &, const Fields &f)
{
    qint64 melody = 0;
    if (!integerValue(f.value(1), melody))
        return refuse(errorClass::fieldFormat, 2);
    return {};
}

} // namespace

void registerIdentity(HandlerTable &table)
{
    table.add(cmd::SetDateTime, setDateTime, 3);
    table.add(cmd::GetDateTime, getDateTime, 1);
    table.add(cmd::GetRegistratorParams, getRegistratorParams, 1);
    table.add(cmd::Diagnostics, diagnostics, 1);
    table.add(cmd::Sound, sound, 2);
}

} // namespace emu
