#include "reports/daily_reports.h"

#include "app/application.h"
#include "commands/command_codes.h"
#include "commands/command_wrappers.h"
#include "link/command_result.h"
#include "reports/report_steps.h"

DailyReports::DailyReports(Application &app) : m_app(app) {}

Outcome<QString> DailyReports::printReport(const QString &password, ReportType type)
{
    if (type == ZReport)
        m_app.state().sharedMark = true;
    ReportSteps steps(m_app);
    int code = 0;
    const CommandResult *r = m_app.execute(::printReport, password, int(type), code);
    if (steps.judge(r, code, type == ClearControlTape ? kClearTapeHeading : kReportsHeading))
        m_app.state().sharedMark = true;
    return steps.outcome();
}

Outcome<QString> DailyReports::printControlTape(const QString &password)
{
    ReportSteps steps(m_app);
    if (const QString refusal = report_input::passwordRefusal(password); !refusal.isEmpty()) {
        steps.refuse(QString(), refusal);
        return steps.outcome();
    }
    int code = 0;
    if (!steps.judge(m_app.execute(OpenNonFiscalReceipt, password, code), code, QString()))
        return steps.outcome();
    if (steps.judge(m_app.execute(PrintText, QString::fromLatin1(cmd::kDefaultPassword), kControlTapeHeading, code),
                    code, QString()))
        steps.judge(m_app.execute(printAdditionalReport, password, 2, code), code, kStatusHeading);
    // Closed whether or not the tape was printed: an open receipt blocks every sale.
    if (steps.judge(m_app.execute(closeReceipt, password, code), code, QString()) && !steps.failed())
        m_app.state().sharedMark = true;
    return steps.outcome();
}

Outcome<QString> DailyReports::unloadControlTape(const QString &password, bool clearGoodsBase)
{
    m_app.state().sharedMark = true;
    ReportSteps steps(m_app);
    int code = 0;
    for (ReportType type : {UnloadControlTape, ClearControlTape})
        if (!steps.judge(m_app.execute(::printReport, password, int(type), code), code, kReportsHeading))
            return steps.outcome();
    if (clearGoodsBase) {
        // This step says only "Ошибка " for any error word; a timeout, a NAK or a check
        // mismatch is said as such.
        const CommandResult *r = m_app.execute(cmd::ClearGoodsBase, QByteArray(cmd::kDefaultPassword) + ';');
        if (!steps.judge(r, 0, QString(), QStringLiteral("Ошибка ")))
            return steps.outcome();
    }
    m_app.state().sharedMark = true;
    return steps.outcome();
}

bool DailyReports::unloadOffered(const AppState &state)
{
    return state.softwareVersion == QLatin1String("3.02") || state.priorityLevel == QLatin1String("high");
}
