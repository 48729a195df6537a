#pragma once

#include "app/step_runner.h"
#include "commands/verdict.h"

#include <QString>

class Application;

// The cancel and close screen without its widgets: which receipt is open, from status
// byte 2 of the 0x80 reply, and closing or voiding it. Always the fixed password.
class ReceiptCancel {
public:
    static inline const QString kCaption = QStringLiteral("Аннулирование и закрытие чека");
    static inline const QString kNoReceipt = QStringLiteral("Нет открытых чеков");

    // What the screen shows of the receipt state.
    // Which receipt status byte 2 (bit 7 cleared) says is open.
    enum class Open { None, Fiscal, Return, NonFiscal };
    static Open openReceipt(int statusByte2);

    struct View {
        QString statusLine; // null: leave it as it is
        bool buttonsKnown = false; // false: leave the buttons as they are
        bool canClose = false;
        bool canVoid = false;
        Open open = Open::None; // with buttonsKnown
    };
    // The buttons and the status line for status byte 2 (bit 7 cleared).
    static View viewOf(int statusByte2);

    explicit ReceiptCancel(Application &app);

    // On each opening: 0x80, the number of payment forms, the identity line, then the
    // buttons and the status line from status byte 2. A failed 0x80 leaves the buttons.
    Outcome<View> readState();
    // "Состояние регистратора": 0x80 and the identity line only. Ok means the status
    // screen is to open.
    Outcome<View> readIdentity();
    // "Закрыть чек" (0x65) and "Аннулировать чек" (0x6B), each with 0.
    Outcome<View> close();
    Outcome<View> voidReceipt();

private:
    Outcome<View> diagnose(int *statusByte2);
    Outcome<View> finish(const StepRunner::Step &step, const QString &timeoutMessage, const QString &failureMessage);

    Application &m_app;
};
