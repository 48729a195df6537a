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
    return printInReceipt(m_app, password, {kReceiptHeading, kReportHeading, false}, [&](int &code) {
        return m_app.execute(printAdditionalReport, password, int(type), code);
    });
}
