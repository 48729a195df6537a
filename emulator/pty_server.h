#pragma once

#include "emulator/registrar.h"

#include <QString>

#include <atomic>

namespace emu {

// Serves a Registrar on a pseudo-terminal: the program opens the slave side like any
// serial port.
class PtyServer {
public:
    explicit PtyServer(Registrar &registrar);
    ~PtyServer();

    // Creates the pseudo-terminal. Returns false with errorString() set on failure.
    bool open();
    QString slavePath() const { return m_slavePath; }
    QString errorString() const { return m_error; }

    // Answers requests until `stop` becomes true.
    void run(const std::atomic<bool> &stop);

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
    void send(const QList<Chunk> &chunks);
    // Writes `bytes` one byte time apart from `start` (monotonic ns); returns the end.
    qint64 sendPaced(const QByteArray &bytes, qint64 start, qint64 byteNs);
    bool writeAll(const char *p, qsizetype left);

    Registrar &m_registrar;
    int m_master = -1;
    int m_slaveKeep = -1; // kept open so the master never sees a hang-up between clients
    QString m_slavePath;
    QString m_error;
    bool m_pacing = false;
    int m_fallbackBaud = 9600;
    qint64 m_requestEndNs = 0; // when the last request would have finished arriving
};

} // namespace emu
