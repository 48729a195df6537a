#pragma once

#include "shell/emulator_child.h"

#include <QFile>
#include <QList>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

// card-terminal-emulator as a child process on its own pseudo-terminal, started at once
// with the given arguments; every message it receives is kept in a journal to read back.
class CardTerminalProcess {
public:
    explicit CardTerminalProcess(const QStringList &arguments = {})
    {
        m_child.setProgram(QStringLiteral(CARD_EMULATOR_PATH));
        m_child.setArguments(QStringList{QStringLiteral("--journal"), journalPath()} + arguments);
        QString error;
        m_path = m_child.start(error);
    }
    // The slave device path the emulator printed; empty when it did not start.
    QString path() const { return m_path; }
    // The payloads the terminal received, in order.
    QList<QByteArray> received() const
    {
        QList<QByteArray> out;
        QFile f(journalPath());
        if (f.open(QIODevice::ReadOnly))
            for (const QByteArray &line : f.readAll().split('\n'))
                if (!line.isEmpty())
                    out.append(QByteArray::fromHex(line));
        return out;
    }

private:
    QString journalPath() const { return m_dir.filePath(QStringLiteral("journal.txt")); }

    QTemporaryDir m_dir;
    EmulatorChild m_child;
    QString m_path;
};
