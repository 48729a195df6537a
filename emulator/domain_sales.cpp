// The fiscal receipt: goods base, sales, discounts, total, payments, voids, the card
// payment record, the customer display and barcodes.
//
// A receipt goes through the stages of status byte 2: opened (1), sales (2), a discount
// on the sum (6), paid in part (3), paid in full (4), closed (0); voiding (9) sits
// between the start and the end of a void. Every operation that does not fit the stage
// is refused with "the document is in the wrong state". Money moves only when the
// receipt is closed: the day's sales and payments, the cash in the drawer, the journal.
#include "emulator/domains.h"

namespace emu {

namespace {

constexpr int kGoodsBaseClass = 0x0A;
constexpr int kMaxGoods = 10000;
constexpr int kMaxGoodsName = 40;
constexpr int kMaxOperator = 99;
constexpr int kMaxDepartment = 99;
constexpr int kDisplayWidth = 20;
constexpr qint64 kMaxQuantityMilli = 1'000'000'000; // one million units
constexpr qint64 kMaxPriceCents = 10'000'000'000;
constexpr qint64 kMaxReceiptCents = 1'000'000'000'000;

// Details of the sales class.
enum SalesDetail {
    wrongState = 0,
    voidCannotStart = 3,
    voidNotFound = 4,
    voidIncomplete = 5,
    nothingToVoid = 6,
    notEnoughCash = 8,
    noChange = 10,
    discountRange = 11,
    totalOverflow = 12,
    badQuantity = 15,
    badPrice = 16,
};

Outcome salesError(int detail) { return refuse(errorClass::sales, detail); }

QByteArray text(const char *utf8) { return toCp1251(QString::fromUtf8(utf8)); }

// a * b / den, rounded half away from zero.
qint64 scaled(qint64 a, qint64 b, qint64 den)
{
    const __int128 p = __int128(a) * b;
    const __int128 half = den / 2;
    return qint64(p >= 0 ? (p + half) / den : (p - half) / den);
}

bool fiscalOpen(int stage)
{
    switch (stage) {
    case State::kReceiptHeader:
    case State::kReceiptSale:
    case State::kReceiptPayment:
    case State::kReceiptComplete:
    case State::kReceiptSubtotal:
    case State::kReceiptVoiding:
        return true;
    default:
        return false;
    }
}

void resetReceipt(State &s)
{
    s.receiptState = State::kReceiptClosed;
    s.receiptIsReturn = false;
    s.receipt = State::OpenReceipt{};
}

bool soldToday(const State &s, qint64 code)
{
    for (const State::DaySale &d : s.daySales)
        if (d.goodsCode == code)
            return true;
    for (const State::ReceiptItem &i : s.receipt.items)
        if (i.goodsCode == code)
            return true;
    return false;
}

// code;name;price;tax group;department; — the goods base checks every field.
Outcome addGoods(State &s, const Fields &f)
{
    Outcome error;
    const QByteArray codeText = f.value(1);
    qint64 code = 0;
    if (codeText.size() > 9 || !integerValue(codeText, code) || code <= 0)
        return refuse(errorClass::fieldFormat, 2);
    const QByteArray name = f.value(2);
    if (name.isEmpty())
        return refuse(errorClass::fieldFormat, 3);
    if (name.size() > kMaxGoodsName)
        return refuse(errorClass::fieldRange, 3);
    qint64 price = 0;
    if (!fixedField(f, 3, 2, price, error))
        return error;
    if (price < 0 || price > kMaxPriceCents)
        return refuse(errorClass::fieldRange, 4);
    qint64 tax = 0, department = 0;
    if (!intField(f, 4, 0, s.options.taxGroups, tax, error) || !intField(f, 5, 0, kMaxDepartment, department, error))
        return error;
    const QByteArray line = f.mid(1, 5).join(';') + ';';
    const auto it = s.goods.constFind(code);
    if (it != s.goods.constEnd()) {
        if (it->line == line)
            return {};
        // A goods item already sold in this shift keeps its description until the Z report.
        if (soldToday(s, code))
            return refuse(kGoodsBaseClass, 4);
    } else if (s.goods.size() >= kMaxGoods) {
        return refuse(kGoodsBaseClass, 0);
    }
    s.goods.insert(code, State::Goods{code, name, line});
    return {};
}

// operator;cash desk;kind: 0 a sale, 1 a return, 2 a cash deposit or withdrawal.
Outcome openFiscalReceipt(State &s, const Fields &f)
{
    Outcome error;
    qint64 op = 0, desk = 0, kind = 0;
    if (!intField(f, 1, 1, kMaxOperator, op, error) || !intField(f, 2, 0, 99, desk, error)
        || !intField(f, 3, 0, 2, kind, error))
        return error;
    if (s.receiptState != State::kReceiptClosed)
        return salesError(wrongState);
    resetReceipt(s);
    s.receipt.operatorNumber = int(op);
    s.receipt.tapeStart = s.paperTape.size();
    for (int i = 0; i < 10; ++i)
        if (!s.headerLines[i].text.isEmpty())
            s.print(s.headerLines[i].text);
    if (kind == 2) {
        s.receiptState = State::kCashReceiptOpen;
        s.print(text("СЛУЖЕБНЫЙ ЧЕК"));
    } else {
        s.receiptState = State::kReceiptHeader;
        s.receiptIsReturn = kind == 1;
        s.print(text(kind == 1 ? "ЧЕК ВОЗВРАТА" : "ФИСКАЛЬНЫЙ ЧЕК"));
    }
    s.print(text("ОПЕРАТОР ") + QByteArray::number(op));
    return {};
}

// While voiding, a sale names an item of the receipt to take out again.
Outcome nameItemToVoid(State &s, qint64 code, qint64 qty, qint64 price, qint64 recipient)
{
    QList<State::ReceiptItem> &items = s.receipt.items;
    for (int i = 0; i < items.size(); ++i) {
        State::ReceiptItem &item = items[i];
        if (item.voidStep == 0 && item.goodsCode == code && item.quantityMilli == qty && item.priceCents == price
            && item.recipient == recipient) {
            item.voidStep = 1;
            s.receipt.voidLast = i;
            return {};
        }
    }
    return salesError(voidNotFound);
}

// code;quantity;price; and, for a sale to a recipient, the recipient's number.
Outcome sell(State &s, const Fields &f, bool withRecipient)
{
    Outcome error;
    qint64 code = 0, qty = 0, price = 0, recipient = -1;
    if (!integerValue(f.value(1), code))
        return refuse(errorClass::fieldFormat, 2);
    if (!fixedField(f, 2, 3, qty, error) || !fixedField(f, 3, 2, price, error))
        return error;
    if (withRecipient && !intField(f, 4, 0, 0x7FFFFFFF, recipient, error))
        return error;
    if (qty <= 0 || qty > kMaxQuantityMilli)
        return salesError(badQuantity);
    if (price < 0 || price > kMaxPriceCents)
        return salesError(badPrice);
    if (s.receiptState == State::kReceiptVoiding)
        return nameItemToVoid(s, code, qty, price, recipient);
    if (s.receiptState != State::kReceiptHeader && s.receiptState != State::kReceiptSale)
        return salesError(wrongState);
    const auto goods = s.goods.constFind(code);
    if (goods == s.goods.constEnd())
        return refuse(kGoodsBaseClass, 2);
    State::ReceiptItem item;
    item.goodsCode = code;
    item.quantityMilli = qty;
    item.priceCents = price;
    item.sumCents = scaled(qty, price, 1000);
    item.recipient = recipient;
    if (s.receipt.totalCents() + item.sumCents > kMaxReceiptCents)
        return salesError(totalOverflow);
    s.receipt.items.append(item);
    s.receipt.lastWasSale = true;
    s.receiptState = State::kReceiptSale;
    s.print(goods->name);
    s.print(quantity(qty) + " x " + money(price) + " = " + money(item.sumCents));
    if (withRecipient)
        s.print(text("ВЕКР ") + QByteArray::number(recipient));
    return {};
}

Outcome sellItem(State &s, const Fields &f) { return sell(s, f, false); }

Outcome sellForRecipient(State &s, const Fields &f)
{
    if (!s.options.model.contains(QStringLiteral("eKV-60")))
        return refuse(errorClass::protocol, 1); // the function is not supported
    return sell(s, f, true);
}

// A percentage in hundredths of a per cent, or an amount in hundredths, applied to base.
bool discountOf(bool percent, qint64 value, qint64 base, qint64 &delta)
{
    if (value == 0)
        return false;
    if (percent) {
        if (value <= -10000 || value > 10000)
            return false;
        delta = scaled(base, value, 10000);
    } else {
        delta = value;
    }
    return base + delta > 0 && base + delta <= kMaxReceiptCents;
}

QByteArray discountLine(bool percent, qint64 value, qint64 delta)
{
    QByteArray line = text(delta < 0 ? "СКИДКА " : "НАДБАВКА ");
    if (percent)
        line += money(value) + "% ";
    return line + money(delta);
}

Outcome itemDiscount(State &s, const Fields &f, int command, bool percent)
{
    Outcome error;
    qint64 value = 0;
    if (!fixedField(f, 1, 2, value, error))
        return error;
    if (s.receiptState == State::kReceiptVoiding) {
        const int last = s.receipt.voidLast;
        if (last < 0)
            return salesError(voidCannotStart);
        State::ReceiptItem &item = s.receipt.items[last];
        if (item.voidStep != 1 || item.discountCommand != command || item.discountValue != value)
            return salesError(voidNotFound);
        item.voidStep = 2;
        return {};
    }
    if (s.receiptState != State::kReceiptSale || !s.receipt.lastWasSale)
        return salesError(wrongState);
    State::ReceiptItem &item = s.receipt.items.last();
    qint64 delta = 0;
    if (!discountOf(percent, value, item.sumCents, delta))
        return salesError(discountRange);
    item.discountCents = delta;
    item.discountCommand = command;
    item.discountValue = value;
    s.receipt.lastWasSale = false;
    s.print(discountLine(percent, value, delta));
    return {};
}

Outcome itemPercentDiscount(State &s, const Fields &f) { return itemDiscount(s, f, cmd::ItemPercentDiscount, true); }
Outcome itemAbsoluteDiscount(State &s, const Fields &f) { return itemDiscount(s, f, cmd::ItemAbsoluteDiscount, false); }

int taxGroupOf(const State &s, qint64 code)
{
    const Fields g = fieldsOf(s.goods.value(code).line);
    return g.value(3).toInt();
}

// A discount or surcharge on the subtotal, or on the part of it in one tax group.
Outcome sumDiscount(State &s, const Fields &f, bool percent, bool byTaxGroup)
{
    Outcome error;
    qint64 value = 0, group = -1;
    if (!fixedField(f, 1, 2, value, error))
        return error;
    if (byTaxGroup && !intField(f, 2, 0, s.options.taxGroups, group, error))
        return error;
    if (s.receiptState != State::kReceiptSale)
        return salesError(wrongState);
    qint64 base = 0;
    for (const State::ReceiptItem &i : s.receipt.items)
        if (!byTaxGroup || taxGroupOf(s, i.goodsCode) == group)
            base += i.sumCents + i.discountCents;
    qint64 delta = 0;
    if (base <= 0 || !discountOf(percent, value, base, delta))
        return salesError(discountRange);
    s.receipt.subtotalDiscountCents = delta;
    s.receipt.lastWasSale = false;
    s.receiptState = State::kReceiptSubtotal;
    s.print(text("ПОДЫТОГ ") + money(s.receipt.itemsTotalCents()));
    s.print(discountLine(percent, value, delta));
    return {};
}

Outcome subtotalPercentDiscount(State &s, const Fields &f) { return sumDiscount(s, f, true, false); }
Outcome subtotalAbsoluteDiscount(State &s, const Fields &f) { return sumDiscount(s, f, false, false); }
Outcome taxGroupPercentDiscount(State &s, const Fields &f) { return sumDiscount(s, f, true, true); }
Outcome taxGroupAbsoluteDiscount(State &s, const Fields &f) { return sumDiscount(s, f, false, true); }

bool takesPayment(int stage)
{
    return stage == State::kReceiptSale || stage == State::kReceiptSubtotal || stage == State::kReceiptPayment;
}

Outcome flagField(const Fields &f, int index, qint64 &flag)
{
    Outcome error;
    intField(f, index, 0, 1, flag, error);
    return error;
}

// The receipt sum; the display shows it when asked.
Outcome printTotal(State &s, const Fields &f)
{
    qint64 display = 0;
    if (Outcome e = flagField(f, 1, display); e.errorWord != "0000")
        return e;
    if (!takesPayment(s.receiptState))
        return salesError(wrongState);
    const qint64 total = s.receipt.totalCents();
    s.print(text("ИТОГ ") + money(total));
    if (display) {
        s.displayTop = text("ИТОГ");
        s.displayBottom = money(total);
    }
    Outcome o;
    o.data = money(total) + ';';
    return o;
}

// One payment: change only from cash, and never in a return receipt, whose cash comes
// out of the drawer.
Outcome pay(State &s, int type, qint64 cents, const QByteArray &line)
{
    if (!takesPayment(s.receiptState))
        return salesError(wrongState);
    State::OpenReceipt &r = s.receipt;
    const qint64 due = r.totalCents() - r.paidCents;
    if ((type != 0 || s.receiptIsReturn) && cents > due)
        return salesError(noChange);
    if (s.receiptIsReturn && type == 0 && s.cashInDrawerCents < r.paymentsCents.value(0) + cents)
        return salesError(notEnoughCash);
    if (r.paidCents + cents > kMaxReceiptCents)
        return salesError(totalOverflow);
    r.paidCents += cents;
    r.paymentsCents[type] += cents;
    s.print(line + ' ' + money(cents));
    if (r.paidCents >= r.totalCents()) {
        r.changeCents = r.paidCents - r.totalCents();
        if (r.changeCents > 0)
            s.print(text("СДАЧА ") + money(r.changeCents));
        s.receiptState = State::kReceiptComplete;
    } else {
        s.receiptState = State::kReceiptPayment;
    }
    Outcome o;
    o.data = money(qMax<qint64>(0, r.totalCents() - r.paidCents)) + ';' + money(r.changeCents) + ';';
    return o;
}

// type;amount;
Outcome payment(State &s, const Fields &f)
{
    Outcome error;
    qint64 type = 0, cents = 0;
    if (!intField(f, 1, 0, s.options.paymentForms - 1, type, error) || !fixedField(f, 2, 2, cents, error))
        return error;
    if (cents <= 0)
        return refuse(errorClass::fieldRange, 3);
    return pay(s, int(type), cents, type == 0 ? text("НАЛИЧНЫЕ") : text("ОПЛАТА ") + QByteArray::number(type));
}

// type;amount;transaction: a payment taken by a card terminal.
Outcome cardPayment(State &s, const Fields &f)
{
    Outcome error;
    qint64 type = 0, cents = 0;
    if (!intField(f, 1, 1, s.options.paymentForms - 1, type, error) || !fixedField(f, 2, 2, cents, error))
        return error;
    if (cents <= 0)
        return refuse(errorClass::fieldRange, 3);
    const QByteArray id = f.value(3);
    if (id.isEmpty())
        return refuse(errorClass::fieldFormat, 4);
    Outcome o = pay(s, int(type), cents, text("КАРТА"));
    if (o.errorWord == "0000") {
        s.print(text("ТРАНЗАКЦИЯ ") + id);
        s.cardPayments.append(State::CardRecord{int(type), cents, id});
    }
    return o;
}

// A subtotal discount belongs to the items: spread it over them by their sums, so that
// the day's sales add up to what the customer paid.
QList<qint64> itemSums(const State::OpenReceipt &r)
{
    QList<qint64> sums;
    const qint64 before = r.itemsTotalCents();
    qint64 spread = 0;
    for (const State::ReceiptItem &i : r.items) {
        const qint64 own = i.sumCents + i.discountCents;
        const qint64 share = before > 0 ? scaled(r.subtotalDiscountCents, own, before) : 0;
        spread += share;
        sums.append(own + share);
    }
    if (!sums.isEmpty())
        sums.last() += r.subtotalDiscountCents - spread;
    return sums;
}

void finishFiscalReceipt(State &s, bool display)
{
    const State::OpenReceipt &r = s.receipt;
    const int number = ++s.lastReceiptNumber;
    const QDateTime now = s.now();
    s.print(text("ЧЕК № ") + QByteArray::number(number));
    s.print(now.toString(QStringLiteral("dd.MM.yyyy HH:mm")).toLatin1());
    const QList<qint64> sums = itemSums(r);
    for (int i = 0; i < r.items.size(); ++i)
        s.daySales.append(State::DaySale{r.items[i].goodsCode, r.items[i].quantityMilli, sums[i], s.receiptIsReturn,
                                         r.operatorNumber});
    for (auto it = r.paymentsCents.constBegin(); it != r.paymentsCents.constEnd(); ++it) {
        if (s.receiptIsReturn)
            s.dayReturnPaymentsCents += it.value();
        else
            s.dayPaymentsCents[it.key()] += it.value();
    }
    const qint64 cash = r.paymentsCents.value(0);
    s.cashInDrawerCents += s.receiptIsReturn ? -cash : cash - r.changeCents;
    const qsizetype start = qBound<qsizetype>(0, r.tapeStart, s.paperTape.size());
    s.receiptJournal.append(State::StoredReceipt{number, now, s.paperTape.mid(start)});
    if (display) {
        s.displayTop = text("СПАСИБО");
        s.displayBottom.clear();
    }
}

// Closes a fiscal receipt once it is paid, and the non-fiscal and cash receipts.
Outcome closeReceipt(State &s, const Fields &f)
{
    qint64 display = 0;
    if (Outcome e = flagField(f, 1, display); e.errorWord != "0000")
        return e;
    switch (s.receiptState) {
    case State::kReceiptComplete:
        finishFiscalReceipt(s, display);
        break;
    case State::kNonFiscalOpen:
        break;
    case State::kCashReceiptOpen:
        settleCashReceipt(s);
        break;
    default:
        return salesError(wrongState);
    }
    resetReceipt(s);
    s.endDocument();
    return {};
}

// 0 the whole receipt; 1 start voiding items, 2 take the named ones out, 3 give up.
Outcome voidOperation(State &s, const Fields &f)
{
    Outcome error;
    qint64 mode = 0;
    if (!intField(f, 1, 0, 3, mode, error))
        return error;
    State::OpenReceipt &r = s.receipt;
    switch (mode) {
    case 0:
        if (s.receiptState == State::kReceiptClosed)
            return salesError(nothingToVoid);
        if (!fiscalOpen(s.receiptState) && s.receiptState != State::kCashReceiptOpen)
            return salesError(wrongState);
        s.print(text("ЧЕК АННУЛИРОВАН"));
        resetReceipt(s);
        s.endDocument();
        return {};
    case 1:
        if (s.receiptState == State::kReceiptHeader)
            return salesError(nothingToVoid);
        if (s.receiptState != State::kReceiptSale)
            return salesError(wrongState);
        r.stageBeforeVoiding = s.receiptState;
        r.voidLast = -1;
        s.receiptState = State::kReceiptVoiding;
        return {};
    case 2: {
        if (s.receiptState != State::kReceiptVoiding)
            return salesError(wrongState);
        bool any = false;
        for (const State::ReceiptItem &i : r.items) {
            if (i.voidStep == 1 && i.discountCommand != 0)
                return salesError(voidIncomplete);
            any = any || i.voidStep != 0;
        }
        if (!any)
            return salesError(nothingToVoid);
        for (qsizetype k = r.items.size() - 1; k >= 0; --k) {
            const State::ReceiptItem &i = r.items[k];
            if (i.voidStep == 0)
                continue;
            s.print(text("АННУЛИРОВАНО ") + s.goods.value(i.goodsCode).name + ' '
                    + money(-(i.sumCents + i.discountCents)));
            r.items.removeAt(k);
        }
        r.voidLast = -1;
        r.lastWasSale = false;
        s.receiptState = r.items.isEmpty() ? State::kReceiptHeader : State::kReceiptSale;
        return {};
    }
    default:
        if (s.receiptState != State::kReceiptVoiding)
            return salesError(wrongState);
        for (State::ReceiptItem &i : r.items)
            i.voidStep = 0;
        r.voidLast = -1;
        s.receiptState = r.stageBeforeVoiding;
        return {};
    }
}

// function (0 clear, 1 top line, 2 bottom line, 3 date and time);0;text;
Outcome display(State &s, const Fields &f)
{
    Outcome error;
    qint64 function = 0, reserved = 0;
    if (!intField(f, 1, 0, 3, function, error) || !intField(f, 2, 0, 0x7FFFFFFF, reserved, error))
        return error;
    const QByteArray line = f.value(3).left(kDisplayWidth);
    switch (function) {
    case 0:
        s.displayTop.clear();
        s.displayBottom.clear();
        break;
    case 1:
        s.displayTop = line;
        break;
    case 2:
        s.displayBottom = line;
        break;
    default:
        s.displayTop = s.now().toString(QStringLiteral("dd.MM.yyyy")).toLatin1();
        s.displayBottom = s.now().toString(QStringLiteral("HH:mm")).toLatin1();
        break;
    }
    return {};
}

bool allDigitsAnyLength(const QByteArray &data)
{
    return !data.isEmpty() && allDigits(data, int(data.size()));
}

// height;width;type;digits;data; — printed inside an open receipt.
Outcome barcode(State &s, const Fields &f)
{
    static const char *const kTypes[] = {"Bit line", "EAN13", "CODE128C", "CODE128A", "CODE128B", "CODE39"};
    Outcome error;
    qint64 height = 0, width = 0, type = 0, digits = 0;
    if (!intField(f, 1, 1, 127, height, error) || !intField(f, 2, 2, 4, width, error)
        || !intField(f, 3, 0, 5, type, error) || !intField(f, 4, 0, 1, digits, error))
        return error;
    const QByteArray data = f.value(5);
    const bool numeric = type == 1 || type == 2;
    if (data.isEmpty() || (numeric && !allDigitsAnyLength(data)) || (type == 1 && data.size() > 12)
        || (type == 2 && data.size() % 2 != 0))
        return refuse(errorClass::fieldFormat, 6);
    if (s.receiptState == State::kReceiptClosed)
        return salesError(wrongState);
    s.print(QByteArray("||| ") + kTypes[type] + " |||");
    if (digits)
        s.print(data);
    return {};
}

// height;line of dots; — a barcode drawn line by line.
Outcome barcodeLine(State &s, const Fields &f)
{
    Outcome error;
    qint64 height = 0;
    if (!intField(f, 1, 1, 127, height, error))
        return error;
    if (f.value(2).isEmpty())
        return refuse(errorClass::fieldFormat, 3);
    if (s.receiptState == State::kReceiptClosed)
        return salesError(wrongState);
    s.print("||| " + f.value(2).left(48) + " |||");
    return {};
}

} // namespace

void registerSales(HandlerTable &table)
{
    table.add(cmd::AddGoods, addGoods, 6);
    table.add(cmd::OpenFiscalReceipt, openFiscalReceipt, 4);
    table.add(cmd::SellItem, sellItem, 4);
    table.add(cmd::SellItemForRecipient, sellForRecipient, 5);
    table.add(cmd::CloseFiscalReceipt, closeReceipt, 2);
    table.add(cmd::Payment, payment, 3);
    table.add(cmd::ItemPercentDiscount, itemPercentDiscount, 2);
    table.add(cmd::ItemAbsoluteDiscount, itemAbsoluteDiscount, 2);
    table.add(cmd::VoidOperation, voidOperation, 2);
    table.add(cmd::TotalPercentDiscount, subtotalPercentDiscount, 2);
    table.add(cmd::PrintTotal, printTotal, 2);
    table.add(cmd::SubtotalPercentDiscount, subtotalPercentDiscount, 2);
    table.add(cmd::SubtotalAbsoluteDiscount, subtotalAbsoluteDiscount, 2);
    table.add(cmd::TaxGroupPercentDiscount, taxGroupPercentDiscount, 3);
    table.add(cmd::TaxGroupAbsoluteDiscount, taxGroupAbsoluteDiscount, 3);
    table.add(cmd::CardPayment, cardPayment, 4);
    table.add(cmd::Display, display, 4);
    table.add(cmd::PrintBarcode, barcode, 6);
    table.add(cmd::PrintBarcodeLine, barcodeLine, 3);
}

} // namespace emu
