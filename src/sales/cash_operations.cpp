#include "sales/cash_operations.h"

#include "app/application.h"
#include "app/receipt_stage.h"
#include "app/screen_input.h"
#include "app/step_runner.h"
#include "commands/command_codes.h"
#include "commands/command_wrappers.h"
#include "link/code_page.h"
#include "link/command_result.h"

#include <cmath>

using namespace Qt::StringLiterals;

namespace {

struct Texts {
    QString prefix;
    QString success;
};

Texts textsOf(CashOperations::Kind kind)
{
    if (kind == CashOperations::Kind::Deposit)
        return {u"Служебный внос денег:\n  "_s, u"Служебный внос денег - Успешно!"_s};
    return {u"Служебное изъятие денег:\n  "_s, u"Служебное изъятие денег - Успешно!"_s};
}

const QString kMoveUnknown = u"Неизвестно, выполнена ли операция: ответ регистратора не получен. Проверьте ленту "
                             u"регистратора (служебный внос или изъятие с суммой), прежде чем повторять."_s;
const QString kReceiptUnknown = u"Неизвестно, выполнена ли команда. Проверьте ленту регистратора и состояние чека "
                                u"(«Аннулирование и закрытие чека»), прежде чем повторять."_s;

// Far above any drawer, and short enough to go out in one frame.
constexpr double kMaxAmount = 1e10;

} // namespace

CashOperations::CashOperations(Application &app) : m_app(app) {}

bool CashOperations::directMode(const AppState &state)
{
    if (state.modelName.contains(u"VRK-7+"_s))
        return true;
    static const QStringList oldVersions{u"2.01"_s, u"2.02"_s, u"2.03"_s};
    return oldVersions.contains(state.softwareVersion) && state.priorityLevel != u"high"_s;
}

Outcome<CashOperations::Cash> CashOperations::move(Kind kind, const QString &password, const QString &amountText,
                                                   const QString &operatorText)
{
    StepRunner steps(m_app);
    double amount = 0;
    int operatorNumber = 0;
    const QString why = input::readAmount(amountText, u"Сумма"_s, amount);
    if (!why.isEmpty())
        steps.refuse(why);
    else if (std::round(amount * 100) <= 0)
        steps.refuse(u"Сумма должна быть больше 0. Команда не отправлена."_s);
    else if (amount >= kMaxAmount)
        steps.refuse(u"Сумма слишком велика. Команда не отправлена."_s);
    else if (!input::readInteger(operatorText, operatorNumber))
        steps.refuse(u"Номер оператора: \""_s + operatorText + u"\" не является целым числом. Команда не отправлена."_s);
    if (steps.failed() || !steps.acceptText(password, u"Пароль: "_s))
        return steps.outcome(Cash());

    const Texts texts = textsOf(kind);
    const double signedAmount = kind == Kind::Deposit ? amount : -amount;
    Cash cash;
    const auto move = [&](const CommandResult *r, int code) {
        if (!steps.judge(r, code, {texts.prefix}))
            return false;
        cash = {true, code_page::fromDevice(r->field(0))};
        return true;
    };
    int code = 0;
    bool done = false;
    if (directMode(m_app.state())) {
        // The registrar keeps no count of its movements that could be read back: a lost
        // reply cannot be settled, and the operator is told what to look at.
        const CommandResult *r = nullptr;
        done = steps.runSettled(
            {[&](int &c) { return r = m_app.execute(moveCash, password, operatorNumber, signedAmount, c); },
             {texts.prefix}},
            StepRunner::cannotTell(kMoveUnknown));
        if (done)
            cash = {true, code_page::fromDevice(r->field(0))};
    } else {
        // A cash receipt left open would block every sale: after a failed movement it is
        // voided, with the password typed (the registrar refuses a void under another),
        // and the movement's failure is the one reported.
        // The movement takes effect only when the receipt closes: a lost reply of 0x77 is
        // undone by the void, and the open and the close are settled from the receipt stage.
        const StepRunner::Document receipt{
            {[&](int &c) { return m_app.execute(OpenFiscalReceipt, password, operatorNumber, 0, 2, c); }, {},
             receipt_stage::openSettling(m_app, receipt_stage::kCashReceipt, kReceiptUnknown)},
            {[&](int &c) { return m_app.execute(closeReceipt, password, c); }, {},
             receipt_stage::closeSettling(m_app, kReceiptUnknown)},
            [&](int &c) { return m_app.execute(voidReceipt, password, 0, c); }};
        done = steps.document(receipt, [&](StepRunner &) {
            return move(m_app.execute(moveCashInReceipt, password, 0, signedAmount, code), code);
        });
    }
    if (done)
        m_app.prompter().showMessage(texts.success);
    return steps.outcome(cash);
}
