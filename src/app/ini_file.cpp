#include "app/ini_file.h"

#include "app/regular_file.h"
#include "link/code_page.h"

#include <QFile>
#include <QFileInfo>
#include <QList>
#include <QSaveFile>

#include <cerrno>
#include <cstdint>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace {

// One line of the file: its text and the line ending after it (0 bytes for a last
// line without newline, 1 for LF, 2 for CR LF).
struct Line {
    qsizetype start = 0;
    qsizetype length = 0;
    qsizetype endingLength = 0;

    qsizetype end() const { return start + length; }
    qsizetype next() const { return start + length + endingLength; }
};

enum class Kind { Other, Section, Key };

struct Classified {
    Kind kind = Kind::Other;
    QString name;
    qsizetype valueStart = 0; // keys: the byte after "="
};

// Where a section and a key stand in the file.
struct Position {
    int sectionLine = -1;
    int keyLine = -1;
    int lastLine = -1; // the last key line of the section, or its header
    qsizetype valueStart = 0;
};

bool isBlank(char c)
{
    // 0x1A (Ctrl-Z) closes old DOS text files and counts as a blank.
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f' || c == '\x1a';
}

QList<Line> splitLines(const QByteArray &contents)
{
    QList<Line> lines;
    qsizetype pos = 0;
    const qsizetype size = contents.size();
    while (pos < size) {
        const qsizetype lf = contents.indexOf('\n', pos);
        Line line;
        line.start = pos;
        if (lf < 0) {
            line.length = size - pos;
        } else if (lf > pos && contents.at(lf - 1) == '\r') {
            line.length = lf - 1 - pos;
            line.endingLength = 2;
        } else {
            line.length = lf - pos;
            line.endingLength = 1;
        }
        lines.append(line);
        pos = line.next();
    }
    return lines;
}

void trim(const QByteArray &contents, qsizetype &begin, qsizetype &end)
{
    while (begin < end && isBlank(contents.at(begin)))
        ++begin;
    while (end > begin && isBlank(contents.at(end - 1)))
        --end;
}

// The file's bytes, split into lines and decoded once. Windows-1251 gives one UTF-16
// unit per byte, so byte offsets are text offsets; should a decoder ever disagree,
// pieces are decoded one by one instead.
struct Document {
    explicit Document(const QByteArray &bytes)
        : contents(bytes), lines(splitLines(bytes)), text(code_page::fromDevice(bytes)),
          aligned(text.size() == bytes.size())
    {
    }

    QString slice(qsizetype begin, qsizetype end) const
    {
        return aligned ? text.mid(begin, end - begin) : code_page::fromDevice(contents.mid(begin, end - begin));
    }
    QString sliceTrimmed(qsizetype begin, qsizetype end) const
    {
        trim(contents, begin, end);
        return slice(begin, end);
    }

    const QByteArray &contents;
    const QList<Line> lines;
    const QString text;
    const bool aligned;
};

Classified classify(const Document &doc, const Line &line, bool firstLine)
{
    const QByteArray &contents = doc.contents;
    qsizetype begin = line.start;
    qsizetype end = line.end();
    if (firstLine && contents.startsWith("\xEF\xBB\xBF") && end >= 3)
        begin = 3; // a UTF-8 byte order mark left by an editor
    trim(contents, begin, end);
    if (begin == end || contents.at(begin) == ';')
        return {};

    if (contents.at(begin) == '[') {
        qsizetype close = end - 1;
        while (close > begin && contents.at(close) != ']')
            --close;
        if (close > begin)
            return {Kind::Section, doc.sliceTrimmed(begin + 1, close), 0};
        // No closing bracket: read on as a key line, as Windows does.
    }

    qsizetype eq = begin;
    while (eq < end && contents.at(eq) != '=')
        ++eq;
    if (eq == end)
        return {};
    QString name = doc.sliceTrimmed(begin, eq);
    if (name.isEmpty())
        return {};
    return {Kind::Key, std::move(name), eq + 1};
}

