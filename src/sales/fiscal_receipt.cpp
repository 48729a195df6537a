#include "sales/fiscal_receipt.h"

#include "app/application.h"
#include "app/goods_file.h"
#include "commands/command_codes.h"
#include "commands/command_wrappers.h"
#include "link/code_page.h"
#include "link/command_result.h"
#include "sales/card_payment.h"


#include <cmath>

using namespace Qt::StringLiterals;

namespace {

const FiscalReceipt::Messages kOpen{u"Таймаут устройства! Ошибка открытия чека!"_s, u"Ошибка открытия чека"_s};
const FiscalReceipt::Messages kComment{u"Таймаут устройства! Ошибка печати комментария!"_s,
                                       u"Ошибка печати комментария"_s};
const FiscalReceipt::Messages kGoods{u"Таймаут устройства! Ошибка!"_s, u"Ошибка "_s};
const FiscalReceipt::Messages kSale{u"Таймаут устройства! Ошибка продажи!"_s, u"Ошибка продажи"_s};
const FiscalReceipt::Messages kSaleVekr{u"Таймаут устройства! Ошибка продажи VEKR!"_s, u"Ошибка продажи  VEKR"_s};
const FiscalReceipt::Messages kDiscount{u"Таймаут устройства! Ошибка надбавки-скидки!"_s, u"Ошибка надбавки-скидки"_s};
const FiscalReceipt::Messages kVoid{u"Таймаут устройства! Ошибка аннулирования!"_s, u"Ошибка аннулирования"_s};
const FiscalReceipt::Messages kTotal{u"Таймаут устройства! Ошибка печати итога!"_s, u"Ошибка печати итога"_s};
const FiscalReceipt::Messages kPayment{u"Таймаут устройства! Ошибка оплаты чека!"_s, u"Ошибка оплаты чека"_s};
const FiscalReceipt::Messages kClose{u"Таймаут устройства! Ошибка закрыиия чека!"_s, u"Ошибка закрытия чека"_s};

const QString kBadGoodsCode = u"Код товара (текст до первого \";\" в строке товара) не является целым числом: команда не отправлена."_s;
const QString kNoSum = u"Информация переданная регистратором неверна. Чтение данных остановлено."_s;

bool integer32(const QString &text, int &value)
{
    bool ok = false;
    value = text.trimmed().toInt(&ok);
    return ok;
}

} // namespace

FiscalReceipt::FiscalReceipt(Application &app) : m_app(app) {}

