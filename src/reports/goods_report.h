#pragma once

#include "commands/verdict.h"

#include <QString>

class Application;
struct AppState;

// "Отчет по реализованным товарам" without its widgets: the sold-goods report for a range
// of goods codes, printed inside a non-fiscal receipt, and the status refresh.
class GoodsReport {
public:
    static inline const QString kCaption = QStringLiteral("Отчет по реализованным товарам");
    static inline const QString kHeading = QStringLiteral("Отчет по реализованным товарам:\n  ");
    static inline const QString kStatusHeading = QStringLiteral("Проверка состояния регистратора:\n  ");
    static inline const QString kFirstCodeDefault = QStringLiteral("0");
    static constexpr int kFirstCodeLength = 9;

    explicit GoodsReport(Application &app);

    // The last code offered: 14 nines on software versions 2.02, 2.03 and 3.00 or with the
    // priority level "high", 9 nines otherwise.
    static QString defaultLastCode(const AppState &state);

    // Both codes are read first: a code that is not an integer stops the report before
    // the receipt is opened. Then the receipt (fixed password), the report (password
    // input) and the closing (fixed password), which follows even a failed report.
    Outcome<> print(const QString &password, const QString &firstCode, const QString &lastCode);

    // 0x80 with the fixed password: the number of payment forms becomes the program's,
    // and `shown` is the identity line for the main window's status bar. The screen opens
    // the status screen after a success.
    Outcome<QString> refreshStatus();

private:
    Application &m_app;
};