bool sameName(const QString &a, const QString &b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

// Finds the first section of the name and the first key of the name within it.
Position locate(const Document &doc, const QString &section, const QString &key)
{
    const QList<Line> &lines = doc.lines;
    Position found;
    bool inside = false;
    for (int i = 0; i < lines.size(); ++i) {
        const Classified c = classify(doc, lines.at(i), i == 0);
        if (c.kind == Kind::Section) {
            if (inside)
                break;
            if (sameName(c.name, section)) {
                inside = true;
                found.sectionLine = i;
                found.lastLine = i;
            }
            continue;
        }
        if (!inside || c.kind != Kind::Key)
            continue;
        found.lastLine = i;
        if (found.keyLine < 0 && sameName(c.name, key)) {
            found.keyLine = i;
            found.valueStart = c.valueStart;
        }
    }
    return found;
}

bool hasForbidden(const QString &text)
{
    return text.contains(QLatin1Char('\n')) || text.contains(QLatin1Char('\r'))
           || text.contains(QChar(u'\0'));
}

// New lines follow the file's first line ending; a file without any gets CR LF.
QByteArray fileLineEnding(const QList<Line> &lines)
{
    for (const Line &line : lines) {
        if (line.endingLength == 2)
            return QByteArrayLiteral("\r\n");
        if (line.endingLength == 1)
            return QByteArrayLiteral("\n");
    }
    return QByteArrayLiteral("\r\n");
}

// The system's access check, and for root, who passes it whatever the mode, at least one
// write bit: a file or folder without any is read-only for everybody.
bool writableByModeBits(const QByteArray &path, const struct stat &st)
{
    return ::access(path.constData(), W_OK) == 0 && (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) != 0;
}

} // namespace

IniFile::IniFile(QString path) : m_path(std::move(path)) {}

IniFile::Load IniFile::load(QByteArray &contents) const
{
    int error = 0;
    switch (regular_file::read(m_path, kMaxFileSize, contents, error)) {
    case regular_file::Read::Ok:
        return Load::Ok;
    case regular_file::Read::Missing:
        return Load::Missing;
    default:
        return Load::Failed;
    }
}

QString IniFile::readString(const QString &section, const QString &key, const QString &defaultValue,
                            int capacity) const
{
    QByteArray contents;
    if (load(contents) != Load::Ok)
        return capacity > 0 ? defaultValue.left(capacity) : QString();
    return readFrom(contents, section, key, defaultValue, capacity);
}

int IniFile::readInt(const QString &section, const QString &key, int defaultValue) const
{
    return parseInt(readString(section, key, QString(), kIntCapacity), defaultValue);
}

