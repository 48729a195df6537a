#pragma once

#include <QList>
#include <QStringList>

#include <cstdio>

namespace cli {

struct Options;

// dizivu-cli detect [--ports P1,P2...] [--speeds S1,S2...]: finds the registrar (the
// serial ports present, the registrar's virtual COM port first, at the program's speeds,
// the most common first) and prints port=, speed=, model=, version=, serial=. Ports that
// cannot be opened are listed with the reason on standard error. Exit 0 found, 2 none.
int detect(const Options &options, FILE *out, FILE *err);

// detect's own arguments: --ports and --speeds, each a comma-separated list without empty
// items; the speeds from the program's speed list. `speeds` is left as given when
// --speeds is absent. False with `error` set on bad input.
bool parseDetectArguments(const QStringList &args, QStringList &ports, QList<qint32> &speeds, QString &error);

} // namespace cli
