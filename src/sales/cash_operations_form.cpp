// TForm9, "Служебное внесение и изъятие денег".
#include "sales/cash_operations_form.h"

#include "ui/form_kit.h"

#include <QFormLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

TForm9::TForm9(Application &app, ScreenHost &host, QWidget *parent) : Screen(app, host, parent), m_ops(app), m_guard(app)
{
    setWindowTitle(CashOperations::kCaption);
    m_password = kit::passwordEdit(this);
    m_amount = kit::editWithText(u"1.00"_s, u"amountEdit"_s, this, 10);
    m_operator = kit::editWithText(u"1"_s, u"operatorEdit"_s, this, 10);
    m_cash = kit::display(u"cashEdit"_s, this, 10);
    auto *depositButton = kit::button(u"Служебный внос"_s, u"depositButton"_s, this);
    auto *withdrawButton = kit::button(u"Служебное изъятие"_s, u"withdrawButton"_s, this);
    auto *closeButton = kit::button(u"Закрыть"_s, u"closeButton"_s, this);

    auto *form = kit::formRows({
        {u"Пароль:"_s, m_password},
        {u"Сумма:    "_s, m_amount},
        {u"Номер оператора:"_s, m_operator},
        {u"Денег в кассе:"_s, m_cash},
    });

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addStretch();
    layout->addLayout(kit::buttonRow({depositButton, withdrawButton, closeButton}));

    m_guard.connect(depositButton, [this] { move(CashOperations::Kind::Deposit); });
    m_guard.connect(withdrawButton, [this] { move(CashOperations::Kind::Withdrawal); });
    connect(closeButton, &QPushButton::clicked, this, &QDialog::reject);
}

void TForm9::reject()
{
    // Not under a running movement.
    if (!m_guard.busy())
        Screen::reject();
}

void TForm9::opened()
{
    // The drawer's content is shown only as the last reply of this opening told it.
    m_cash->clear();
}

void TForm9::move(CashOperations::Kind kind)
{
    const Outcome<CashOperations::Cash> out =
        m_ops.move(kind, m_password->text(), m_amount->text(), m_operator->text());
    if (out.shown.known)
        m_cash->setText(out.shown.inDrawer);
}
