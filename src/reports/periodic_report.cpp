#include "reports/periodic_report.h"

#include "app/application.h"
#include "commands/command_codes.h"
#include "commands/command_wrappers.h"
#include "reports/report_steps.h"

PeriodicReport::PeriodicReport(Application &app) : m_app(app) {}

Outcome<QString> PeriodicReport::byDates(const QString &password, const QString &firstDate, const QString &lastDate,
                                         bool full)
{
    for (const QString &date : {firstDate, lastDate}) {
        if (!isDeviceDate(date)) {
            ReportSteps steps(m_app);
            steps.refuse(kHeading, notADate(date));
            return steps.outcome();
        }
    }
    return printInReceipt(m_app, password, {kHeading, kHeading}, [&](int &code) {
        return m_app.execute(printPeriodicReportByDate, password, firstDate, lastDate, full ? 1 : 0, code);
    });
}

Outcome<QString> PeriodicReport::byNumbers(const QString &password, const QString &firstNumber,
                                           const QString &lastNumber, bool full)
{
    int first = 0, last = 0;
    for (const auto &[text, value] : {std::pair{&firstNumber, &first}, std::pair{&lastNumber, &last}}) {
        if (!report_input::readInt(*text, *value)) {
            ReportSteps steps(m_app);
            steps.refuse(kHeading, report_input::notAnInteger(*text));
            return steps.outcome();
        }
    }
    return printInReceipt(m_app, password, {kHeading, kHeading}, [&](int &code) {
        return m_app.execute(printPeriodicReportByNumber, password, first, last, full ? 1 : 0, code);
    });
}

QString PeriodicReport::deviceDate(const QDate &date)
{
    return date.toString(kShownDateFormat).remove(QLatin1Char('.'));
}

QString PeriodicReport::notADate(const QString &text)
{
    return QStringLiteral("'%1' не является датой DDMMYY.").arg(text);
}

bool PeriodicReport::isDeviceDate(const QString &text)
{
    if (text.size() != 6)
        return false;
    for (QChar c : text)
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
    return QDate(2000 + QStringView(text).mid(4, 2).toInt(), QStringView(text).mid(2, 2).toInt(),
                 QStringView(text).left(2).toInt())
        .isValid();
}
