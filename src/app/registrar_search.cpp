#include "app/registrar_search.h"

#include "commands/command_codes.h"
#include "link/byte_receiver.h"
#include "link/code_page.h"
#include "link/command_result.h"
#include "link/device_link.h"
#include "link/device_recovery.h"
#include "link/frame.h"
#include "link/serial_transport.h"

#include <QElapsedTimer>
#include <QFile>
#include <QSerialPortInfo>

#include <cerrno>
#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <memory>
#include <vector>

namespace {

// The reply to 0x80 is the longest frame the registrar may send: LEN is one byte.
constexpr int kLongestReplyBytes = 0xFF + 6;
// After this many bytes of noise a SYN is taken for noise too.
constexpr int kNoiseBytes = 16;

// Milliseconds one byte takes on the line: ten bits (8N1).
double byteMs(qint32 speed)
{
    return 10000.0 / double(qMax<qint32>(speed, 50));
}

int wireMs(int bytes, qint32 speed)
{
    return int(bytes * byteMs(speed) + 0.999);
}

QByteArray fixedParameters()
{
    return QByteArray(cmd::kDefaultPassword) + ';';
}

// One candidate port for the length of the search.
struct Line {
    enum class State { Waiting, Done, Answered };

    QString name;
    std::unique_ptr<QSerialPort> port;
    ByteReceiver rx;
    quint8 seqByte = 0;
    qint64 deadline = 0; // silence until then: nothing attached at this speed
    qint64 limit = 0;    // not waited for beyond this, whatever keeps coming
    State state = State::Done;
    int noise = 0; // bytes at this speed that were no part of this request's reply

    bool belongs() const
    {
        return rx.frameHeaderSeen() && rx.receivedCommand() == quint8(cmd::Diagnostics)
            && quint8(rx.receivedSequence() + 0x20) == seqByte;
    }
};

bool writeAll(int fd, const QByteArray &bytes)
{
    QElapsedTimer t;
    t.start();
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (n > 0) {
            done += n;
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        // A line held by flow control takes the request later, or not at all.
        if (n < 0 && errno == EAGAIN && t.elapsed() < 200) {
            pollfd p{fd, POLLOUT, 0};
            ::poll(&p, 1, 20);
            continue;
        }
        return false;
    }
    return true;
}

// Starts the exchange of one line at `speed`; false when the port takes neither the speed
// nor the request.
bool sendRequest(Line &line, qint32 speed, SequenceCounter &seq, qint64 now)
{
    line.state = Line::State::Done;
    if (!line.port->isOpen() || !line.port->setBaudRate(speed))
        return false;
    // What an earlier speed brought (an answer garbled by the wrong speed) is not this
    // speed's reply.
    line.port->clear(QSerialPort::AllDirections);
    line.port->readAll();
    line.noise = 0;
    line.rx.resetForExchange();
    line.rx.clearFrameComplete();
    line.rx.returnToIdle();
    line.seqByte = seq.next();
    const QByteArray request = frame::buildRequest(line.seqByte, quint8(cmd::Diagnostics), fixedParameters());
    if (!writeAll(line.port->handle(), request))
        return false;
    line.deadline = now + RegistrarSearch::answerWaitMs(speed);
    line.limit = now + wireMs(int(request.size()) + kLongestReplyBytes, speed) + RegistrarSearch::kLongestWaitMs;
    line.state = Line::State::Waiting;
    return true;
}

// Takes what the line has received; marks it answered, or done when it brought a reply
// of this request that is not well formed.
void takeBytes(Line &line, qint32 speed, qint64 now)
{
    // First what the port object already holds (a window's event processing reads for
    // it), then what is still with the driver: the order of the bytes is kept.
    QByteArray bytes = line.port->readAll();
    const int fd = line.port->handle();
    for (char buffer[512];;) {
        if (fd < 0)
            break;
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n > 0) {
            bytes.append(buffer, qsizetype(n));
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        // 0 is "nothing now" on a line without a minimum read count; an error other than
        // that says the far end hung up or the device went away: nothing more will come.
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK)
            line.state = Line::State::Done;
        break;
    }
    const qint64 gap = RegistrarSearch::kByteGapMarginMs + wireMs(2, speed);
    for (const char c : bytes) {
        ByteReceiver &rx = line.rx;
        const quint8 b = quint8(c);
        rx.dispatch(b);
        // Only a frame of this request under way, or a registrar's SYN while it works,
        // keeps the wait alive: a chatty device on the port (or a speed that turns its
        // words into noise) does not hold the search. Once the line has been noisy, only
        // a frame whose header names this request does.
        const bool quiet = line.noise < kNoiseBytes;
        const bool inFrame = rx.state() != ByteReceiver::Idle;
        bool alive = false;
        if (b == frame::SYN)
            alive = quiet;
        else if (rx.frameHeaderSeen())
            alive = inFrame && line.belongs();
        else
            alive = inFrame && quiet;
        if (alive)
            line.deadline = qMax(line.deadline, now + gap);
        else if (b != frame::SYN)
            ++line.noise;
        if (rx.nakReceived()) {
            // A NAK here may be the late answer to an earlier speed's garbled request.
            rx.dropFrame();
            continue;
        }
        if (!rx.replyReady() && !rx.frameComplete())
            continue;
        if (!line.belongs()) {
            // Another command's reply (a late one to an earlier program) or noise closed
            // by ETX: not this request's answer.
            rx.dropFrame();
            continue;
        }
        const bool wellFormed = rx.replyReady() && rx.checksumMatches() && DeviceLink::replyShapeOk(rx.rawCopy());
        line.state = wellFormed ? Line::State::Answered : Line::State::Done;
        return;
    }
}

