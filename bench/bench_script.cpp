// Script lines per second: a generated script of 10,000 plain command lines run by
// `dizivu-cli run --quiet` against registrar-emulator on a pseudo-terminal, the whole
// program timed from start to exit. Prints figures; never fails.
#include "bench_support.h"
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <cstdio>

namespace {

struct Timed {
    int exitCode = -1;
    double ms = 0;
};

Timed runCli(const QStringList &args)
{
    QProcess cli;
    cli.setStandardOutputFile(QProcess::nullDevice());
    cli.setStandardErrorFile(QProcess::nullDevice());
    QElapsedTimer t;
    t.start();
    cli.start(QStringLiteral(CLI_PATH), args);
    Timed r;
    if (!cli.waitForFinished(600000)) {
        cli.kill();
        cli.waitForFinished();
        return r;
    }
    r.ms = t.nsecsElapsed() / 1e6;
    r.exitCode = cli.exitStatus() == QProcess::NormalExit ? cli.exitCode() : -1;
    return r;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int lines = argc > 1 ? atoi(argv[1]) : 10000;

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("bench.txt"));
    QFile script(path);
    if (!script.open(QIODevice::WriteOnly))
        return 1;
    // Reading commands of the registrar, in turn: clock, parameters, a header line, a beep.
    static const char *const kLines[] = {"21482913;\n", "28482913;\n", "23482913;0;\n", "82482913;1;\n"};
    for (int i = 0; i < lines; ++i)
        script.write(kLines[i % 4]);
    script.close();

    QProcess emulator;
    const QString port = startEmulator(emulator, {});
    if (port.isEmpty()) {
        std::fprintf(stderr, "cannot start the emulator\n");
        return 1;
    }
    const QStringList base{QStringLiteral("--port"), port, QStringLiteral("--speed"), QStringLiteral("115200"),
                           QStringLiteral("run"), path};
    const Timed quiet = runCli(base + QStringList{QStringLiteral("--quiet")});
    const Timed logged = runCli(base);
    emulator.terminate();
    emulator.waitForFinished();

    std::printf("script of %d plain command lines through dizivu-cli run over a pseudo-terminal\n", lines);
    std::printf("  --quiet: %.1f ms, %.0f lines per second, exit %d (target over 3000)\n", quiet.ms,
                lines * 1000.0 / quiet.ms, quiet.exitCode);
    std::printf("  frames logged: %.1f ms, %.0f lines per second, exit %d\n", logged.ms,
                lines * 1000.0 / logged.ms, logged.exitCode);
    return 0;
}
