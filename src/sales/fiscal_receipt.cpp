#include "sales/fiscal_receipt.h"

#include "app/application.h"
#include "app/goods_file.h"
#include "app/receipt_stage.h"
#include "app/screen_input.h"
#include "app/step_runner.h"
#include "commands/command_codes.h"
#include "commands/command_wrappers.h"
#include "link/code_page.h"
#include "link/command_result.h"
#include "sales/card_payment.h"
#include "sales/card_terminal.h"



using namespace Qt::StringLiterals;

namespace {

// An operation's own wording: its timeout message, and its error message, which goes
// before what failed: the registrar's decoded message, or the link's after a NAK or a
// check mismatch.
StepTexts said(const QString &timeout, const QString &error)
{
    StepTexts t(error.trimmed() + u"\n  "_s);
    t.timeout = timeout;
    return t;
}

const StepTexts kOpen = said(u"Таймаут устройства! Ошибка открытия чека!"_s, u"Ошибка открытия чека"_s);
const StepTexts kComment = said(u"Таймаут устройства! Ошибка печати комментария!"_s, u"Ошибка печати комментария"_s);
const StepTexts kGoods = said(u"Таймаут устройства! Ошибка!"_s, u"Ошибка "_s);
const StepTexts kSale = said(u"Таймаут устройства! Ошибка продажи!"_s, u"Ошибка продажи"_s);
const StepTexts kSaleVekr = said(u"Таймаут устройства! Ошибка продажи VEKR!"_s, u"Ошибка продажи  VEKR"_s);
const StepTexts kDiscount = said(u"Таймаут устройства! Ошибка надбавки-скидки!"_s, u"Ошибка надбавки-скидки"_s);
const StepTexts kVoid = said(u"Таймаут устройства! Ошибка аннулирования!"_s, u"Ошибка аннулирования"_s);
const StepTexts kTotal = said(u"Таймаут устройства! Ошибка печати итога!"_s, u"Ошибка печати итога"_s);
const StepTexts kPayment = said(u"Таймаут устройства! Ошибка оплаты чека!"_s, u"Ошибка оплаты чека"_s);
const StepTexts kClose = said(u"Таймаут устройства! Ошибка закрыиия чека!"_s, u"Ошибка закрытия чека"_s);

// Said when a step's reply was lost and the receipt stage cannot tell whether it was done.
const QString kOpenUnknown = u"Неизвестно, открыт ли чек. Проверьте состояние чека («Аннулирование и закрытие чека»), "
                             u"прежде чем открывать чек снова."_s;
const QString kPaymentUnknown = u"Неизвестно, принята ли оплата. Проверьте чек на ленте регистратора, прежде чем "
                                u"повторять оплату."_s;
const QString kCloseUnknown = u"Неизвестно, закрыт ли чек. Проверьте ленту регистратора и состояние чека "
                              u"(«Аннулирование и закрытие чека»), прежде чем продавать его снова."_s;

const QString kBadGoodsCode = u"Код товара (текст до первого \";\" в строке товара) не является целым числом: команда не отправлена."_s;
const QString kNoSum = u"Информация переданная регистратором неверна. Чтение данных остановлено."_s;

QString badNumber(const QString &caption)
{
    return u"Поле \"%1\" должно содержать число: команда не отправлена."_s.arg(caption);
}

} // namespace

FiscalReceipt::FiscalReceipt(Application &app) : m_app(app) {}

std::optional<qint64> FiscalReceipt::dueCents() const
{
    const QString due = m_tally.due().trimmed();
    if (due.isEmpty())
        return std::nullopt;
    if (const auto cents = card_protocol::amountCents(due))
        return cents;
    bool ok = false;
    return due.toDouble(&ok) == 0 && ok ? std::optional<qint64>(0) : std::nullopt;
}

bool FiscalReceipt::goodsCode(const QString &goodsLine, qint64 &code)
{
    const qsizetype end = goodsLine.indexOf(u';');
    bool ok = false;
    code = goodsLine.left(end < 0 ? 0 : end).toLongLong(&ok);
    return ok;
}

bool FiscalReceipt::takesCard(int paymentType, const QString &softwareVersion, const QString &elJournal)
{
    return paymentType != 0
        && (softwareVersion.contains(u"4.00"_s) || softwareVersion.contains(u"5.00"_s) || elJournal == u"КСЕФ"_s);
}

