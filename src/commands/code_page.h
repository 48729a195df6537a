#pragma once

#include <QByteArray>
#include <QString>

// The registrar's text is Windows-1251 bytes in both directions; this is the one place
// where they turn into QString and back.
namespace code_page {

QByteArray toDevice(const QString &text);
QString fromDevice(const QByteArray &bytes);

} // namespace code_page
