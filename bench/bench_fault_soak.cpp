// Fault soak: state-changing commands (non-fiscal receipts with their text lines, header
// lines) sent through SerialTransport over a pseudo-terminal to registrar-emulator, which
// puts random faults on the exchanges, late replies included. The program's verdict for
// each command is compared with the emulator's journal of what it really carried out.
// Prints figures; never fails.
//
//   bench_fault_soak [--count N] [--rate P] [--seed N] [--reply N] [--virtual-port]
//
// Silent exchanges cost the real silence limit (about 5 s) and repeat pauses, so the run
// time grows with the count and the fault rate; tests/link/tst_fault_soak.cpp runs the same
// soak in virtual time.
#include "bench_support.h"
#include "commands/error_decoding.h"
#include "emulator/soak_tally.h"
#include "link/device_link.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <cstdio>

namespace {

QList<emu::Executed> readJournal(const QString &path)
{
    QList<emu::Executed> out;
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return out;
    for (const QByteArray &line : f.readAll().split('\n')) {
        const QList<QByteArray> parts = line.split('\t');
        if (parts.size() != 3)
            continue;
        bool ok = false;
        const int code = parts[0].toInt(&ok, 16);
        if (ok)
            out.append({quint8(code), QByteArray::fromHex(parts[2]), parts[1]});
    }
    return out;
}

QString faultSpec(const emu::Fault &f)
{
    static const char *names[] = {"none", "silence", "nak", "garbage", "badcheck", "cut", "syn", "bursts",
                                  "late", "refuse", "delay", "noise-etx", "stream"};
    return QStringLiteral("%1:%2:%3").arg(QLatin1String(names[f.kind])).arg(f.count).arg(f.intervalMs);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCommandLineParser cl;
    cl.addHelpOption();
    const QCommandLineOption count(QStringLiteral("count"), QStringLiteral("Commands to send."), QStringLiteral("N"), QStringLiteral("300"));
    const QCommandLineOption rate(QStringLiteral("rate"), QStringLiteral("Share of exchanges with a fault."), QStringLiteral("P"), QStringLiteral("0.3"));
    const QCommandLineOption seed(QStringLiteral("seed"), QStringLiteral("Seed of the emulator's faults."), QStringLiteral("N"), QStringLiteral("1"));
    const QCommandLineOption reply(QStringLiteral("reply"), QStringLiteral("Reply count (repeats)."), QStringLiteral("N"), QStringLiteral("3"));
    const QCommandLineOption virtualPort(QStringLiteral("virtual-port"), QStringLiteral("Repeat silent exchanges as on the USB virtual COM port."));
    cl.addOptions({count, rate, seed, reply, virtualPort});
    cl.process(app);

    QTemporaryDir dir;
    const QString journal = dir.filePath(QStringLiteral("journal"));
    QStringList kinds;
    for (const emu::Fault &f : emu::soakFaults())
        kinds << faultSpec(f);
    QProcess emulator;
    const QString path = startEmulator(emulator, {QStringLiteral("--journal"), journal, QStringLiteral("--fault-rate"),
                                                  cl.value(rate), QStringLiteral("--seed"), cl.value(seed),
                                                  QStringLiteral("--fault-kinds"), kinds.join(QLatin1Char(','))});
    DeviceLink link;
    if (path.isEmpty() || !link.OpenSerial(path, 115200)) {
        std::fprintf(stderr, "cannot start the emulator: %s\n", emulator.readAllStandardError().constData());
        return 1;
    }
    link.SetReplyCount(cl.value(reply).toInt());
    link.setOnVirtualPort(cl.isSet(virtualPort));
    link.SendStartupFrame();

    const int n = cl.value(count).toInt();
    QList<emu::SoakCommand> sent;
    QElapsedTimer t;
    t.start();
    for (int i = 0; i < n; ++i) {
        emu::SoakCommand c = emu::soakCommand(i);
        QString message;
        c.reportedSuccess = DecodeError(*link.ExecuteCommand(c.code, c.parameters), message);
        sent << c;
        if ((i + 1) % 50 == 0)
            std::fprintf(stderr, "  %d commands, %.0f s\n", i + 1, t.elapsed() / 1000.0);
    }
    const double seconds = t.elapsed() / 1000.0;
    const int retries = link.RetryCount();
    link.CloseSerial();
    emulator.terminate();
    emulator.waitForFinished();

    const emu::SoakTally tally = emu::tallySoak(sent, readJournal(journal));
    std::printf("fault soak over a pseudo-terminal: fault rate %s, seed %s, reply count %s%s, %.0f s\n",
                qPrintable(cl.value(rate)), qPrintable(cl.value(seed)), qPrintable(cl.value(reply)),
                cl.isSet(virtualPort) ? ", virtual COM port" : "", seconds);
    std::printf("  commands:                      %d\n", tally.commands);
    std::printf("  done twice:                    %d\n", tally.doneTwice);
    std::printf("  reported success, not done:    %d\n", tally.successNotDone);
    std::printf("  done, reported failed:         %d\n", tally.doneButFailed);
    std::printf("  failed and not done:           %d\n", tally.failedNotDone);
    std::printf("  retries counted by the link:   %d\n", retries);
    for (const QString &p : tally.problems)
        std::printf("    %s\n", qPrintable(p));
    return 0;
}
