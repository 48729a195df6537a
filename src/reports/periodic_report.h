#pragma once

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

    explicit PeriodicReport(Application &app);

    // Dates as DDMMYY (see deviceDate), from the first to the last.
    Outcome<QString> byDates(const QString &password, const QString &firstDate, const QString &lastDate, bool full);
    // Report numbers as typed: both must be integers, or nothing is sent.
    Outcome<QString> byNumbers(const QString &password, const QString &firstNumber, const QString &lastNumber,
                               bool full);

    // A date as it travels: the shown dd.mm.yy without its points (06.10.08: 061008).
    static QString deviceDate(const QDate &date);
    // Whether `text` is a date in DDMMYY, and what is said when it is not.
    static bool isDeviceDate(const QString &text);
    static QString notADate(const QString &text);

private:
    Application &m_app;
};
