// TForm8, "Нефискальный чек".
#include "sales/non_fiscal_receipt_form.h"

#include "app/application.h"
#include "ui/form_kit.h"

#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

TForm8::TForm8(Application &app, ScreenHost &host, QWidget *parent)
    : Screen(app, host, parent), m_ops(app), m_openCheck(app), m_guard(app)
{
    setWindowTitle(NonFiscalReceipt::kCaption);
    m_password = kit::passwordEdit(this);
    m_lines = new QPlainTextEdit(this);
    m_lines->setObjectName(u"linesEdit"_s);
    m_lines->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_lines->setMinimumWidth(kit::charsWidth(m_lines, 44));
    m_lines->setMinimumHeight(m_lines->fontMetrics().lineSpacing() * 12);
    auto *printButton = kit::button(u"Печать чека:"_s, u"printButton"_s, this);
    auto *closeButton = kit::button(u"Закрыть"_s, u"closeButton"_s, this);

    auto *form = kit::formRows({{u"Пароль:"_s, m_password}});
    auto *linesLabel = new QLabel(u"Строки для печати в нефискальном чеке:"_s, this);
    linesLabel->setBuddy(m_lines);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(linesLabel);
    layout->addWidget(m_lines, 1);
    layout->addLayout(kit::buttonRow({printButton, closeButton}));

    m_guard.connect(printButton, [this] { print(); });
    connect(closeButton, &QPushButton::clicked, this, &QDialog::reject);
}

void TForm8::reject()
{
    if (m_guard.busy() || !m_openCheck.mayLeave(m_password->text(), true))
        return;
    Screen::reject();
}

void TForm8::print()
{
    // One line a text line; a final line end does not add an empty line.
    QStringList lines;
    if (!m_lines->toPlainText().isEmpty())
        lines = m_lines->toPlainText().split(u'\n');
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    m_ops.print(m_password->text(), lines);
}
