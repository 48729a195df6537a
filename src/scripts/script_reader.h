#pragma once

#include "scripts/script_parser.h"

#include <QFile>
#include <QString>

// Reads a script file line by line as a 300-byte line buffer takes it: at most 299
// characters a read (a longer physical line comes as several), the line end included
// in the count, trailing control characters removed. Positions are file offsets.
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
    // Skips up to n lines; returns how many were there.
    int skipLines(int n);
    // Reads forward to the first line that contains `text` and goes back to its start;
    // without such a line the file is left at its end.
    void skipTo(const QByteArray &text);

private:
    QFile m_file;
    char m_buffer[script::kLineBufferSize];
};
