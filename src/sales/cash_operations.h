#pragma once

#include "commands/verdict.h"

#include <QString>

class Application;
struct AppState;

// The service cash deposit and withdrawal screen without its widgets.
class CashOperations {
public:
    static inline const QString kCaption = QStringLiteral("Служебное внесение и изъятие денег");

    enum class Kind { Deposit, Withdrawal };

    // The cash in the drawer, from the reply that carries it.
    struct Cash {
        bool known = false; // false: leave "Денег в кассе:" as it is
        QString inDrawer;
    };

    explicit CashOperations(Application &app);

    // Whether the registrar takes a cash movement at once (0x6E) rather than inside a
    // cash receipt (0x63, 0x77, 0x65): a model named "VRK-7+", or the software versions
    // 2.01 to 2.03 unless the setting Level of [Priority] is "high".
    static bool directMode(const AppState &state);

    // "Служебный внос" and "Служебное изъятие". The amount (decimal, "." as the decimal
    // point) must be above 0 and the operator number a whole number; otherwise nothing is
    // sent. A receipt-mode movement whose 0x77 fails voids the
    // receipt it opened (0x6B with 0); that failure is still the one reported.
    Outcome<Cash> move(Kind kind, const QString &password, const QString &amount, const QString &operatorNumber);

private:
    Application &m_app;
};
