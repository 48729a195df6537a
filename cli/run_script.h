#pragma once

#include "scripts/script_runner.h"

#include <QStringList>

#include <cstdio>

namespace cli {

struct Options;

// Exit statuses of `run` beyond those of `send` (0 the script reached its end or the
// step ran, 1 a command's error word, 2 no reply, 3 NAK or check mismatch, 4 bad
// arguments, a port or a script that cannot be opened, or a port SetSpeed could not
// open again).
constexpr int kScriptRefused = 5;  // a statement or line was refused
constexpr int kScriptStopped = 130; // interrupted (SIGINT)

// run SCRIPT [--quiet] [--from N] [--step]
struct RunArguments {
    QString script;
    bool quiet = false;
    int from = -1; // -1: a full run
    bool step = false;
};
bool parseRunArguments(const QStringList &args, RunArguments &out, QString &error);

int exitStatusOf(ScriptRunner::Outcome outcome);

// Runs a script through the port of the options: log lines to `out`, messages to `err`.
int runScript(const Options &options, FILE *out, FILE *err);

} // namespace cli
