// Pictures as the logo screen loads them: any bytes as a bitmap, then the conversion into
// logo lines at the picture's size and at sizes beyond it. Checks: no crash; the bytes are
// ⌈W ÷ 8⌉ × H; every line is 48 hexadecimal characters and the lines hold every byte.
#include "tools/logo_programming.h"

#include <QImage>

#include <cstddef>
#include <cstdint>

namespace {

void check(const QImage &picture, int w, int h)
{
    const QByteArray bytes = LogoProgramming::logoBytes(picture, w, h);
    if (bytes.size() != qsizetype((w + 7) / 8) * h)
        __builtin_trap();
    const QList<QString> lines = LogoProgramming::logoLines(bytes);
    if (lines.size() != (bytes.size() + 23) / 24)
        __builtin_trap();
    for (const QString &l : lines)
        if (l.size() != 48)
            __builtin_trap();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size > 65536)
        return 0;
    QImage picture;
    picture.loadFromData(reinterpret_cast<const uchar *>(data), int(size), "BMP");
    // Keep to what a registrar takes: 384 dots wide at most, and a bounded height.
    const int w = qBound(1, picture.isNull() ? 8 : picture.width(), 384);
    const int h = qBound(1, picture.isNull() ? 1 : picture.height(), 256);
    check(picture, w, h);
    check(picture, qMin(w + 3, 384), qMin(h + 1, 256));
    return 0;
}
