#include "reports/additional_reports.h"

#include "app/application.h"
#include "commands/command_codes.h"
#include "commands/command_wrappers.h"
#include "reports/report_steps.h"

AdditionalReports::AdditionalReports(Application &app) : m_app(app) {}

QStringList AdditionalReports::typeNames()
{
    return {QStringLiteral("Отчет по отделам"), QStringLiteral("Отчет по операторам"),
            QStringLiteral("Вывести контрольную ленту")};
}

Outcome<QString> AdditionalReports::print(const QString &password, ReportType type)
{
    ReportSteps steps(m_app);
    if (const QString refusal = report_input::passwordRefusal(password); !refusal.isEmpty()) {
        steps.refuse(kReportHeading, refusal);
        return steps.outcome();
    }
    const QString fixed = QString::fromLatin1(cmd::kDefaultPassword);
    int code = 0;
    if (!steps.judge(m_app.execute(OpenNonFiscalReceipt, fixed, code), code, kReceiptHeading))
        return steps.outcome();
    steps.judge(m_app.execute(printAdditionalReport, password, int(type), code), code, kReportHeading);
    steps.judge(m_app.execute(closeReceipt, fixed, code), code, kReceiptHeading);
    return steps.outcome();
}
