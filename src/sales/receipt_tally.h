#pragma once

#include <QString>
#include <QStringList>

#include <optional>

// What the registrar has accepted of the fiscal receipt being built on the screen: a row
// for each operation whose reply said "0000" (nothing for a refused or lost one), and the
// figures the replies carry: the total of 0x6D, what is still due and the change of 0x67.
// A card payment's reply is the card path's last line, so what is due after it is the
// due before it less the amount (the registrar takes no card payment above what is due)
// and the change stays as it was. A figure not told yet is empty.
class ReceiptTally {
public:
    enum class Target { Item, Subtotal, TaxGroup };

    void opened(bool isReturn);
    void sold(const QString &goodsLine, double quantity, double price, const int *recipient);
    void discounted(bool percent, Target target, double value, int taxGroup);
    // 0 the whole receipt, 1 start, 2 end, 3 cancel voiding.
    void voided(int mode);
    void totalled(const QString &total);
    void paid(int paymentType, double amount, const QString &due, const QString &change);
    void paidByCard(int paymentType, double amount, const QString &transactionId);
    void closed();

    const QStringList &rows() const { return m_rows; }
    const QString &total() const { return m_total; }
    const QString &due() const { return m_due; }
    const QString &change() const { return m_change; }

private:
    void add(const QString &row) { m_rows.append(row); }

    QStringList m_rows;
    QString m_total;
    QString m_due;
    QString m_change;
    bool m_anyPayment = false;
};
