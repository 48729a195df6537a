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

QString readFixed(const QString &text, int decimals, const QString &field, double &value)
{
    // Twelve whole digits and three decimals still convert to a double that formats back
    // to the same digits.
    constexpr qsizetype kMaxWholeDigits = 12;
    const QString example = decimals >= 3 ? QStringLiteral("1.5 или 1,5") : QStringLiteral("12.50 или 12,50");
    const QString notANumber = QStringLiteral("Поле \"%1\": \"%2\" не является числом; введите число, например %3. "
                                              "Команда не отправлена.")
                                   .arg(field, text, example);
    const QString t = text.trimmed();
    qsizetype i = 0;
    if (i < t.size() && (t[i] == QLatin1Char('+') || t[i] == QLatin1Char('-')))
        ++i;
    const qsizetype wholeStart = i;
    while (i < t.size() && t[i] >= QLatin1Char('0') && t[i] <= QLatin1Char('9'))
        ++i;
    const qsizetype wholeDigits = i - wholeStart;
    qsizetype fractionDigits = 0;
    if (i < t.size() && (t[i] == QLatin1Char('.') || t[i] == QLatin1Char(','))) {
        const qsizetype fractionStart = ++i;
        while (i < t.size() && t[i] >= QLatin1Char('0') && t[i] <= QLatin1Char('9'))
            ++i;
        fractionDigits = i - fractionStart;
        // "12." and ",5" are not how a number is written.
        if (fractionDigits == 0)
            return notANumber;
    }
    if (i != t.size() || wholeDigits == 0)
        return notANumber;
    if (fractionDigits > decimals)
        return QStringLiteral("Поле \"%1\": не более %2 после запятой, введено \"%3\"; число не округляется. "
                              "Команда не отправлена.")
            .arg(field, decimals >= 3 ? QStringLiteral("трёх знаков") : QStringLiteral("двух знаков"), text);
    if (wholeDigits > kMaxWholeDigits)
        return QStringLiteral("Поле \"%1\": число \"%2\" слишком велико. Команда не отправлена.").arg(field, text);
    QString c = t;
    c.replace(QLatin1Char(','), QLatin1Char('.'));
    bool ok = false;
    const double v = QLocale::c().toDouble(c, &ok);
    if (!ok || !std::isfinite(v))
        return notANumber;
    value = v;
    return QString();
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
