// TForm35, "Аннулирование и закрытие чека".
#include "sales/receipt_cancel_form.h"

#include "ui/form_kit.h"

#include <QFormLayout>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

TForm35::TForm35(Application &app, ScreenHost &host, QWidget *parent) : Screen(app, host, parent), m_ops(app)
{
    setWindowTitle(ReceiptCancel::kCaption);
    // "Выход" is the way out.
    setWindowFlag(Qt::WindowCloseButtonHint, false);
    m_statusLine = new QLabel(this);
    m_statusLine->setObjectName(u"statusLineLabel"_s);
    m_statusLine->setFrameShape(QFrame::StyledPanel);
    m_statusLine->setMinimumWidth(kit::charsWidth(m_statusLine, 52));
    m_closeButton = kit::button(u"Закрыть чек"_s, u"closeReceiptButton"_s, this);
    m_voidButton = kit::button(u"Аннулировать чек"_s, u"voidReceiptButton"_s, this);
    auto *stateButton = kit::statusScreenButton(this);
    auto *exitButton = kit::button(u"Выход"_s, u"exitButton"_s, this);

    auto *form = new QFormLayout;
    m_errorWord = kit::addErrorWordRow(form, this);

    auto *actions = new QHBoxLayout;
    actions->addWidget(m_closeButton);
    actions->addWidget(m_voidButton);
    actions->addStretch();
    actions->addWidget(stateButton);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(actions);
    layout->addLayout(form);
    layout->addWidget(m_statusLine);
    layout->addLayout(kit::buttonRow({exitButton}));

    connect(m_closeButton, &QPushButton::clicked, this, [this] { display(m_ops.close()); });
    connect(m_voidButton, &QPushButton::clicked, this, [this] { display(m_ops.voidReceipt()); });
    connect(stateButton, &QPushButton::clicked, this, &TForm35::registrarState);
    connect(exitButton, &QPushButton::clicked, this, &QDialog::reject);
    // Closed only with "Выход": Esc would leave the receipt's state unseen.
    setClosedOnlyWithButtons(true);
}

void TForm35::opened()
{
    display(m_ops.readState());
}

void TForm35::display(const Outcome<ReceiptCancel::View> &outcome)
{
    kit::showErrorWord(m_errorWord, outcome);
    const ReceiptCancel::View &view = outcome.shown;
    if (!view.statusLine.isNull())
        m_statusLine->setText(view.statusLine);
    if (view.buttonsKnown) {
        m_closeButton->setEnabled(view.canClose);
        m_voidButton->setEnabled(view.canVoid);
    }
}

void TForm35::registrarState()
{
    const Outcome<ReceiptCancel::View> out = m_ops.readIdentity();
    display(out);
    if (out.ok())
        openStatusScreen();
}
