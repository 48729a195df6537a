#include "shell/emulator_child.h"

#include <csignal>
#include <sys/prctl.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryDir>

EmulatorChild::EmulatorChild()
{
    QObject::connect(&m_process, &QProcess::finished, &m_process, [this] {
        if (!m_stopping && m_exitHandler)
            m_exitHandler();
    });
}

EmulatorChild::~EmulatorChild()
{
    stop();
}

QString EmulatorChild::locate()
{
    const QString dir = QCoreApplication::applicationDirPath();
    for (const QString &candidate : {dir + QStringLiteral("/registrar-emulator"),
                                     dir + QStringLiteral("/emulator/registrar-emulator"),
                                     dir + QStringLiteral("/../emulator/registrar-emulator")}) {
        if (QFileInfo(candidate).isExecutable())
            return QFileInfo(candidate).canonicalFilePath();
    }
    return QStandardPaths::findExecutable(QStringLiteral("registrar-emulator"));
}

QString EmulatorChild::temporaryTapePath()
{
    if (!m_tapeDir)
        m_tapeDir = std::make_unique<QTemporaryDir>(QDir::tempPath() + QStringLiteral("/dizivu-tape-XXXXXX"));
    if (!m_tapeDir->isValid())
        return QString();
    return m_tapeDir->filePath(QStringLiteral("lenta.txt"));
}

bool EmulatorChild::keepIn(const QString &folder, QString &error)
{
    if (folder.isEmpty() || !QDir().mkpath(folder)) {
        error = QStringLiteral("Папка %1 не создается.").arg(folder);
        return false;
    }
    const QDir dir(folder);
    m_tapePath = dir.filePath(QStringLiteral("lenta.txt"));
    m_statePath = dir.filePath(QStringLiteral("registrar-state.json"));
    return true;
}

bool EmulatorChild::forget(QString &error)
{
    stop();
    for (const QString &path : {m_statePath, m_tapePath}) {
        if (!path.isEmpty() && QFileInfo::exists(path) && !QFile::remove(path)) {
            error = QStringLiteral("Файл %1 не удаляется.").arg(path);
            return false;
        }
    }
    return true;
}

QString EmulatorChild::start(QString &error)
{
    if (running() && !m_path.isEmpty())
        return m_path;
    const QString program = m_program.isEmpty() ? locate() : m_program;
    if (program.isEmpty()) {
        error = QStringLiteral("Программа registrar-emulator не найдена.");
        return QString();
    }
    m_process.setProgram(program);
    QStringList arguments = m_arguments;
    if (!m_tapePath.isEmpty())
        arguments << QStringLiteral("--tape") << m_tapePath;
    if (!m_statePath.isEmpty())
        arguments << QStringLiteral("--state") << m_statePath;
    m_process.setArguments(arguments);
    m_process.setProcessChannelMode(QProcess::SeparateChannels);
    // The emulator ends with the program, however the program ends (a signal, a crash):
    // the kernel sends it SIGTERM when its parent dies.
    m_stopping = false;
    m_process.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
    m_process.start();
    if (!m_process.waitForStarted(5000)) {
        error = QStringLiteral("Эмулятор регистратора не запускается: ") + m_process.errorString();
        return QString();
    }
    while (!m_process.canReadLine() && m_process.state() == QProcess::Running && m_process.waitForReadyRead(5000)) {
    }
    m_path = QString::fromLocal8Bit(m_process.readLine()).trimmed();
    if (m_path.isEmpty()) {
        error = QStringLiteral("Эмулятор регистратора не сообщил свое устройство.");
        // Its own reason (a state file it refuses, say) is on its error output.
        m_process.waitForFinished(1000);
        const QString reason = QString::fromLocal8Bit(m_process.readAllStandardError()).trimmed();
        if (!reason.isEmpty())
            error += QLatin1Char('\n') + reason;
        stop();
    }
    return m_path;
}

void EmulatorChild::stop()
{
    m_path.clear();
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_stopping = true;
    m_process.terminate();
    if (!m_process.waitForFinished(3000)) {
        m_process.kill();
        m_process.waitForFinished(3000);
    }
    m_stopping = false;
}
