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

namespace {

qint64 monotonicNs()
{
    timespec ts{};
    ::clock_gettime(CLOCK_MONOTONIC, &ts);
    return qint64(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

void sleepUntilNs(qint64 ns)
{
    timespec ts{time_t(ns / 1000000000), long(ns % 1000000000)};
    while (::clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &ts, nullptr) == EINTR) {
    }
}

void sleepMs(int ms)
{
    timespec ts{ms / 1000, (ms % 1000) * 1000000L};
    while (::nanosleep(&ts, &ts) != 0 && errno == EINTR) {
    }
}

} // namespace

namespace {

// The baud rate of a line speed code; 0 for a code not in the list.
int baudOf(speed_t code)
{
    static const struct {
        speed_t code;
        int baud;
    } kRates[] = {{B110, 110},       {B300, 300},       {B600, 600},       {B1200, 1200},     {B2400, 2400},
                  {B4800, 4800},     {B9600, 9600},     {B19200, 19200},   {B38400, 38400},   {B57600, 57600},
                  {B115200, 115200}, {B230400, 230400}, {B460800, 460800}, {B921600, 921600}};
    for (const auto &r : kRates)
        if (r.code == code)
            return r.baud;
    return 0;
}

} // namespace

int PtyServer::lineBaud() const
{
    termios t{};
    if (m_slaveKeep < 0 || ::tcgetattr(m_slaveKeep, &t) != 0)
        return 0;
    return baudOf(::cfgetospeed(&t));
}

bool PtyServer::writeAll(const char *p, qsizetype left)
{
    while (left > 0) {
        const ssize_t n = ::write(m_master, p, size_t(left));
        if (n < 0) {
            if (errno == EINTR || errno == EAGAIN)
                continue;
            return false;
        }
        p += n;
        left -= n;
    }
    return true;
}

qint64 PtyServer::sendPaced(const QByteArray &bytes, qint64 start, qint64 byteNs)
{
    // A byte is on the far side one byte time after it started; whatever is due by now
    // goes out in one write, never a byte early. Between writes the server sleeps until a
    // few bytes are due, so neither side wakes for every byte.
    constexpr qsizetype kSlice = 8;
    qsizetype sent = 0;
    while (sent < bytes.size()) {
        const qint64 now = monotonicNs();
        qsizetype due = qsizetype((now - start) / byteNs);
        if (due <= sent) {
            sleepUntilNs(start + qMin(sent + kSlice, bytes.size()) * byteNs);
            continue;
        }
        due = qMin(due, bytes.size());
        if (!writeAll(bytes.constData() + sent, due - sent))
            return start + bytes.size() * byteNs;
        sent = due;
    }
    return start + bytes.size() * byteNs;
}

void PtyServer::send(const QList<Chunk> &chunks)
{
    if (!m_pacing) {
        for (const Chunk &c : chunks) {
            if (c.delayMs > 0)
                sleepMs(c.delayMs);
            if (!writeAll(c.bytes.constData(), c.bytes.size()))
                return;
        }
        return;
    }
    const int baud = lineBaud() > 0 ? lineBaud() : m_fallbackBaud;
    const qint64 byteNs = 10 * qint64(1000000000) / qMax(1, baud);
    // The reply cannot start before the request has crossed the wire.
    qint64 at = qMax(monotonicNs(), m_requestEndNs);
    for (const Chunk &c : chunks) {
        if (c.delayMs > 0)
            at += qint64(c.delayMs) * 1000000;
        at = sendPaced(c.bytes, at, byteNs);
    }
}

QString PtyServer::lineFault() const
{
    termios t{};
    if (::tcgetattr(m_slaveKeep >= 0 ? m_slaveKeep : m_master, &t) != 0)
        return QString();
    int bits = 8;
    switch (t.c_cflag & CSIZE) {
    case CS5:
        bits = 5;
        break;
    case CS6:
        bits = 6;
        break;
    case CS7:
        bits = 7;
        break;
    default:
        break;
    }
    const char parity = !(t.c_cflag & PARENB) ? 'N' : (t.c_cflag & PARODD) ? 'O' : 'E';
    const int stopBits = (t.c_cflag & CSTOPB) ? 2 : 1;
    if (bits == 8 && parity == 'N' && stopBits == 1)
        return QString();
    return QStringLiteral("%1%2%3").arg(bits).arg(QLatin1Char(parity)).arg(stopBits);
}

bool PtyServer::lineSpeedMatches() const
{
    if (m_lineSpeed <= 0)
        return true;
    termios t{};
    if (::tcgetattr(m_slaveKeep >= 0 ? m_slaveKeep : m_master, &t) != 0)
        return true;
    return baudOf(::cfgetospeed(&t)) == m_lineSpeed;
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
                if (!lineSpeedMatches())
                    continue;
                if (const QString fault = lineFault(); !fault.isEmpty()) {
                    if (!m_lineFaultTold)
                        std::fprintf(stderr, "registrar emulator: what arrives on a line set to %s is not answered "
                                             "(the registrar speaks 8N1)\n", qPrintable(fault));
                    m_lineFaultTold = true;
                    continue;
                }
                m_lineFaultTold = false;
                if (m_pacing) {
                    // The bytes arrived at once through the pseudo-terminal; on a wire
                    // they would have taken ten bit times each.
                    const int baud = lineBaud() > 0 ? lineBaud() : m_fallbackBaud;
                    const qint64 byteNs = 10 * qint64(1000000000) / qMax(1, baud);
                    m_requestEndNs = qMax(monotonicNs(), m_requestEndNs) + n * byteNs;
                }
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
