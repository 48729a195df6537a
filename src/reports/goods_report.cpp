#include "reports/goods_report.h"

#include "app/application.h"
#include "app/identification.h"
#include "commands/command_codes.h"
#include "commands/command_wrappers.h"
#include "link/command_result.h"
#include "reports/report_steps.h"

GoodsReport::GoodsReport(Application &app) : m_app(app) {}

QString GoodsReport::defaultLastCode(const AppState &state)
{
    static const QStringList longCodeVersions = {QStringLiteral("2.02"), QStringLiteral("2.03"),
                                                 QStringLiteral("3.00")};
    const bool longCodes =
        longCodeVersions.contains(state.softwareVersion) || state.priorityLevel == QLatin1String("high");
    return QString(longCodes ? 14 : 9, QLatin1Char('9'));
}

Outcome<QString> GoodsReport::print(const QString &password, const QString &firstCode, const QString &lastCode)
{
    ReportSteps steps(m_app);
    qint64 first = 0, last = 0;
    if (!report_input::readInt64(lastCode, last)) {
        steps.refuse(kHeading, report_input::notAnInteger(lastCode));
        return steps.outcome();
    }
    if (!report_input::readInt64(firstCode, first)) {
        steps.refuse(kHeading, report_input::notAnInteger(firstCode));
        return steps.outcome();
    }
    return printInReceipt(m_app, password, {kHeading, kHeading}, [&](int &code) {
        return m_app.execute(printGoodsReport, password, first, last, code);
    });
}

Outcome<QString> GoodsReport::refreshStatus()
{
    ReportSteps steps(m_app);
    int code = 0;
    const CommandResult *r = m_app.execute(getDiagnosticInfo, QString::fromLatin1(cmd::kDefaultPassword), code);
    if (!steps.judge(r, code, kStatusHeading))
        return steps.outcome();
    m_app.state().paymentFormCount = identification::paymentFormCount(*r);
    return {Verdict::of(*r), identification::identityText(*r)};
}
