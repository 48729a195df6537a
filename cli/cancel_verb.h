#pragma once

#include <QString>

#include <cstdio>

namespace cli {

struct Options;

// cancel [--close] --yes: ends the receipt a stopped run left open, as the cancel and
// close screen does. It reads the registrar's state first (0x80, status byte 2); with no
// receipt open nothing more is sent and it exits 0.
int cancelReceipt(const Options &options, FILE *out, FILE *err);

// The line standard error shows when a receipt is open and blocks a new one: which
// receipt (`statusLine`, as the screen shows it) and how to end it.
QString openReceiptNotice(const QString &statusLine);

} // namespace cli
