#pragma once

#include "sales/receipt_cancel.h"
#include "ui/screen_dialog.h"

class QLabel;
class QLineEdit;
class QPushButton;

// TForm35, "Аннулирование и закрытие чека": which receipt is open, and closing or voiding
// it.
class TForm35 : public Screen<TForm35> {
    Q_OBJECT
public:
    TForm35(Application &app, ScreenHost &host, QWidget *parent = nullptr);

protected:
    void opened() override;

private:
    void display(const Outcome<ReceiptCancel::View> &outcome);
    void registrarState();

    ReceiptCancel m_ops;
    QLineEdit *m_errorWord = nullptr;
    QLabel *m_statusLine = nullptr;
    QPushButton *m_closeButton = nullptr;
    QPushButton *m_voidButton = nullptr;
};
