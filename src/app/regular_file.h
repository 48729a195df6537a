#pragma once

#include <QByteArray>
#include <QString>
#include <QtGlobal>

// A file read whole, when it is a regular file and not larger than a limit. A named pipe
// would block the open (and the window) for good, and a device or a folder is no file
// of ours, so the path is looked at before it is opened and again once it is open (in
// case something else was put in its place in between).
namespace regular_file {

enum class Read {
    Ok,
    Missing,    // no such file (or an empty path)
    CannotOpen, // no permission and the like: `error` has errno
    NotRegular, // a pipe, a device or a folder
    TooLarge,   // over the limit, also when it grew while being read
    CannotRead, // the read failed part way: `error` has errno
};

// `bytes` holds the file on Ok and nothing otherwise.
Read read(const QString &path, qint64 maxBytes, QByteArray &bytes, int &error);

} // namespace regular_file