QStringList FiscalReceipt::readGoodsFile(Prompter &prompter, const QString &path, QString &loadedName)
{
    const goods_file::Contents file = goods_file::read(path);
    if (!file.ok()) {
        prompter.showMessage(u"Файл товаров не прочитан: "_s + path);
        return {};
    }
    loadedName = file.absolutePath;
    return file.lines;
}

QStringList FiscalReceipt::loadGoodsFile(const QString &path, QString &loadedName)
{
    return readGoodsFile(m_app.prompter(), path, loadedName);
}

QString FiscalReceipt::chooseGoodsFile()
{
    return m_app.prompter().openFile(goods_file::fileRequest());
}

Outcome<> FiscalReceipt::openReceipt(const QString &password, const QString &operatorNumber, bool isReturn)
{
    StepRunner steps(m_app);
    int op = 0;
    if (!input::readInteger(operatorNumber, op)) {
        steps.refuse(badNumber(u"Номер оператора"_s));
        return steps.replyOutcome();
    }
    return openReceipt(password, op, isReturn);
}

Outcome<> FiscalReceipt::openReceipt(const QString &password, int operatorNumber, bool isReturn)
{
    StepRunner steps(m_app);
    const int expected = receipt_stage::kHeader | (isReturn ? receipt_stage::kReturnBit : 0);
    Application &app = m_app;
    if (steps.run({[&](int &code) { return app.execute(OpenFiscalReceipt, password, operatorNumber, 1, isReturn ? 1 : 0, code); },
                   kOpen, receipt_stage::openSettling(app, expected, kOpenUnknown)})) {
        m_tally.opened(isReturn);
        m_cardCharged = false;
    }
    return steps.replyOutcome();
}

Outcome<> FiscalReceipt::printComment(const QString &password, const QString &text)
{
    StepRunner steps(m_app);
    int code = 0;
    const CommandResult *r = m_app.execute(PrintText, password, text, code);
    steps.judge(r, code, kComment);
    return steps.replyOutcome();
}

Outcome<> FiscalReceipt::sell(const QString &password, const QString &goodsLine, const QString &quantity,
                              const QString &price)
{
    return sellTyped(password, goodsLine, quantity, price, nullptr);
}

Outcome<> FiscalReceipt::sellVekr(const QString &password, const QString &goodsLine, const QString &quantity,
                                  const QString &price, const QString &recipient)
{
    return sellTyped(password, goodsLine, quantity, price, &recipient);
}

Outcome<> FiscalReceipt::sellTyped(const QString &password, const QString &goodsLine, const QString &quantity,
                                   const QString &price, const QString *recipient)
{
    // Every number is read before the goods item is programmed, so a typing error
    // sends nothing at all.
    StepRunner steps(m_app);
    if (!goodsLine.isEmpty()) {
        qint64 goods = 0;
        double qty = 0, unitPrice = 0;
        int vekr = 0;
        QString why;
        if (!goodsCode(goodsLine, goods))
            steps.refuse(kBadGoodsCode);
        else if (!(why = input::readQuantity(quantity, u"Кол-во"_s, qty)).isEmpty())
            steps.refuse(why);
        else if (!(why = input::readAmount(price, u"Цена за ед."_s, unitPrice)).isEmpty())
            steps.refuse(why);
        else if (recipient && !input::readInteger(*recipient, vekr))
            steps.refuse(badNumber(u"Номер получателя ВЕКР"_s));
        else
            return sellWith(password, goodsLine, qty, unitPrice, recipient ? &vekr : nullptr);
        return steps.replyOutcome();
    }
    return sellWith(password, goodsLine, 0, 0, nullptr);
}

Outcome<> FiscalReceipt::sell(const QString &password, const QString &goodsLine, double quantity, double price)
{
    return sellWith(password, goodsLine, quantity, price, nullptr);
}

Outcome<> FiscalReceipt::sellWith(const QString &password, const QString &goodsLine, double quantity, double price,
                                  const int *recipient)
{
    StepRunner steps(m_app);
    qint64 goods = 0;
    if (goodsLine.isEmpty())
        steps.refuse(kNoGoods);
    else if (!goodsCode(goodsLine, goods))
        steps.refuse(kBadGoodsCode);
    if (steps.failed())
        return steps.replyOutcome();

    if (!m_app.state().rgtModel) {
        if (!steps.acceptText(password) || !steps.acceptText(goodsLine, QString(), true))
            return steps.replyOutcome();
        const CommandResult *r =
            m_app.execute(cmd::AddGoods, code_page::toDevice(password) + ';' + code_page::toDevice(goodsLine));
        if (!steps.judge(r, kGoods))
            return steps.replyOutcome();
    }
    int code = 0;
    CommandResult *r = recipient ? m_app.execute(sellItemVekr, kFixedPassword, goods, quantity, price, *recipient, code)
                                 : m_app.execute(SellItem, kFixedPassword, goods, quantity, price, code);
    if (steps.judge(r, code, recipient ? kSaleVekr : kSale))
        m_tally.sold(goodsLine, quantity, price, recipient);
    return steps.replyOutcome();
}

