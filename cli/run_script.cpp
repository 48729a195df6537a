#include "cli/run_script.h"
#include "cli/output.h"
#include "cli/verbs.h"

#include "app/application.h"
#include "cli/connection.h"
#include "cli/send_command.h"
#include "link/command_result.h"

namespace cli {

namespace {

// The monitor without a window: the log goes to standard output, and failures that do
// not end the run to standard error; the fields are kept for the report at the end.
// Ctrl+C ends the process at once (installInterruptHandlers).
class StreamSink final : public ScriptSink {
public:
    StreamSink(FILE *out, FILE *err) : m_out(out), m_err(err) {}
    void logLine(const QString &line) override { printLine(m_out, line); }
    void commandFailure(const QString &line) override { printLine(m_err, line); }
    void errorWord(const QString &word) override { lastErrorWord = word; }
    void statusText(const QString &text) override { lastStatus = text; }
    QString lastErrorWord;
    QString lastStatus;

private:
    FILE *m_out;
    FILE *m_err;
};

} // namespace

bool parseRunArguments(const QStringList &args, RunArguments &out, QString &error)
{
    const QString from = QStringLiteral("--from");
    VerbArgs a;
    if (!parseVerbArgs(args, {from}, {QStringLiteral("--quiet"), QStringLiteral("--step")}, a, error)) {
        if (error.startsWith(from))
            error = QStringLiteral("--from takes a line number (0 or more)");
        return false;
    }
    out.quiet = a.has(QStringLiteral("--quiet"));
    out.step = a.has(QStringLiteral("--step"));
    if (a.has(from)) {
        bool ok = false;
        out.from = a.value(from).toInt(&ok);
        if (!ok || out.from < 0) {
            error = QStringLiteral("--from takes a line number (0 or more)");
            return false;
        }
    }
    if (a.files.size() > 1) {
        error = QStringLiteral("run takes one script file");
        return false;
    }
    if (a.files.isEmpty() || a.files[0].isEmpty()) {
        error = QStringLiteral("run needs a script file");
        return false;
    }
    out.script = a.files[0];
    return true;
}

int exitStatusOf(ScriptRunner::Outcome outcome)
{
    switch (outcome) {
    case ScriptRunner::Outcome::EndOfFile:
    case ScriptRunner::Outcome::StepDone:
        return Success;
    case ScriptRunner::Outcome::CommandFailed:
        return RegistrarError;
    case ScriptRunner::Outcome::NoReply:
        return NoReply;
    case ScriptRunner::Outcome::Nak:
    case ScriptRunner::Outcome::ChecksumError:
        return LinkFault;
    case ScriptRunner::Outcome::NoFile:
    case ScriptRunner::Outcome::Busy:
    case ScriptRunner::Outcome::PortLost:
        return Usage;
    case ScriptRunner::Outcome::Refused:
        return kScriptRefused;
    case ScriptRunner::Outcome::Stopped:
        return kScriptStopped;
    }
    return kScriptRefused;
}

int runScript(const Options &o, FILE *out, FILE *err)
{
    RunArguments a;
    QString error;
    if (!parseRunArguments(o.verbArgs, a, error))
        return fail(err, Usage, error);
    if (refusedAsFile(a.script, error))
        return fail(err, Usage, error);

    Session session(o, err);
    if (const Exit e = session.open(); e != Success)
        return e;
    Application &app = session.app();

    StreamSink sink(out, err);
    ScriptRunner runner(app, sink);
    runner.setScript(a.script);
    runner.setQuiet(a.quiet);
    runner.setNoRepaint(true);
    runner.setPortName(o.port);

    const ScriptRunner::Outcome outcome =
        a.step ? runner.step(qMax(0, a.from)) : a.from >= 0 ? runner.continueFrom(a.from) : runner.run();
    std::fflush(out);

    if (outcome == ScriptRunner::Outcome::CommandFailed) {
        printLine(err, QStringLiteral("Код ошибки: ") + sink.lastErrorWord);
        printLine(err, QStringLiteral("Статус: ") + sink.lastStatus.trimmed());
    }
    if (outcome != ScriptRunner::Outcome::EndOfFile && outcome != ScriptRunner::Outcome::NoFile)
        printLine(err, QStringLiteral("Ном. стр. скрипта: ") + QString::number(runner.lineCounter()));
    return exitStatusOf(outcome);
}

} // namespace cli
