#include "link/code_page.h"

#include <QStringDecoder>
#include <QStringEncoder>

#include <array>

namespace code_page {

namespace {

// Building a converter costs far more than converting a line (a search over a large log
// converts millions): each thread builds its encoder once.
QStringEncoder &encoder()
{
    thread_local QStringEncoder e("windows-1251", QStringConverter::Flag::Stateless);
    return e;
}

// The code page is one byte a character, so decoding is a table of its 256 characters,
// made once by the system's converter.
struct DecodeTable {
    std::array<char16_t, 256> chars{};
    bool valid = false;
    DecodeTable()
    {
        QStringDecoder decoder("windows-1251", QStringConverter::Flag::Stateless);
        if (!decoder.isValid())
            return;
        for (int b = 0; b < 256; ++b) {
            const QString c = decoder.decode(QByteArray(1, char(b)));
            if (c.size() != 1)
                return;
            chars[size_t(b)] = c.at(0).unicode();
        }
        valid = true;
    }
};

const DecodeTable &decodeTable()
{
    static const DecodeTable table;
    return table;
}

} // namespace

QByteArray toDevice(const QString &text)
{
    QStringEncoder &e = encoder();
    if (!e.isValid())
        return text.toLatin1();
    return e.encode(text);
}

QString fromDevice(const QByteArray &bytes)
{
    const DecodeTable &table = decodeTable();
    if (!table.valid)
        return QString::fromLatin1(bytes);
    QString out(bytes.size(), Qt::Uninitialized);
    char16_t *to = reinterpret_cast<char16_t *>(out.data());
    for (const char b : bytes)
        *to++ = table.chars[quint8(b)];
    return out;
}

bool toDeviceExactly(const QString &text, QByteArray &bytes)
{
    bytes = toDevice(text);
    return fromDevice(bytes) == text;
}

} // namespace code_page
