#pragma once

#include "sales/non_fiscal_receipt.h"
#include "sales/open_receipt_check.h"
#include "ui/operation_guard.h"
#include "ui/screen_dialog.h"

class QLineEdit;
class QPlainTextEdit;

// TForm8, "Нефискальный чек": free text lines printed in a non-fiscal receipt.
class TForm8 : public Screen<TForm8> {
    Q_OBJECT
public:
    TForm8(Application &app, ScreenHost &host, QWidget *parent = nullptr);

public slots:
    // With a receipt left open on the registrar, closing asks whether to close it first.
    void reject() override;

private:
    void print();

    NonFiscalReceipt m_ops;
    OpenReceiptCheck m_openCheck;
    OperationGuard m_guard;
    QLineEdit *m_password = nullptr;
    QPlainTextEdit *m_lines = nullptr;
};
