#pragma once

#include <QList>

#include <cstdio>

namespace cli {

struct Options;

// One verb of dizivu-cli beyond the link's own (send, run, commands, decode, ports): its
// name, its usage lines for --help and the usage message (the global options are given
// once, in front of every verb), and the function that runs it. Each group of verbs lives
// in its own file and lists its verbs there.
struct Verb {
    const char *name;
    const char *usage; // "report x|z|clear-tape|control-tape", lines separated by "\n"
    int (*run)(const Options &options, FILE *out, FILE *err);
};

// The groups, one function each (verbs_<group>.cpp).
QList<Verb> salesVerbs();
QList<Verb> reportVerbs();
QList<Verb> toolVerbs();
QList<Verb> diagnosticVerbs();

// Every verb of the groups above, in the order of the groups.
const QList<Verb> &extraVerbs();
const Verb *findVerb(const QString &name);

} // namespace cli
