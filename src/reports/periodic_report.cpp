#include "reports/periodic_report.h"

#include "app/application.h"
#include "app/screen_input.h"
#include "app/step_runner.h"
#include "commands/command_codes.h"
#include "commands/command_wrappers.h"

PeriodicReport::PeriodicReport(Application &app) : m_app(app) {}

Outcome<> PeriodicReport::inReceipt(const QString &password, const StepRunner::Send &report)
{
    StepRunner steps(m_app);
    if (steps.printInReceipt(password, {kHeading}, {report, {kHeading}}))
        m_app.state().sharedMark = true;
    return steps.replyOutcome();
}

Outcome<> PeriodicReport::byDates(const QString &password, const QString &firstDate, const QString &lastDate,
                                  bool full)
{
    for (const QString &date : {firstDate, lastDate}) {
        if (!input::readDeviceDate(date)) {
            StepRunner steps(m_app);
            steps.refuse(notADate(date), kHeading);
            return steps.replyOutcome();
        }
    }
    return inReceipt(password, [&](int &code) {
        return m_app.execute(printPeriodicReportByDate, password, firstDate, lastDate, full ? 1 : 0, code);
    });
}

Outcome<> PeriodicReport::byNumbers(const QString &password, const QString &firstNumber, const QString &lastNumber,
                                    bool full)
{
    int first = 0, last = 0;
    for (const auto &[text, value] : {std::pair{&firstNumber, &first}, std::pair{&lastNumber, &last}}) {
        if (!input::readInteger(*text, *value)) {
            StepRunner steps(m_app);
            steps.refuse(notAnInteger(*text), kHeading);
            return steps.replyOutcome();
        }
    }
    return inReceipt(password, [&](int &code) {
        return m_app.execute(printPeriodicReportByNumber, password, first, last, full ? 1 : 0, code);
    });
}

QString PeriodicReport::notADate(const QString &text)
{
    return QStringLiteral("'%1' не является датой DDMMYY.").arg(text);
}

QString PeriodicReport::notAnInteger(const QString &text)
{
    return QStringLiteral("'%1' не является целым числом.").arg(text);
}
