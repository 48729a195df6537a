#include "cli/report_args.h"

#include "app/screen_input.h"
#include "reports/periodic_report.h"

namespace cli {

namespace {

struct Simple {
    const char *name;
    ReportRequest::Kind kind;
};
constexpr Simple kSimple[] = {
    {"x", ReportRequest::XReport},
    {"z", ReportRequest::ZReport},
    {"clear-tape", ReportRequest::ClearTape},
    {"control-tape", ReportRequest::ControlTape},
    {"departments", ReportRequest::Departments},
    {"operators", ReportRequest::Operators},
    {"tape", ReportRequest::Tape},
};

Exit usage(QString &error, const QString &text)
{
    error = text;
    return Usage;
}

Exit parseGoods(const QStringList &args, ReportRequest &out, QString &error)
{
    for (int i = 0; i < args.size(); i += 2) {
        const QString &a = args[i];
        if (a != QLatin1String("--first") && a != QLatin1String("--last"))
            return usage(error, QStringLiteral("report goods: unknown argument ") + a);
        if (i + 1 >= args.size())
            return usage(error, QStringLiteral("report goods: %1 needs a goods code").arg(a));
        (a == QLatin1String("--first") ? out.first : out.last) = args[i + 1];
    }
    qint64 v = 0;
    for (const QString *code : {&out.first, &out.last}) {
        if (!code->isNull() && !input::readInteger(*code, v)) {
            error = PeriodicReport::notAnInteger(*code);
            return Refused;
        }
    }
    return Success;
}

Exit parsePeriodic(const QStringList &args, ReportRequest &out, QString &error)
{
    bool range = false;
    for (int i = 0; i < args.size(); ++i) {
        const QString &a = args[i];
        if (a == QLatin1String("--full")) {
            out.full = true;
        } else if (a == QLatin1String("--dates") || a == QLatin1String("--numbers")) {
            if (range)
                return usage(error, QStringLiteral("report periodic: give either --dates or --numbers, once"));
            if (i + 2 >= args.size())
                return usage(error, QStringLiteral("report periodic: %1 needs two values").arg(a));
            range = true;
            out.kind = a == QLatin1String("--dates") ? ReportRequest::PeriodicByDates
                                                     : ReportRequest::PeriodicByNumbers;
            out.first = args[i + 1];
            out.last = args[i + 2];
            i += 2;
        } else {
            return usage(error, QStringLiteral("report periodic: unknown argument ") + a);
        }
    }
    if (!range)
        return usage(error, QStringLiteral("report periodic needs --dates DDMMYY DDMMYY or --numbers N M"));
    for (const QString *value : {&out.first, &out.last}) {
        int n = 0;
        if (out.kind == ReportRequest::PeriodicByDates && !input::readDeviceDate(*value)) {
            error = PeriodicReport::notADate(*value);
            return Refused;
        }
        if (out.kind == ReportRequest::PeriodicByNumbers && !input::readInteger(*value, n)) {
            error = PeriodicReport::notAnInteger(*value);
            return Refused;
        }
    }
    return Success;
}

} // namespace

Exit parseReportArguments(const QStringList &args, ReportRequest &out, QString &error)
{
    if (args.isEmpty())
        return usage(error, QStringLiteral("report needs the report to print"));
    const QString &what = args[0];
    const QStringList rest = args.mid(1);
    if (what == QLatin1String("goods")) {
        out.kind = ReportRequest::Goods;
        return parseGoods(rest, out, error);
    }
    if (what == QLatin1String("periodic"))
        return parsePeriodic(rest, out, error);
    for (const Simple &s : kSimple) {
        if (what == QLatin1String(s.name)) {
            // A Z report and the clearing of the control tape cannot be undone: they run
            // only with --yes, as the screen runs them only after its question.
            const bool irreversible = s.kind == ReportRequest::ZReport || s.kind == ReportRequest::ClearTape;
            QStringList options = rest;
            if (irreversible)
                out.confirmed = options.removeAll(QStringLiteral("--yes")) > 0;
            if (!options.isEmpty())
                return usage(error, irreversible ? QStringLiteral("report %1 takes only --yes").arg(what)
                                                 : QStringLiteral("report %1 takes no arguments").arg(what));
            if (irreversible && !out.confirmed)
                return usage(error, s.kind == ReportRequest::ZReport
                                        ? QStringLiteral("report z closes the shift and cannot be undone; give --yes to confirm")
                                        : QStringLiteral("report clear-tape erases the control tape and cannot be undone; give --yes to confirm"));
            out.kind = s.kind;
            return Success;
        }
    }
    return usage(error, QStringLiteral("unknown report ") + what);
}

} // namespace cli
