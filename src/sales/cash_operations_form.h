#pragma once

#include "sales/cash_operations.h"
#include "ui/operation_guard.h"
#include "ui/screen_dialog.h"

class QLineEdit;

// TForm9, "Служебное внесение и изъятие денег": a service cash deposit or withdrawal and
// the cash in the drawer.
class TForm9 : public Screen<TForm9> {
    Q_OBJECT
public:
    TForm9(Application &app, ScreenHost &host, QWidget *parent = nullptr);

public slots:
    void reject() override;

protected:
    void opened() override;

private:
    void move(CashOperations::Kind kind);

    CashOperations m_ops;
    OperationGuard m_guard;
    QLineEdit *m_password = nullptr;
    QLineEdit *m_amount = nullptr;
    QLineEdit *m_operator = nullptr;
    QLineEdit *m_cash = nullptr;
};
