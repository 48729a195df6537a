#pragma once

#include "emulator/state.h"

#include <QByteArray>
#include <QString>

namespace emu {

// What a registrar keeps across a power cycle (fiscal memory, counters, the drawer, the
// goods base, the open receipt, the tape, the memories) as a file, so that an emulator
// started again is the same registrar. The options it was started with are not part of
// it: they come from the command line each time.
class StateFile {
public:
    // The state as the file's bytes (JSON, binary fields in base64).
    static QByteArray serialize(const State &state);
    // Reads the file's bytes into `state` (its options and hooks kept). A file that is not
    // a state file, or whose values are out of their ranges, is refused whole with the
    // reason in `error`, and `state` is left as it was.
    static bool deserialize(const QByteArray &bytes, State &state, QString &error);

    // Reads the file at `path` into `state`; a missing file is a fresh registrar (true,
    // nothing changed).
    static bool load(const QString &path, State &state, QString &error);

    explicit StateFile(QString path) : m_path(std::move(path)) {}
    // Writes the state when it differs from what was last written. The file is replaced
    // whole (written beside it, then renamed over it), so a kill at any moment leaves
    // either the old or the new file, never a mix.
    bool save(const State &state, QString &error);
    const QString &path() const { return m_path; }

private:
    QString m_path;
    QByteArray m_written;
};

} // namespace emu
