#pragma once

#include "commands/verdict.h"
#include "link/command_result.h"

#include <QStringList>

#include <cstdio>

namespace cli {

enum Exit {
    Success = 0,
    RegistrarError = 1, // a registrar error word was the worst outcome
    NoReply = 2,        // a command got no reply
    LinkFault = 3,      // NAK or check mismatch
    Usage = 4,          // bad arguments or a port that cannot be opened
    Refused = 5,        // input refused before anything was sent
    Uncertain = 6,      // a reply was lost and the registrar's state cannot tell whether the
                        // command was carried out: check before doing it again
    Interrupted = 130,  // SIGINT (Ctrl-C) or SIGTERM
};

struct Options {
    QString port;
    bool usb = false;      // the registrar's USB bulk endpoints instead of --port
    QString usbLibrary;    // the libusb-0.1 library; empty: the system's
    qint32 speed = 9600;
    int reply = 1;
    bool startup = true;   // the start-up frame opens every serial connection
    QString logName;       // exchange log file; empty: no log
    bool comments = true;  // comment lines and reply records in the log
    // The password the screens take from their password input; an operation's fixed
    // passwords stay fixed.
    QString password = QStringLiteral("482913");
    QString verb;
    QStringList verbArgs;
};

// Parses the global options up to the verb. Returns false with `error` set on bad input.
bool parseOptions(const QStringList &args, Options &options, QString &error);

struct CommandSpec {
    int code = 0;
    QByteArray parameters; // already in the registrar's code page
};
// CODE [PARAMS] [CODE [PARAMS] ...]: CODE is two hexadecimal digits from 20 to FF; PARAMS
// is the next argument unless that is itself a code. Returns Success, Usage (a bad code,
// a parameter string longer than a frame holds) or Refused (a control character or a
// character Windows-1251 lacks in the parameters; ";" is the field separator there and
// passes), with `error` set.
Exit parseSendArguments(const QStringList &args, QList<CommandSpec> &commands, QString &error);

// The key=value block printed for one command.
QByteArray describeResult(const CommandResult &result);
// How bad one outcome was, as an exit status: the verdict's kind decides it.
Exit exitOf(const Verdict &verdict);
// The same, Uncertain when the operation could not tell whether its command was done.
template <class T>
Exit exitOf(const Outcome<T> &outcome)
{
    return outcome.uncertain ? Uncertain : exitOf(outcome.verdict);
}
Exit outcomeOf(const CommandResult &result);

int run(const QStringList &args, FILE *out, FILE *err);

} // namespace cli
