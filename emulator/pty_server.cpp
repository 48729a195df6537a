#include "emulator/pty_server.h"

#include <QFile>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

namespace emu {

namespace {
std::atomic<bool> g_stop{false};
void onSignal(int) { g_stop.store(true); }
} // namespace

PtyServer::PtyServer(Registrar &registrar)
    : m_respond([&registrar](const QByteArray &bytes) { return registrar.receive(bytes); })
{
}

PtyServer::PtyServer(Responder responder) : m_respond(std::move(responder)) {}

PtyServer::~PtyServer()
{
    if (m_slaveKeep >= 0)
        ::close(m_slaveKeep);
    if (m_master >= 0)
        ::close(m_master);
}

bool PtyServer::open()
{
    m_master = ::posix_openpt(O_RDWR | O_NOCTTY);
    if (m_master < 0 || ::grantpt(m_master) != 0 || ::unlockpt(m_master) != 0) {
        m_error = QString::fromLocal8Bit(std::strerror(errno));
        return false;
    }
    const char *name = ::ptsname(m_master);
    if (!name) {
        m_error = QString::fromLocal8Bit(std::strerror(errno));
        return false;
    }
    m_slavePath = QString::fromLocal8Bit(name);
    m_slaveKeep = ::open(name, O_RDWR | O_NOCTTY);
    if (m_slaveKeep >= 0) {
        // Raw line: no echo, no translation, so bytes pass as they are until the program
        // sets its own line settings.
        termios t{};
        if (::tcgetattr(m_slaveKeep, &t) == 0) {
            ::cfmakeraw(&t);
            ::tcsetattr(m_slaveKeep, TCSANOW, &t);
        }
    }
    return true;
}

void PtyServer::send(const QList<Chunk> &chunks)
{
    for (const Chunk &c : chunks) {
        if (c.delayMs > 0) {
            timespec ts{c.delayMs / 1000, (c.delayMs % 1000) * 1000000L};
            while (::nanosleep(&ts, &ts) != 0 && errno == EINTR) {
            }
        }
        const char *p = c.bytes.constData();
        qsizetype left = c.bytes.size();
        while (left > 0) {
            const ssize_t n = ::write(m_master, p, size_t(left));
            if (n < 0) {
                if (errno == EINTR || errno == EAGAIN)
                    continue;
                return;
            }
            p += n;
            left -= n;
        }
    }
}

bool PtyServer::lineSpeedMatches() const
{
    if (m_lineSpeed <= 0)
        return true;
    termios t{};
    if (::tcgetattr(m_slaveKeep >= 0 ? m_slaveKeep : m_master, &t) != 0)
        return true;
    static const struct {
        speed_t code;
        qint32 baud;
    } speeds[] = {{B110, 110},     {B300, 300},     {B600, 600},     {B1200, 1200},   {B2400, 2400},  {B4800, 4800},
                  {B9600, 9600},   {B19200, 19200}, {B38400, 38400}, {B57600, 57600}, {B115200, 115200}};
    const speed_t code = ::cfgetospeed(&t);
    for (const auto &s : speeds)
        if (s.code == code)
            return s.baud == m_lineSpeed;
    return false;
}

void PtyServer::run(const std::atomic<bool> &stop)
{
    char buffer[4096];
    while (!stop.load()) {
        pollfd p{m_master, POLLIN, 0};
        const int r = ::poll(&p, 1, 100);
        if (r <= 0)
            continue;
        if (p.revents & POLLIN) {
            const ssize_t n = ::read(m_master, buffer, sizeof buffer);
            if (n > 0) {
                if (lineSpeedMatches())
                    send(m_respond(QByteArray(buffer, int(n))));
                continue;
            }
        }
        if (p.revents & (POLLHUP | POLLERR)) {
            // No client at the moment: wait a little instead of spinning.
            ::usleep(20000);
        }
    }
}

int serveUntilSignalled(PtyServer &server, const QString &linkPath, const char *program)
{
    if (!server.open()) {
        std::fprintf(stderr, "%s: cannot create a pseudo-terminal: %s\n", program, qPrintable(server.errorString()));
        return 1;
    }
    if (!linkPath.isEmpty()) {
        QFile::remove(linkPath);
        if (!QFile::link(server.slavePath(), linkPath)) {
            std::fprintf(stderr, "%s: cannot create the link %s\n", program, qPrintable(linkPath));
            return 1;
        }
    }
    std::printf("%s\n", qPrintable(server.slavePath()));
    std::fflush(stdout);

    std::signal(SIGINT, onSignal);
    std::signal(SIGTERM, onSignal);
    std::signal(SIGHUP, onSignal);
    server.run(g_stop);

    if (!linkPath.isEmpty())
        QFile::remove(linkPath);
    return 0;
}

} // namespace emu
