#pragma once

#include "cli/send_command.h"

#include <QString>
#include <QStringList>

namespace cli {

// What `report ...` asks for, checked before anything is sent.
struct ReportRequest {
    enum Kind {
        XReport,
        ZReport,
        ClearTape,
        ControlTape,
        Goods,
        PeriodicByDates,
        PeriodicByNumbers,
        Departments,
        Operators,
        Tape,
    };
    Kind kind = XReport;
    // Goods codes (empty: the screen's default), DDMMYY dates or report numbers.
    QString first;
    QString last;
    bool full = false;
    // "--yes": the user's agreement to a report that cannot be undone (z, clear-tape).
    bool confirmed = false;
};

// The arguments after `report`. Returns Success, Usage (an unknown report or option, a
// missing value, z or clear-tape without --yes) or Refused (a code or number that is not an integer, a date that is not
// DDMMYY), with `error` set.
Exit parseReportArguments(const QStringList &args, ReportRequest &out, QString &error);

} // namespace cli
