#pragma once

#include <cstdio>

namespace cli {

struct Options;

// dizivu-cli detect [--ports P1,P2...] [--speeds S1,S2...]: finds the registrar (the
// serial ports present, the registrar's virtual COM port first, at the program's speeds,
// the most common first) and prints port=, speed=, model=, version=, serial=. Ports that
// cannot be opened are listed with the reason on standard error. Exit 0 found, 2 none.
int detect(const Options &options, FILE *out, FILE *err);

} // namespace cli
