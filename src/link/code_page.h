#pragma once

#include <QByteArray>
#include <QString>

// The registrar's text is Windows-1251 bytes in both directions; this is the one place
// where they turn into QString and back.
namespace code_page {

QByteArray toDevice(const QString &text);
QString fromDevice(const QByteArray &bytes);
// The bytes of a text when Windows-1251 holds every character of it; false when it does
// not (the bytes then hold the lossy conversion, with a substitute for what is missing).
bool toDeviceExactly(const QString &text, QByteArray &bytes);

} // namespace code_page