RegistrarSearch::Found describe(Line &line, qint32 speed)
{
    CommandResult r;
    r.commandCode = cmd::Diagnostics;
    reply_parsing::parseReply(line.rx, r);
    RegistrarSearch::Found f;
    f.port = line.name;
    f.speed = speed;
    f.model = code_page::fromDevice(r.field(0));
    f.version = code_page::fromDevice(r.field(1));
    f.serial = code_page::fromDevice(r.field(2));
    f.errorWord = r.errorWord;
    return f;
}

} // namespace

QList<qint32> RegistrarSearch::defaultSpeeds()
{
    return {115200, 9600, 57600, 38400, 19200, 4800, 2400, 1200, 600, 300, 110};
}

QStringList RegistrarSearch::registrarFirst(QStringList ports, const QString &virtualPort)
{
    const qsizetype at = virtualPort.isEmpty() ? -1 : ports.indexOf(virtualPort);
    if (at > 0)
        ports.move(at, 0);
    return ports;
}

QStringList RegistrarSearch::presentPorts(const DeviceTree &tree)
{
    QStringList ports;
    for (const QSerialPortInfo &info : QSerialPortInfo::availablePorts())
        ports << info.portName();
    QString virtualPort;
    if (locateVirtualPort(virtualPort, tree) != 0)
        virtualPort.clear();
    // The device lists may know the registrar's port before Qt does.
    if (!virtualPort.isEmpty() && !ports.contains(virtualPort))
        ports.prepend(virtualPort);
    return registrarFirst(ports, virtualPort);
}

int RegistrarSearch::answerWaitMs(qint32 speed)
{
    // The request leaves, the registrar works, its first bytes come back.
    constexpr int kRequestBytes = 17; // 0x80 with "482913;"
    return wireMs(kRequestBytes + 2, speed) + kAnswerMarginMs;
}

QString RegistrarSearch::deviceGroup(const QString &devicePath)
{
    struct stat st {};
    if (::stat(QFile::encodeName(devicePath).constData(), &st) != 0)
        return {};
    std::vector<char> buffer(16384);
    group entry {};
    group *found = nullptr;
    if (::getgrgid_r(st.st_gid, &entry, buffer.data(), buffer.size(), &found) != 0 || !found)
        return QString::number(st.st_gid);
    return QString::fromLocal8Bit(found->gr_name);
}

