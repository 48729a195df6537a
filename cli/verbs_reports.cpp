// dizivu-cli's reports: the daily, goods, periodic and additional reports and the free
// resources, through the same operations as their screens.
#include "cli/verbs.h"
#include "cli/output.h"

#include "app/application.h"
#include "cli/report_args.h"
#include "cli/send_command.h"
#include "commands/command_codes.h"
#include "commands/command_wrappers.h"
#include "link/code_page.h"
#include "link/command_result.h"
#include "reports/additional_reports.h"
#include "reports/daily_reports.h"
#include "reports/goods_report.h"
#include "reports/periodic_report.h"
#include "reports/resource_info.h"

namespace cli {

namespace {

// The registrar identified as the main window identifies it at connection (the goods
// report's last code follows its software version). False, with the failure shown, when
// it did not answer as it must.
bool identify(Session &session, Exit &failure)
{
    const Verdict v = session.identify();
    if (!v.ok()) {
        session.app().prompter().showMessage(GoodsReport::kStatusHeading + v.message);
        failure = exitOf(v);
        return false;
    }
    return true;
}

Outcome<> runReport(Application &app, const Options &o, const ReportRequest &req)
{
    DailyReports daily(app);
    AdditionalReports additional(app);
    PeriodicReport periodic(app);
    switch (req.kind) {
    case ReportRequest::XReport:
        return daily.printReport(o.password, DailyReports::XReport);
    case ReportRequest::ZReport:
        return daily.printReport(o.password, DailyReports::ZReport);
    case ReportRequest::ClearTape:
        return daily.printReport(o.password, DailyReports::ClearControlTape);
    case ReportRequest::ControlTape:
        return daily.printControlTape(o.password);
    case ReportRequest::Goods:
        return GoodsReport(app).print(o.password, req.first.isNull() ? GoodsReport::kFirstCodeDefault : req.first,
                                      req.last.isNull() ? GoodsReport::defaultLastCode(app.state()) : req.last);
    case ReportRequest::PeriodicByDates:
        return periodic.byDates(o.password, req.first, req.last, req.full);
    case ReportRequest::PeriodicByNumbers:
        return periodic.byNumbers(o.password, req.first, req.last, req.full);
    case ReportRequest::Departments:
        return additional.print(o.password, AdditionalReports::Departments);
    case ReportRequest::Operators:
        return additional.print(o.password, AdditionalReports::Operators);
    case ReportRequest::Tape:
        return additional.print(o.password, AdditionalReports::ControlTape);
    }
    return {};
}

// Runs one verb on the connection the options ask for, after checking the password
// (nothing is sent when it cannot go out): the session opened and closed around `body`.
template <class Body>
int withSession(const Options &o, FILE *err, Body body)
{
    if (const int refusal = param_format::textRefusal(o.password)) {
        printLine(err, wrapper_codes::refusalMessage(refusal));
        return Refused;
    }
    Session session(o, err);
    if (const Exit e = session.open(); e != Success)
        return e;
    return body(session);
}

int report(const Options &o, FILE *out, FILE *err)
{
    ReportRequest req;
    QString error;
    if (const Exit e = parseReportArguments(o.verbArgs, req, error); e != Success)
        return fail(err, e, error);
    return withSession(o, err, [&](Session &session) -> int {
        Application &app = session.app();
        // The goods report's last code follows the software version, which the program
        // otherwise learns at connection; the priority level "high" does without it.
        if (req.kind == ReportRequest::Goods && req.last.isNull()
            && app.state().priorityLevel != QLatin1String("high")) {
            Exit failure = Success;
            if (!identify(session, failure))
                return failure;
        }
        const Outcome<> outcome = runReport(app, o, req);
        if (outcome.sent()) {
            printLine(out, QStringLiteral("result=") + (outcome.ok() ? QStringLiteral("ok") : QStringLiteral("failed")));
            printError(out, QStringLiteral("error"), outcome.verdict);
        }
        return exitOf(outcome);
    });
}

// One line a field: its caption without the closing colon and blanks, and the field as
// the registrar sent it.
int resources(const Options &o, FILE *out, FILE *err)
{
    if (!o.verbArgs.isEmpty())
        return fail(err, Usage, QStringLiteral("resources takes no arguments"));
    return withSession(o, err, [&](Session &session) -> int {
        const Outcome<ResourceInfo::Resources> outcome = ResourceInfo(session.app()).read(o.password);
        if (!outcome.ok())
            return exitOf(outcome.verdict);
        // A reply without every field is a reply that did not arrive as it must.
        if (!outcome.shown.read)
            return LinkFault;
        for (int i = 0; i < ResourceInfo::kFieldCount; ++i) {
            QString caption = ResourceInfo::captions()[size_t(i)].trimmed();
            if (caption.endsWith(QLatin1Char(':')))
                caption.chop(1);
            printLine(out, caption + QLatin1Char('=') + outcome.shown.fields[size_t(i)]);
        }
        return Success;
    });
}

} // namespace

QList<Verb> reportVerbs()
{
    return {
        {"report",
         "report x|control-tape\n"
         "report z|clear-tape --yes   (cannot be undone)\n"
         "report goods [--first N] [--last N]   (without --last the software version is read first, 0x80)\n"
         "report periodic --dates DDMMYY DDMMYY [--full]\n"
         "report periodic --numbers N M [--full]\n"
         "report departments|operators|tape",
         report},
        {"resources", "resources", resources},
    };
}

} // namespace cli
