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

QString endVerb(OpenReceiptCheck::Ending ending)
{
    return ending == OpenReceiptCheck::Ending::Close ? u"закрыть"_s : u"аннулировать"_s;
}

// Why the receipt is not ended from here.
QString kept(ReceiptCancel::Open open)
{
    return u"На регистраторе открыт %1, в нём оплата банковской картой: аннулировать его нельзя, сумма с карты "
           u"клиента уже списана. Доплатите и закройте чек."_s.arg(kindOf(open));
}

} // namespace

OpenReceiptCheck::OpenReceiptCheck(Application &app) : m_app(app) {}

std::optional<OpenReceiptCheck::Open> OpenReceiptCheck::openNow()
{
    m_paidInFull = false;
    const CommandResult *last = m_app.state().currentResult;
    if (!last)
        return Open::None; // nothing was ever exchanged
    if (Verdict::of(*last).replied()) {
        const ReceiptCancel::View view = ReceiptCancel::viewOf(last->status[2]);
        m_paidInFull = view.open != Open::NonFiscal && view.canClose;
        return view.open;
    }
    const Outcome<ReceiptCancel::View> state = ReceiptCancel(m_app).readState();
    if (!state.ok())
        return std::nullopt;
    m_paidInFull = state.shown.open != Open::NonFiscal && state.shown.canClose;
    return state.shown.open;
}

OpenReceiptCheck::Ending OpenReceiptCheck::endingOf(Open open, bool cardCharged) const
{
    if (open == Open::NonFiscal || m_paidInFull)
        return Ending::Close;
    return cardCharged ? Ending::None : Ending::Void;
}

OpenReceiptCheck::Choice OpenReceiptCheck::askOnLeaving(Open open, bool cardCharged)
{
    const Ending ending = endingOf(open, cardCharged);
    if (ending == Ending::None) {
        const QString text = kept(open) + u"\n\nНет — оставить чек открытым и закрыть окно.\nОтмена — вернуться к чеку."_s;
        return m_app.prompter().askWithDefault(text, kCaption, Prompter::No | Prompter::Cancel, Prompter::Cancel)
                       == Prompter::No
            ? Choice::Keep
            : Choice::Stay;
    }
    const QString text = u"На регистраторе открыт %1.\n\nДа — %2 чек и закрыть окно.\nНет — оставить чек открытым и "
                         u"закрыть окно.\nОтмена — вернуться к чеку."_s.arg(kindOf(open), endVerb(ending));
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

OpenReceiptCheck::Choice OpenReceiptCheck::askOnOpening(Open open, bool cardCharged)
{
    const Ending ending = endingOf(open, cardCharged);
    if (ending == Ending::None) {
        m_app.prompter().showMessage(kept(open));
        return Choice::Keep;
    }
    const QString text = u"На регистраторе уже открыт %1.\n\nДа — %2 его и открыть новый чек.\nНет — продолжить "
                         u"открытый чек."_s.arg(kindOf(open), endVerb(ending));
    return m_app.prompter().askWithDefault(text, kCaption, Prompter::Yes | Prompter::No, Prompter::Yes)
                   == Prompter::Yes
        ? Choice::End
        : Choice::Keep;
}

Outcome<> OpenReceiptCheck::end(Open open, const QString &password, bool cardCharged)
{
    StepRunner steps(m_app);
    const Ending ending = endingOf(open, cardCharged);
    if (ending == Ending::None) {
        steps.refuse(kept(open));
        return steps.replyOutcome();
    }
    const bool closing = ending == Ending::Close;
    StepTexts texts(closing ? u"Ошибка закрытия чека:\n  "_s : u"Ошибка аннулирования:\n  "_s);
    texts.timeout = closing ? u"Таймаут устройства! Ошибка закрыиия чека!"_s : u"Таймаут устройства! Ошибка аннулирования!"_s;
    if (!steps.acceptText(password, u"Пароль: "_s))
        return steps.replyOutcome();
    int code = 0;
    const CommandResult *r = closing ? m_app.execute(closeReceipt, password, code)
                                     : m_app.execute(voidReceipt, password, 0, code);
    if (!steps.judge(r, code, texts))
        m_app.prompter().showMessage(u"Чек остался открытым на регистраторе (%1)."_s.arg(kindOf(open)));
    return steps.replyOutcome();
}

bool OpenReceiptCheck::mayLeave(const QString &password, bool nonFiscalOnly, bool cardCharged)
{
    const std::optional<Open> open = openNow();
    if (!open) {
        m_app.prompter().showMessage(kUnknown);
        return true;
    }
    if (*open == Open::None || (nonFiscalOnly && *open != Open::NonFiscal))
        return true;
    switch (askOnLeaving(*open, cardCharged)) {
    case Choice::End:
        return end(*open, password, cardCharged).ok();
    case Choice::Keep:
        return true;
    case Choice::Stay:
        return false;
    }
    return false;
}
