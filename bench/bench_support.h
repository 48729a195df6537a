#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>

// Starts registrar-emulator with `args` and returns the device path it prints first;
// empty when it does not start.
inline QString startEmulator(QProcess &p, const QStringList &args)
{
    p.start(QStringLiteral(EMULATOR_PATH), args);
    if (!p.waitForStarted(5000))
        return {};
    while (!p.canReadLine() && p.waitForReadyRead(5000)) {
    }
    return QString::fromLocal8Bit(p.readLine()).trimmed();
}
