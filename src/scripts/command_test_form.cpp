// TForm14, "Тест команд": one command by hand.
#include "scripts/command_test_form.h"

#include "app/application.h"
#include "scripts/monitor.h"
#include "ui/status_screen_form.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShowEvent>
#include <QStatusBar>
#include <QVBoxLayout>

namespace {

QPushButton *makeButton(const QString &caption, const QString &name, QWidget *parent)
{
    auto *b = new QPushButton(caption, parent);
    b->setObjectName(name);
    // Enter in the command line runs the command; no button takes it as default.
    b->setAutoDefault(false);
    b->setDefault(false);
    return b;
}

QLineEdit *makeEdit(const QString &name, QWidget *parent, bool readOnly = false)
{
    auto *e = new QLineEdit(parent);
    e->setObjectName(name);
    e->setReadOnly(readOnly);
    if (readOnly)
        e->setFocusPolicy(Qt::ClickFocus);
    return e;
}

int charsWidth(const QWidget *w, int chars)
{
    return w->fontMetrics().horizontalAdvance(QLatin1Char('W')) * chars + 16;
}

} // namespace

TForm14::TForm14(Application &app, QWidget *parent) : QDialog(parent), m_app(app), m_ops(app)
{
    setObjectName(QStringLiteral("TForm14"));
    setWindowTitle(CommandTest::kCaption);

    m_codeEdit = makeEdit(QStringLiteral("codeEdit"), this);
    m_codeEdit->setFixedWidth(charsWidth(m_codeEdit, 3));
    m_passwordEdit = makeEdit(QStringLiteral("passwordEdit"), this);
    m_passwordEdit->setText(console::kDefaultPassword);
    m_passwordEdit->setFixedWidth(charsWidth(m_passwordEdit, 6));
    m_commandLineEdit = makeEdit(QStringLiteral("commandLineEdit"), this);
    m_commandLineEdit->setMinimumWidth(charsWidth(m_commandLineEdit, 28));
    m_resultEdit = makeEdit(QStringLiteral("resultEdit"), this, true);
    m_errorWordEdit = makeEdit(QStringLiteral("errorWordEdit"), this, true);
    m_errorWordEdit->setFixedWidth(charsWidth(m_errorWordEdit, 4));
    m_statusEdit = makeEdit(QStringLiteral("statusEdit"), this, true);
    m_statusEdit->setFixedWidth(charsWidth(m_statusEdit, 13));
    m_statusButton = makeButton(QStringLiteral("?"), QStringLiteral("statusButton"), this);
    m_statusButton->setFixedWidth(charsWidth(m_statusButton, 2));
    m_executeButton = makeButton(QStringLiteral("Выполнить"), QStringLiteral("executeButton"), this);
    m_exitButton = makeButton(QStringLiteral("Выход"), QStringLiteral("exitButton"), this);

    auto *form = new QFormLayout;
    auto *codeRow = new QHBoxLayout;
    codeRow->addWidget(m_codeEdit);
    codeRow->addSpacing(16);
    auto *passwordLabel = new QLabel(QStringLiteral("Пароль: "), this);
    passwordLabel->setBuddy(m_passwordEdit);
    codeRow->addWidget(passwordLabel);
    codeRow->addWidget(m_passwordEdit);
    codeRow->addStretch();
    form->addRow(QStringLiteral("Код команды:"), codeRow);
    form->addRow(QStringLiteral("Командная строка:"), m_commandLineEdit);
    form->addRow(QStringLiteral("Результат выполнения команды:"), m_resultEdit);
    auto *errorRow = new QHBoxLayout;
    errorRow->addWidget(m_errorWordEdit);
    errorRow->addStretch();
    form->addRow(QStringLiteral("Код ошибки:"), errorRow);
    auto *statusRow = new QHBoxLayout;
    statusRow->addWidget(m_statusEdit);
    statusRow->addWidget(m_statusButton);
    statusRow->addStretch();
    form->addRow(QStringLiteral("Статус регистратора:"), statusRow);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_executeButton);
    buttons->addWidget(m_exitButton);

    m_statusBar = new QStatusBar(this);
    m_statusBar->setObjectName(QStringLiteral("statusBar"));
    m_statusBar->setSizeGripEnabled(false);
    m_statusPanel = new QLabel(CommandTest::kStatusText, m_statusBar);
    m_statusPanel->setObjectName(QStringLiteral("statusPanel"));
    m_statusPanel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    m_statusPanel->setMinimumWidth(m_statusPanel->sizeHint().width() + 40);
    m_statusBar->addWidget(m_statusPanel);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addLayout(buttons);
    layout->addWidget(m_statusBar);

    connect(m_executeButton, &QPushButton::clicked, this, &TForm14::execute);
    connect(m_commandLineEdit, &QLineEdit::returnPressed, this, &TForm14::execute);
    connect(m_statusButton, &QPushButton::clicked, this, &TForm14::openStatusScreen);
    connect(m_exitButton, &QPushButton::clicked, this, &QDialog::reject);
}

void TForm14::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (!event->spontaneous())
        activate();
}

void TForm14::activate()
{
    m_statusButton->setEnabled(false);
    m_errorWordEdit->clear();
    m_statusEdit->clear();
    m_commandLineEdit->setFocus();
}

void TForm14::execute()
{
    m_resultEdit->clear();
    m_errorWordEdit->clear();
    m_statusEdit->clear();
    const CommandTest::Outcome out =
        m_ops.execute(m_codeEdit->text(), m_passwordEdit->text(), m_commandLineEdit->text());
    if (!out.sent)
        return;
    m_resultEdit->setText(out.data);
    m_errorWordEdit->setText(out.errorWord);
    m_statusEdit->setText(out.statusText);
    m_resultEdit->setCursorPosition(0);
    m_statusButton->setEnabled(true);
}

void TForm14::openStatusScreen()
{
    if (!m_statusScreen)
        m_statusScreen = new TForm5(m_app, this);
    m_statusScreen->exec();
}
