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

    // A registrar set to one line speed: while the program's side of the line is set to
    // another, what it sends is noise and gets no answer. 0 (the default) answers at any.
    void setLineSpeed(qint32 baud) { m_lineSpeed = baud; }

private:
    void send(const QList<Chunk> &chunks);
    bool lineSpeedMatches() const;

    Registrar &m_registrar;
    int m_master = -1;
    int m_slaveKeep = -1; // kept open so the master never sees a hang-up between clients
    QString m_slavePath;
    QString m_error;
    qint32 m_lineSpeed = 0;
};

} // namespace emu
