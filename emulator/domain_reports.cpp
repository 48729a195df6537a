// Daily, periodic, goods and additional reports, the control tape, the goods base's
// clearing and the free resources. Every report goes on the paper tape and ends as one
// document; only the Z report changes what the registrar remembers about the day.
#include "emulator/domains.h"

#include <QDate>

#include <algorithm>

namespace emu {

namespace {

// Error classes of the fiscal memory and of the registrar's state.
constexpr int kFiscalMemoryClass = 0x05;
constexpr int kFiscalMemoryFull = 0x06; // detail: "Фискальная память исчерпана!"

// Field numbers in error words count from 1, the password being field 1.
constexpr int kField2 = 2;
constexpr int kField3 = 3;
constexpr int kField4 = 4;

// A caption on the left and a value on the right of a 32-character line.
QByteArray row(const QString &caption, const QByteArray &value)
{
    const QByteArray left = toCp1251(caption);
    const int pad = qMax(1, 32 - int(left.size()) - int(value.size()));
    return left + QByteArray(pad, ' ') + value;
}

QByteArray dateTime(const QDateTime &t)
{
    return t.toString(QStringLiteral("dd.MM.yy hh:mm")).toLatin1();
}

// DDMMYY, the century being 2000.
QDate readDate(const QByteArray &field)
{
    if (!allDigits(field, 6))
        return {};
    return QDate(2000 + field.mid(4, 2).toInt(), field.mid(2, 2).toInt(), field.left(2).toInt());
}

bool receiptOpen(const State &s)
{
    return s.receiptState != State::kReceiptClosed;
}

// Reports printed inside a non-fiscal receipt, or with none open; never inside a sale.
bool reportAllowed(const State &s)
{
    return s.receiptState == State::kReceiptClosed || s.receiptState == State::kNonFiscalOpen;
}

// ---- The day's totals ------------------------------------------------------------

struct DayTotals {
    qint64 salesCents = 0;
    qint64 returnsCents = 0;
    int receipts = 0;
};

DayTotals dayTotals(const State &s)
{
    DayTotals t;
    for (const State::DaySale &sale : s.daySales)
        (sale.isReturn ? t.returnsCents : t.salesCents) += sale.sumCents;
    t.receipts = qMax(0, s.lastReceiptNumber - s.receiptsAtLastZ);
    return t;
}

void printDayReport(State &s, const QString &title, const DayTotals &t)
{
    s.print(toCp1251(title));
    s.print(dateTime(s.now()));
    s.print(row(QStringLiteral("ПРОДАЖИ"), money(t.salesCents)));
    s.print(row(QStringLiteral("ВОЗВРАТЫ"), money(t.returnsCents)));
    s.print(row(QStringLiteral("ЧЕКОВ"), QByteArray::number(t.receipts)));
    for (auto it = s.dayPaymentsCents.cbegin(); it != s.dayPaymentsCents.cend(); ++it)
        s.print(row(QStringLiteral("ОПЛАТА %1").arg(it.key()), money(it.value())));
    s.print(row(QStringLiteral("СЛУЖЕБНЫЙ ВНОС"), money(s.dayDepositsCents)));
    s.print(row(QStringLiteral("СЛУЖЕБНАЯ ВЫДАЧА"), money(s.dayWithdrawalsCents)));
    s.print(row(QStringLiteral("В КАССЕ"), money(s.cashInDrawerCents)));
}

Outcome xReport(State &s)
{
    printDayReport(s, QStringLiteral("X-ОТЧЕТ"), dayTotals(s));
    s.endDocument();
    return {};
}

// The Z report closes the shift: the day goes into the fiscal memory and its totals
// start again from zero. The cash in the drawer stays where it is.
Outcome zReport(State &s)
{
    if (s.fiscalMemory.size() >= State::kFiscalMemoryCapacity)
        return refuse(kFiscalMemoryClass, kFiscalMemoryFull);
    const DayTotals t = dayTotals(s);
    State::ZReport z;
    z.number = s.lastZReportNumber + 1;
    z.time = s.now();
    z.salesCents = t.salesCents;
    z.returnsCents = t.returnsCents;
    z.receipts = t.receipts;
    printDayReport(s, QStringLiteral("Z-ОТЧЕТ № %1").arg(z.number), t);
    s.endDocument();

    s.lastZReportNumber = z.number;
    s.fiscalMemory.append(z);
    s.daySales.clear();
    s.dayPaymentsCents.clear();
    s.dayReturnPaymentsCents = 0;
    s.dayDepositsCents = 0;
    s.dayWithdrawalsCents = 0;
    s.receiptsAtLastZ = s.lastReceiptNumber;
    return {};
}

// ---- The control tape ------------------------------------------------------------

// The lines on the control tape as the command finds them.
QList<QByteArray> controlTape(const State &s)
{
    const int start = std::clamp(s.controlTapeStart, 0, int(s.paperTape.size()));
    return s.paperTape.mid(start);
}

void printControlTape(State &s, const QString &title)
{
    const QList<QByteArray> lines = controlTape(s);
    s.print(toCp1251(title));
    for (const QByteArray &line : lines)
        s.print(line);
    s.print(row(QStringLiteral("СТРОК"), QByteArray::number(lines.size())));
    s.endDocument();
}

Outcome clearControlTape(State &s)
{
    s.print(toCp1251(QStringLiteral("КОНТРОЛЬНАЯ ЛЕНТА ОБНУЛЕНА")));
    s.print(dateTime(s.now()));
    s.endDocument();
    s.controlTapeStart = int(s.paperTape.size());
    return {};
}

// 0xA1: 0 Z report, 1 X report, 2 clear the control tape, 5 unload it.
Outcome printReport(State &s, const Fields &f)
{
    qint64 type = 0;
    if (!integerValue(f.value(1), type))
        return refuse(errorClass::fieldFormat, kField2);
    if (type != 0 && type != 1 && type != 2 && type != 5)
        return refuse(errorClass::fieldRange, kField2);
    if (receiptOpen(s))
        return refuse(errorClass::sales);
    switch (type) {
    case 0:
        return zReport(s);
    case 1:
        return xReport(s);
    case 2:
        return clearControlTape(s);
    default:
        printControlTape(s, QStringLiteral("ВЫГРУЗКА КОНТРОЛЬНОЙ ЛЕНТЫ"));
        return {};
    }
}

// ---- Periodic reports over the fiscal memory --------------------------------------

Outcome printPeriodic(State &s, const QList<State::ZReport> &reports, const QByteArray &range, bool full)
{
    s.print(toCp1251(QStringLiteral("ПЕРИОДИЧЕСКИЙ ОТЧЕТ")));
    s.print(toCp1251(full ? QStringLiteral("ПОЛНЫЙ") : QStringLiteral("СОКРАЩЕННЫЙ")));
    s.print(range);
    qint64 sales = 0, returns = 0;
    int receipts = 0;
    for (const State::ZReport &z : reports) {
        if (full) {
            s.print(toCp1251(QStringLiteral("Z-ОТЧЕТ № %1 ").arg(z.number)) + dateTime(z.time));
            s.print(row(QStringLiteral(" ПРОДАЖИ"), money(z.salesCents)));
            s.print(row(QStringLiteral(" ВОЗВРАТЫ"), money(z.returnsCents)));
            s.print(row(QStringLiteral(" ЧЕКОВ"), QByteArray::number(z.receipts)));
        }
        sales += z.salesCents;
        returns += z.returnsCents;
        receipts += z.receipts;
    }
    s.print(row(QStringLiteral("ОТЧЕТОВ"), QByteArray::number(reports.size())));
    s.print(row(QStringLiteral("ИТОГО ПРОДАЖИ"), money(sales)));
    s.print(row(QStringLiteral("ИТОГО ВОЗВРАТЫ"), money(returns)));
    s.print(row(QStringLiteral("ИТОГО ЧЕКОВ"), QByteArray::number(receipts)));
    s.endDocument();
    return {};
}

// The detail field, "0" short or "1" full, as field `number`.
bool readDetail(const QByteArray &field, bool &full, Outcome &refusal, int number)
{
    qint64 d = 0;
    if (!integerValue(field, d)) {
        refusal = refuse(errorClass::fieldFormat, number);
        return false;
    }
    if (d != 0 && d != 1) {
        refusal = refuse(errorClass::fieldRange, number);
        return false;
    }
    full = d == 1;
    return true;
}

// 0xA2: the Z reports whose dates lie between two dates DDMMYY, both included.
Outcome periodicByDate(State &s, const Fields &f)
{
    const QDate first = readDate(f.value(1));
    if (!first.isValid())
        return refuse(errorClass::fieldFormat, kField2);
    const QDate last = readDate(f.value(2));
    if (!last.isValid())
        return refuse(errorClass::fieldFormat, kField3);
    bool full = false;
    Outcome refusal;
    if (!readDetail(f.value(3), full, refusal, kField4))
        return refusal;
    if (last < first)
        return refuse(errorClass::fieldRange, kField3);
    if (!reportAllowed(s))
        return refuse(errorClass::sales);
    QList<State::ZReport> found;
    for (const State::ZReport &z : s.fiscalMemory)
        if (z.time.date() >= first && z.time.date() <= last)
            found.append(z);
    if (found.isEmpty())
        return refuse(errorClass::fieldRange, kField2); // no report in those days
    return printPeriodic(s, found,
                         first.toString(QStringLiteral("dd.MM.yy")).toLatin1() + " - "
                             + last.toString(QStringLiteral("dd.MM.yy")).toLatin1(),
                         full);
}

// 0xA3: the Z reports numbered from the first to the last, both included.
Outcome periodicByNumber(State &s, const Fields &f)
{
    qint64 first = 0, last = 0;
    if (!integerValue(f.value(1), first))
        return refuse(errorClass::fieldFormat, kField2);
    if (!integerValue(f.value(2), last))
        return refuse(errorClass::fieldFormat, kField3);
    bool full = false;
    Outcome refusal;
    if (!readDetail(f.value(3), full, refusal, kField4))
        return refusal;
    if (first < 1 || first > s.lastZReportNumber)
        return refuse(errorClass::fieldRange, kField2);
    if (last < first || last > s.lastZReportNumber)
        return refuse(errorClass::fieldRange, kField3);
    if (!reportAllowed(s))
        return refuse(errorClass::sales);
    QList<State::ZReport> found;
    for (const State::ZReport &z : s.fiscalMemory)
        if (z.number >= first && z.number <= last)
            found.append(z);
    return printPeriodic(s, found, "N " + QByteArray::number(first) + " - " + QByteArray::number(last), full);
}

// ---- Goods, departments, operators ------------------------------------------------

struct Sold {
    qint64 quantityMilli = 0;
    qint64 sumCents = 0;
    qint64 returnedMilli = 0;
    qint64 returnedCents = 0;
    void add(const State::DaySale &sale)
    {
        (sale.isReturn ? returnedMilli : quantityMilli) += sale.quantityMilli;
        (sale.isReturn ? returnedCents : sumCents) += sale.sumCents;
    }
};

void printSold(State &s, const QString &caption, const Sold &sold)
{
    if (!caption.isEmpty())
        s.print(toCp1251(caption));
    s.print(row(QStringLiteral(" ПРОДАНО"), quantity(sold.quantityMilli) + " / " + money(sold.sumCents)));
    if (sold.returnedMilli || sold.returnedCents)
        s.print(row(QStringLiteral(" ВОЗВРАТ"), quantity(sold.returnedMilli) + " / " + money(sold.returnedCents)));
}

void printTotal(State &s, const QMap<qint64, Sold> &groups)
{
    qint64 sales = 0, returns = 0;
    for (const Sold &g : groups) {
        sales += g.sumCents;
        returns += g.returnedCents;
    }
    s.print(row(QStringLiteral("ИТОГО ПРОДАЖИ"), money(sales)));
    s.print(row(QStringLiteral("ИТОГО ВОЗВРАТЫ"), money(returns)));
    s.endDocument();
}

// 0xA4: the day's sales of the goods whose codes lie between two codes, both included.
Outcome goodsReport(State &s, const Fields &f)
{
    qint64 first = 0, last = 0;
    if (!integerValue(f.value(1), first))
        return refuse(errorClass::fieldFormat, kField2);
    if (!integerValue(f.value(2), last))
        return refuse(errorClass::fieldFormat, kField3);
    if (last < first)
        return refuse(errorClass::fieldRange, kField3);
    if (!reportAllowed(s))
        return refuse(errorClass::sales);
    QMap<qint64, Sold> byCode;
    for (const State::DaySale &sale : s.daySales)
        if (sale.goodsCode >= first && sale.goodsCode <= last)
            byCode[sale.goodsCode].add(sale);
    s.print(toCp1251(QStringLiteral("ОТЧЕТ ПО ТОВАРАМ")));
    s.print(dateTime(s.now()));
    s.print(toCp1251(QStringLiteral("КОДЫ ")) + QByteArray::number(first) + " - " + QByteArray::number(last));
    for (auto it = byCode.cbegin(); it != byCode.cend(); ++it) {
        const auto g = s.goods.constFind(it.key());
        s.print(QByteArray::number(it.key()) + ' ' + (g != s.goods.cend() ? g->name : QByteArray()));
        printSold(s, QString(), it.value());
    }
    printTotal(s, byCode);
    return {};
}

// The department of a goods item: the fifth field of its goods line, 0 when unknown.
qint64 departmentOf(const State &s, qint64 goodsCode)
{
    const auto g = s.goods.constFind(goodsCode);
    if (g == s.goods.cend())
        return 0;
    qint64 d = 0;
    return integerValue(fieldsOf(g->line).value(4).trimmed(), d) ? d : 0;
}

// 0xA6: 0 by departments, 1 by operators, 2 the control tape.
Outcome additionalReport(State &s, const Fields &f)
{
    qint64 type = 0;
    if (!integerValue(f.value(1), type))
        return refuse(errorClass::fieldFormat, kField2);
    if (type < 0 || type > 2)
        return refuse(errorClass::fieldRange, kField2);
    if (!reportAllowed(s))
        return refuse(errorClass::sales);
    if (type == 2) {
        printControlTape(s, QStringLiteral("КОНТРОЛЬНАЯ ЛЕНТА"));
        return {};
    }
    const bool byOperator = type == 1;
    QMap<qint64, Sold> groups;
    for (const State::DaySale &sale : s.daySales)
        groups[byOperator ? qint64(sale.operatorNumber) : departmentOf(s, sale.goodsCode)].add(sale);
    s.print(toCp1251(byOperator ? QStringLiteral("ОТЧЕТ ПО ОПЕРАТОРАМ") : QStringLiteral("ОТЧЕТ ПО ОТДЕЛАМ")));
    s.print(dateTime(s.now()));
    for (auto it = groups.cbegin(); it != groups.cend(); ++it)
        printSold(s, (byOperator ? QStringLiteral("ОПЕРАТОР %1") : QStringLiteral("ОТДЕЛ %1")).arg(it.key()),
                  it.value());
    printTotal(s, groups);
    return {};
}

// 0x3B: the goods base may be cleared only with no receipt open and no sales in the
// shift, so the goods report never loses the names of what was sold.
Outcome clearGoodsBase(State &s, const Fields &)
{
    if (receiptOpen(s) || !s.daySales.isEmpty())
        return refuse(errorClass::sales);
    s.goods.clear();
    return {};
}

// ---- Free resources ---------------------------------------------------------------

// The shift opened with the first receipt closed after the last Z report.
QDateTime shiftOpening(const State &s)
{
    for (const State::StoredReceipt &r : s.receiptJournal)
        if (r.number > s.receiptsAtLastZ)
            return r.time;
    return {};
}

// 0xA0: six permissions, the emergency resets, free fiscal reports, the shift's opening
// date DDMMYY and time HHMM (empty with no shift open), free goods records, free receipts.
Outcome freeResources(State &s, const Fields &)
{
    Outcome o;
    for (bool allowed : s.fiscalPermissions)
        o.data += allowed ? "1;" : "0;";
    o.data += QByteArray::number(s.emergencyResets) + ';';
    o.data += QByteArray::number(qMax(0, State::kFiscalMemoryCapacity - int(s.fiscalMemory.size()))) + ';';
    const QDateTime opened = shiftOpening(s);
    o.data += (opened.isValid() ? opened.toString(QStringLiteral("ddMMyy")).toLatin1() : QByteArray()) + ';';
    o.data += (opened.isValid() ? opened.toString(QStringLiteral("hhmm")).toLatin1() : QByteArray()) + ';';
    o.data += QByteArray::number(qMax(0, State::kGoodsCapacity - int(s.goods.size()))) + ';';
    o.data += QByteArray::number(qMax(0, State::kReceiptCapacity - int(s.receiptJournal.size()))) + ';';
    return o;
}

} // namespace

void registerReports(HandlerTable &table)
{
    table.add(cmd::FreeResources, freeResources, 1);
    table.add(cmd::PrintReport, printReport, 2);
    table.add(cmd::PeriodicReportByDate, periodicByDate, 4);
    table.add(cmd::PeriodicReport, periodicByNumber, 4);
    table.add(cmd::GoodsReport, goodsReport, 3);
    table.add(cmd::AdditionalReport, additionalReport, 4);
    table.add(cmd::ClearGoodsBase, clearGoodsBase, 1);
}

} // namespace emu
