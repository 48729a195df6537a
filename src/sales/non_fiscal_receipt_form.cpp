// TForm8, "Нефискальный чек".
#include "sales/non_fiscal_receipt_form.h"

#include "app/application.h"
#include "ui/form_kit.h"

#include <QFormLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

TForm8::TForm8(Application &app, ScreenHost &host, QWidget *parent) : Screen(app, host, parent), m_ops(app)
{
    setWindowTitle(NonFiscalReceipt::kCaption);
    m_password = kit::passwordEdit(this);
    m_lines = new QPlainTextEdit(this);
    m_lines->setObjectName(u"linesEdit"_s);
    m_lines->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_lines->setMinimumWidth(kit::charsWidth(m_lines, 44));
    m_lines->setMinimumHeight(m_lines->fontMetrics().lineSpacing() * 12);
    m_lines->installEventFilter(this);
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

    connect(printButton, &QPushButton::clicked, this, &TForm8::print);
    connect(closeButton, &QPushButton::clicked, this, &QDialog::reject);
}

bool TForm8::eventFilter(QObject *watched, QEvent *event)
{
    // The character stays; it is removed when the receipt is printed.
    if (watched == m_lines && event->type() == QEvent::KeyPress)
        m_ops.warnOfSeparator(static_cast<QKeyEvent *>(event)->text());
    return Screen::eventFilter(watched, event);
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
