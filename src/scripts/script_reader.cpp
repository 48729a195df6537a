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
    if (!m_file.isOpen())
        return false;
    // Up to 299 bytes or through the first LF, as a C line read does.
    const qint64 n = m_file.readLine(m_buffer, sizeof m_buffer);
    if (n <= 0)
        return false;
    line = script::stripTrailingControls(QByteArray(m_buffer, int(n)));
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
