#include "sales/receipt_tally.h"

#include "commands/command_wrappers.h"

#include <cmath>

using namespace Qt::StringLiterals;

namespace {

QString money(double value)
{
    return QString::fromLatin1(param_format::fixed(value, 2));
}

// The figure a reply field holds: a number with two decimals, else nothing (a field the
// reply lacks or garbles is not shown as a sum).
QString figure(const QString &field)
{
    bool ok = false;
    const double v = field.trimmed().toDouble(&ok);
    return ok && std::isfinite(v) ? money(v) : QString();
}

} // namespace

void ReceiptTally::opened(bool isReturn)
{
    *this = ReceiptTally();
    add(isReturn ? u"Открыт чек возврата"_s : u"Открыт фискальный чек"_s);
}

void ReceiptTally::sold(const QString &goodsLine, double quantity, double price, const int *recipient)
{
    // The goods line reads "<код>;<наименование>;<цена>;...".
    const QString name = goodsLine.section(u';', 1, 1);
    QString row = (name.isEmpty() ? goodsLine.section(u';', 0, 0) : name) + u"  "_s
        + QString::fromLatin1(param_format::fixed(quantity, 3)) + u" x "_s + money(price);
    if (recipient)
        row += u"  ВЕКР "_s + QString::number(*recipient);
    add(row);
}

void ReceiptTally::discounted(bool percent, Target target, double value, int taxGroup)
{
    QString row = value < 0 ? u"Скидка"_s : u"Надбавка"_s;
    switch (target) {
    case Target::Item:
        row += u" на товар"_s;
        break;
    case Target::Subtotal:
        row += u" на подсумму"_s;
        break;
    case Target::TaxGroup:
        row += u" с налоговой группы "_s + QString::number(taxGroup);
        break;
    }
    add(row + u": "_s + money(value) + (percent ? u" %"_s : QString()));
    // A discount on the sum changes the total told before it.
    if (target != Target::Item) {
        m_total.clear();
        m_due.clear();
    }
}

void ReceiptTally::voided(int mode)
{
    switch (mode) {
    case 0:
        *this = ReceiptTally();
        add(u"Чек аннулирован"_s);
        return;
    case 1:
        add(u"Начало аннулирования"_s);
        return;
    case 2:
        add(u"Конец аннулирования"_s);
        m_total.clear();
        m_due.clear();
        return;
    default:
        add(u"Отмена аннулирования"_s);
        return;
    }
}

void ReceiptTally::totalled(const QString &total)
{
    m_total = figure(total);
    if (!m_anyPayment)
        m_due = m_total;
}

void ReceiptTally::paid(int paymentType, double amount, const QString &due, const QString &change)
{
    add((paymentType == 0 ? u"Оплата наличными: "_s : u"Оплата, тип %1: "_s.arg(paymentType)) + money(amount));
    m_anyPayment = true;
    m_due = figure(due);
    m_change = figure(change);
}

void ReceiptTally::paidByCard(int paymentType, double amount, const QString &transactionId)
{
    add(u"Оплата картой, тип %1: %2, транзакция %3"_s.arg(paymentType).arg(money(amount), transactionId));
    m_anyPayment = true;
    bool ok = false;
    const double before = m_due.toDouble(&ok);
    m_due = ok ? money(std::max(0.0, before - amount)) : QString();
}

void ReceiptTally::closed()
{
    // The figures stay: the change is still to be handed over.
    add(u"Чек закрыт"_s);
}
