// Exchanges per second of command 0x21 through SerialTransport over a pseudo-terminal
// against registrar-emulator in another process, and the CPU time the program spends
// during a silent 5-second wait. Prints figures; never fails.
#include "bench_support.h"
#include "link/device_link.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>

#include <cstdio>
#include <sys/resource.h>

namespace {

double cpuMs()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return (u.ru_utime.tv_sec + u.ru_stime.tv_sec) * 1000.0 + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1000.0;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int count = argc > 1 ? atoi(argv[1]) : 20000;

    QProcess emulator;
    const QString path = startEmulator(emulator, {});
    DeviceLink link;
    if (path.isEmpty() || !link.OpenSerial(path, 115200)) {
        std::fprintf(stderr, "cannot start the emulator\n");
        return 1;
    }
    const QByteArray params = "482913;";
    link.ExecuteCommand(0x21, params); // warm up
    const int wireBytes = link.Result().request.size() + link.Result().reply.size();
    int failures = 0;
    QElapsedTimer t;
    const double cpu0 = cpuMs();
    t.start();
    for (int i = 0; i < count; ++i)
        if (link.ExecuteCommand(0x21, params)->flags != 0)
            ++failures;
    const double ms = t.nsecsElapsed() / 1e6;
    const double cpu1 = cpuMs();
    const double perSecond = count * 1000.0 / ms;
    const double wireMs = wireBytes * 10 * 1000.0 / 115200; // 8N1: ten bits a byte
    std::printf("exchanges of 0x21 over a pseudo-terminal: %d in %.1f ms, %.0f per second, %d failed\n", count, ms,
                perSecond, failures);
    std::printf("  per exchange: %.1f us wall, %.1f us CPU; %d bytes on the wire\n", ms * 1000 / count,
                (cpu1 - cpu0) * 1000 / count, wireBytes);
    std::printf("  wire time at 115200 baud: %.3f ms per exchange; the link takes %.4f of it (%.0fx faster)\n",
                wireMs, (ms / count) / wireMs, wireMs / (ms / count));
    link.CloseSerial();
    emulator.terminate();
    emulator.waitForFinished();

    QProcess silent;
    const QString silentPath = startEmulator(silent, {QStringLiteral("--fault"), QStringLiteral("silence")});
    DeviceLink quiet;
    quiet.SetReplyCount(0);
    if (silentPath.isEmpty() || !quiet.OpenSerial(silentPath, 115200))
        return 1;
    const double c0 = cpuMs();
    t.restart();
    const CommandResult *r = quiet.ExecuteCommand(0x21, params);
    const double waited = t.elapsed();
    const double c1 = cpuMs();
    std::printf("silent wait: %.0f ms until the no-reply outcome (bit 26 %s), %.2f ms CPU\n", waited,
                r->noReply() ? "set" : "NOT set", c1 - c0);
    quiet.CloseSerial();
    silent.terminate();
    silent.waitForFinished();
    return 0;
}
