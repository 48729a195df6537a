#include "app/screen_input.h"

#include <QLocale>

#include <cmath>
#include <limits>

namespace input {

namespace {

// The text without the blanks the form allows, or null when what is left breaks the
// form's sign and digit rules.
QString prepared(const QString &text, const NumberForm &form)
{
    const QString t = form.blanksAround ? text.trimmed() : text;
    if (t.isEmpty())
        return QString();
    if (!form.signAllowed && (t.front() == QLatin1Char('+') || t.front() == QLatin1Char('-')))
        return QString();
    if (form.maxDigits > 0) {
        qsizetype digits = 0;
        for (const QChar c : t)
            digits += c.isDigit() ? 1 : 0;
        if (digits > form.maxDigits)
            return QString();
    }
    return t;
}

bool allDigits(QStringView t)
{
    for (const QChar c : t)
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
    return !t.isEmpty();
}

} // namespace

bool readInteger(const QString &text, qint64 &value, NumberForm form)
{
    const QString t = prepared(text, form);
    if (t.isNull())
        return false;
    // Without a sign only digits may come: toLongLong would take blanks around them.
    if (!form.signAllowed && !allDigits(t))
        return false;
    bool ok = false;
    const qint64 v = t.toLongLong(&ok);
    if (ok)
        value = v;
    return ok;
}

bool readInteger(const QString &text, int &value, NumberForm form)
{
    qint64 v = 0;
    if (!readInteger(text, v, form) || v < std::numeric_limits<int>::min() || v > std::numeric_limits<int>::max())
        return false;
    value = int(v);
    return true;
}

bool readDecimal(const QString &text, double &value, NumberForm form)
{
    const QString t = prepared(text, form);
    if (t.isNull())
        return false;
    QLocale c = QLocale::c();
    c.setNumberOptions(QLocale::RejectGroupSeparator);
    bool ok = false;
    const double v = c.toDouble(t, &ok);
    if (!ok || !std::isfinite(v))
        return false;
    value = v;
    return true;
}

QString deviceDate(const QDate &date)
{
    return date.toString(QStringLiteral("ddMMyy"));
}

bool readDeviceDate(const QString &text, QDate *date)
{
    if (text.size() != 6 || !allDigits(text))
        return false;
    const QDate d(2000 + QStringView(text).mid(4, 2).toInt(), QStringView(text).mid(2, 2).toInt(),
                  QStringView(text).left(2).toInt());
    if (!d.isValid())
        return false;
    if (date)
        *date = d;
    return true;
}

} // namespace input