Outcome<> FiscalReceipt::discount(const QString &password, bool percent, DiscountTarget target, const QString &value,
                                  const QString &taxGroup)
{
    StepRunner steps(m_app);
    double v = 0;
    int group = 0;
    const QString why = input::readAmount(value, percent ? u"Скидка процентная"_s : u"Скидка абсолютная"_s, v);
    if (!why.isEmpty())
        steps.refuse(why);
    else if (target == DiscountTarget::TaxGroup && !input::readInteger(taxGroup, group))
        steps.refuse(badNumber(u"Номер налоговой группы"_s));
    else
        return discount(password, percent, target, v, group);
    return steps.replyOutcome();
}

Outcome<> FiscalReceipt::discount(const QString &password, bool percent, DiscountTarget target, double v, int group)
{
    int code = 0;
    CommandResult *r = nullptr;
    switch (target) {
    case DiscountTarget::Item:
        r = percent ? m_app.execute(applyItemDiscountPercent, password, v, code)
                    : m_app.execute(applyItemDiscountAbsolute, password, v, code);
        break;
    case DiscountTarget::Subtotal:
        r = percent ? m_app.execute(applySubtotalDiscountPercent, password, v, code)
                    : m_app.execute(applySubtotalDiscountAbsolute, password, v, code);
        break;
    case DiscountTarget::TaxGroup:
        r = percent ? m_app.execute(applyTaxGroupDiscountPercent, password, v, group, code)
                    : m_app.execute(applyTaxGroupDiscountAbsolute, password, v, group, code);
        break;
    }
    StepRunner steps(m_app);
    if (steps.judge(r, code, kDiscount))
        m_tally.discounted(percent, ReceiptTally::Target(int(target)), v, group);
    return steps.replyOutcome();
}

Outcome<> FiscalReceipt::voidOperation(const QString &password, int mode)
{
    StepRunner steps(m_app);
    int code = 0;
    CommandResult *r = m_app.execute(voidReceipt, password, mode, code);
    if (steps.judge(r, code, kVoid)) {
        m_tally.voided(mode);
        m_cardCharged = m_cardCharged && mode != 0;
    }
    return steps.replyOutcome();
}

Outcome<> FiscalReceipt::printTotal(const QString &password, bool onDisplay)
{
    StepRunner steps(m_app);
    int code = 0;
    CommandResult *r = m_app.execute(::printTotal, password, onDisplay, code);
    if (!steps.judge(r, code, kTotal))
        return steps.replyOutcome();
    Outcome<> out = steps.replyOutcome();
    // The sum is this reply's first field; a reply without it shows no sum at all.
    out.shown.data = r->fieldCount >= 1 ? code_page::fromDevice(r->field(0)) : QString();
    if (r->fieldCount < 1)
        m_app.prompter().showMessage(kNoSum);
    m_tally.totalled(out.shown.data);
    return out;
}

Outcome<FiscalReceipt::PaymentShown> FiscalReceipt::pay(const Payment &payment, const QString &terminalPort)
{
    double amount = 0;
    const QString why = payment.paymentType < 0 ? kBadPaymentType
                                                : input::readAmount(payment.amountText, u"Величина оплаты"_s, amount);
    if (!why.isEmpty()) {
        StepRunner steps(m_app);
        steps.refuse(why);
        return steps.outcome(PaymentShown());
    }
    // The card terminal is asked for the amount as typed, with the decimal point it takes.
    return payWith(payment, amount, payment.amountText.trimmed().replace(u',', u'.'), terminalPort);
}

Outcome<FiscalReceipt::PaymentShown> FiscalReceipt::pay(const Payment &payment, double amount,
                                                        const QString &terminalPort)
{
    if (payment.paymentType < 0) {
        StepRunner steps(m_app);
        steps.refuse(kBadPaymentType);
        return steps.outcome(PaymentShown());
    }
    return payWith(payment, amount, QString::fromLatin1(param_format::fixed(amount, 2)), terminalPort);
}

