// dizivu-cli's `report ...` arguments, split at NUL bytes. Checks: no crash, no UB; a
// refusal says why; an accepted goods code, report number or date is one the report
// operations take.
#include "cli/report_args.h"
#include "reports/periodic_report.h"
#include "reports/report_steps.h"

#include <QString>
#include <QStringList>

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size > 4096)
        return 0;
    QStringList args;
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    for (const QByteArray &piece : bytes.split('\0'))
        args << QString::fromUtf8(piece);

    cli::ReportRequest req;
    QString error;
    const cli::Exit e = cli::parseReportArguments(args, req, error);
    if (e != cli::Success) {
        if ((e != cli::Usage && e != cli::Refused) || error.isEmpty())
            __builtin_trap();
        return 0;
    }
    qint64 code = 0;
    int number = 0;
    switch (req.kind) {
    case cli::ReportRequest::Goods:
        for (const QString *c : {&req.first, &req.last})
            if (!c->isNull() && !report_input::readInt64(*c, code))
                __builtin_trap();
        break;
    case cli::ReportRequest::PeriodicByDates:
        if (!PeriodicReport::isDeviceDate(req.first) || !PeriodicReport::isDeviceDate(req.last))
            __builtin_trap();
        break;
    case cli::ReportRequest::PeriodicByNumbers:
        if (!report_input::readInt(req.first, number) || !report_input::readInt(req.last, number))
            __builtin_trap();
        break;
    default:
        break;
    }
    return 0;
}
