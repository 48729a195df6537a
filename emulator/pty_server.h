#pragma once

#include "emulator/registrar.h"

#include <QString>

#include <atomic>
#include <functional>

namespace emu {

// Serves a Registrar (or any peer that answers bytes with chunks, such as the card
// terminal) on a pseudo-terminal: the program opens the slave side like any serial port.
class PtyServer {
public:
    using Responder = std::function<QList<Chunk>(const QByteArray &bytes)>;

    explicit PtyServer(Registrar &registrar);
    explicit PtyServer(Responder responder);
    ~PtyServer();

    // Creates the pseudo-terminal. Returns false with errorString() set on failure.
    bool open();
    QString slavePath() const { return m_slavePath; }
    QString errorString() const { return m_error; }

    // Answers requests until `stop` becomes true.
    void run(const std::atomic<bool> &stop);

    // The line settings the program set, as the registrar would be affected by them: a
    // registrar speaks 8 data bits, no parity and one stop bit, and what comes on a line
    // set otherwise is noise to it that gets no answer. Empty when the line is 8N1 (or
    // cannot be read), else a short description such as "8N2". Linux pseudo-terminals
    // keep the stop bits as set but force 8 data bits and no parity, so only the stop
    // bits are seen there.
    QString lineFault() const;

    // A registrar set to one line speed: while the program's side of the line is set to
    // another, what it sends is noise and gets no answer. 0 (the default) answers at any.
    void setLineSpeed(qint32 baud) { m_lineSpeed = baud; }

    // Paces the line at the wire speed of the baud rate the program set on it (8N1: ten
    // bits a byte; `fallbackBaud` when the line says nothing): a reply starts no earlier
    // than the request would have finished arriving, and its bytes leave one byte time
    // apart, so transfers can be timed against the wire.
    void setPacing(bool on, int fallbackBaud = 9600)
    {
        m_pacing = on;
        m_fallbackBaud = fallbackBaud;
    }
    // The baud rate of the line as the program set it; 0 when unknown.
    int lineBaud() const;

private:
    bool lineSpeedMatches() const;

    void send(const QList<Chunk> &chunks);
    // Writes `bytes` one byte time apart from `start` (monotonic ns); returns the end.
    qint64 sendPaced(const QByteArray &bytes, qint64 start, qint64 byteNs);
    bool writeAll(const char *p, qsizetype left);

    Responder m_respond;
    int m_master = -1;
    int m_slaveKeep = -1; // kept open so the master never sees a hang-up between clients
    QString m_slavePath;
    QString m_error;
    qint32 m_lineSpeed = 0;
    bool m_pacing = false;
    int m_fallbackBaud = 9600;
    qint64 m_requestEndNs = 0; // when the last request would have finished arriving
    bool m_lineFaultTold = false;
};

// The emulator programs' main loop: prints the slave's path first (and links it at
// `linkPath` when that is not empty), then serves until SIGINT, SIGTERM or SIGHUP.
// Returns the program's exit status; failures are told on standard error after `program`.
int serveUntilSignalled(PtyServer &server, const QString &linkPath, const char *program);

} // namespace emu
