#pragma once

#include "cli/cli_prompter.h"
#include "cli/send_command.h"

#include "app/application.h"

#include <QList>
#include <QMap>
#include <QStringList>

#include <cstdio>

namespace cli {

// One verb of dizivu-cli beyond the link's own (send, run, commands, decode, ports): its
// name, its usage lines for --help and the usage message (the global options are given
// once, in front of every verb), and the function that runs it. Each group of verbs lives
// in its own file and lists its verbs there.
struct Verb {
    const char *name;
    const char *usage; // "report x|z|clear-tape|control-tape", lines separated by "\n"
    int (*run)(const Options &options, FILE *out, FILE *err);
};

// The report and memory-tool verbs, a group each (verbs_<group>.cpp).
QList<Verb> reportVerbs();
QList<Verb> toolVerbs();

// Every verb: the sales verbs (receipt, load-goods, cancel), the groups above, then the
// diagnostic verbs (detect, log).
const QList<Verb> &extraVerbs();
const Verb *findVerb(const QString &name);

// A verb's own arguments, in any order: the options that take a value (the last one
// given stands), the flags, and the rest (files, names) in order.
struct VerbArgs {
    QMap<QString, QString> values;
    QStringList flags;
    QStringList files;
    QString unknown; // the option parseVerbArgs() did not know

    QString value(const QString &option) const { return values.value(option); }
    bool has(const QString &option) const { return values.contains(option) || flags.contains(option); }
};
// False, with `error` ("--x needs a value", "unknown option --x"), on an option that is
// not listed or lacks its value. A "--" word is always an option; an empty word is a file.
bool parseVerbArgs(const QStringList &args, const QStringList &valued, const QStringList &flags, VerbArgs &out,
                   QString &error);

// The application of a verb that talks to the registrar, opened the one way they all
// open it. Construct it once the verb's own arguments are checked; open() then checks
// --port/--usb, opens the connection (openConnection: log, port or USB, reply count,
// start-up frame), tells the state which transport it is and reads the settings every
// connection reads. The destructor closes the port.
class Session {
public:
    // With the command-line prompter on `err`.
    Session(const Options &options, FILE *err);
    // With the verb's own prompter (the transfer verbs'), which outlives the session.
    Session(const Options &options, FILE *err, Prompter &prompter);
    ~Session();
    Session(const Session &) = delete;
    Session &operator=(const Session &) = delete;

    // Success, or Usage with the reason on standard error (no --port or --usb, both, a
    // port or USB device that cannot be opened); nothing has been sent then.
    Exit open();
    // The registrar identified as the main window identifies it (0x80, then the model,
    // the version and the flags the operations read: identification::identify).
    Verdict identify();

    Application &app() { return m_app; }
    const Options &options() const { return m_options; }

private:
    const Options &m_options;
    FILE *m_err;
    CliPrompter m_cli;
    Application m_app;
    bool m_opened = false;
};

} // namespace cli
