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
    // when the registrar cannot tell (its failure has been said). Also notes whether a
    // fiscal receipt is paid in full (ready to be closed).
    std::optional<Open> openNow();

    // How an open receipt is ended. A receipt paid in full is closed, not voided: the
    // customer has paid. A receipt holding a card charge (`cardCharged`: the screen
    // charged a card in it) is never voided from here: the customer's money is taken.
    enum class Ending { Void, Close, None };
    Ending endingOf(Open open, bool cardCharged) const;

    // The question on leaving the screen: End, Keep (the window closes) or Stay; with no
    // ending allowed only Keep or Stay (the default).
    Choice askOnLeaving(Open open, bool cardCharged = false);
    // The question when a receipt is to be opened over `open`: End (then open the new one)
    // or Keep (go on with the open one).
    Choice askOnOpening(Open open, bool cardCharged = false);

    // Ends `open` with the screen's `password` as endingOf() says: voided (0x6B "%s;0;")
    // or closed (0x65 "%s;0;"). A failure is said, with the reminder that the receipt is
    // still open.
    Outcome<> end(Open open, const QString &password, bool cardCharged = false);

    // On leaving: whether the screen may close (nothing open, ended, kept, or the state
    // cannot be read and that was said). With `nonFiscalOnly` only a non-fiscal receipt is
    // asked about: a fiscal one is not the business of a screen that prints free text.
    bool mayLeave(const QString &password, bool nonFiscalOnly = false, bool cardCharged = false);

private:
    Application &m_app;
    bool m_paidInFull = false;
};
