#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>

// registrar-emulator as a child process on its own pseudo-terminal.
class EmulatorProcess {
public:
    explicit EmulatorProcess(const QStringList &arguments = {});
    ~EmulatorProcess();
    // The slave device path the emulator printed; empty when it did not start.
    QString path() const { return m_path; }
    QProcess &process() { return m_process; }
    void stop();

private:
    QProcess m_process;
    QString m_path;
};
