#pragma once

#include "sales/fiscal_receipt.h"
#include "sales/open_receipt_check.h"
#include "ui/operation_guard.h"
#include "ui/screen_dialog.h"

#include <QStringList>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QListWidgetItem;
class ReceiptView;
class QPushButton;
class QWidget;

// TForm21, "Фискальный чек": one fiscal receipt by hand, from opening to closing, with
// comments, voids, the customer display and barcodes.
class TForm21 : public Screen<TForm21> {
    Q_OBJECT
public:
    TForm21(Application &app, ScreenHost &host, QWidget *parent = nullptr);

    FiscalReceipt &operations() { return m_ops; }

public slots:
    // "Закрыть", the window's close button and Esc: with a receipt open on the registrar,
    // the cashier is asked whether to void it, keep it open or stay.
    void reject() override;

protected:
    void opened() override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QWidget *buildHeader();
    QWidget *buildGoods();
    QWidget *buildDiscounts();
    QWidget *buildVoids();
    QWidget *buildPayment();
    QWidget *buildBarcode();
    void fillGoodsList();
    // A goods line chosen in the list: it and its price become the sale's.
    void chooseGoods(QListWidgetItem *item);
    void openReceipt();
    void showTally();

    // Shows what a command of the table returned; refused inputs leave everything as it was.
    void shown(const Outcome<> &outcome);
    // A receipt closed or voided, or the screen opened: the sum and a typed transaction
    // identifier are cleared.
    void receiptEnded();
    void sell(bool vekr);
    void discount(bool percent, FiscalReceipt::DiscountTarget target);
    void printTotal();
    void pay();
    void showOnDisplay();
    void printBarcode();

    FiscalReceipt m_ops;
    OpenReceiptCheck m_openCheck;
    OperationGuard m_guard;
    // The goods list of this screen's own, used when no goods-loading screen is present.
    QString m_ownGoodsFile;
    QStringList m_ownGoodsLines;

    QLineEdit *m_password = nullptr;
    QLineEdit *m_operator = nullptr;
    QCheckBox *m_return = nullptr;
    QCheckBox *m_display = nullptr;
    QLineEdit *m_comment = nullptr;
    QComboBox *m_displayFunction = nullptr;
    QListWidget *m_goods = nullptr;
    QLineEdit *m_goodsLine = nullptr;
    QLineEdit *m_quantity = nullptr;
    QLineEdit *m_price = nullptr;
    QLabel *m_vekrLabel = nullptr;
    QLineEdit *m_vekrRecipient = nullptr;
    QPushButton *m_vekrButton = nullptr;
    QLineEdit *m_percentValue = nullptr;
    QLineEdit *m_percentGroup = nullptr;
    QLineEdit *m_absoluteValue = nullptr;
    QLineEdit *m_absoluteGroup = nullptr;
    QLineEdit *m_errorWord = nullptr;
    QLabel *m_sum = nullptr;
    QComboBox *m_paymentType = nullptr;
    QLineEdit *m_amount = nullptr;
    QCheckBox *m_useTransaction = nullptr;
    QLineEdit *m_transaction = nullptr;
    QCheckBox *m_suppressCardLines = nullptr;
    QLineEdit *m_barcodeData = nullptr;
    QComboBox *m_barcodeType = nullptr;
    QComboBox *m_barcodeWidth = nullptr;
    QLineEdit *m_barcodeHeight = nullptr;
    QCheckBox *m_barcodeDigits = nullptr;
    QPushButton *m_barcodeButton = nullptr;
    QPushButton *m_statusButton = nullptr;
    ReceiptView *m_receiptView = nullptr;
};
