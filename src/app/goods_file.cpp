#include "app/goods_file.h"

#include "link/code_page.h"

#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace goods_file {

namespace {

Contents failed(Failure failure, const QString &reason = {})
{
    Contents c;
    c.failure = failure;
    c.reason = reason;
    return c;
}

// Up to one byte past the limit, so a file that grew since it was looked at is noticed.
bool readAll(int fd, QByteArray &bytes)
{
    constexpr qint64 kPiece = 64 * 1024;
    for (;;) {
        const qint64 room = qMin(kPiece, kMaxSize + 1 - bytes.size());
        if (room <= 0)
            return true;
        const qsizetype at = bytes.size();
        bytes.resize(at + room);
        const ssize_t n = ::read(fd, bytes.data() + at, size_t(room));
        if (n < 0 && errno == EINTR) {
            bytes.resize(at);
            continue;
        }
        bytes.resize(at + qMax<ssize_t>(n, 0));
        if (n < 0)
            return false;
        if (n == 0)
            return true;
    }
}

} // namespace

Prompter::FileRequest fileRequest()
{
    Prompter::FileRequest r;
    r.filter = u"Product filse -  ART|*.ART|AllFiles (*.*)|*.*"_s;
    r.defaultExtension = u"ART"_s;
    r.initialName = u"*.art"_s;
    return r;
}

QString Contents::message(const QString &path) const
{
    switch (failure) {
    case Failure::None:
        return {};
    case Failure::CannotOpen:
        return u"Не удалось открыть файл "_s + path + u": "_s + reason;
    case Failure::NotRegular:
        return u"Не удалось открыть файл "_s + path + u": это не обычный файл."_s;
    case Failure::TooLarge:
        return u"Файл "_s + path + u" слишком велик для списка товаров."_s;
    case Failure::CannotRead:
        return u"Не удалось прочитать файл "_s + path + u": "_s + reason;
    }
    return {};
}

Contents read(const QString &path)
{
    const QByteArray native = QFile::encodeName(path);
    struct stat before {};
    if (path.isEmpty() || ::stat(native.constData(), &before) != 0)
        return failed(Failure::CannotOpen, qt_error_string(path.isEmpty() ? ENOENT : errno));
    if (!S_ISREG(before.st_mode))
        return failed(Failure::NotRegular);
    if (before.st_size > kMaxSize)
        return failed(Failure::TooLarge);
    // Non-blocking, and checked again once open, should something else have been put in
    // its place in between.
    const int fd = ::open(native.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0)
        return failed(Failure::CannotOpen, qt_error_string(errno));
    struct stat opened {};
    QByteArray bytes;
    Contents c;
    if (::fstat(fd, &opened) != 0 || !S_ISREG(opened.st_mode))
        c = failed(Failure::NotRegular);
    else if (!readAll(fd, bytes))
        c = failed(Failure::CannotRead, qt_error_string(errno));
    else if (bytes.size() > kMaxSize)
        c = failed(Failure::TooLarge);
    ::close(fd);
    if (!c.ok())
        return c;
    c.absolutePath = QFileInfo(path).absoluteFilePath();
    c.lines = linesOfBytes(bytes);
    return c;
}

QStringList linesOfBytes(const QByteArray &bytes)
{
    QStringDecoder utf8(QStringDecoder::Utf8);
    QString text = utf8.decode(bytes);
    if (utf8.hasError())
        text = code_page::fromDevice(bytes);
    if (text.startsWith(QChar(0xFEFF)))
        text.remove(0, 1);
    return linesOfText(text);
}

QStringList linesOfText(const QString &text)
{
    if (text.isEmpty())
        return {};
    QStringList lines = text.split(u'\n');
    if (lines.last().isEmpty())
        lines.removeLast();
    for (QString &line : lines)
        if (line.endsWith(u'\r'))
            line.chop(1);
    return lines;
}

} // namespace goods_file
