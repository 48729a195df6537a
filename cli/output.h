#pragma once

#include <QByteArray>
#include <QString>

#include <cstdio>

namespace cli {

// One line of text on standard output or standard error, in UTF-8, out at once (a
// progress line or a step's result shows as it ends, even when the stream is a pipe).
inline void printLine(FILE *f, const QString &text)
{
    const QByteArray bytes = text.toUtf8() + '\n';
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), f);
    std::fflush(f);
}

} // namespace cli
