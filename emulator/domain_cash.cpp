// Cash in and out of the drawer, receipt copies from the journal.
#include "emulator/domains.h"

#include <QDate>
#include <QRegularExpression>
#include <QTime>

namespace emu {

namespace {

// An amount with at most two decimals, "-" for money taken out; in hundredths.
bool amountOf(const QByteArray &text, qint64 &cents)
{
    static const QRegularExpression form(QStringLiteral("^(-?)(\\d{1,10})(?:\\.(\\d{1,2}))?$"));
    const QRegularExpressionMatch m = form.match(QString::fromLatin1(text));
    if (!m.hasMatch())
        return false;
    const QString fraction = m.captured(3).leftJustified(2, QLatin1Char('0'));
    cents = m.captured(2).toLongLong() * 100 + fraction.toInt();
    if (!m.captured(1).isEmpty())
        cents = -cents;
    return true;
}

// A whole number of up to nine digits; false when the field is not one.
bool wholeNumber(const QByteArray &text, int &n)
{
    qint64 v = 0;
    if (!digitsValue(text, 9, v))
        return false;
    n = int(v);
    return true;
}

// Money taken out must be in the drawer.
bool coveredByDrawer(const State &s, qint64 cents)
{
    return cents >= 0 || -cents <= s.cashInDrawerCents;
}

// The movement's lines, with what the drawer holds after it.
void printMovement(State &s, qint64 cents)
{
    s.print(cents > 0 ? toCp1251(QStringLiteral("СЛУЖЕБНЫЙ ВНОС")) : toCp1251(QStringLiteral("СЛУЖЕБНОЕ ИЗЪЯТИЕ")));
    s.print(toCp1251(QStringLiteral("СУММА ")) + money(cents < 0 ? -cents : cents));
    s.print(toCp1251(QStringLiteral("В КАССЕ ")) + money(s.cashInDrawerCents + cents));
}

// Into or out of the drawer, onto the day's totals.
void applyMovement(State &s, qint64 cents)
{
    s.cashInDrawerCents += cents;
    if (cents > 0)
        s.dayDepositsCents += cents;
    else
        s.dayWithdrawalsCents -= cents;
}

// The reply of a movement: the cash in the drawer once it is done.
Outcome drawerAfter(const State &s, qint64 cents)
{
    Outcome o;
    o.data = money(s.cashInDrawerCents + cents) + ';';
    return o;
}

// The amount field of 0x6E and 0x77 (field 3, counting the password as 1): a number
// with two decimals that is not 0.
bool amountField(const Fields &f, qint64 &cents, Outcome &refusal)
{
    if (!amountOf(f.value(2), cents)) {
        refusal = refuse(errorClass::fieldFormat, 3);
        return false;
    }
    if (cents == 0) {
        refusal = refuse(errorClass::fieldRange, 3);
        return false;
    }
    return true;
}

// 0x6E: a cash movement as a document of its own, outside any receipt.
Outcome cashInOut(State &s, const Fields &f)
{
    int operatorNumber = 0;
    if (!wholeNumber(f.value(1), operatorNumber))
        return refuse(errorClass::fieldFormat, 2);
    if (operatorNumber < 1 || operatorNumber > State::kOperators)
        return refuse(errorClass::fieldRange, 2);
    qint64 cents = 0;
    Outcome refusal;
    if (!amountField(f, cents, refusal))
        return refusal;
    if (s.receiptState != State::kReceiptClosed)
        return refuse(errorClass::sales, 0);
    if (!coveredByDrawer(s, cents))
        return refuse(errorClass::sales, 8);
    const Outcome o = drawerAfter(s, cents);
    printMovement(s, cents);
    applyMovement(s, cents);
    s.endDocument();
    return o;
}

// 0x77: the one movement of an open cash receipt (field 2 is 0); it takes effect when the
// receipt closes.
Outcome cashInOutInReceipt(State &s, const Fields &f)
{
    int field = 0;
    if (!wholeNumber(f.value(1), field))
        return refuse(errorClass::fieldFormat, 2);
    if (field != 0)
        return refuse(errorClass::fieldRange, 2);
    qint64 cents = 0;
    Outcome refusal;
    if (!amountField(f, cents, refusal))
        return refusal;
    if (s.receiptState != State::kCashReceiptOpen || s.receipt.cashMoveCents != 0)
        return refuse(errorClass::sales, 0);
    if (!coveredByDrawer(s, cents))
        return refuse(errorClass::sales, 8);
    printMovement(s, cents);
    s.receipt.cashMoveCents = cents;
    return drawerAfter(s, cents);
}

} // namespace

void settleCashReceipt(State &s)
{
    applyMovement(s, s.receipt.cashMoveCents);
    s.receipt.cashMoveCents = 0;
}

namespace {

// The receipts of the journal with running numbers first to last, all of them or none.
bool journalRange(const State &s, int first, int last, QList<const State::StoredReceipt *> &out)
{
    for (int n = first; n <= last; ++n) {
        const State::StoredReceipt *found = nullptr;
        for (const State::StoredReceipt &r : s.receiptJournal)
            if (r.number == n)
                found = &r;
        if (!found)
            return false;
        out.append(found);
    }
    return true;
}

void printCopies(State &s, const QList<const State::StoredReceipt *> &receipts)
{
    for (const State::StoredReceipt *r : receipts) {
        s.print(toCp1251(QStringLiteral("КОПИЯ ЧЕКА ")) + QByteArray::number(r->number));
        for (const QByteArray &line : r->lines)
            s.print(line);
        s.endDocument();
    }
}

// Two running or document numbers in fields 2 and 3; the copies of a range the journal
// holds whole.
Outcome copies(State &s, const Fields &f)
{
    int first = 0, last = 0;
    if (!wholeNumber(f.value(1), first))
        return refuse(errorClass::fieldFormat, 2);
    if (!wholeNumber(f.value(2), last))
        return refuse(errorClass::fieldFormat, 3);
    if (first < 1)
        return refuse(errorClass::fieldRange, 2);
    if (last < first || last - first >= State::kMaxCopiesAtOnce)
        return refuse(errorClass::fieldRange, 3);
    QList<const State::StoredReceipt *> receipts;
    if (!journalRange(s, first, last, receipts))
        return refuse(errorClass::sales, 7);
    printCopies(s, receipts);
    return {};
}

// 0xA5: copies by running numbers, printed inside an open non-fiscal receipt.
Outcome copiesByRunningNumber(State &s, const Fields &f)
{
    if (s.receiptState != State::kNonFiscalOpen)
        return refuse(errorClass::sales, 0);
    return copies(s, f);
}

// 0xEB: copies by document number from the electronic journal, outside any receipt.
Outcome copiesByDocumentNumber(State &s, const Fields &f)
{
    if (s.receiptState != State::kReceiptClosed)
        return refuse(errorClass::sales, 0);
    return copies(s, f);
}

// A date DDMMYY and a time HHMM from two fields (field numbers counted from 1).
bool momentOf(const Fields &f, int dateSlot, QDateTime &out, Outcome &refusal)
{
    const QByteArray date = f.value(dateSlot), time = f.value(dateSlot + 1);
    if (!allDigits(date, 6)) {
        refusal = refuse(errorClass::fieldFormat, dateSlot + 1);
        return false;
    }
    if (!allDigits(time, 4)) {
        refusal = refuse(errorClass::fieldFormat, dateSlot + 2);
        return false;
    }
    const QDate d = QDate::fromString(QString::fromLatin1(date), QStringLiteral("ddMMyy")).addYears(100);
    if (!d.isValid()) {
        refusal = refuse(errorClass::fieldRange, dateSlot + 1);
        return false;
    }
    const QTime t = QTime::fromString(QString::fromLatin1(time), QStringLiteral("HHmm"));
    if (!t.isValid()) {
        refusal = refuse(errorClass::fieldRange, dateSlot + 2);
        return false;
    }
    out = QDateTime(d, t);
    return true;
}

// 0xEE: the receipts stored from the start to the end minute (both included): their
// first and last numbers, and their copies when the print flag is 1.
Outcome searchControlTape(State &s, const Fields &f)
{
    QDateTime start, end;
    Outcome refusal;
    if (!momentOf(f, 1, start, refusal) || !momentOf(f, 3, end, refusal))
        return refusal;
    const QByteArray flag = f.value(5);
    if (flag != "0" && flag != "1")
        return refuse(flag.isEmpty() || !allDigits(flag, int(flag.size())) ? errorClass::fieldFormat
                                                                            : errorClass::fieldRange,
                      6);
    if (end < start)
        return refuse(errorClass::fieldRange, 4);
    if (s.receiptState != State::kReceiptClosed)
        return refuse(errorClass::sales, 0);
    const QDateTime endOfMinute = end.addSecs(59);
    QList<const State::StoredReceipt *> found;
    for (const State::StoredReceipt &r : s.receiptJournal)
        if (r.time >= start && r.time <= endOfMinute)
            found.append(&r);
    if (found.isEmpty())
        return refuse(errorClass::sales, 7);
    if (flag == "1")
        printCopies(s, found);
    Outcome o;
    o.data = QByteArray::number(found.first()->number) + ';' + QByteArray::number(found.last()->number) + ';';
    return o;
}

} // namespace

void registerCash(HandlerTable &table)
{
    table.add(cmd::CashInOut, cashInOut, 3);
    table.add(cmd::CashInOutVariant, cashInOutInReceipt, 3);
    table.add(cmd::CopiesByRunningNumber, copiesByRunningNumber, 3);
    table.add(cmd::CopiesByDocumentNumber, copiesByDocumentNumber, 3);
    table.add(cmd::SearchControlTape, searchControlTape, 6);
}

} // namespace emu
