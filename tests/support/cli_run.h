#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

// dizivu-cli run as a child process: its exit status (-1 when it crashed or hung) and
// what it printed, read as UTF-8.
struct CliRun {
    int exitCode = -1;
    QString out, err;
};

// `workingDirectory` empty: an empty folder of its own, so no dizivu.ini or log of
// another run (or lying in ctest's folder) is read or written.
inline CliRun runCli(const QStringList &args, const QString &workingDirectory = QString())
{
    QProcess p;
    QTemporaryDir own;
    p.setWorkingDirectory(workingDirectory.isEmpty() ? own.path() : workingDirectory);
    p.start(QStringLiteral(CLI_PATH), args);
    CliRun r;
    if (!p.waitForFinished(60000)) {
        p.kill();
        p.waitForFinished();
        return r;
    }
    r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = QString::fromUtf8(p.readAllStandardOutput());
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}