bool FiscalReceipt::decimal(const QString &text, double &value)
{
    bool ok = false;
    value = text.trimmed().toDouble(&ok);
    return ok && std::isfinite(value);
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

Outcome<> FiscalReceipt::refuse(const QString &message)
{
    m_app.prompter().showMessage(message);
    return {Verdict::refused(0, message), {}};
}

Outcome<> FiscalReceipt::refuseBadNumber(const QString &caption)
{
    return refuse(u"Поле \"%1\" должно содержать число: команда не отправлена."_s.arg(caption));
}

Outcome<> FiscalReceipt::refusedByWrapper(int code)
{
    const QString message = wrapper_codes::refusalMessage(code);
    m_app.prompter().showMessage(message);
    return {Verdict::refused(code, message), {}};
}

Outcome<> FiscalReceipt::report(const CommandResult &result, const Messages &messages)
{
    Outcome<> out{Verdict::of(result), {}};
    // After a link failure the record holds an earlier reply's word: nothing to show.
    if (out.verdict.replied())
        out.shown = ReplyTexts::of(result);
    switch (out.verdict.kind) {
    case Verdict::Kind::NoReply:
        m_app.prompter().showMessage(messages.timeout);
        break;
    case Verdict::Kind::RegistrarError:
        m_app.prompter().showMessage(messages.error);
        break;
    case Verdict::Kind::Nak:
    case Verdict::Kind::ChecksumMismatch:
        m_app.prompter().showMessage(messages.error + u"\n  "_s + out.verdict.message);
        break;
    default:
        break;
    }
    return out;
}

Outcome<> FiscalReceipt::openReceipt(const QString &password, const QString &operatorNumber, bool isReturn)
{
    int op = 0;
    if (!integer32(operatorNumber, op))
        return refuseBadNumber(u"Номер оператора"_s);
    int code = 0;
    CommandResult *r = m_app.execute(OpenFiscalReceipt, password, op, 1, isReturn ? 1 : 0, code);
    return code < 0 ? refusedByWrapper(code) : report(*r, kOpen);
}

Outcome<> FiscalReceipt::printComment(const QString &password, const QString &text)
{
    int code = 0;
    CommandResult *r = m_app.execute(PrintText, password, text, code);
    return code < 0 ? refusedByWrapper(code) : report(*r, kComment);
}

Outcome<> FiscalReceipt::sell(const QString &password, const QString &goodsLine, const QString &quantity,
                              const QString &price)
{
    return sellWith(password, goodsLine, quantity, price, nullptr);
}

Outcome<> FiscalReceipt::sellVekr(const QString &password, const QString &goodsLine, const QString &quantity,
                                  const QString &price, const QString &recipient)
{
    return sellWith(password, goodsLine, quantity, price, &recipient);
}

Outcome<> FiscalReceipt::sellWith(const QString &password, const QString &goodsLine, const QString &quantity,
                                  const QString &price, const QString *recipient)
{
    if (goodsLine.isEmpty())
        return refuse(kNoGoods);
    // Every number is read before the goods item is programmed, so a typing error
    // sends nothing at all.
    qint64 goods = 0;
    if (!goodsCode(goodsLine, goods))
        return refuse(kBadGoodsCode);
    double qty = 0, unitPrice = 0;
    if (!decimal(quantity, qty))
        return refuseBadNumber(u"Кол-во"_s);
    if (!decimal(price, unitPrice))
        return refuseBadNumber(u"Цена за ед."_s);
    int vekr = 0;
    if (recipient && !integer32(*recipient, vekr))
        return refuseBadNumber(u"Номер получателя ВЕКР"_s);

    if (!m_app.state().rgtModel) {
        int refusal = param_format::textRefusal(password);
        if (refusal == 0)
            refusal = param_format::textRefusal(goodsLine, true);
        if (refusal != 0)
            return refusedByWrapper(refusal);
        const CommandResult *r =
            m_app.execute(cmd::AddGoods, code_page::toDevice(password) + ';' + code_page::toDevice(goodsLine));
        Outcome<> programmed = report(*r, kGoods);
        if (!programmed.ok())
            return programmed;
    }
    int code = 0;
    CommandResult *r = recipient ? m_app.execute(sellItemVekr, kFixedPassword, goods, qty, unitPrice, vekr, code)
                                 : m_app.execute(SellItem, kFixedPassword, goods, qty, unitPrice, code);
    if (code < 0)
        return refusedByWrapper(code);
    return report(*r, recipient ? kSaleVekr : kSale);
}

Outcome<> FiscalReceipt::discount(const QString &password, bool percent, DiscountTarget target, const QString &value,
                                  const QString &taxGroup)
{
    double v = 0;
    if (!decimal(value, v))
        return refuseBadNumber(percent ? u"Скидка процентная"_s : u"Скидка абсолютная"_s);
    int group = 0;
    if (target == DiscountTarget::TaxGroup && !integer32(taxGroup, group))
        return refuseBadNumber(u"Номер налоговой группы"_s);
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
    return code < 0 ? refusedByWrapper(code) : report(*r, kDiscount);
}

Outcome<> FiscalReceipt::voidOperation(const QString &password, int mode)
{
    int code = 0;
    CommandResult *r = m_app.execute(voidReceipt, password, mode, code);
    return code < 0 ? refusedByWrapper(code) : report(*r, kVoid);
}

Outcome<> FiscalReceipt::printTotal(const QString &password, bool onDisplay)
{
    int code = 0;
    CommandResult *r = m_app.execute(::printTotal, password, onDisplay, code);
    if (code < 0)
        return refusedByWrapper(code);
    Outcome<> out = report(*r, kTotal);
    if (!out.ok())
        return out;
    // The sum is this reply's first field; a reply without it shows no sum at all.
    out.shown.data = r->fieldCount >= 1 ? code_page::fromDevice(r->field(0)) : QString();
    if (r->fieldCount < 1)
        m_app.prompter().showMessage(kNoSum);
    return out;
}

Outcome<FiscalReceipt::PaymentShown> FiscalReceipt::pay(const Payment &payment, const QString &terminalPort)
{
    double amount = 0;
    if (payment.paymentType < 0 || !decimal(payment.amountText, amount)) {
        m_app.prompter().showMessage(kBadPaymentType);
        return {Verdict::refused(0, kBadPaymentType), {}};
    }
    const AppState &s = m_app.state();
    if (takesCard(payment.paymentType, s.softwareVersion, s.elJournal)) {
        CardPaymentRequest request;
        request.password = payment.password;
        request.paymentType = payment.paymentType;
        request.amountText = payment.amountText.trimmed();
        request.useTypedTransaction = payment.useTypedTransaction;
        request.typedTransaction = payment.typedTransaction;
        request.suppressCardLines = payment.suppressCardLines;
        request.terminalPort = terminalPort;
        const CardPaymentResult card = m_cardPayer ? m_cardPayer(request) : CardPayment(m_app).pay(request);
        Outcome<PaymentShown> out{card.verdict, {}};
        out.shown.cardPath = true;
        if (card.verdict.replied())
            out.shown.reply = card.shown;
        out.shown.chargedNotRecorded = card.charged && !card.verdict.ok();
        out.shown.transactionId = card.transactionId;
        return out;
    }
    int code = 0;
    CommandResult *r = m_app.execute(payReceipt, payment.password, payment.paymentType, amount, code);
    const Outcome<> done = code < 0 ? refusedByWrapper(code) : report(*r, kPayment);
    return {done.verdict, {done.shown, false, false, QString()}};
}

Outcome<> FiscalReceipt::closeReceipt(const QString &password, bool onDisplay)
{
    int code = 0;
    using CloseWithFlag = CommandResult *(*)(DeviceLink &, const QString &, int, int &);
    CommandResult *r = m_app.execute(static_cast<CloseWithFlag>(CloseFiscalReceipt), password, onDisplay ? 1 : 0, code);
    return code < 0 ? refusedByWrapper(code) : report(*r, kClose);
}

Outcome<> FiscalReceipt::showOnDisplay(int function, const QString &text)
{
    int code = 0;
    CommandResult *r = m_app.execute(::showOnDisplay, kFixedPassword, function, 0, text, code);
    if (code < 0)
        return refusedByWrapper(code);
    // The display has no messages of its own: only "Код ошибки:" tells how it went.
    Outcome<> out{Verdict::of(*r), {}};
    if (out.verdict.replied())
        out.shown = ReplyTexts::of(*r);
    return out;
}

Outcome<> FiscalReceipt::printBarcode(const Barcode &b)
{
    int height = 0;
    if (!integer32(b.height, height))
        return refuse(kBadBarcodeHeight);
    if (b.typeIndex == kEan13 && b.data.size() > 12)
        return refuse(kBarcodeTooLong);
    int refusal = param_format::textRefusal(b.password);
    if (refusal == 0)
        refusal = param_format::textRefusal(b.data, true);
    if (refusal == 0)
        refusal = param_format::textRefusal(b.width);
    if (refusal != 0)
        return refusedByWrapper(refusal);
    // ";" separates the fields, so inside the data the registrar takes 0xA0 for it.
    QByteArray data = code_page::toDevice(b.data);
    data.replace(';', '\xA0');
    const QByteArray params = code_page::toDevice(b.password) + ';' + QByteArray::number(height) + ';'
        + code_page::toDevice(b.width) + ';' + QByteArray::number(b.typeIndex) + ';' + (b.digits ? "1;" : "0;")
        + data + ';';
    const CommandResult *r = m_app.execute(cmd::PrintBarcode, params);
    Outcome<> out{Verdict::of(*r), {}};
    if (out.verdict.replied())
        out.shown = ReplyTexts::of(*r);
    if (!out.ok())
        m_app.prompter().showMessage(kBarcodeFailed + out.verdict.message);
    return out;
}
