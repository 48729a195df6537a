#include "reports/additional_reports.h"

#include "app/application.h"
#include "app/step_runner.h"
#include "commands/command_codes.h"
#include "commands/command_wrappers.h"

AdditionalReports::AdditionalReports(Application &app) : m_app(app) {}

QStringList AdditionalReports::typeNames()
{
    return {QStringLiteral("Отчет по отделам"), QStringLiteral("Отчет по операторам"),
            QStringLiteral("Вывести контрольную ленту")};
}

Outcome<> AdditionalReports::print(const QString &password, ReportType type)
{
    // A success marks no reply for the status screen.
    StepRunner steps(m_app);
    steps.printInReceipt(password, {kReceiptHeading},
                         {[&](int &code) { return m_app.execute(printAdditionalReport, password, int(type), code); },
                          {kReportHeading}});
    Outcome<> out = steps.replyOutcome();
    // "Код ошибки:" shows the failed step's word, not the closing's after it.
    if (steps.failed())
        out.lastExchange.reset();
    return out;
}
