// TForm41, "Копия чека", and TForm54, "Копия чека ("КСЕФ")".
#include "sales/receipt_copies_form.h"

#include "ui/form_kit.h"

#include <QCheckBox>
#include <QDate>
#include <QDateEdit>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

TForm41::TForm41(Application &app, ScreenHost &host, QWidget *parent) : Screen(app, host, parent), m_ops(app)
{
    setWindowTitle(ReceiptCopies::kCaption);
    m_password = kit::passwordEdit(this);
    m_first = kit::edit(u"firstNumberEdit"_s, this, 6);
    m_first->setText(u"1"_s);
    m_last = kit::edit(u"lastNumberEdit"_s, this, 6);
    m_last->setText(u"1"_s);
    auto *copyButton = kit::button(u"Копия чека"_s, u"copyButton"_s, this);
    auto *closeButton = kit::button(u"Закрыть"_s, u"closeButton"_s, this);

    auto *form = new QFormLayout;
    form->addRow(u"Пароль:"_s, m_password);
    form->addRow(u"Первый сквозной номер чека:"_s, m_first);
    form->addRow(u"Последний сквозной номер чека:"_s, m_last);
    m_errorWord = kit::addErrorWordRow(form, this);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addLayout(kit::buttonRow({copyButton, closeButton}));

    connect(copyButton, &QPushButton::clicked, this, &TForm41::copy);
    connect(closeButton, &QPushButton::clicked, this, &QDialog::reject);
}

void TForm41::opened()
{
    m_errorWord->clear();
}

void TForm41::copy()
{
    kit::showErrorWord(m_errorWord, m_ops.copyByRunningNumbers(m_password->text(), m_first->text(), m_last->text()));
}

void NumberLabel::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        emit clicked();
    QLabel::mouseReleaseEvent(event);
}

void NumberLabel::mouseDoubleClickEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton)
        emit doubleClicked();
    QLabel::mouseDoubleClickEvent(event);
}

namespace {

NumberLabel *numberLabel(const QString &name, QWidget *parent)
{
    auto *label = new NumberLabel(parent);
    label->setObjectName(name);
    label->setMinimumWidth(kit::charsWidth(label, 8));
    // A box even when blank, so the place to click is seen before the first search.
    label->setFrameShape(QFrame::StyledPanel);
    label->setFrameShadow(QFrame::Sunken);
    label->setCursor(Qt::PointingHandCursor);
    return label;
}

} // namespace

TForm54::TForm54(Application &app, ScreenHost &host, QWidget *parent) : Screen(app, host, parent), m_ops(app)
{
    setWindowTitle(ReceiptCopies::kJournalCaption);
    m_startDate = kit::dateEdit(u"startDateEdit"_s, this);
    m_endDate = kit::dateEdit(u"endDateEdit"_s, this);
    m_startTime = kit::edit(u"startTimeEdit"_s, this, 6, 4);
    m_startTime->setText(u"1200"_s);
    m_endTime = kit::edit(u"endTimeEdit"_s, this, 6, 4);
    m_endTime->setText(u"1200"_s);
    m_print = kit::checkBox(u"напечатать документы"_s, u"printDocumentsCheckBox"_s, this);
    m_firstFound = numberLabel(u"firstFoundLabel"_s, this);
    m_lastFound = numberLabel(u"lastFoundLabel"_s, this);
    m_startNumber = kit::edit(u"startNumberEdit"_s, this, 6);
    m_startNumber->setText(u"1"_s);
    m_endNumber = kit::edit(u"endNumberEdit"_s, this, 6);
    m_endNumber->setText(u"1"_s);
    auto *searchButton = kit::button(u"Выполнить"_s, u"searchButton"_s, this);
    auto *copyButton = kit::button(u"Выполнить"_s, u"copyByNumbersButton"_s, this);
    auto *closeButton = kit::button(u"Закрыть"_s, u"closeButton"_s, this);

    auto *dates = new QGroupBox(u"Поиск и печать документов  по датам"_s, this);
    auto *dateGrid = new QGridLayout(dates);
    dateGrid->addWidget(new QLabel(u"Начальная дата:"_s, dates), 0, 0);
    dateGrid->addWidget(m_startDate, 0, 1);
    dateGrid->addWidget(new QLabel(u"Время:"_s, dates), 0, 2);
    dateGrid->addWidget(m_startTime, 0, 3);
    dateGrid->addWidget(m_firstFound, 0, 4);
    dateGrid->addWidget(new QLabel(u"Конечная дата:"_s, dates), 1, 0);
    dateGrid->addWidget(m_endDate, 1, 1);
    dateGrid->addWidget(new QLabel(u"Время:"_s, dates), 1, 2);
    dateGrid->addWidget(m_endTime, 1, 3);
    dateGrid->addWidget(m_lastFound, 1, 4);
    dateGrid->addWidget(m_print, 2, 0, 1, 3);
    dateGrid->addWidget(searchButton, 2, 3, 1, 2, Qt::AlignRight);
    dateGrid->setColumnStretch(4, 1);

    auto *numbers = new QGroupBox(u"Печать документов по номерам"_s, this);
    auto *numberGrid = new QGridLayout(numbers);
    numberGrid->addWidget(new QLabel(u"Начальный номер:"_s, numbers), 0, 0);
    numberGrid->addWidget(m_startNumber, 0, 1);
    numberGrid->addWidget(new QLabel(u"Конечный номер:"_s, numbers), 1, 0);
    numberGrid->addWidget(m_endNumber, 1, 1);
    numberGrid->addWidget(copyButton, 1, 2, Qt::AlignRight);
    numberGrid->setColumnStretch(2, 1);

    auto *form = new QFormLayout;
    m_errorWord = kit::addErrorWordRow(form, this);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(dates);
    layout->addWidget(numbers);
    layout->addLayout(form);
    layout->addLayout(kit::buttonRow({closeButton}));

    connect(searchButton, &QPushButton::clicked, this, &TForm54::search);
    connect(copyButton, &QPushButton::clicked, this, &TForm54::copyByNumbers);
    connect(closeButton, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_firstFound, &NumberLabel::clicked, this, [this] { copyNumber(m_firstFound, m_startNumber); });
    connect(m_firstFound, &NumberLabel::doubleClicked, this, [this] { copyNumber(m_firstFound, m_endNumber); });
    connect(m_lastFound, &NumberLabel::clicked, this, [this] { copyNumber(m_lastFound, m_endNumber); });
    connect(m_lastFound, &NumberLabel::doubleClicked, this, [this] { copyNumber(m_lastFound, m_startNumber); });
}

void TForm54::opened()
{
    m_startDate->setDate(QDate::currentDate());
    m_endDate->setDate(QDate::currentDate());
    m_errorWord->clear();
}

void TForm54::copyNumber(const QLabel *from, QLineEdit *to)
{
    if (!from->text().trimmed().isEmpty())
        to->setText(from->text());
}

void TForm54::search()
{
    const Outcome<ReceiptCopies::Span> out = m_ops.search(m_startDate->date(), m_startTime->text(), m_endDate->date(),
                                                          m_endTime->text(), m_print->isChecked());
    kit::showErrorWord(m_errorWord, out);
    if (out.ok()) {
        m_firstFound->setText(out.shown.first);
        m_lastFound->setText(out.shown.last);
    }
}

void TForm54::copyByNumbers()
{
    kit::showErrorWord(m_errorWord, m_ops.copyByDocumentNumbers(m_startNumber->text(), m_endNumber->text()));
}
