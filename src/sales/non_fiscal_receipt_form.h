#pragma once

#include "sales/non_fiscal_receipt.h"
#include "ui/screen_dialog.h"

class QLineEdit;
class QPlainTextEdit;

// TForm8, "Нефискальный чек": free text lines printed in a non-fiscal receipt.
class TForm8 : public Screen<TForm8> {
    Q_OBJECT
public:
    TForm8(Application &app, ScreenHost &host, QWidget *parent = nullptr);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void print();

    NonFiscalReceipt m_ops;
    QLineEdit *m_password = nullptr;
    QPlainTextEdit *m_lines = nullptr;
};
