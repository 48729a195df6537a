#pragma once

#include "commands/verdict.h"

#include <QString>
#include <QStringList>

class Application;

// "Печать дополнительных дневных отчетов" without its widgets: the reports by departments
// and by operators and the control tape, each inside a non-fiscal receipt.
class AdditionalReports {
public:
    static inline const QString kCaption = QStringLiteral("Печать дополнительных дневных отчетов");
    // The receipt's headings have a blank before the colon, the report's has none.
    static inline const QString kReceiptHeading = QStringLiteral("Печать дополнительных дневных отчетов :\n  ");
    static inline const QString kReportHeading = QStringLiteral("Печать дополнительных дневных отчетов:\n  ");

    // The report types of command 0xA6, in the order of the list "Тип отчета:".
    enum ReportType { Departments = 0, Operators = 1, ControlTape = 2 };
    static QStringList typeNames();

    explicit AdditionalReports(Application &app);

    // The receipt (fixed password), the report (password input), the closing (fixed
    // password). A failed report stops the sequence but the receipt is still closed, so
    // sales are not blocked; the report's failure is the outcome.
    Outcome<> print(const QString &password, ReportType type);

private:
    Application &m_app;
};
