// dizivu-cli's `report ...` arguments, split at NUL bytes. Checks: no crash, no UB; a
// refusal says why; an accepted goods code, report number or date is one the report
// operations take.
#include "cli/report_args.h"
#include "reports/periodic_report.h"
#include "app/screen_input.h"

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
            if (!c->isNull() && !input::readInteger(*c, code))
                __builtin_trap();
        break;
    case cli::ReportRequest::PeriodicByDates:
        if (!input::readDeviceDate(req.first) || !input::readDeviceDate(req.last))
            __builtin_trap();
        break;
    case cli::ReportRequest::PeriodicByNumbers:
        if (!input::readInteger(req.first, number) || !input::readInteger(req.last, number))
            __builtin_trap();
        break;
    default:
        break;
    }
    return 0;
}
