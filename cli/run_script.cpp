#include "cli/run_script.h"
#include "cli/output.h"

#include "app/application.h"
#include "cli/cli_prompter.h"
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
    for (int i = 0; i < args.size(); ++i) {
        const QString &a = args[i];
        if (a == QLatin1String("--quiet")) {
            out.quiet = true;
        } else if (a == QLatin1String("--step")) {
            out.step = true;
        } else if (a == QLatin1String("--from")) {
            bool ok = false;
            const int n = i + 1 < args.size() ? args[i + 1].toInt(&ok) : -1;
            if (!ok || n < 0) {
                error = QStringLiteral("--from takes a line number (0 or more)");
                return false;
            }
            out.from = n;
            ++i;
        } else if (a.startsWith(QLatin1String("--"))) {
            error = QStringLiteral("unknown option ") + a;
            return false;
        } else if (out.script.isEmpty()) {
            out.script = a;
        } else {
            error = QStringLiteral("run takes one script file");
            return false;
        }
    }
    if (out.script.isEmpty()) {
        error = QStringLiteral("run needs a script file");
        return false;
    }
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
    if (!parseRunArguments(o.verbArgs, a, error)) {
        std::fprintf(err, "dizivu-cli: %s\n", qPrintable(error));
        return Usage;
    }
    if (o.port.isEmpty()) {
        std::fprintf(err, "dizivu-cli: --port is required\n");
        return Usage;
    }
    if (refusedAsFile(a.script, error)) {
        std::fprintf(err, "dizivu-cli: %s\n", qPrintable(error));
        return Usage;
    }

    CliPrompter prompter(err);
    Application app(prompter, SystemClock::instance());
    DeviceLink &link = app.link();
    if (!openConnection(link, o, err))
        return Usage;

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
    link.CloseSerial();
    return exitStatusOf(outcome);
}

} // namespace cli
