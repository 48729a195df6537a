#pragma once

#include <QProcess>
#include <QString>

#include <functional>
#include <memory>

class QTemporaryDir;

// The built-in emulator: registrar-emulator started as a child process on a
// pseudo-terminal, for trying the program without hardware.
class EmulatorChild {
public:
    EmulatorChild();
    ~EmulatorChild();
    // Starts the emulator (once) and returns its device path; an empty text with the
    // reason in `error` when it cannot be started.
    QString start(QString &error);
    void stop();
    bool running() const { return m_process.state() != QProcess::NotRunning; }
    qint64 processId() const { return m_process.processId(); }
    // Where the program looks for registrar-emulator: beside itself, then the build
    // tree's emulator folder, then PATH.
    static QString locate();
    void setProgram(const QString &path) { m_program = path; }
    void setArguments(const QStringList &arguments) { m_arguments = arguments; }
    // The file the emulator prints its paper tape into (its --tape option) from the next
    // start on; empty: none.
    void setTapePath(const QString &path) { m_tapePath = path; }
    QString tapePath() const { return m_tapePath; }
    // A tape file in a temporary folder of its own, removed with this object.
    QString temporaryTapePath();
    // The file the emulator keeps its memory in (its --state option) from the next start
    // on; empty: none, it starts empty every time.
    void setStatePath(const QString &path) { m_statePath = path; }
    QString statePath() const { return m_statePath; }
    // The emulator's memory and tape in `folder` (created when missing), so that it stays
    // the same registrar across reconnects and restarts of the program.
    bool keepIn(const QString &folder, QString &error);
    // Stops the emulator and removes its memory and tape: the next start is a new registrar.
    bool forget(QString &error);
    // Called when the emulator ends by itself (not through stop()).
    void setExitHandler(std::function<void()> handler) { m_exitHandler = std::move(handler); }

private:
    QProcess m_process;
    QString m_program;
    QStringList m_arguments;
    QString m_tapePath;
    QString m_statePath;
    std::unique_ptr<QTemporaryDir> m_tapeDir;
    QString m_path;
    std::function<void()> m_exitHandler;
    bool m_stopping = false;
};
