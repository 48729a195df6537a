#pragma once

#include "app/step_runner.h"
#include "commands/verdict.h"

#include <QDate>
#include <QString>

class Application;

// "Печать периодического отчета " without its widgets: the periodic report for a range of
// dates or of report numbers, short or full, printed inside a non-fiscal receipt.
class PeriodicReport {
public:
    // The caption ends with a blank, and so does the heading before its colon.
    static inline const QString kCaption = QStringLiteral("Печать периодического отчета ");
    static inline const QString kHeading = QStringLiteral("Печать периодического отчета :\n  ");
    // How the screen shows a date; it travels as DDMMYY, the same digits without points.
    static inline const QString kShownDateFormat = QStringLiteral("dd.MM.yy");
    // The screen's captions of the range, which the messages name (without the colon).
    static inline const QString kFirstDateCaption = QStringLiteral("Дата первого отчета");
    static inline const QString kLastDateCaption = QStringLiteral("Дата последнего отчета");
    static inline const QString kFirstNumberCaption = QStringLiteral("Номер первого отчета");
    static inline const QString kLastNumberCaption = QStringLiteral("Номер последнего отчета");

    explicit PeriodicReport(Application &app);

    // Dates as DDMMYY (see input::deviceDate), from the first to the last.
    Outcome<> byDates(const QString &password, const QString &firstDate, const QString &lastDate, bool full);
    // Report numbers as typed: both must be integers, or nothing is sent (an empty one is
    // said to be empty, under its caption).
    //
    // A registrar's refusal of a field (format or range) names the field by the screen's
    // caption, not by its number among the command's parameters. After a failure
    // "Код ошибки:" shows the failed report's word, not the closing's that followed.
    Outcome<> byNumbers(const QString &password, const QString &firstNumber, const QString &lastNumber,
                        bool full);

    // What is said of a date that is not DDMMYY, and of a number that is not an integer
    // (the goods report says the same of its codes).
    static QString notADate(const QString &text);
    static QString notAnInteger(const QString &text);

private:
    // The report inside a non-fiscal receipt opened and closed with the fixed password.
    // `fields`: the captions of the registrar's fields 2 and 3.
    Outcome<> inReceipt(const QString &password, const StepRunner::Send &report, const QStringList &fields);

    Application &m_app;
};
