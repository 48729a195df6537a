#pragma once

#include "emulator/state.h"
#include "emulator/wire.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QRandomGenerator>
#include <QString>

#include <array>
#include <deque>
#include <functional>

namespace emu {

// One piece of the registrar's output: bytes sent after a pause (relative to the
// previous piece, or to the request for the first one).
struct Chunk {
    int delayMs = 0;
    QByteArray bytes;
};

// Faults the emulator can put on an exchange.
struct Fault {
    enum Kind {
        None,
        Silence,    // the command is carried out, its reply is lost
        Nak,        // the request is refused with NAK and not carried out
        Garbage,    // carried out; printable noise instead of the reply
        BadCheck,   // carried out; the reply's check characters are wrong
        CutShort,   // carried out; the reply stops early with ETX
        SynBefore,  // `count` SYN bytes `intervalMs` apart before the reply
        Bursts,     // the reply in `count` pieces `intervalMs` apart
        Late,       // the reply, then `count` stale copies of it `intervalMs` later
        Refuse,     // not carried out; answered with error class `count`, detail `intervalMs`
        Delayed,    // carried out; the reply comes `intervalMs` late (`count` is not used)
        NoiseEtx,   // carried out; printable noise closed by ETX instead of the reply
        Stream,     // carried out; `count` noise bytes `intervalMs` apart, never a frame
    };
    Kind kind = None;
    int count = 3;
    int intervalMs = 80;
    // With a command code, the fault waits for the next frame of that command.
    int onlyCode = -1;

    static Fault parse(const QString &text, bool *ok = nullptr);
};

// An executed command, as the registrar's own journal keeps it: the request and the
// error word it was answered with ("0000": done).
struct Executed {
    quint8 code = 0;
    QByteArray parameters;
    QByteArray errorWord = "0000";
    bool done() const { return errorWord == "0000"; }
    // The same request; the outcome is not compared.
    bool operator==(const Executed &o) const { return code == o.code && parameters == o.parameters; }
};

struct Outcome;

// A registrar in software. It answers frames with realistic state rather than canned
// replies, recognises a repeated request and answers it from its last reply, and puts
// faults on exchanges on request.
class Registrar {
public:
    using Options = RegistrarOptions;

    Registrar();
    explicit Registrar(const Options &options);

    // Bytes from the program. Returns what the registrar sends back, in order.
    QList<Chunk> receive(const QByteArray &bytes);

    // Faults: one per coming exchange, or at a rate drawn from a seeded generator.
    void injectFault(const Fault &fault) { m_faults.push_back(fault); }
    void setFaultRate(double rate, const QList<Fault> &kinds, quint32 seed);
    void clearFaults();

    const QList<Executed> &journal() const { return m_journal; }
    // Called at every command carried out (not at a repeat answered from the cache).
    void setJournalHook(std::function<void(const Executed &)> hook) { m_journalHook = std::move(hook); }
    // Every text line printed (command 0x61), in order.
    const QList<QByteArray> &paperTape() const { return m_state.paperTape; }
    // What is printed, as it prints: every line (in the registrar's code page) and the end
    // of every document. Either may be empty.
    void setPrintHooks(std::function<void(const QByteArray &line)> onPrint, std::function<void()> onDocumentEnd)
    {
        m_state.onPrint = std::move(onPrint);
        m_state.onDocumentEnd = std::move(onDocumentEnd);
    }
    // The receipt state reported in bits 0-3 of status byte 2 (0 closed, 5 non-fiscal open).
    int receiptState() const { return m_state.receiptState; }
    // Everything the registrar remembers, for tests that check what a sequence left.
    const State &state() const { return m_state; }
    State &state() { return m_state; }
    int framesReceived() const { return m_framesReceived; }
    int repeatsAnswered() const { return m_repeatsAnswered; }
    const Options &options() const { return m_state.options; }

    // The registrar's clock: the computer's clock plus an offset set by command 0x20.
    QDateTime now() const { return m_state.now(); }
    // A fixed "computer" time for repeatable tests; unset means the real clock.
    void setHostTime(const QDateTime &t) { m_state.hostTime = t; }
    // Status bytes to report in every reply instead of the registrar's own (bit 7 goes
    // out set whatever is given), until cleared.
    void setStatusOverride(const std::array<quint8, 6> &status)
    {
        m_statusOverride = status;
        m_hasStatusOverride = true;
    }
    void clearStatusOverride() { m_hasStatusOverride = false; }

private:
    // The password is checked here; the rest is the handler its domain registered.
    Outcome execute(const Request &r);
    QList<Chunk> deliver(const QByteArray &reply, const Fault &fault);
    Fault nextFault(int code);
    std::array<quint8, 6> status() const;

    State m_state;
    RequestParser m_parser;
    std::deque<Fault> m_faults;
    double m_faultRate = 0;
    QList<Fault> m_rateKinds;
    QRandomGenerator m_random;

    bool m_haveLast = false;
    Request m_last;
    QByteArray m_lastReply;

    QList<Executed> m_journal;
    std::function<void(const Executed &)> m_journalHook;
    int m_framesReceived = 0;
    int m_repeatsAnswered = 0;

    std::array<quint8, 6> m_statusOverride{};
    bool m_hasStatusOverride = false;
};

} // namespace emu
