// Arbitrary script files through the reader, the parser and the runner, with the
// registrar on an in-process loopback and virtual time. The first byte picks the mode
// (Run, Continue, Step), the flags and a fault on the first exchange; the rest is the
// file. Runs are cut after a few thousand lines, as "Стоп" would cut them.
#include "app/application.h"
#include "link/frame.h"
#include "link/serial_transport.h"
#include "scripts/script_runner.h"

#include <QByteArray>
#include <QDir>
#include <QFile>

#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <unistd.h>

// The registrar emulator when the target links it; otherwise a small peer of our own
// that answers every well-formed request with "0000" and its parameters as data.
#if __has_include("emulator/registrar.h")
#include "emulator/registrar.h"
#define FUZZ_WITH_EMULATOR 1
#else
#define FUZZ_WITH_EMULATOR 0
#endif

#include "null_prompter.h"

namespace {

constexpr int kLineBudget = 4000;

#if FUZZ_WITH_EMULATOR
using Peer = emu::Registrar;
QByteArray answer(Peer &peer, const QByteArray &frame)
{
    QByteArray out;
    for (const emu::Chunk &c : peer.receive(frame))
        out += c.bytes;
    return out;
}
void injectFault(Peer &peer, int kind)
{
    static const emu::Fault::Kind kinds[] = {emu::Fault::None, emu::Fault::Silence, emu::Fault::Nak,
                                             emu::Fault::BadCheck, emu::Fault::CutShort, emu::Fault::Garbage};
    peer.injectFault({kinds[kind % 6]});
}
#else
struct Peer {
    int fault = 0;
};
QByteArray answer(Peer &peer, const QByteArray &request)
{
    const int fault = peer.fault;
    peer.fault = 0;
    if (fault == 1)
        return {};
    if (fault == 2)
        return QByteArray(1, char(frame::NAK));
    if (request.size() < 10 || quint8(request[0]) != frame::SOH)
        return QByteArray(1, char(frame::NAK));
    // The data: the parameter fields after the password.
    QByteArray params = request.mid(4, request.size() - 10);
    const int semicolon = params.indexOf(';');
    QByteArray data = semicolon < 0 ? QByteArray() : params.mid(semicolon + 1).left(150);
    QByteArray summed;
    summed += char(0x30 + data.size());
    summed += request[2];
    summed += request[3];
    summed += "0000;" + data;
    summed += char(frame::EOT);
    summed += QByteArray(6, char(0x80));
    summed += char(frame::ENQ);
    quint32 sum = 0;
    for (char c : summed)
        sum += quint8(c);
    QByteArray reply = char(frame::SOH) + summed + frame::checkCharacters(fault == 3 ? sum + 1 : sum) + char(frame::ETX);
    return fault == 4 ? reply.left(reply.size() / 2) + char(frame::ETX) : reply;
}
void injectFault(Peer &peer, int kind)
{
    peer.fault = kind % 5;
}
#endif

// The peer behind the link: a request goes in whole, its answer comes out byte by
// byte; a read that finds nothing waits its 100 ms of virtual time.
class Loopback final : public Transport {
public:
    Loopback(Peer &peer, VirtualClock &clock) : m_peer(peer), m_clock(clock) {}
    Kind kind() const override { return Kind::Serial; }
    bool sendFrame(const QByteArray &request) override
    {
        m_pending.clear();
        const QByteArray reply = answer(m_peer, request);
        m_pending.insert(m_pending.end(), reply.begin(), reply.end());
        return true;
    }
    Read readByte(quint8 &byte) override
    {
        if (m_pending.empty()) {
            m_clock.sleepMs(SerialTransport::kReadTimeoutMs);
            return Read::None;
        }
        byte = quint8(m_pending.front());
        m_pending.pop_front();
        return Read::Byte;
    }
    void purge() override { m_pending.clear(); }

private:
    Peer &m_peer;
    VirtualClock &m_clock;
    std::deque<char> m_pending;
};

class BudgetSink final : public ScriptSink {
public:
    void logLine(const QString &line) override { m_bytes += line.size(); }
    void variableAdded(int number, const QString &name) override { m_bytes += number + name.size(); }
    void processEvents() override
    {
        if (++m_events >= kLineBudget && runner)
            runner->requestStop();
    }
    ScriptRunner *runner = nullptr;

private:
    int m_events = 0;
    qint64 m_bytes = 0;
};

const QString &scratchPath()
{
    static const QString path = QDir::tempPath() + QStringLiteral("/fuzz_script_%1.txt").arg(::getpid());
    return path;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    const quint8 mode = data[0];
    {
        QFile f(scratchPath());
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return 0;
        f.write(reinterpret_cast<const char *>(data + 1), qint64(size - 1));
    }

    static NullPrompter prompter;
    VirtualClock clock;
    Application app(prompter, clock, QDir::tempPath() + QStringLiteral("/fuzz_script_%1.ini").arg(::getpid()));
    Peer peer;
    if (mode & 0x80)
        injectFault(peer, (mode >> 4) & 0x7);
    app.link().attachTransport(std::make_unique<Loopback>(peer, clock));
    app.link().SetReplyCount((mode >> 3) & 1);

    BudgetSink sink;
    ScriptRunner runner(app, sink);
    sink.runner = &runner;
    // Over USB, SetSpeed leaves the connection alone.
    app.state().usbConnected = mode & 0x40;
    runner.setSeedSource([] { return 1u; });
    runner.setDateTimeSource([] { return QDateTime(QDate(2026, 12, 9), QTime(10, 0)); });
    runner.setPortName(QStringLiteral("ttyFUZZ"));
    runner.setPortReopener([&clock](const QString &, qint32 rate) { return rate % 2 == 0 && clock.nowMs() >= 0; });
    runner.setQuiet(mode & 0x04);
    runner.setScript(scratchPath());

    const int line = (mode >> 4) & 0x3;
    ScriptRunner::Outcome outcome = ScriptRunner::Outcome::EndOfFile;
    switch (mode & 0x03) {
    case 0:
    case 1:
        outcome = runner.run();
        break;
    case 2:
        outcome = runner.continueFrom(line);
        break;
    default:
        outcome = runner.step(line);
        break;
    }
    if (runner.running() || outcome == ScriptRunner::Outcome::Busy)
        __builtin_trap();
    if (runner.variables().size() > ScriptRunner::kMaxVariables)
        __builtin_trap();
    for (const ScriptVariable &v : runner.variables())
        if (v.value.size() > script::kMaxValueLength)
            __builtin_trap();
    return 0;
}
