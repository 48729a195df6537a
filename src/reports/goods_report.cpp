#include "reports/goods_report.h"

#include "app/application.h"
#include "app/identification.h"
#include "app/screen_input.h"
#include "app/step_runner.h"
#include "commands/command_codes.h"
#include "commands/command_wrappers.h"
#include "link/command_result.h"
#include "reports/periodic_report.h"

GoodsReport::GoodsReport(Application &app) : m_app(app) {}

QString GoodsReport::defaultLastCode(const AppState &state)
{
    static const QStringList longCodeVersions = {QStringLiteral("2.02"), QStringLiteral("2.03"),
                                                 QStringLiteral("3.00")};
    const bool longCodes =
        longCodeVersions.contains(state.softwareVersion) || state.priorityLevel == QLatin1String("high");
    return QString(longCodes ? 14 : 9, QLatin1Char('9'));
}

Outcome<> GoodsReport::print(const QString &password, const QString &firstCode, const QString &lastCode)
{
    StepRunner steps(m_app);
    qint64 first = 0, last = 0;
    if (!input::readInteger(lastCode, last)) {
        steps.refuse(PeriodicReport::notAnInteger(lastCode), kHeading);
        return steps.replyOutcome();
    }
    if (!input::readInteger(firstCode, first)) {
        steps.refuse(PeriodicReport::notAnInteger(firstCode), kHeading);
        return steps.replyOutcome();
    }
    if (steps.printInReceipt(password, {kHeading},
                             {[&](int &code) { return m_app.execute(printGoodsReport, password, first, last, code); },
                              {kHeading}}))
        m_app.state().sharedMark = true;
    Outcome<> out = steps.replyOutcome();
    // "Код ошибки:" shows the failed step's word, not the closing's after it.
    if (steps.failed())
        out.lastExchange.reset();
    return out;
}

Outcome<QString> GoodsReport::refreshStatus()
{
    StepRunner steps(m_app);
    int code = 0;
    const CommandResult *r = m_app.execute(getDiagnosticInfo, QString::fromLatin1(cmd::kDefaultPassword), code);
    if (!steps.judge(r, code, {kStatusHeading}))
        return steps.outcome(QString());
    m_app.state().paymentFormCount = identification::paymentFormCount(*r);
    return steps.outcome(identification::identityText(*r));
}
