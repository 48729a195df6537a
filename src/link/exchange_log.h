#pragma once

#include <QByteArray>
#include <QString>

// The append-only log of the raw dialogue with the registrar. Off while its file name is
// empty. Every record opens, appends to and closes the file, so the log survives a crash
// up to its last record.
class ExchangeLog {
public:
    void SetLogFileName(const QString &name);
    QString logFileName() const { return m_name; }
    // The file the records go to: worked out at the first record and kept for the run.
    QString logFilePath() const { return m_path; }
    void setCommentsEnabled(bool on) { m_comments = on; }
    bool commentsEnabled() const { return m_comments; }

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
    bool m_comments = true;
};
