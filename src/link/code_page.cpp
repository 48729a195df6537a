#include "link/code_page.h"

#include <QStringDecoder>
#include <QStringEncoder>

namespace code_page {

QByteArray toDevice(const QString &text)
{
    QStringEncoder encoder("windows-1251", QStringConverter::Flag::Stateless);
    if (!encoder.isValid())
        return text.toLatin1();
    return encoder.encode(text);
}

QString fromDevice(const QByteArray &bytes)
{
    QStringDecoder decoder("windows-1251", QStringConverter::Flag::Stateless);
    if (!decoder.isValid())
        return QString::fromLatin1(bytes);
    return decoder.decode(bytes);
}

bool toDeviceExactly(const QString &text, QByteArray &bytes)
{
    bytes = toDevice(text);
    return fromDevice(bytes) == text;
}

} // namespace code_page
