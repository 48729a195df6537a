#pragma once

#include "commands/verdict.h"
#include "sales/receipt_cancel.h"

#include <QString>

#include <optional>

class Application;

// A receipt left open on the registrar blocks the next one, so a receipt screen does not
// close over one, and "Открыть чек" does not run into one, without asking: end it (the
// default: a fiscal receipt voided, a non-fiscal one closed), keep it open, or stay.
class OpenReceiptCheck {
public:
    using Open = ReceiptCancel::Open;
    enum class Choice { End, Keep, Stay };

    static inline const QString kCaption = QStringLiteral("Открытый чек");
    static inline const QString kUnknown =
        QStringLiteral("Не удалось узнать, открыт ли чек на регистраторе. Проверьте это в окне "
                       "\"Аннулирование и закрытие чека\".");

    explicit OpenReceiptCheck(Application &app);

    // Which receipt the registrar has open, from the status bytes of the link's last reply
    // (every reply carries them); read anew with 0x80 when that reply was lost. Nothing
    // when the registrar cannot tell (its failure has been said).
    std::optional<Open> openNow();

    // The question on leaving the screen: End, Keep (the window closes) or Stay.
    Choice askOnLeaving(Open open);
    // The question when a receipt is to be opened over `open`: End (then open the new one)
    // or Keep (go on with the open one).
    Choice askOnOpening(Open open);

    // Ends `open` with the screen's `password`: a fiscal, return or cash receipt voided
    // (0x6B "%s;0;"), a non-fiscal one closed (0x65 "%s;0;"). A failure is said, with the
    // reminder that the receipt is still open.
    Outcome<> end(Open open, const QString &password);

    // On leaving: whether the screen may close (nothing open, ended, kept, or the state
    // cannot be read and that was said). With `nonFiscalOnly` only a non-fiscal receipt is
    // asked about: a fiscal one is not the business of a screen that prints free text.
    bool mayLeave(const QString &password, bool nonFiscalOnly = false);

private:
    Application &m_app;
};