QString RegistrarSearch::openFailureText(const QString &port, QSerialPort::SerialPortError error,
                                         const QString &systemText)
{
    const QString path = SerialTransport::devicePath(port);
    const QByteArray native = QFile::encodeName(path);
    if (error == QSerialPort::DeviceNotFoundError || ::access(native.constData(), F_OK) != 0)
        return QStringLiteral("Порт %1 не найден.").arg(port);
    if (::access(native.constData(), R_OK | W_OK) != 0) {
        const QString group = deviceGroup(path);
        if (group.isEmpty())
            return QStringLiteral("Нет прав доступа к порту %1: пользователь должен входить в группу, "
                                  "которой принадлежит порт.").arg(port);
        return QStringLiteral("Нет прав доступа к порту %1: пользователь должен входить в группу %2 "
                              "(sudo usermod -aG %2 $USER, затем войти в систему заново).").arg(port, group);
    }
    // Allowed, yet refused: another program holds the port (its lock file, or the line
    // opened exclusively).
    if (error == QSerialPort::PermissionError || error == QSerialPort::OpenError)
        return QStringLiteral("Порт %1 занят другой программой.").arg(port);
    return systemText.isEmpty() ? QStringLiteral("Порт %1 не открывается.").arg(port)
                                : QStringLiteral("Порт %1 не открывается: %2").arg(port, systemText);
}

RegistrarSearch::Result RegistrarSearch::run(const QStringList &ports, const QList<qint32> &speeds)
{
    Result result;
    std::vector<std::unique_ptr<Line>> lines;
    QStringList seen;
    for (const QString &name : ports) {
        if (name.trimmed().isEmpty() || seen.contains(name))
            continue;
        seen << name;
        auto line = std::make_unique<Line>();
        line->name = name;
        line->port = std::make_unique<QSerialPort>();
        line->port->setPortName(SerialTransport::devicePath(name));
        if (!line->port->open(QIODevice::ReadWrite)) {
            result.unopened.append({name, openFailureText(name, line->port->error(), line->port->errorString())});
            continue;
        }
        line->port->setDataBits(QSerialPort::Data8);
        line->port->setParity(QSerialPort::NoParity);
        line->port->setStopBits(QSerialPort::OneStop);
        // Reads of the driver's bytes never block: the wait is the search's own.
        const int fd = line->port->handle();
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
        result.tried << name;
        lines.push_back(std::move(line));
    }

    SequenceCounter seq;
    QElapsedTimer clock;
    clock.start();
    for (int s = 0; s < speeds.size() && !lines.empty(); ++s) {
        const qint32 speed = speeds[s];
        if (m_progress)
            m_progress({speed, s + 1, int(speeds.size())});
        for (auto &line : lines)
            sendRequest(*line, speed, seq, clock.elapsed());

        for (;;) {
            if (m_idle)
                m_idle();
            if (cancelled()) {
                result.cancelled = true;
                return result;
            }
            const qint64 now = clock.elapsed();
            bool waiting = false;
            Line *winner = nullptr;
            for (auto &line : lines) {
                if (line->state == Line::State::Waiting)
                    takeBytes(*line, speed, now);
                if (line->state == Line::State::Waiting && now >= qMin(line->deadline, line->limit))
                    line->state = Line::State::Done;
                // An earlier port still waiting keeps the decision open: the order of the
                // list decides between two registrars, not the race of their replies.
                if (!waiting && !winner && line->state == Line::State::Answered)
                    winner = line.get();
                if (line->state == Line::State::Waiting)
                    waiting = true;
            }
            if (winner) {
                result.found = true;
                result.registrar = describe(*winner, speed);
                return result;
            }
            if (!waiting)
                break;

            // Sleep until a byte comes, the nearest deadline, or the next tick.
            std::vector<pollfd> fds;
            qint64 nearest = now + kTickMs;
            bool buffered = false;
            for (auto &line : lines) {
                if (line->state != Line::State::Waiting)
                    continue;
                nearest = qMin(nearest, qMin(line->deadline, line->limit));
                buffered = buffered || line->port->bytesAvailable() > 0;
                if (line->port->handle() >= 0)
                    fds.push_back({line->port->handle(), POLLIN, 0});
            }
            const int timeout = buffered ? 0 : int(qBound(qint64(0), nearest - now, qint64(kTickMs)));
            ::poll(fds.data(), nfds_t(fds.size()), timeout);
        }
    }
    return result;
}
