#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

#include <array>
#include <functional>

class QIODevice;

// One exchange read back from an exchange log: the request the link wrote, and the reply
// record that followed it, decoded the way the program judged it when it came.
struct LoggedExchange {
    enum class Outcome {
        Success,          // error word 0000
        RegistrarError,   // another error word
        NoReply,
        Nak,
        ChecksumMismatch, // check characters wrong, or a frame cut short
        Unlogged,         // replies were not logged (comments off)
        Damaged,          // lines the log should not hold, or a record cut off
    };

    qint64 offset = -1; // byte position of the record's first line in the file
    int line = 0;       // its line number, counting from 1
    // The time of the request's comment line; with comments off, the session start.
    QDateTime time;
    bool timeFromSession = false;
    int sequence = -1;  // the request's SEQ byte; -1 when the log does not give it
    int code = -1;      // -1 when no command could be read
    QByteArray parameters; // as sent, in the registrar's code page
    Outcome outcome = Outcome::Damaged;
    QByteArray errorWord;
    QString message;    // why the exchange failed, as the program words it; empty on success
    bool hasStatus = false;
    std::array<quint8, 6> status{}; // bit 7 cleared
    QList<QByteArray> fields;       // the reply's data fields, first field first
    long synCount = -1;             // -1 when the log does not give it
    QByteArray reply;               // the raw reply as logged
    QStringList notes;              // what else the log says about this exchange
    bool repeat = false;            // the same SEQ, command and parameters as the one before

    bool failed() const { return outcome != Outcome::Success && outcome != Outcome::Unlogged; }
    // "Команда 28h: Получение параметров регистратора"; "Команда E7h" for a code the
    // catalogue does not name; empty without a code.
    QString commandText() const;
    QString parametersText() const;
    // The six status bytes as "XX XX XX XX XX XX"; empty without a reply.
    QString statusText() const;
    // The receipt state named by status byte 2 ("0. Документ закрыт"); empty without a reply.
    QString receiptStage() const;
    QStringList fieldTexts() const;
    // A short word for the outcome: "OK", "Ошибка", "Нет ответа", "NAK", ...
    QString outcomeText() const;
    // What is shown of the reply's verdict: the error word and its message, or the link's
    // failure.
    QString verdictText() const;
    // Every text of the exchange, for a search.
    QString searchText() const;
};

// Reads an exchange log record by record, from the start or from a record read earlier,
// never holding more than one record. Whatever the file holds, it gives back what can be
// read and marks the rest as damaged: an over-long line is cut, binary garbage becomes
// one damaged record, a record cut off at the end of the file says so.
class ExchangeLogReader {
public:
    // Longer lines cannot come from the link (a frame is at most 300 bytes).
    static constexpr int kMaxLine = 4096;

    explicit ExchangeLogReader(QIODevice &device);

    // The next exchange; false at the end of the file.
    bool next(LoggedExchange &out);
    // Goes back to a record read earlier: its offset and line, and the session start then
    // in force (records without a time of their own take it).
    void seek(qint64 offset, int line, const QDateTime &sessionStart);
    QDateTime sessionStart() const { return m_session; }
    int linesRead() const { return m_line; }

private:
    struct Line {
        QByteArray text;
        qint64 offset = 0;
        int number = 0;
        bool cut = false; // over-long, or the file ends inside it
    };
    bool readLine(Line &line);
    void unread(const Line &line);
    bool readRequestText(LoggedExchange &x, const Line &comment);
    void readReplyText(LoggedExchange &x, const QByteArray &labelRest);
    // Lines that carry `text` on (it held a line feed) up to the next record, while
    // `wantsMore`; returns whether the last line read was cut.
    bool continueText(QByteArray &text, bool cut, const std::function<bool()> &wantsMore);
    void emitDamaged(LoggedExchange &out, const Line &first, const QString &why);

    QIODevice &m_device;
    int m_line = 0;
    bool m_haveUnread = false;
    Line m_unread;
    QDateTime m_session;
    int m_lastSequence = -1;
    int m_lastCode = -1;
    QByteArray m_lastParameters;
};

namespace exchange_log_reading {

// The time of a log line's stamp, " 9-12-2026 14:03:07"; invalid when it is none.
QDateTime parseStamp(const QByteArray &stamp);

} // namespace exchange_log_reading
