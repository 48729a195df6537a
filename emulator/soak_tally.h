#pragma once

#include "emulator/domains.h"
#include "emulator/registrar.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

namespace emu {

// One command of a fault soak: what the program sent and whether it reported success.
// Every command of a soak carries parameters of its own, so the registrar's journal tells
// how often it was carried out.
struct SoakCommand {
    quint8 code = 0;
    QByteArray parameters;
    bool reportedSuccess = false;
};

// The program's verdicts against what the registrar really did.
struct SoakTally {
    int commands = 0;
    int doneTwice = 0;           // carried out more than once
    int successNotDone = 0;      // reported success, never carried out
    int doneButFailed = 0;       // carried out, reported as failed
    int failedNotDone = 0;       // reported as failed and indeed not carried out
    QStringList problems;        // the first few commands of the first two kinds

    bool sound() const { return doneTwice == 0 && successNotDone == 0; }
};

// A command counts as done when the registrar carried it out with the error word "0000".
inline SoakTally tallySoak(const QList<SoakCommand> &sent, const QList<Executed> &journal)
{
    QHash<QByteArray, int> done;
    for (const Executed &e : journal)
        if (e.done())
            ++done[QByteArray(1, char(e.code)) + e.parameters];
    SoakTally t;
    for (const SoakCommand &c : sent) {
        ++t.commands;
        const int n = done.value(QByteArray(1, char(c.code)) + c.parameters);
        const QString what = QStringLiteral("%1 %2").arg(c.code, 2, 16, QLatin1Char('0')).arg(QString::fromLatin1(c.parameters));
        if (n > 1) {
            ++t.doneTwice;
            if (t.problems.size() < 20)
                t.problems << QStringLiteral("done %1 times: %2").arg(n).arg(what);
        }
        if (c.reportedSuccess && n == 0) {
            ++t.successNotDone;
            if (t.problems.size() < 20)
                t.problems << QStringLiteral("reported success, not done: %1").arg(what);
        }
        if (!c.reportedSuccess && n > 0)
            ++t.doneButFailed;
        if (!c.reportedSuccess && n == 0)
            ++t.failedNotDone;
    }
    return t;
}

// The state-changing commands of a soak, cycle after cycle: a cash deposit (a document of
// its own, the drawer's sum), a header line, a service counter. Each carries a serial
// number in one of its fields, so that no two are alike; none carries a field more than
// its command takes, which the registrar would refuse.
inline SoakCommand soakCommand(int i, const QByteArray &password = "482913")
{
    constexpr int kCycle = 3;
    const QByteArray n = QByteArray::number(i);
    SoakCommand c;
    switch (i % kCycle) {
    case 0: c.code = cmd::CashInOut; c.parameters = password + ";1;" + n + ".01;"; break;
    case 1: c.code = cmd::SetHeaderFooter; c.parameters = password + ';' + QByteArray::number(i % 14) + ";line " + n + ";0;"; break;
    default: c.code = cmd::SetServiceCounter; c.parameters = password + ";7;" + n + ';'; break;
    }
    return c;
}

// Faults for a soak: every kind the registrar can show, late replies included (past the
// silence limit, and stale copies that land in later exchanges).
inline QList<Fault> soakFaults()
{
    return {
        {Fault::Silence},          {Fault::Nak},
        {Fault::Garbage},          {Fault::NoiseEtx},
        {Fault::BadCheck},         {Fault::CutShort},
        {Fault::SynBefore, 3, 200}, {Fault::Bursts, 3, 60},
        {Fault::Late, 1, 300},     {Fault::Late, 2, 3000},
        {Fault::Delayed, 1, 700},  {Fault::Delayed, 1, 6000},
        {Fault::Delayed, 1, 9000}, {Fault::Refuse, errorClass::sales, 0},
    };
}

} // namespace emu
