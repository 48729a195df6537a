#include "link/exchange_log.h"

#include "link/code_page.h"

#include <QDateTime>
#include <QDir>
#include <QFile>

namespace {

QByteArray stamp()
{
    const QDateTime t = QDateTime::currentDateTime();
    const QDate d = t.date();
    const QTime h = t.time();
    return QString::asprintf("%2d-%02d-%4d %2d:%02d:%02d", d.day(), d.month(), d.year(), h.hour(),
                             h.minute(), h.second())
        .toLatin1();
}

} // namespace

void ExchangeLog::SetLogFileName(const QString &name)
{
    m_name = name.left(299);
}

void ExchangeLog::WriteLogRecord(const QByteArray &label, const QByteArray &text)
{
    if (label.isEmpty())
        writeSessionStart();
    else if (text.isEmpty())
        writeSessionEnd();
    else
        writeFrameRecord(label, text);
}

void ExchangeLog::writeSessionStart()
{
    if (m_name.isEmpty())
        return;
    append(code_page::toDevice(QStringLiteral(";Начало сеанса   ")) + stamp() + " \n");
}

void ExchangeLog::writeSessionEnd()
{
    if (m_name.isEmpty())
        return;
    append(code_page::toDevice(QStringLiteral(";Конец Сеанса   ")) + stamp() + " \n");
}

void ExchangeLog::writeFrameRecord(const QByteArray &label, const QByteArray &text)
{
    if (m_name.isEmpty())
        return;
    QByteArray out;
    if (m_comments)
        out = ";" + stamp() + "  " + label + "\n";
    out += text + "\n";
    append(out);
}

void ExchangeLog::writeComment(const QByteArray &text)
{
    if (m_name.isEmpty() || !m_comments)
        return;
    append(";" + stamp() + "  " + text + "\n");
}

void ExchangeLog::append(const QByteArray &lines)
{
    if (m_name.isEmpty())
        return;
    if (m_path.isEmpty())
        m_path = QDir::currentPath() + QDir::separator() + m_name;
    QFile file(m_path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append))
        return;
    file.write(lines);
    file.close();
}
