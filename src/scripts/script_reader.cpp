#include "scripts/script_reader.h"

bool ScriptReader::open(const QString &path)
{
    close();
    m_file.setFileName(path);
    return m_file.open(QIODevice::ReadOnly);
}

void ScriptReader::close()
{
    if (m_file.isOpen())
        m_file.close();
}

bool ScriptReader::readLine(QByteArray &line)
{
    m_tooLong = false;
    if (!m_file.isOpen())
        return false;
    QByteArray kept;
    qint64 total = 0;
    qint64 significant = 0; // the length up to the last character of code 32 or more
    for (;;) {
        const qint64 n = m_file.readLine(m_buffer, sizeof m_buffer);
        if (n <= 0)
            break;
        for (qint64 i = 0; i < n; ++i)
            if (quint8(m_buffer[i]) >= 32)
                significant = total + i + 1;
        const qint64 room = script::kMaxLineLength - kept.size();
        if (room > 0)
            kept.append(m_buffer, qMin(n, room));
        total += n;
        if (m_buffer[n - 1] == '\n')
            break;
    }
    if (total == 0)
        return false;
    m_tooLong = significant > script::kMaxLineLength;
    line = kept.left(qMin(significant, qint64(script::kMaxLineLength)));
    return true;
}

int ScriptReader::skipLines(int n)
{
    QByteArray ignored;
    int skipped = 0;
    while (skipped < n && readLine(ignored))
        ++skipped;
    return skipped;
}

void ScriptReader::skipTo(const QByteArray &text)
{
    QByteArray line;
    for (;;) {
        const qint64 start = m_file.pos();
        if (!readLine(line))
            return;
        if (line.contains(text)) {
            m_file.seek(start);
            return;
        }
    }
}
