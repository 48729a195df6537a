// The memory and firmware tools without a window: flash read, write and erase, the
// firmware read-out and the logo, through the same operations as their screens.
#include "cli/verbs.h"
#include "cli/output.h"

#include "app/application.h"
#include "cli/connection.h"
#include "cli/send_command.h"
#include "cli/transfer_progress.h"
#include "tools/firmware_readout.h"
#include "tools/flash_memory.h"
#include "tools/logo_programming.h"

#include <QFileInfo>
#include <QMap>

namespace cli {

namespace {

int usageError(FILE *err, const QString &text)
{
    return fail(err, Usage, text);
}

int exitOf(const transfer::Result &r)
{
    switch (r.end) {
    case transfer::End::Done:
        return Success;
    case transfer::End::Cancelled:
    case transfer::End::Refused:
        return Refused;
    case transfer::End::LinkFailed:
        return cli::exitOf(r.verdict);
    case transfer::End::RegistrarError:
    case transfer::End::BadData:
    case transfer::End::Incomplete:
        return RegistrarError;
    case transfer::End::FileFailed:
        return Usage;
    case transfer::End::Stopped:
        return Interrupted;
    }
    return RegistrarError;
}

// Everything a transfer verb needs: the session with the verb's prompter (the file it
// names, the progress on standard error).
class TransferSession {
public:
    TransferSession(const Options &o, FILE *err, const QString &file, const QString &label)
        : m_prompter(err, file), m_progress(err, label), m_session(o, err, m_prompter)
    {
        m_prompter.setProgress(&m_progress);
    }
    ~TransferSession() { m_progress.finish(); }

    // False, said why, when there is no port or it cannot be opened.
    bool connect() { return m_session.open() == Success; }
    Application &app() { return m_session.app(); }
    ProgressReporter &progress() { return m_progress; }

