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
    m_first = kit::editWithText(u"1"_s, u"firstNumberEdit"_s, this, 6);
    m_last = kit::editWithText(u"1"_s, u"lastNumberEdit"_s, this, 6);
    auto *copyButton = kit::button(u"Копия чека"_s, u"copyButton"_s, this);
    auto *closeButton = kit::button(u"Закрыть"_s, u"closeButton"_s, this);

    auto *form = kit::formRows({
        {u"Пароль:"_s, m_password},
        {u"Первый сквозной номер чека:"_s, m_first},
        {u"Последний сквозной номер чека:"_s, m_last},
    });
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
    m_startTime = kit::editWithText(u"1200"_s, u"startTimeEdit"_s, this, 6, 4);
    m_endTime = kit::editWithText(u"1200"_s, u"endTimeEdit"_s, this, 6, 4);
    m_print = kit::checkBox(u"напечатать документы"_s, u"printDocumentsCheckBox"_s, this);
    m_firstFound = numberLabel(u"firstFoundLabel"_s, this);
    m_lastFound = numberLabel(u"lastFoundLabel"_s, this);
    m_startNumber = kit::editWithText(u"1"_s, u"startNumberEdit"_s, this, 6);
    m_endNumber = kit::editWithText(u"1"_s, u"endNumberEdit"_s, this, 6);
    auto *searchButton = kit::button(u"Выполнить"_s, u"searchButton"_s, this);
    auto *copyButton = kit::button(u"Выполнить"_s, u"copyByNumbersButton"_s, this);
    auto *closeButton = kit::button(u"Закрыть"_s, u"closeButton"_s, this);

    auto *dates = new QGroupBox(u"Поиск и печать документов  по датам"_s, this);
    auto *dateGrid = new QGridLayout(dates);
    kit::gridRow(dateGrid, 0, dates, {{u"Начальная дата:"_s, m_startDate}, {u"Время:"_s, m_startTime}, {{}, m_firstFound}});
    kit::gridRow(dateGrid, 1, dates, {{u"Конечная дата:"_s, m_endDate}, {u"Время:"_s, m_endTime}, {{}, m_lastFound}});
    dateGrid->addWidget(m_print, 2, 0, 1, 3);
    dateGrid->addWidget(searchButton, 2, 3, 1, 2, Qt::AlignRight);
    dateGrid->setColumnStretch(4, 1);

    auto *numbers = new QGroupBox(u"Печать документов по номерам"_s, this);
    auto *numberGrid = new QGridLayout(numbers);
    kit::gridRow(numberGrid, 0, numbers, {{u"Начальный номер:"_s, m_startNumber}});
    kit::gridRow(numberGrid, 1, numbers, {{u"Конечный номер:"_s, m_endNumber}});
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
