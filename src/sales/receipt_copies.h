#pragma once

#include "commands/verdict.h"

#include <QDate>
#include <QString>

class Application;

// The two receipt copy screens without their widgets: copies by running numbers inside a
// non-fiscal receipt, and the electronic journal's search by time span and copies by
// document number.
class ReceiptCopies {
public:
    static inline const QString kCaption = QStringLiteral("Копия чека");
    static inline const QString kJournalCaption = QStringLiteral("Копия чека (\"КСЕФ\")");

    // What the journal search found: the first and last document numbers of the span.
    struct Span {
        QString first;
        QString last;
    };

    explicit ReceiptCopies(Application &app);

    // "Копия чека": 0x60 with the fixed password, 0xA5 with the screen's password and the
    // two running numbers, 0x65 with the fixed password. Both numbers must be whole
    // numbers, else nothing is sent. When 0xA5 fails the non-fiscal receipt is closed
    // again and the 0xA5 failure is the one reported.
    Outcome<> copyByRunningNumbers(const QString &password, const QString &first, const QString &last);

    // "Выполнить" of the dates group: 0xEE over the span, printing what it finds when
    // `print` is set. Times go out as typed.
    Outcome<Span> search(const QDate &startDate, const QString &startTime, const QDate &endDate,
                         const QString &endTime, bool print);
    // "Выполнить" of the numbers group: 0xEB with the two document numbers.
    Outcome<> copyByDocumentNumbers(const QString &first, const QString &last);

private:
    Application &m_app;
};
