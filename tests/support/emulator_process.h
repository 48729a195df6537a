#pragma once

#include "shell/emulator_child.h"

#include <QString>
#include <QStringList>

// registrar-emulator as a child process on its own pseudo-terminal, started at once with
// the given arguments.
class EmulatorProcess {
public:
    explicit EmulatorProcess(const QStringList &arguments = {})
    {
        m_child.setProgram(QStringLiteral(EMULATOR_PATH));
        m_child.setArguments(arguments);
        QString error;
        m_path = m_child.start(error);
    }
    // The slave device path the emulator printed; empty when it did not start.
    QString path() const { return m_path; }
    void stop() { m_child.stop(); }

private:
    EmulatorChild m_child;
    QString m_path;
};