Outcome<FiscalReceipt::PaymentShown> FiscalReceipt::payWith(const Payment &payment, double amount,
                                                            const QString &amountText, const QString &terminalPort)
{
    const AppState &s = m_app.state();
    if (takesCard(payment.paymentType, s.softwareVersion, s.elJournal)) {
        CardPaymentRequest request;
        request.password = payment.password;
        request.paymentType = payment.paymentType;
        request.amountText = amountText;
        request.useTypedTransaction = payment.useTypedTransaction;
        request.typedTransaction = payment.typedTransaction;
        request.suppressCardLines = payment.suppressCardLines;
        request.terminalPort = terminalPort;
        request.dueCents = payment.dueCents ? payment.dueCents : dueCents();
        request.chargeWindow = payment.chargeWindow;
        request.onTransaction = payment.onTransaction;
        const CardPaymentResult card = m_cardPayer ? m_cardPayer(request) : CardPayment(m_app).pay(request);
        Outcome<PaymentShown> out{card.verdict, {}};
        out.uncertain = card.uncertain;
        out.shown.cardPath = true;
        out.shown.recorded = card.recorded;
        if (card.verdict.replied())
            out.shown.reply = card.shown;
        out.shown.chargedNotRecorded = card.charged && !card.recorded && !card.uncertain;
        out.shown.transactionId = card.transactionId;
        if (card.recorded)
            m_tally.paidByCard(payment.paymentType, amount, card.transactionId);
        m_cardCharged = m_cardCharged || card.charged || card.recorded || card.uncertain;
        return out;
    }
    StepRunner steps(m_app);
    Application &app = m_app;
    const CommandResult *r = nullptr;
    steps.run({[&](int &code) { return r = app.execute(payReceipt, payment.password, payment.paymentType, amount, code); },
               kPayment, receipt_stage::paymentSettling(app, kPaymentUnknown)});
    // A payment settled from the stage came without its reply: what is due is not known.
    if (steps.settled())
        m_tally.paid(payment.paymentType, amount, QString(), QString());
    else if (!steps.failed())
        m_tally.paid(payment.paymentType, amount, code_page::fromDevice(r->field(0)), code_page::fromDevice(r->field(1)));
    return steps.outcome(PaymentShown{steps.lastReply(), false, false, false, QString()});
}

Outcome<> FiscalReceipt::closeReceipt(const QString &password, bool onDisplay)
{
    StepRunner steps(m_app);
    Application &app = m_app;
    using CloseWithFlag = CommandResult *(*)(DeviceLink &, const QString &, int, int &);
    if (steps.run({[&](int &code) {
                       return app.execute(static_cast<CloseWithFlag>(CloseFiscalReceipt), password, onDisplay ? 1 : 0,
                                          code);
                   },
                   kClose, receipt_stage::closeSettling(app, kCloseUnknown)})) {
        m_tally.closed();
        m_cardCharged = false;
    }
    return steps.replyOutcome();
}

Outcome<> FiscalReceipt::showOnDisplay(int function, const QString &text)
{
    StepRunner steps(m_app);
    int code = 0;
    CommandResult *r = m_app.execute(::showOnDisplay, kFixedPassword, function, 0, text, code);
    if (code < 0) {
        steps.judge(r, code);
        return steps.replyOutcome();
    }
    // The display has no messages of its own: only "Код ошибки:" tells how it went.
    StepTexts quiet;
    quiet.quiet = true;
    steps.judge(r, code, quiet);
    return steps.replyOutcome();
}

Outcome<> FiscalReceipt::printBarcode(const Barcode &b)
{
    StepRunner steps(m_app);
    int height = 0;
    if (!input::readInteger(b.height, height))
        steps.refuse(kBadBarcodeHeight);
    else if (b.typeIndex == kEan13 && b.data.size() > 12)
        steps.refuse(kBarcodeTooLong);
    if (steps.failed() || !steps.acceptText(b.password) || !steps.acceptText(b.data, QString(), true)
        || !steps.acceptText(b.width))
        return steps.replyOutcome();
    // ";" separates the fields, so inside the data the registrar takes 0xA0 for it.
    QByteArray data = code_page::toDevice(b.data);
    data.replace(';', '\xA0');
    const QByteArray params = code_page::toDevice(b.password) + ';' + QByteArray::number(height) + ';'
        + code_page::toDevice(b.width) + ';' + QByteArray::number(b.typeIndex) + ';' + (b.digits ? "1;" : "0;")
        + data + ';';
    steps.judge(m_app.execute(cmd::PrintBarcode, params), {kBarcodeFailed});
    return steps.replyOutcome();
}
