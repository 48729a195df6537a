#include "ui/form_kit.h"

#include "commands/command_codes.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QFormLayout>
#include <QGridLayout>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStatusBar>
#include <QStyle>

namespace kit {

int charsWidth(const QWidget *widget, int chars)
{
    return widget->fontMetrics().horizontalAdvance(QLatin1Char('W')) * chars + 16;
}

QPushButton *button(const QString &caption, const QString &name, QWidget *parent)
{
    auto *b = new QPushButton(caption, parent);
    b->setObjectName(name);
    b->setAutoDefault(false);
    b->setDefault(false);
    return b;
}

QLineEdit *edit(const QString &name, QWidget *parent, int chars, int maxLength)
{
    auto *e = new QLineEdit(parent);
    e->setObjectName(name);
    if (maxLength > 0)
        e->setMaxLength(maxLength);
    if (chars > 0)
        e->setFixedWidth(charsWidth(e, chars));
    return e;
}

QLineEdit *editWithText(const QString &text, const QString &name, QWidget *parent, int chars, int maxLength)
{
    QLineEdit *e = edit(name, parent, chars, maxLength);
    e->setText(text);
    return e;
}

QLineEdit *display(const QString &name, QWidget *parent, int chars)
{
    QLineEdit *e = edit(name, parent, chars);
    e->setReadOnly(true);
    e->setFocusPolicy(Qt::ClickFocus);
    return e;
}

QCheckBox *checkBox(const QString &caption, const QString &name, QWidget *parent)
{
    auto *c = new QCheckBox(caption, parent);
    c->setObjectName(name);
    return c;
}

QComboBox *comboBox(const QString &name, QWidget *parent, const QStringList &items, int chars)
{
    auto *c = new QComboBox(parent);
    c->setObjectName(name);
    c->addItems(items);
    if (chars > 0)
        c->setFixedWidth(charsWidth(c, chars) + c->style()->pixelMetric(QStyle::PM_ScrollBarExtent));
    return c;
}

QDateEdit *dateEdit(const QString &name, QWidget *parent, const QString &displayFormat)
{
    auto *e = new QDateEdit(parent);
    e->setObjectName(name);
    e->setDisplayFormat(displayFormat);
    e->setCalendarPopup(true);
    // Room for the date and the calendar's arrow.
    e->setMinimumWidth(charsWidth(e, int(displayFormat.size()) + 3));
    return e;
}

QRadioButton *radio(const QString &caption, const QString &name, QWidget *parent)
{
    auto *r = new QRadioButton(caption, parent);
    r->setObjectName(name);
    return r;
}

QPushButton *statusScreenButton(QWidget *parent, const QString &name)
{
    return button(QStringLiteral("Состояние регистратора"), name, parent);
}

QLineEdit *passwordEdit(QWidget *parent, const QString &name)
{
    QLineEdit *e = edit(name, parent, 6);
    e->setText(QString::fromLatin1(cmd::kDefaultPassword));
    return e;
}

QLineEdit *addErrorWordRow(QFormLayout *form, QWidget *parent)
{
    QLineEdit *e = display(QStringLiteral("errorWordEdit"), parent, 4);
    auto *row = new QHBoxLayout;
    row->addWidget(e);
    row->addStretch();
    form->addRow(QStringLiteral("Код ошибки:"), row);
    return e;
}

void showErrorWord(QLineEdit *errorWordEdit, bool sent, const QString &word)
{
    if (sent)
        errorWordEdit->setText(word);
}

StatusRow addStatusRow(QFormLayout *form, QWidget *parent, const QString &label, const QString &buttonCaption)
{
    StatusRow r;
    r.edit = display(QStringLiteral("statusEdit"), parent, 13);
    r.button = button(buttonCaption, QStringLiteral("statusButton"), parent);
    r.button->setFixedWidth(charsWidth(r.button, buttonCaption.size() + 1));
    auto *row = new QHBoxLayout;
    row->addWidget(r.edit);
    row->addWidget(r.button);
    row->addStretch();
    form->addRow(label, row);
    return r;
}

QStatusBar *statusBar(QWidget *parent, const QString &text, QLabel **panel)
{
    auto *bar = new QStatusBar(parent);
    bar->setObjectName(QStringLiteral("statusBar"));
    bar->setSizeGripEnabled(false);
    auto *label = new QLabel(text, bar);
    label->setObjectName(QStringLiteral("statusPanel"));
    label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    label->setMinimumWidth(label->sizeHint().width() + 40);
    bar->addWidget(label);
    if (panel)
        *panel = label;
    return bar;
}

QHBoxLayout *buttonRow(std::initializer_list<QPushButton *> buttons)
{
    auto *row = new QHBoxLayout;
    row->addStretch();
    for (QPushButton *b : buttons)
        row->addWidget(b);
    return row;
}

QFormLayout *formRows(std::initializer_list<FormRow> rows)
{
    auto *form = new QFormLayout;
    for (const FormRow &r : rows) {
        if (r.fields)
            form->addRow(r.caption, r.fields);
        else
            form->addRow(r.caption, r.field);
    }
    return form;
}

void gridRow(QGridLayout *grid, int row, QWidget *parent, std::initializer_list<FormRow> cells)
{
    int column = 0;
    for (const FormRow &c : cells) {
        if (!c.caption.isEmpty())
            grid->addWidget(new QLabel(c.caption, parent), row, column++);
        if (c.fields)
            grid->addLayout(c.fields, row, column++);
        else
            grid->addWidget(c.field, row, column++);
    }
}

} // namespace kit
