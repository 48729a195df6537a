#include "sales/cash_operations.h"

#include "app/application.h"
#include "commands/command_codes.h"
#include "commands/command_wrappers.h"
#include "link/code_page.h"
#include "link/command_result.h"

#include <QLocale>

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

Outcome<CashOperations::Cash> CashOperations::fail(const Verdict &verdict, const QString &prefix)
{
    m_app.prompter().showMessage(prefix + verdict.message);
    return {verdict, {}};
}

Outcome<CashOperations::Cash> CashOperations::move(Kind kind, const QString &password, const QString &amountText,
                                      const QString &operatorText)
{
    // "1,500" must not pass for fifteen hundred when the cashier meant one and a half.
    QLocale c = QLocale::c();
    c.setNumberOptions(QLocale::RejectGroupSeparator);
    bool ok = false;
    const double amount = c.toDouble(amountText.trimmed(), &ok);
    if (!ok || !std::isfinite(amount))
        return fail(Verdict::refused(0, u"Сумма: \""_s + amountText + u"\" не является числом. Команда не отправлена."_s));
    // What goes out is the amount rounded to hundredths; that must be above 0.
    if (std::round(amount * 100) <= 0)
        return fail(Verdict::refused(0, u"Сумма должна быть больше 0. Команда не отправлена."_s));
    if (amount >= kMaxAmount)
        return fail(Verdict::refused(0, u"Сумма слишком велика. Команда не отправлена."_s));
    const int operatorNumber = operatorText.trimmed().toInt(&ok);
    if (!ok)
        return fail(Verdict::refused(
            0, u"Номер оператора: \""_s + operatorText + u"\" не является целым числом. Команда не отправлена."_s));
    if (const int code = param_format::textRefusal(password))
        return fail(Verdict::refused(code, u"Пароль: "_s + wrapper_codes::refusalMessage(code)));

    const Texts texts = textsOf(kind);
    const double signedAmount = kind == Kind::Deposit ? amount : -amount;
    int code = 0;
    Outcome<CashOperations::Cash> out;
    if (directMode(m_app.state())) {
        const CommandResult *r = m_app.execute(moveCash, password, operatorNumber, signedAmount, code);
        out.verdict = Verdict::of(*r);
        if (!out.ok())
            return fail(out.verdict, texts.prefix);
        out.shown = {true, code_page::fromDevice(r->field(0))};
    } else {
        out.verdict = Verdict::of(*m_app.execute(OpenFiscalReceipt, password, operatorNumber, 0, 2, code));
        if (!out.ok())
            return fail(out.verdict);
        const CommandResult *r = m_app.execute(moveCashInReceipt, password, 0, signedAmount, code);
        out.verdict = Verdict::of(*r);
        if (!out.ok()) {
            // A cash receipt left open would block every sale: void it.
            m_app.execute(voidReceipt, QString::fromLatin1(cmd::kDefaultPassword), 0, code);
            return fail(out.verdict, texts.prefix);
        }
        out.shown = {true, code_page::fromDevice(r->field(0))};
        const Verdict closed = Verdict::of(*m_app.execute(closeReceipt, password, code));
        if (!closed.ok()) {
            m_app.prompter().showMessage(closed.message);
            out.verdict = closed;
            return out;
        }
    }
    m_app.prompter().showMessage(texts.success);
    return out;
}
