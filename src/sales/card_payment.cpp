#include "sales/card_payment.h"

#include "app/application.h"

// Not built yet: refuses every payment with nothing sent, so no caller can take it for one
// that was made.
CardPaymentResult CardPayment::pay(const CardPaymentRequest &)
{
    CardPaymentResult r;
    r.verdict = Verdict::refused(0, QStringLiteral("Оплата банковской картой ещё не поддерживается."));
    m_app.prompter().showMessage(r.verdict.message);
    return r;
}
