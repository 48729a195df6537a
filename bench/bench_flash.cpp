// A flash memory read through the flash screen's operations, over a pseudo-terminal
// against registrar-emulator in another process: (a) with the emulator pacing the line at
// 115200 baud, the time against the wire-time limit of the same exchanges; (b) without
// pacing, blocks per second and the program's CPU time per block. Prints figures; never
// fails. Argument: the number of bytes to read (default 1 MiB).
#include "bench_support.h"

#include "app/application.h"
#include "link/command_result.h"
#include "tools/flash_memory.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <cstdio>
#include <sys/resource.h>

namespace {

constexpr int kBaud = 115200;

double cpuMs()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return (u.ru_utime.tv_sec + u.ru_stime.tv_sec) * 1000.0 + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1000.0;
}

// Messages to standard error; the dialogs answer with the dump file, the question with OK.
class BenchPrompter final : public Prompter {
public:
    explicit BenchPrompter(const QString &file) : m_file(file) {}
    void showMessage(const QString &text, const QString &, Icon) override
    {
        std::fprintf(stderr, "  %s\n", qPrintable(text));
    }
    Button ask(const QString &, const QString &, int, Icon) override { return Ok; }
    QString openFile(const FileRequest &) override { return m_file; }
    QString saveFile(const FileRequest &) override { return m_file; }
    QString chooseFolder(const QString &, const QString &) override { return {}; }

private:
    QString m_file;
};

// Adds up the bytes each block's exchange put on the wire, both ways.
class WireCount final : public FlashMemory::View {
public:
    explicit WireCount(DeviceLink &link) : m_link(link) {}
    // Called once for every reply of the transfer.
    void reply(const ReplyTexts &) override
    {
        const CommandResult &r = m_link.Result();
        // The raw reply: SOH LEN SEQ CMD, the error word and ";", the data, EOT, six
        // status bytes, ENQ, four check characters, ETX.
        bytes += r.request.size() + 4 + r.errorWord.size() + 1 + r.data.size() + 1 + 6 + 1 + 4 + 1;
        ++blocks;
    }
    qint64 bytes = 0;
    qint64 blocks = 0;

private:
    DeviceLink &m_link;
};

struct Run {
    double wallMs = 0, cpuMs = 0;
    qint64 wireBytes = 0, blocks = 0, fileBytes = 0;
    bool ok = false;
};

Run readFlash(qint64 size, bool paced, const QString &file)
{
    Run run;
    QProcess emulator;
    QStringList args{QStringLiteral("--flash-size"), QString::number(size)};
    if (paced)
        args << QStringLiteral("--pace");
    const QString path = startEmulator(emulator, args);
    BenchPrompter prompter(file);
    Application app(prompter, SystemClock::instance(), QDir::temp().filePath(QStringLiteral("bench_flash.ini")));
    if (path.isEmpty() || !app.link().OpenSerial(path, kBaud)) {
        std::fprintf(stderr, "cannot start the emulator\n");
        return run;
    }
    FlashMemory ops(app);
    WireCount view(app.link());
    QElapsedTimer t;
    const double cpu0 = cpuMs();
    t.start();
    const transfer::Result r = ops.read(QStringLiteral("482913"), QStringLiteral("0"), QString::number(size), 2, view);
    run.wallMs = t.nsecsElapsed() / 1e6;
    run.cpuMs = cpuMs() - cpu0;
    run.wireBytes = view.bytes;
    run.blocks = view.blocks;
    run.fileBytes = QFile(file).size();
    run.ok = r.ok();
    app.link().CloseSerial();
    emulator.terminate();
    emulator.waitForFinished();
    return run;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication qapp(argc, argv);
    const qint64 size = argc > 1 ? QByteArray(argv[1]).toLongLong() : 1024 * 1024;
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("flash.bin"));

    const Run paced = readFlash(size, true, file);
    const double wireMs = paced.wireBytes * 10 * 1000.0 / kBaud;
    std::printf("flash read of %lld bytes, paced at %d baud: %s, %lld blocks, %lld bytes in the file\n",
                static_cast<long long>(size), kBaud, paced.ok ? "done" : "FAILED",
                static_cast<long long>(paced.blocks), static_cast<long long>(paced.fileBytes));
    std::printf("  %.0f ms against a wire-time limit of %.0f ms (%lld bytes both ways): %.2f%% above it\n",
                paced.wallMs, wireMs, static_cast<long long>(paced.wireBytes), (paced.wallMs / wireMs - 1) * 100);

    const Run fast = readFlash(size, false, file);
    std::printf("flash read of %lld bytes, unpaced: %s, %lld blocks in %.0f ms\n", static_cast<long long>(size),
                fast.ok ? "done" : "FAILED", static_cast<long long>(fast.blocks), fast.wallMs);
    std::printf("  %.0f blocks per second; %.1f us wall and %.1f us CPU of the program per block\n",
                fast.blocks * 1000.0 / fast.wallMs, fast.wallMs * 1000 / fast.blocks, fast.cpuMs * 1000 / fast.blocks);
    return 0;
}
