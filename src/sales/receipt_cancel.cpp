#include "sales/receipt_cancel.h"

#include "app/application.h"
#include "app/identification.h"
#include "commands/command_codes.h"
#include "commands/command_wrappers.h"
#include "link/code_page.h"
#include "link/command_result.h"

using namespace Qt::StringLiterals;

namespace {

const QString kPassword = QString::fromLatin1(cmd::kDefaultPassword);
constexpr int kStateMask = 0x0F;
constexpr int kNonFiscalOpen = 5;
constexpr int kReturnReceipt = 0x10;
constexpr int kClosable = 0x04;

} // namespace

ReceiptCancel::ReceiptCancel(Application &app) : m_app(app) {}

ReceiptCancel::View ReceiptCancel::viewOf(int s)
{
    View v;
    v.buttonsKnown = true;
    const QString fiscal = u"Открыт фискальный чек"_s;
    const QString ret = u"Открыт чек возврата"_s;
    if ((s & kStateMask) == 0) {
        v.statusLine = kNoReceipt;
    } else if ((s & kStateMask) == kNonFiscalOpen) {
        v.canClose = true;
        v.statusLine = u"Открыт нефискальный чек"_s;
    } else {
        v.canVoid = true;
        v.canClose = s & kClosable;
        v.statusLine = s & kReturnReceipt ? ret : fiscal;
    }
    return v;
}

Outcome<ReceiptCancel::View> ReceiptCancel::diagnose(bool showErrorWord, int *statusByte2)
{
    int code = 0;
    const CommandResult *r = m_app.execute(getDiagnosticInfo, kPassword, code);
    Outcome<View> out{Verdict::of(*r), {}};
    if (showErrorWord && out.verdict.replied())
        out.shown.errorWord = code_page::fromDevice(r->errorWord);
    if (!out.ok()) {
        m_app.prompter().showMessage(u"Проверка состояния регистратора:\n  "_s + out.verdict.message);
        return out;
    }
    m_app.state().paymentFormCount = identification::paymentFormCount(*r);
    out.shown.statusLine = identification::identityText(*r);
    if (statusByte2)
        *statusByte2 = r->status[2];
    return out;
}

Outcome<ReceiptCancel::View> ReceiptCancel::readState()
{
    int statusByte2 = 0;
    Outcome<View> out = diagnose(true, &statusByte2);
    if (!out.ok())
        return out;
    const QString errorWord = out.shown.errorWord;
    out.shown = viewOf(statusByte2);
    out.shown.errorWord = errorWord;
    return out;
}

Outcome<ReceiptCancel::View> ReceiptCancel::readIdentity()
{
    return diagnose(false, nullptr);
}

Outcome<ReceiptCancel::View> ReceiptCancel::finish(const CommandResult &r, const QString &timeoutMessage,
                                                   const QString &failureMessage)
{
    Outcome<View> out{Verdict::of(r), {}};
    if (out.verdict.replied())
        out.shown.errorWord = code_page::fromDevice(r.errorWord);
    if (out.verdict.kind == Verdict::Kind::NoReply) {
        m_app.prompter().showMessage(timeoutMessage);
        return out;
    }
    // A NAK or a check mismatch leaves an earlier reply's error word in the record: never
    // taken for this command's "0000".
    if (!out.ok()) {
        m_app.prompter().showMessage(out.verdict.linkFailed() ? failureMessage + u"\n"_s + out.verdict.message
                                                              : failureMessage);
        return out;
    }
    out.shown.statusLine = kNoReceipt;
    out.shown.buttonsKnown = true;
    return out;
}

Outcome<ReceiptCancel::View> ReceiptCancel::close()
{
    int code = 0;
    return finish(*m_app.execute(closeReceipt, kPassword, code), u"Таймаут устройства! Ошибка закрыиия чека!"_s,
                  u"Ошибка закрытия чека"_s);
}

Outcome<ReceiptCancel::View> ReceiptCancel::voidReceipt()
{
    int code = 0;
    return finish(*m_app.execute(::voidReceipt, kPassword, 0, code), u"Таймаут устройства! Ошибка аннулирования!"_s,
                  u"Ошибка аннулирования"_s);
}
