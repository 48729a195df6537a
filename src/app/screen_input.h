#pragma once

#include <QDate>
#include <QString>
#include <QtGlobal>

// How the screens and dizivu-cli read what was typed: whole and decimal numbers, and the
// date as the registrar takes it.
namespace input {

// What a number may look like besides its digits.
struct NumberForm {
    bool blanksAround = true; // blanks before and after are ignored
    bool signAllowed = true;  // a leading "+" or "-"
    int maxDigits = 0;        // at most this many digits (0: whatever fits the type)
};

// A whole decimal number that fits the type. `value` is set only on success.
bool readInteger(const QString &text, qint64 &value, NumberForm form = {});
bool readInteger(const QString &text, int &value, NumberForm form = {});
// A finite decimal with "." as the decimal point; no group separators ("1,500" is not
// fifteen hundred when one and a half was meant), an exponent allowed. `value` is set only
// on success.
bool readDecimal(const QString &text, double &value, NumberForm form = {});

// The date as it travels to the registrar: DDMMYY, the shown dd.MM.yy without its points.
QString deviceDate(const QDate &date);
// Whether `text` is a date in DDMMYY (six digits, a real day of 20YY); `date` gets it.
bool readDeviceDate(const QString &text, QDate *date = nullptr);

} // namespace input
