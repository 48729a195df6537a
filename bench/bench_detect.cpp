// The registrar search: how long ten serial ports with nothing attached take (target:
// under 10 s), and how soon a registrar at 115200 on the first of ten ports is found
// (target: under 0.5 s). Pseudo-terminals stand in for the ports, registrar-emulator
// for the registrar; a port that streams noise stands for a chatty device (a scanner, a
// GPS) on one of them. Prints figures; never fails.
#include "bench_support.h"
#include "app/registrar_search.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>

#include <algorithm>
#include <atomic>
#include <random>
#include <thread>
#include <cstdio>
#include <fcntl.h>
#include <memory>
#include <stdlib.h>
#include <unistd.h>
#include <vector>

namespace {

// A pseudo-terminal nobody answers on.
struct SilentPort {
    int master = -1;
    QString path;
    SilentPort()
    {
        master = ::posix_openpt(O_RDWR | O_NOCTTY);
        if (master >= 0 && ::grantpt(master) == 0 && ::unlockpt(master) == 0)
            path = QString::fromLocal8Bit(::ptsname(master));
    }
    ~SilentPort()
    {
        if (master >= 0)
            ::close(master);
    }
};

struct Figures {
    qint64 min = 0, median = 0, max = 0;
};

Figures figures(std::vector<qint64> ms)
{
    std::sort(ms.begin(), ms.end());
    return {ms.front(), ms[ms.size() / 2], ms.back()};
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int rounds = argc > 1 ? qMax(1, atoi(argv[1])) : 5;

    std::vector<std::unique_ptr<SilentPort>> silent;
    QStringList ports;
    for (int i = 0; i < 10; ++i) {
        silent.push_back(std::make_unique<SilentPort>());
        ports << silent.back()->path;
    }
    if (ports.contains(QString())) {
        std::fprintf(stderr, "cannot create pseudo-terminals\n");
        return 1;
    }

    RegistrarSearch search;
    std::vector<qint64> nothing;
    for (int i = 0; i < qMin(rounds, 3); ++i) {
        QElapsedTimer t;
        t.start();
        const RegistrarSearch::Result r = search.run(ports, RegistrarSearch::defaultSpeeds());
        nothing.push_back(t.elapsed());
        if (r.found || r.tried.size() != 10)
            std::fprintf(stderr, "unexpected: found=%d tried=%d\n", int(r.found), int(r.tried.size()));
    }
    const Figures n = figures(nothing);
    std::printf("ten silent ports, %d speeds: whole search %lld ms (min %lld, max %lld; target < 10000)\n",
                int(RegistrarSearch::defaultSpeeds().size()), n.median, n.min, n.max);

    QProcess emulator;
    const QString registrar = startEmulator(emulator, {QStringLiteral("--line-speed"), QStringLiteral("115200")});
    if (registrar.isEmpty()) {
        std::fprintf(stderr, "cannot start the emulator\n");
        return 1;
    }
    QStringList withRegistrar = ports;
    withRegistrar[0] = registrar;
    std::vector<qint64> first;
    for (int i = 0; i < rounds; ++i) {
        QElapsedTimer t;
        t.start();
        const RegistrarSearch::Result r = search.run(withRegistrar, RegistrarSearch::defaultSpeeds());
        first.push_back(t.elapsed());
        if (!r.found || r.registrar.port != registrar || r.registrar.speed != 115200)
            std::fprintf(stderr, "unexpected: the registrar was not found at 115200 on the first port\n");
    }
    const Figures f = figures(first);
    std::printf("registrar at 115200 on the first of ten ports: found in %lld ms (min %lld, max %lld; target < 500)\n",
                f.median, f.min, f.max);

    // For comparison: the same registrar at 9600 on the last port.
    QProcess slow;
    const QString last = startEmulator(slow, {QStringLiteral("--line-speed"), QStringLiteral("9600")});
    QStringList lastPort = ports;
    lastPort[9] = last;
    QElapsedTimer t;
    t.start();
    const RegistrarSearch::Result r = search.run(lastPort, RegistrarSearch::defaultSpeeds());
    std::printf("registrar at 9600 on the last of ten ports: %s in %lld ms\n", r.found ? "found" : "NOT found",
                t.elapsed());

    // A device that never stops talking, on one of the ten ports.
    {
        std::atomic<bool> stop{false};
        const int master = silent[4]->master;
        std::thread noise([&] {
            std::mt19937 random(7);
            char bytes[10];
            while (!stop.load()) {
                for (char &b : bytes)
                    b = char(random() & 0xFF);
                [[maybe_unused]] const ssize_t n = ::write(master, bytes, sizeof bytes);
                ::usleep(5000);
            }
        });
        QElapsedTimer t;
        t.start();
        const RegistrarSearch::Result r = search.run(ports, RegistrarSearch::defaultSpeeds());
        std::printf("ten ports, one of them streaming noise (2000 bytes/s): whole search %lld ms%s\n", t.elapsed(),
                    r.found ? " (a registrar was \"found\"!)" : "");
        stop.store(true);
        noise.join();
    }

    emulator.terminate();
    slow.terminate();
    emulator.waitForFinished();
    slow.waitForFinished();
    return 0;
}
