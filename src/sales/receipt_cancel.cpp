#include "sales/receipt_cancel.h"

#include "app/application.h"
#include "app/identification.h"
#include "app/receipt_stage.h"
#include "app/step_runner.h"
#include "commands/command_codes.h"
#include "commands/command_wrappers.h"
#include "link/command_result.h"

using namespace Qt::StringLiterals;

namespace {

const QString kPassword = QString::fromLatin1(cmd::kDefaultPassword);
// Bit 2 of the stage: the receipt may be closed.
constexpr int kClosable = 0x04;

} // namespace

ReceiptCancel::ReceiptCancel(Application &app) : m_app(app) {}

ReceiptCancel::Open ReceiptCancel::openReceipt(int s)
{
    if (receipt_stage::of(s) == receipt_stage::kClosed)
        return Open::None;
    if (receipt_stage::of(s) == receipt_stage::kNonFiscal)
        return Open::NonFiscal;
    return s & receipt_stage::kReturnBit ? Open::Return : Open::Fiscal;
}

ReceiptCancel::View ReceiptCancel::viewOf(int s)
{
    View v;
    v.buttonsKnown = true;
    v.open = openReceipt(s);
    switch (v.open) {
    case Open::None:
        v.statusLine = kNoReceipt;
        break;
    case Open::NonFiscal:
        v.canClose = true;
        v.statusLine = u"Открыт нефискальный чек"_s;
        break;
    case Open::Fiscal:
    case Open::Return:
        v.canVoid = true;
        v.canClose = s & kClosable;
        v.statusLine = v.open == Open::Return ? u"Открыт чек возврата"_s : u"Открыт фискальный чек"_s;
        break;
    }
    return v;
}

Outcome<ReceiptCancel::View> ReceiptCancel::diagnose(int *statusByte2)
{
    StepRunner steps(m_app);
    int code = 0;
    const CommandResult *r = m_app.execute(getDiagnosticInfo, kPassword, code);
    if (!steps.judge(r, code, {u"Проверка состояния регистратора:\n  "_s}))
        return steps.outcome(View());
    m_app.state().paymentFormCount = identification::paymentFormCount(*r);
    View view;
    view.statusLine = identification::identityText(*r);
    if (statusByte2)
        *statusByte2 = r->status[2];
    return steps.outcome(view);
}

Outcome<ReceiptCancel::View> ReceiptCancel::readState()
{
    int statusByte2 = 0;
    Outcome<View> out = diagnose(&statusByte2);
    if (out.ok())
        out.shown = viewOf(statusByte2);
    return out;
}

Outcome<ReceiptCancel::View> ReceiptCancel::readIdentity()
{
    return diagnose(nullptr);
}

Outcome<ReceiptCancel::View> ReceiptCancel::finish(const StepRunner::Step &step, const QString &timeoutMessage,
                                                   const QString &failureMessage)
{
    // A NAK or a check mismatch leaves an earlier reply's error word in the record: never
    // taken for this command's "0000".
    // The registrar's reason, or the link's, follows the operation's word.
    StepRunner steps(m_app);
    StepTexts texts(failureMessage + u"\n  "_s);
    texts.timeout = timeoutMessage;
    if (!steps.run({step.send, texts}))
        return steps.outcome(View());
    View view;
    view.statusLine = kNoReceipt;
    view.buttonsKnown = true;
    return steps.outcome(view);
}

Outcome<ReceiptCancel::View> ReceiptCancel::close()
{
    return finish({[this](int &code) { return m_app.execute(closeReceipt, kPassword, code); }, {}},
                  u"Таймаут устройства! Ошибка закрыиия чека!"_s, u"Ошибка закрытия чека"_s);
}

Outcome<ReceiptCancel::View> ReceiptCancel::voidReceipt()
{
    return finish({[this](int &code) { return m_app.execute(::voidReceipt, kPassword, 0, code); }, {}},
                  u"Таймаут устройства! Ошибка аннулирования!"_s, u"Ошибка аннулирования"_s);
}