    int report(FILE *out, const QString &file, const transfer::Result &r)
    {
        m_progress.finish();
        if (!file.isEmpty())
            printLine(out, QStringLiteral("file=") + file);
        printLine(out, QStringLiteral("bytes=") + QString::number(r.bytes));
        return exitOf(r);
    }

private:
    TransferPrompter m_prompter;
    ProgressReporter m_progress;
    Session m_session;
};

// The progress of a flash transfer from the address of its next block.
class FlashProgress final : public FlashMemory::View {
public:
    FlashProgress(ProgressReporter &p, qint64 first, qint64 count) : m_p(p), m_first(first), m_count(count) {}
    void address(qint64 value) override { m_p.update(qMin(value - m_first, m_count), m_count); }

private:
    ProgressReporter &m_p;
    qint64 m_first, m_count;
};

class PlainProgress final : public transfer::View {
public:
    explicit PlainProgress(ProgressReporter &p) : m_p(p) {}
    void progress(qint64 value, qint64 maximum) override { m_p.update(value, maximum); }

private:
    ProgressReporter &m_p;
};

bool oneFile(const VerbArgs &a, const char *verb, FILE *err, QString &file)
{
    if (a.files.size() != 1) {
        usageError(err, QStringLiteral("%1 takes one file").arg(QLatin1String(verb)));
        return false;
    }
    file = a.files[0];
    QString error;
    if (refusedAsFile(file, error)) {
        usageError(err, error);
        return false;
    }
    return true;
}

// A verb whose one argument is its file, with no options of its own.
bool fileOnly(const Options &o, const char *verb, FILE *err, QString &file)
{
    VerbArgs a;
    QString error;
    if (!parseVerbArgs(o.verbArgs, {}, {}, a, error)) {
        usageError(err, error);
        return false;
    }
    return oneFile(a, verb, err, file);
}

int flashRead(const Options &o, FILE *out, FILE *err)
{
    VerbArgs a;
    QString error, file;
    if (!parseVerbArgs(o.verbArgs, {QStringLiteral("--address"), QStringLiteral("--count"), QStringLiteral("--retries")},
                       {}, a, error))
        return usageError(err, error);
    if (!oneFile(a, "flash-read", err, file))
        return Usage;
    qint64 first = 0, count = 0, retries = FlashMemory::kDefaultRetries;
    if (!transfer::decimal(a.values.value(QStringLiteral("--address")), FlashMemory::kAddressDigits, first)
        || !transfer::decimal(a.values.value(QStringLiteral("--count")), FlashMemory::kCountDigits, count))
        return usageError(err, QStringLiteral("flash-read needs --address and --count in decimal digits (at most 10 and 9)"));
    if (a.values.contains(QStringLiteral("--retries"))
        && !transfer::decimal(a.values.value(QStringLiteral("--retries")), 4, retries))
        return usageError(err, QStringLiteral("--retries takes a number of repetitions (0 or more)"));

    TransferSession s(o, err, file, QStringLiteral("flash-read"));
    if (!s.connect())
        return Usage;
    FlashMemory ops(s.app());
    FlashProgress view(s.progress(), first, count);
    const transfer::Result r = ops.read(o.password, QString::number(first), QString::number(count), int(retries), view);
    return s.report(out, file, r);
}

int flashWrite(const Options &o, FILE *out, FILE *err)
{
    VerbArgs a;
    QString error, file;
    if (!parseVerbArgs(o.verbArgs, {QStringLiteral("--address"), QStringLiteral("--count")}, {}, a, error))
        return usageError(err, error);
    if (!oneFile(a, "flash-write", err, file))
        return Usage;
    QString address = a.values.value(QStringLiteral("--address"));
    QString count = a.values.value(QStringLiteral("--count"));
    const int given = a.values.contains(QStringLiteral("--address")) + a.values.contains(QStringLiteral("--count"));
    if (given == 1)
        return usageError(err, QStringLiteral("flash-write takes --address and --count together"));
    qint64 first = 0, n = 0;
    if (given == 2
        && (!transfer::decimal(address, FlashMemory::kAddressDigits, first)
            || !transfer::decimal(count, FlashMemory::kCountDigits, n)))
        return usageError(err, QStringLiteral("--address and --count take decimal digits (at most 10 and 9)"));
    if (given == 0 && !FlashMemory::boundsFromName(file, address, count))
        return usageError(err, QStringLiteral("flash-write needs --address and --count, or a file named name_A_N.bin"));
    if (!QFileInfo(file).isFile())
        return usageError(err, QStringLiteral("cannot read ") + file);
    transfer::decimal(address, FlashMemory::kAddressDigits, first);
    transfer::decimal(count, FlashMemory::kCountDigits, n);

    TransferSession s(o, err, file, QStringLiteral("flash-write"));
    if (!s.connect())
        return Usage;
    FlashMemory ops(s.app());
    FlashProgress view(s.progress(), first, n);
    // Given bounds stand; without them the operation takes them from the name.
    const transfer::Result r = ops.write(o.password, address, count, view, given == 0);
    return s.report(out, file, r);
}

int flashErase(const Options &o, FILE *out, FILE *err)
{
    VerbArgs a;
    QString error;
    if (!parseVerbArgs(o.verbArgs, {}, {QStringLiteral("--yes")}, a, error))
        return usageError(err, error);
    if (!a.files.isEmpty())
        return usageError(err, QStringLiteral("flash-erase takes no file"));
    if (!a.flags.contains(QStringLiteral("--yes")))
        return usageError(err, QStringLiteral("flash-erase clears the whole flash memory of the registrar; "
                                              "give --yes to confirm"));
    TransferSession s(o, err, QString(), QStringLiteral("flash-erase"));
    if (!s.connect())
        return Usage;
    FlashMemory ops(s.app());
    FlashMemory::View view;
    const transfer::Result r = ops.erase(o.password, view);
    printError(out, QStringLiteral("error"), r.verdict);
    return exitOf(r);
}

int firmware(const Options &o, FILE *out, FILE *err)
{
    QString file;
    if (!fileOnly(o, "firmware", err, file))
        return Usage;
    TransferSession s(o, err, file, QStringLiteral("firmware"));
    if (!s.connect())
        return Usage;
    FirmwareReadout ops(s.app());
    PlainProgress view(s.progress());
    return s.report(out, file, ops.read(o.password, view));
}

int logo(const Options &o, FILE *out, FILE *err)
{
    QString file;
    if (!fileOnly(o, "logo", err, file))
        return Usage;
    TransferSession s(o, err, file, QStringLiteral("logo"));
    LogoProgramming ops(s.app());
    if (!ops.loadPicture(file))
        return Usage;
    if (!s.connect())
        return Usage;
    const Outcome<LogoProgramming::Maxima> maxima = ops.readMaxima(o.password);
    if (!maxima.shown.known())
        return maxima.verdict.ok() ? int(RegistrarError) : cli::exitOf(maxima.verdict);
    const QSize size = ops.sizeToSend();
    PlainProgress view(s.progress());
    QSize sent;
    const transfer::Result r =
        ops.program(o.password, QString::number(size.width()), QString::number(size.height()), sent, view);
    s.progress().finish();
    printLine(out, QStringLiteral("width=") + QString::number(sent.width()));
    printLine(out, QStringLiteral("height=") + QString::number(sent.height()));
    printLine(out, QStringLiteral("lines=") + QString::number(r.bytes / LogoProgramming::kLineBytes));
    return exitOf(r);
}

} // namespace

QList<Verb> toolVerbs()
{
    return {
        {"flash-read", "flash-read --address A --count N [--retries R] FILE", flashRead},
        {"flash-write", "flash-write [--address A --count N] FILE", flashWrite},
        {"flash-erase", "flash-erase --yes", flashErase},
        {"firmware", "firmware FILE", firmware},
        {"logo", "logo FILE", logo},
    };
}

} // namespace cli
