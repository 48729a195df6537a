#include "app/regular_file.h"

#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace regular_file {

namespace {

// Up to one byte past the limit, so a file that grew since it was looked at is noticed.
bool readAll(int fd, qint64 maxBytes, QByteArray &bytes)
{
    constexpr qint64 kPiece = 64 * 1024;
    for (;;) {
        const qint64 room = qMin(kPiece, maxBytes + 1 - bytes.size());
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

Read read(const QString &path, qint64 maxBytes, QByteArray &bytes, int &error)
{
    bytes.clear();
    error = 0;
    const QByteArray native = QFile::encodeName(path);
    struct stat before {};
    if (path.isEmpty() || ::stat(native.constData(), &before) != 0) {
        error = path.isEmpty() ? ENOENT : errno;
        return error == ENOENT ? Read::Missing : Read::CannotOpen;
    }
    if (!S_ISREG(before.st_mode))
        return Read::NotRegular;
    if (before.st_size > maxBytes)
        return Read::TooLarge;
    const int fd = ::open(native.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        error = errno;
        return Read::CannotOpen;
    }
    struct stat opened {};
    Read result = Read::Ok;
    if (::fstat(fd, &opened) != 0 || !S_ISREG(opened.st_mode))
        result = Read::NotRegular;
    else if (!readAll(fd, maxBytes, bytes)) {
        error = errno;
        result = Read::CannotRead;
    } else if (bytes.size() > maxBytes)
        result = Read::TooLarge;
    ::close(fd);
    if (result != Read::Ok)
        bytes.clear();
    return result;
}

} // namespace regular_file
