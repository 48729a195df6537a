#include "support/emulator_process.h"

EmulatorProcess::EmulatorProcess(const QStringList &arguments)
{
    m_process.setProgram(QStringLiteral(EMULATOR_PATH));
    m_process.setArguments(arguments);
    m_process.setProcessChannelMode(QProcess::SeparateChannels);
    m_process.start();
    if (!m_process.waitForStarted(5000))
        return;
    while (!m_process.canReadLine() && m_process.waitForReadyRead(5000)) {
    }
    m_path = QString::fromLocal8Bit(m_process.readLine()).trimmed();
}

EmulatorProcess::~EmulatorProcess()
{
    stop();
}

void EmulatorProcess::stop()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.terminate();
    if (!m_process.waitForFinished(3000)) {
        m_process.kill();
        m_process.waitForFinished(3000);
    }
}