bool IniFile::writeString(const QString &section, const QString &key, const QString &value) const
{
    QByteArray contents;
    const Load loaded = load(contents);
    if (loaded == Load::Failed)
        return false;
    if (!writeInto(contents, section, key, value) || contents.size() > kMaxFileSize)
        return false;

    const QByteArray path = QFile::encodeName(m_path);
    struct stat existing {};
    const bool exists = loaded == Load::Ok && ::stat(path.constData(), &existing) == 0;
    // A read-only file stays as it is, also for root.
    if (exists && !writableByModeBits(path, existing))
        return false;
    // The same for the folder that receives the new file.
    const QFileInfo info(m_path);
    const QByteArray folder = QFile::encodeName(exists ? QFileInfo(info.canonicalFilePath()).absolutePath()
                                                       : info.absolutePath());
    struct stat folderStat {};
    if (::stat(folder.constData(), &folderStat) != 0 || !S_ISDIR(folderStat.st_mode)
        || !writableByModeBits(folder, folderStat))
        return false;
    QSaveFile file(m_path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    // The replacement keeps the mode and, where the system lets us, the owner of the file
    // it replaces.
    if (exists) {
        const int fd = file.handle();
        struct stat fresh {};
        if (fd >= 0 && ::fstat(fd, &fresh) == 0
            && (fresh.st_uid != existing.st_uid || fresh.st_gid != existing.st_gid)) {
            [[maybe_unused]] const int ignored = ::fchown(fd, existing.st_uid, existing.st_gid);
        }
        if (fd < 0 || ::fchmod(fd, existing.st_mode & 07777) != 0) {
            file.cancelWriting();
            return false;
        }
    }
    if (file.write(contents) != contents.size()) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

QString IniFile::readFrom(const QByteArray &contents, const QString &section, const QString &key,
                          const QString &defaultValue, int capacity)
{
    if (capacity < 1)
        return QString();
    const Document doc(contents);
    const Position at = locate(doc, section, key);
    if (at.keyLine < 0)
        return defaultValue.left(capacity);

    qsizetype begin = at.valueStart;
    qsizetype end = doc.lines.at(at.keyLine).end();
    trim(contents, begin, end);
    if (end - begin >= 2) {
        const char first = contents.at(begin);
        if ((first == '"' || first == '\'') && contents.at(end - 1) == first) {
            ++begin;
            --end;
        }
    }
    return doc.slice(begin, end).left(capacity);
}

bool IniFile::writeInto(QByteArray &contents, const QString &section, const QString &key,
                        const QString &value)
{
    if (section.isEmpty() || key.isEmpty() || hasForbidden(section) || hasForbidden(key)
        || hasForbidden(value))
        return false;
    if (key.contains(QLatin1Char('=')) || key.startsWith(QLatin1Char(';'))
        || key.startsWith(QLatin1Char('[')) || key.trimmed() != key || section.trimmed() != section)
        return false;
    QByteArray sectionBytes, keyBytes, valueBytes;
    if (!code_page::toDeviceExactly(section, sectionBytes) || !code_page::toDeviceExactly(key, keyBytes)
        || !code_page::toDeviceExactly(value, valueBytes))
        return false;

    const Document doc(contents);
    const QList<Line> &lines = doc.lines;
    const Position at = locate(doc, section, key);
    const QByteArray ending = fileLineEnding(lines);

    if (at.keyLine >= 0) {
        // Keep the key as it is spelt and the blanks after "="; replace the rest.
        const Line &line = lines.at(at.keyLine);
        qsizetype valueStart = at.valueStart;
        while (valueStart < line.end() && (contents.at(valueStart) == ' ' || contents.at(valueStart) == '\t'))
            ++valueStart;
        contents = contents.left(valueStart) + valueBytes + contents.mid(line.end());
        return true;
    }

    const QByteArray keyLine = keyBytes + '=' + valueBytes + ending;
    if (at.sectionLine >= 0) {
        const Line &after = lines.at(at.lastLine);
        const qsizetype pos = after.next();
        const QByteArray head = after.endingLength == 0 ? contents.left(pos) + ending : contents.left(pos);
        contents = head + keyLine + contents.mid(pos);
        return true;
    }

    if (!contents.isEmpty() && !contents.endsWith('\n'))
        contents += ending;
    contents += '[' + sectionBytes + ']' + ending + keyLine;
    return true;
}

int IniFile::parseInt(const QString &text, int defaultValue)
{
    if (text.isEmpty())
        return defaultValue;
    qsizetype i = 0;
    while (i < text.size() && text.at(i).unicode() <= ' ')
        ++i;
    bool negative = false;
    if (i < text.size() && (text.at(i) == QLatin1Char('+') || text.at(i) == QLatin1Char('-'))) {
        negative = text.at(i) == QLatin1Char('-');
        ++i;
    }
    std::uint32_t result = 0;
    for (; i < text.size(); ++i) {
        const char16_t c = text.at(i).unicode();
        if (c < u'0' || c > u'9')
            break;
        result = result * 10u + static_cast<std::uint32_t>(c - u'0');
    }
    if (negative)
        result = 0u - result;
    return static_cast<int>(static_cast<std::int32_t>(result));
}
