#include "sales/open_receipt_check.h"

#include "app/application.h"
#include "app/step_runner.h"
#include "commands/command_wrappers.h"
#include "link/command_result.h"

using namespace Qt::StringLiterals;

namespace {

QString kindOf(ReceiptCancel::Open open)
{
    switch (open) {
    case ReceiptCancel::Open::Return:
        return u"чек возврата"_s;
    case ReceiptCancel::Open::NonFiscal:
        return u"нефискальный чек"_s;
    default:
        return u"фискальный чек"_s;
    }
}

QString endVerb(ReceiptCancel::Open open)
{
    return open == ReceiptCancel::Open::NonFiscal ? u"закрыть"_s : u"аннулировать"_s;
}

} // namespace

OpenReceiptCheck::OpenReceiptCheck(Application &app) : m_app(app) {}

std::optional<OpenReceiptCheck::Open> OpenReceiptCheck::openNow()
{
    const CommandResult *last = m_app.state().currentResult;
    if (!last)
        return Open::None; // nothing was ever exchanged
    if (Verdict::of(*last).replied())
        return ReceiptCancel::openReceipt(last->status[2]);
    const Outcome<ReceiptCancel::View> state = ReceiptCancel(m_app).readState();
    if (!state.ok())
        return std::nullopt;
    return state.shown.open;
}

OpenReceiptCheck::Choice OpenReceiptCheck::askOnLeaving(Open open)
{
    const QString text = u"На регистраторе открыт %1.\n\nДа — %2 чек и закрыть окно.\nНет — оставить чек открытым и "
                         u"закрыть окно.\nОтмена — вернуться к чеку."_s.arg(kindOf(open), endVerb(open));
    switch (m_app.prompter().askWithDefault(text, kCaption, Prompter::Yes | Prompter::No | Prompter::Cancel,
                                            Prompter::Yes)) {
    case Prompter::Yes:
        return Choice::End;
    case Prompter::No:
        return Choice::Keep;
    default:
        return Choice::Stay;
    }
}

OpenReceiptCheck::Choice OpenReceiptCheck::askOnOpening(Open open)
{
    const QString text = u"На регистраторе уже открыт %1.\n\nДа — %2 его и открыть новый чек.\nНет — продолжить "
                         u"открытый чек."_s.arg(kindOf(open), endVerb(open));
    return m_app.prompter().askWithDefault(text, kCaption, Prompter::Yes | Prompter::No, Prompter::Yes)
                   == Prompter::Yes
        ? Choice::End
        : Choice::Keep;
}

Outcome<> OpenReceiptCheck::end(Open open, const QString &password)
{
    StepRunner steps(m_app);
    const bool nonFiscal = open == Open::NonFiscal;
    StepTexts texts(nonFiscal ? u"Ошибка закрытия чека:\n  "_s : u"Ошибка аннулирования:\n  "_s);
    texts.timeout = nonFiscal ? u"Таймаут устройства! Ошибка закрыиия чека!"_s : u"Таймаут устройства! Ошибка аннулирования!"_s;
    if (!steps.acceptText(password, u"Пароль: "_s))
        return steps.replyOutcome();
    int code = 0;
    const CommandResult *r = nonFiscal ? m_app.execute(closeReceipt, password, code)
                                       : m_app.execute(voidReceipt, password, 0, code);
    if (!steps.judge(r, code, texts))
        m_app.prompter().showMessage(u"Чек остался открытым на регистраторе (%1)."_s.arg(kindOf(open)));
    return steps.replyOutcome();
}

bool OpenReceiptCheck::mayLeave(const QString &password, bool nonFiscalOnly)
{
    const std::optional<Open> open = openNow();
    if (!open) {
        m_app.prompter().showMessage(kUnknown);
        return true;
    }
    if (*open == Open::None || (nonFiscalOnly && *open != Open::NonFiscal))
        return true;
    switch (askOnLeaving(*open)) {
    case Choice::End:
        return end(*open, password).ok();
    case Choice::Keep:
        return true;
    case Choice::Stay:
        return false;
    }
    return false;
}
