#pragma once

#include <QGroupBox>
#include <QStringList>

class QLineEdit;
class QListWidget;

// The receipt being built, as the registrar accepted it: one row for each operation it
// took (sales, discounts, voids, payments), and the figures its replies carried. A figure
// no reply has told yet stays blank.
class ReceiptView : public QGroupBox {
public:
    struct Figures {
        QString total;  // "Итого:"
        QString due;    // "К оплате:"
        QString change; // "Сдача:"
    };

    explicit ReceiptView(QWidget *parent = nullptr);
    void showReceipt(const QStringList &rows, const Figures &figures);

private:
    QListWidget *m_rows = nullptr;
    QLineEdit *m_total = nullptr;
    QLineEdit *m_due = nullptr;
    QLineEdit *m_change = nullptr;
};
