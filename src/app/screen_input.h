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

// An amount of money or a quantity as typed on a screen: an optional sign, digits, and
// "." or "," as the decimal point (the Russian way writes 12,5), blanks around allowed; no
// group separators, no exponent. More decimals than the registrar takes (`decimals`: two
// for money, three for a quantity) are refused rather than rounded away in silence.
// Returns an empty text and sets `value`, or leaves `value` and returns the refusal, which
// names `field` (the screen's caption without its colon) and says what to type.
QString readFixed(const QString &text, int decimals, const QString &field, double &value);
inline QString readAmount(const QString &text, const QString &field, double &value)
{
    return readFixed(text, 2, field, value);
}
inline QString readQuantity(const QString &text, const QString &field, double &value)
{
    return readFixed(text, 3, field, value);
}

// The date as it travels to the registrar: DDMMYY, the shown dd.MM.yy without its points.
QString deviceDate(const QDate &date);
// Whether `text` is a date in DDMMYY (six digits, a real day of 20YY); `date` gets it.
bool readDeviceDate(const QString &text, QDate *date = nullptr);

} // namespace input
