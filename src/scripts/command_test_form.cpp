// TForm14, "Тест команд": one command by hand.
#include "scripts/command_test_form.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

TForm14::TForm14(Application &app, ScreenHost &host, QWidget *parent) : Screen(app, host, parent), m_ops(app)
{
    setWindowTitle(CommandTest::kCaption);
    m_code = kit::edit(u"codeEdit"_s, this, 3);
    m_password = kit::passwordEdit(this);
    m_commandLine = kit::edit(u"commandLineEdit"_s, this);
    m_commandLine->setMinimumWidth(kit::charsWidth(m_commandLine, 28));
    m_result = kit::display(u"resultEdit"_s, this);
    auto *executeButton = kit::button(u"Выполнить"_s, u"executeButton"_s, this);
    auto *exitButton = kit::button(u"Выход"_s, u"exitButton"_s, this);

    auto *codeRow = new QHBoxLayout;
    codeRow->addWidget(m_code);
    codeRow->addSpacing(16);
    auto *passwordLabel = new QLabel(u"Пароль: "_s, this);
    passwordLabel->setBuddy(m_password);
    codeRow->addWidget(passwordLabel);
    codeRow->addWidget(m_password);
    codeRow->addStretch();

    auto *form = kit::formRows({
        {u"Код команды:"_s, codeRow},
        {u"Командная строка:"_s, m_commandLine},
        {u"Результат выполнения команды:"_s, m_result},
    });
    m_errorWord = kit::addErrorWordRow(form, this);
    m_status = kit::addStatusRow(form, this);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addLayout(kit::buttonRow({executeButton, exitButton}));
    layout->addWidget(kit::statusBar(this, CommandTest::kStatusText));

    connect(executeButton, &QPushButton::clicked, this, &TForm14::execute);
    connect(m_commandLine, &QLineEdit::returnPressed, this, &TForm14::execute);
    connect(m_status.button, &QPushButton::clicked, this, &TForm14::openStatusScreen);
    connect(exitButton, &QPushButton::clicked, this, &QDialog::reject);
}

void TForm14::opened()
{
    // "?" waits for a command of this opening; the command line is ready for typing.
    m_status.button->setEnabled(false);
    m_errorWord->clear();
    m_status.edit->clear();
    m_commandLine->setFocus();
}

void TForm14::execute()
{
    m_result->clear();
    m_status.edit->clear();
    const Outcome<ReplyTexts> out = m_ops.execute(m_code->text(), m_password->text(), m_commandLine->text());
    kit::showErrorWord(m_errorWord, out);
    if (!out.sent())
        return;
    m_result->setText(out.shown.data);
    m_result->setCursorPosition(0);
    m_status.edit->setText(out.shown.statusText);
    m_status.button->setEnabled(true);
}
