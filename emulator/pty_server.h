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

    // A registrar set to one line speed: while the program's side of the line is set to
    // another, what it sends is noise and gets no answer. 0 (the default) answers at any.
    void setLineSpeed(qint32 baud) { m_lineSpeed = baud; }

private:
    void send(const QList<Chunk> &chunks);
    bool lineSpeedMatches() const;

    Responder m_respond;
    int m_master = -1;
    int m_slaveKeep = -1; // kept open so the master never sees a hang-up between clients
    QString m_slavePath;
    QString m_error;
    qint32 m_lineSpeed = 0;
};

// The emulator programs' main loop: prints the slave's path first (and links it at
// `linkPath` when that is not empty), then serves until SIGINT, SIGTERM or SIGHUP.
// Returns the program's exit status; failures are told on standard error after `program`.
int serveUntilSignalled(PtyServer &server, const QString &linkPath, const char *program);

} // namespace emu
