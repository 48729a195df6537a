#pragma once

#include <QByteArray>
#include <QString>

// The append-only log of the raw dialogue with the registrar. Off while its file name is
// empty. Every record opens, appends to and closes the file, so the log survives a crash
// up to its last record.
//
// Where the records go: an absolute name is taken as it stands; a relative one is put in
// the working folder of the first record. Folders on the way are followed as the system
// follows them, links among them included, so the file is where the name says. Refused,
// with nothing written for the rest of the run: a name with a ".." component or a NUL
// character, and, at every record, a file that is a symbolic link or not a regular file
// (a link planted in a shared folder must not redirect the appends elsewhere; a pipe or
// a terminal must not block the link).
class ExchangeLog {
public:
    void SetLogFileName(const QString &name);
    QString logFileName() const { return m_name; }
    // The file the records go to: worked out at the first record and kept for the run;
    // empty before it and for a refused name.
    QString logFilePath() const { return m_path; }
    // The name was refused: the log stays off.
    bool nameRefused() const { return m_refused; }
    void setCommentsEnabled(bool on) { m_comments = on; }
    bool commentsEnabled() const { return m_comments; }

    // Whether a log name is taken (an empty one is: it turns the log off).
    static bool acceptsName(const QString &name);
    // The file a name's records go to, relative names in `workingFolder`; empty for an
    // empty or refused name.
    static QString resolvePath(const QString &name, const QString &workingFolder);

    // An empty label writes the connection-start line, an empty text the connection-end
    // line; otherwise a frame record (a time-stamped comment with the label unless comments
    // are off, then the text).
    void WriteLogRecord(const QByteArray &label, const QByteArray &text);

    // The same records named by what they are, for the link: a reply whose raw copy is
    // empty is still a frame record, not the end of a session.
    void writeSessionStart();
    void writeSessionEnd();
    void writeFrameRecord(const QByteArray &label, const QByteArray &text);
    // A time-stamped comment line of its own, only while comments are on.
    void writeComment(const QByteArray &text);

private:
    void append(const QByteArray &lines);
    QString m_name;
    QString m_path;
    bool m_refused = false;
    bool m_comments = true;
};
