#pragma once

#include "scripts/script_parser.h"

#include <QFile>
#include <QString>

// Reads a script file one physical line at a time, trailing control characters removed.
// A line holds at most 299 characters; a longer one is read whole (never split into
// pieces that would run as lines of their own) and marked too long, keeping only its
// first 299 characters, so a file without line ends cannot take up the memory.
// Positions are file offsets.
class ScriptReader {
public:
    bool open(const QString &path);
    void close();
    bool isOpen() const { return m_file.isOpen(); }
    QString errorString() const { return m_file.errorString(); }

    qint64 pos() const { return m_file.pos(); }
    bool seek(qint64 position) { return m_file.seek(position); }

    // The next line without its trailing control characters (it may come out empty);
    // false at the end of the file.
    bool readLine(QByteArray &line);
    // Whether the line read last was longer than 299 characters.
    bool lineTooLong() const { return m_tooLong; }
    // Skips up to n lines; returns how many were there.
    int skipLines(int n);
    // Reads forward to the first line that contains `text` and goes back to its start;
    // without such a line the file is left at its end.
    void skipTo(const QByteArray &text);

private:
    QFile m_file;
    char m_buffer[script::kLineBufferSize];
    bool m_tooLong = false;
};
