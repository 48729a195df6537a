#pragma once

#include "app/prompter.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QtGlobal>

// A goods list file ("*.ART"), as the goods loading screen, the fiscal receipt screen and
// dizivu-cli read it. One goods line a text line; the file is UTF-8 when it is valid
// UTF-8, otherwise the registrar's own code page (Windows-1251); a leading UTF-8 BOM is
// dropped; lines end with LF or CR LF, and a final line end does not make an empty line of
// its own.
namespace goods_file {

// A goods list larger than this is not a goods list (the registrar's base holds far fewer
// items); refusing it keeps a wrong file from taking up the memory.
inline constexpr qint64 kMaxSize = 16 * 1024 * 1024;

enum class Failure {
    None,
    CannotOpen, // missing, no permission: `reason` has the system's words
    NotRegular, // a pipe, a device or a folder: reading it could block, and it is no list
    TooLarge,   // over kMaxSize
    CannotRead, // the read failed part way: `reason` has the system's words
};

struct Contents {
    Failure failure = Failure::None;
    QString reason;
    QString absolutePath;
    QStringList lines;

    bool ok() const { return failure == Failure::None; }
    // Why the file at `path` was not read, in the goods loader's words; empty when it was.
    QString message(const QString &path) const;
};

// The file dialog that chooses a goods list file.
Prompter::FileRequest fileRequest();

// Reads the file at `path`. A pipe or device is refused before it is opened, and checked
// again once open (never waited on); at most kMaxSize bytes are taken.
Contents read(const QString &path);

// The lines of a file's bytes, and of a text typed on a screen, by the rule above.
QStringList linesOfBytes(const QByteArray &bytes);
QStringList linesOfText(const QString &text);

} // namespace goods_file
