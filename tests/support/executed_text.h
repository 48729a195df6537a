#pragma once

#include "emulator/registrar.h"

#include <QStringList>

// What the emulator carried out, one "cc parameters errorword" text a command (code in
// lower-case hexadecimal), for comparing whole sequences at a glance.
inline QStringList executedText(const emu::Registrar &registrar)
{
    QStringList out;
    for (const emu::Executed &e : registrar.journal())
        out << QStringLiteral("%1 %2 %3")
                   .arg(e.code, 2, 16, QLatin1Char('0'))
                   .arg(QString::fromLatin1(e.parameters), QString::fromLatin1(e.errorWord));
    return out;
}
