#pragma once

#include "commands/exchange_log_reader.h"

#include <QAbstractTableModel>
#include <QCache>
#include <QDateTime>
#include <QFile>
#include <QList>

#include <memory>
#include <vector>

// An exchange log as a table, one row per exchange, for a log of any size: the model keeps
// only where each record starts and what the filters need; a row is decoded from the
// file when it is shown, and a few thousand decoded rows are kept at a time.
class ExchangeLogModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { TimeColumn, SequenceColumn, CodeColumn, CommandColumn, ParametersColumn, ResultColumn,
                  StatusColumn, StageColumn, FieldsColumn, NotesColumn, ColumnCount };
    enum Role { FailedRole = Qt::UserRole + 1 };

    explicit ExchangeLogModel(QObject *parent = nullptr);
    ~ExchangeLogModel() override;

    // Reads the log through once; false with the system's reason when it cannot be read.
    bool open(const QString &path, QString &error);
    void close();
    QString path() const { return m_path; }

    // Only the exchanges of one command (-1: every command).
    void setCommandFilter(int code);
    void setErrorsOnly(bool on);
    // Exchanges whose texts hold `text`, in any case; empty: all.
    void setSearchText(const QString &text);
    int commandFilter() const { return m_code; }

    // The command codes in the log, in code order.
    QList<int> commandCodes() const;
    int exchangeCount() const { return int(m_entries.size()); }
    int failedCount() const { return m_failed; }
    int damagedCount() const { return m_damaged; }
    // The exchange shown in a row.
    LoggedExchange exchange(int row) const;
    // The whole exchange as text, for the details pane.
    static QString details(const LoggedExchange &x);
    static QString resultText(const LoggedExchange &x);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    struct Entry {
        qint64 offset = 0;
        int line = 0;
        int session = -1; // index into m_sessions
        qint16 code = -1;
        bool failed = false;
        bool repeat = false;
    };
    void refilter();
    // Drops the file and everything read of it (inside a model reset).
    void forget();
    const LoggedExchange *entryExchange(int entry) const;

    QString m_path;
    mutable QFile m_file;
    std::unique_ptr<ExchangeLogReader> m_reader;
    QList<QDateTime> m_sessions;
    std::vector<Entry> m_entries;
    std::vector<int> m_rows; // entries shown, in order
    int m_failed = 0;
    int m_damaged = 0;
    int m_code = -1;
    bool m_errorsOnly = false;
    QString m_search;
    mutable QCache<int, LoggedExchange> m_cache{4000};
    mutable int m_nextEntry = -1; // the entry the reader reads next without seeking
};
