#include "tools/exchange_log_model.h"

#include <QBrush>
#include <QColor>
#include <QFileInfo>

#include <set>

namespace {

QString fieldsText(const LoggedExchange &x)
{
    return x.fieldTexts().join(QStringLiteral("; "));
}

} // namespace

ExchangeLogModel::ExchangeLogModel(QObject *parent) : QAbstractTableModel(parent) {}

ExchangeLogModel::~ExchangeLogModel() = default;

bool ExchangeLogModel::open(const QString &path, QString &error)
{
    beginResetModel();
    forget();
    m_file.setFileName(path);
    if (QFileInfo(path).isDir() || !m_file.open(QIODevice::ReadOnly)) {
        error = QFileInfo(path).isDir() ? QStringLiteral("Это папка, а не файл.") : m_file.errorString();
        endResetModel();
        return false;
    }
    m_path = path;
    m_reader = std::make_unique<ExchangeLogReader>(m_file);
    LoggedExchange x;
    while (m_reader->next(x)) {
        if (m_sessions.isEmpty() || m_sessions.last() != m_reader->sessionStart())
            m_sessions << m_reader->sessionStart();
        Entry e;
        e.offset = x.offset;
        e.line = x.line;
        e.session = int(m_sessions.size()) - 1;
        e.code = qint16(x.code);
        e.failed = x.failed();
        e.repeat = x.repeat;
        m_entries.push_back(e);
        m_failed += e.failed ? 1 : 0;
        m_damaged += x.outcome == LoggedExchange::Outcome::Damaged ? 1 : 0;
    }
    m_nextEntry = -1;
    endResetModel();
    refilter();
    return true;
}

void ExchangeLogModel::close()
{
    beginResetModel();
    forget();
    endResetModel();
}

void ExchangeLogModel::forget()
{
    m_reader.reset();
    m_file.close();
    m_entries.clear();
    m_rows.clear();
    m_sessions.clear();
    m_cache.clear();
    m_failed = m_damaged = 0;
    m_path.clear();
    m_nextEntry = -1;
}

void ExchangeLogModel::setCommandFilter(int code)
{
    if (code == m_code)
        return;
    m_code = code;
    refilter();
}

void ExchangeLogModel::setErrorsOnly(bool on)
{
    if (on == m_errorsOnly)
        return;
    m_errorsOnly = on;
    refilter();
}

void ExchangeLogModel::setSearchText(const QString &text)
{
    if (text == m_search)
        return;
    m_search = text;
    refilter();
}

void ExchangeLogModel::refilter()
{
    beginResetModel();
    m_rows.clear();
    // A search reads the log through once, in file order, into one record that is not
    // kept: no row cache churned through, no allocation per record.
    bool inStep = !m_search.isEmpty() && m_reader && !m_entries.empty();
    if (inStep) {
        const Entry &first = m_entries.front();
        m_reader->seek(first.offset, first.line, m_sessions.value(first.session));
        m_nextEntry = -1;
    }
    LoggedExchange read;
    for (int i = 0; i < int(m_entries.size()); ++i) {
        const Entry &e = m_entries[size_t(i)];
        // Every record is read, even one the other filters leave out, to stay in step.
        if (inStep && (!m_reader->next(read) || read.offset != e.offset)) {
            // The file changed under the model: record by record from here.
            inStep = false;
            m_nextEntry = -1;
        }
        if (m_code >= 0 && e.code != m_code)
            continue;
        if (m_errorsOnly && !e.failed)
            continue;
        if (!m_search.isEmpty()) {
            const LoggedExchange *x = inStep ? &read : entryExchange(i);
            if (!x || !x->searchText().contains(m_search, Qt::CaseInsensitive))
                continue;
        }
        m_rows.push_back(i);
    }
    endResetModel();
}

const LoggedExchange *ExchangeLogModel::entryExchange(int entry) const
{
    if (entry < 0 || entry >= int(m_entries.size()) || !m_reader)
        return nullptr;
    if (const LoggedExchange *x = m_cache.object(entry))
        return x;
    const Entry &e = m_entries[size_t(entry)];
    // Records in file order (a search) are read on without going back to each one.
    auto *x = new LoggedExchange;
    if (entry != m_nextEntry)
        m_reader->seek(e.offset, e.line, m_sessions.value(e.session));
    m_nextEntry = entry + 1;
    if (!m_reader->next(*x) || x->offset != e.offset) {
        // The file changed under the model: show the row as unreadable.
        *x = LoggedExchange();
        x->offset = e.offset;
        x->line = e.line;
        x->message = QStringLiteral("Файл журнала изменился, запись не читается");
        m_nextEntry = -1;
    }
    x->repeat = e.repeat;
    m_cache.insert(entry, x);
    return x;
}

QList<int> ExchangeLogModel::commandCodes() const
{
    std::set<int> codes;
    for (const Entry &e : m_entries)
        if (e.code >= 0)
            codes.insert(e.code);
    return QList<int>(codes.begin(), codes.end());
}

LoggedExchange ExchangeLogModel::exchange(int row) const
{
    if (row < 0 || row >= int(m_rows.size()))
        return LoggedExchange();
    const LoggedExchange *x = entryExchange(m_rows[size_t(row)]);
    return x ? *x : LoggedExchange();
}

