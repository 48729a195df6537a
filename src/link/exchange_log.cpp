#include "link/exchange_log.h"

#include "link/code_page.h"

#include <QDateTime>
#include <QDir>
#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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
    m_refused = !acceptsName(m_name);
}

bool ExchangeLog::acceptsName(const QString &name)
{
    if (name.contains(QChar(u'\0')))
        return false;
    for (const QStringView part : QStringView(name).split(QLatin1Char('/')))
        if (part == QLatin1String(".."))
            return false;
    return true;
}

QString ExchangeLog::resolvePath(const QString &name, const QString &workingFolder)
{
    if (name.isEmpty() || !acceptsName(name))
        return QString();
    if (QDir::isAbsolutePath(name))
        return name;
    return workingFolder + QLatin1Char('/') + name;
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
    if (m_name.isEmpty() || m_refused)
        return;
    if (m_path.isEmpty())
        m_path = resolvePath(m_name, QDir::currentPath());
    // No following a link in the last place of the path, no blocking on a pipe or a
    // terminal, and only a regular file takes records.
    const int fd = ::open(QFile::encodeName(m_path).constData(),
                          O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0666);
    if (fd < 0)
        return;
    struct stat st {};
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) {
        const char *at = lines.constData();
        qsizetype left = lines.size();
        while (left > 0) {
            const ssize_t n = ::write(fd, at, size_t(left));
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                break;
            at += n;
            left -= n;
        }
    }
    ::close(fd);
}