QString ExchangeLogModel::resultText(const LoggedExchange &x)
{
    using O = LoggedExchange::Outcome;
    switch (x.outcome) {
    case O::Success:
    case O::RegistrarError:
        return x.verdictText();
    case O::NoReply: return QStringLiteral("Нет ответа");
    case O::Nak: return QStringLiteral("NAK");
    case O::ChecksumMismatch: return QStringLiteral("Неверная контрольная сумма");
    case O::Unlogged: return QStringLiteral("(ответ не записан)");
    case O::Damaged: return QStringLiteral("Повреждено: ") + x.message;
    }
    return QString();
}

QString ExchangeLogModel::details(const LoggedExchange &x)
{
    QStringList out;
    out << QStringLiteral("Строка журнала: %1").arg(x.line);
    if (x.time.isValid())
        out << QStringLiteral("Время: %1%2").arg(x.time.toString(QStringLiteral("dd.MM.yyyy HH:mm:ss")),
                                                 x.timeFromSession ? QStringLiteral(" (начало сеанса)") : QString());
    if (x.sequence >= 0)
        out << QStringLiteral("SEQ: %1%2").arg(QString::asprintf("%02X", x.sequence),
                                               x.repeat ? QStringLiteral(" (повтор)") : QString());
    if (x.code >= 0) {
        out << x.commandText();
        out << QStringLiteral("Параметры: ") + x.parametersText();
    }
    out << QStringLiteral("Результат: ") + x.outcomeText();
    if (!x.errorWord.isEmpty())
        out << QStringLiteral("Код ошибки: ") + QString::fromLatin1(x.errorWord);
    if (!x.message.isEmpty())
        out << x.message;
    if (x.hasStatus) {
        out << QStringLiteral("Статус: ") + x.statusText();
        out << QStringLiteral("Состояние чека: ") + x.receiptStage();
    }
    if (x.synCount > 0)
        out << QStringLiteral("SYN: %1").arg(x.synCount);
    const QStringList fields = x.fieldTexts();
    for (int i = 0; i < fields.size(); ++i)
        out << QStringLiteral("Поле %1: %2").arg(i + 1).arg(fields[i]);
    for (const QString &n : x.notes)
        out << QStringLiteral("Примечание: ") + n;
    if (!x.reply.isEmpty())
        out << QStringLiteral("Ответ (hex): ") + QString::fromLatin1(x.reply.toHex(' ').toUpper());
    return out.join(QLatin1Char('\n'));
}

int ExchangeLogModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

int ExchangeLogModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant ExchangeLogModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= int(m_rows.size()))
        return QVariant();
    const int entry = m_rows[size_t(index.row())];
    if (role == FailedRole)
        return m_entries[size_t(entry)].failed;
    if (role == Qt::BackgroundRole) {
        if (!m_entries[size_t(entry)].failed)
            return QVariant();
        const LoggedExchange *x = entryExchange(entry);
        const bool damaged = x && x->outcome == LoggedExchange::Outcome::Damaged;
        return QBrush(damaged ? QColor(0xFF, 0xE8, 0xB0) : QColor(0xFF, 0xD0, 0xD0));
    }
    if (role == Qt::ForegroundRole)
        return m_entries[size_t(entry)].failed ? QVariant(QBrush(QColor(0x80, 0x00, 0x00))) : QVariant();
    if (role != Qt::DisplayRole && role != Qt::ToolTipRole)
        return QVariant();
    const LoggedExchange *x = entryExchange(entry);
    if (!x)
        return QVariant();
    if (role == Qt::ToolTipRole)
        return details(*x);
    switch (index.column()) {
    case TimeColumn:
        return x->time.isValid() ? (x->timeFromSession ? QStringLiteral("~") : QString())
                + x->time.toString(QStringLiteral("dd.MM.yyyy HH:mm:ss"))
                                 : QString();
    case SequenceColumn:
        return x->sequence < 0 ? QString()
                               : QString::asprintf("%02X", x->sequence) + (x->repeat ? QStringLiteral(" повтор") : QString());
    case CodeColumn:
        return x->code < 0 ? QString() : QString::asprintf("%02X", x->code);
    case CommandColumn:
        return x->commandText();
    case ParametersColumn:
        return x->parametersText().replace(QLatin1Char('\n'), QStringLiteral("⏎"));
    case ResultColumn:
        return resultText(*x).replace(QLatin1Char('\n'), QLatin1Char(' ')).simplified();
    case StatusColumn:
        return x->statusText();
    case StageColumn:
        return x->receiptStage();
    case FieldsColumn:
        return fieldsText(*x).replace(QLatin1Char('\n'), QStringLiteral("⏎"));
    case NotesColumn:
        return x->notes.join(QStringLiteral("; "));
    default:
        return QVariant();
    }
}

QVariant ExchangeLogModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole)
        return QVariant();
    if (orientation == Qt::Vertical)
        return section + 1;
    static const QStringList titles = {
        QStringLiteral("Время"), QStringLiteral("SEQ"), QStringLiteral("Код"), QStringLiteral("Команда"),
        QStringLiteral("Параметры"), QStringLiteral("Результат"), QStringLiteral("Статус"),
        QStringLiteral("Состояние чека"), QStringLiteral("Данные ответа"), QStringLiteral("Примечания")};
    return titles.value(section);
}
