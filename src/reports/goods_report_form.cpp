// TForm24 and TForm25: the sold-goods report and the periodic report.
#include "reports/goods_report_form.h"

#include "app/application.h"
#include "app/screen_input.h"
#include "ui/form_kit.h"

#include <QDate>
#include <QDateEdit>
#include <QStackedWidget>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

TForm24::TForm24(Application &app, ScreenHost &host, QWidget *parent) : Screen(app, host, parent), m_ops(app)
{
    setWindowTitle(GoodsReport::kCaption);
    m_firstCode =
        kit::editWithText(GoodsReport::kFirstCodeDefault, u"firstCodeEdit"_s, this, 16, GoodsReport::kFirstCodeLength);
    m_lastCode = kit::edit(u"lastCodeEdit"_s, this, 16);
    m_password = kit::passwordEdit(this);
    auto *reportButton = kit::button(u"Сделать отчет"_s, u"makeReportButton"_s, this);
    m_state = kit::statusScreenButton(this);
    m_state->setEnabled(false);
    auto *closeButton = kit::button(u"Закрыть"_s, u"closeButton"_s, this);

    auto *form = kit::formRows({
        {u"Код первого товара:"_s, m_firstCode},
        {u"Код последнего товара:"_s, m_lastCode},
        {u"Пароль:"_s, m_password},
    });
    m_errorWord = kit::addErrorWordRow(form, this);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addLayout(kit::buttonRow({reportButton, m_state, closeButton}));

    connect(reportButton, &QPushButton::clicked, this, &TForm24::makeReport);
    connect(m_state, &QPushButton::clicked, this, &TForm24::showState);
    connect(closeButton, &QPushButton::clicked, this, [this] {
        m_state->setEnabled(false);
        accept();
    });
}

void TForm24::opened()
{
    m_lastCode->setText(GoodsReport::defaultLastCode(app().state()));
    m_errorWord->clear();
    m_state->setEnabled(false);
}

void TForm24::makeReport()
{
    m_state->setEnabled(true);
    kit::showErrorWord(m_errorWord, m_ops.print(m_password->text(), m_firstCode->text(), m_lastCode->text()));
}

void TForm24::showState()
{
    const Outcome<QString> out = m_ops.refreshStatus();
    if (!out.ok())
        return;
    host().setStatusText(out.shown);
    openStatusScreen();
}

TForm25::TForm25(Application &app, ScreenHost &host, QWidget *parent) : Screen(app, host, parent), m_ops(app)
{
    setWindowTitle(PeriodicReport::kCaption);

    auto *type = new QGroupBox(u"Тип отчета"_s, this);
    auto *selection = new QGroupBox(u"По дате/номеру"_s, type);
    m_byDate = kit::radio(u"По дате"_s, u"byDateRadio"_s, selection);
    auto *byNumber = kit::radio(u"По номеру"_s, u"byNumberRadio"_s, selection);
    m_byDate->setChecked(true);
    auto *selectionLayout = new QVBoxLayout(selection);
    selectionLayout->addWidget(m_byDate);
    selectionLayout->addWidget(byNumber);
    auto *detail = new QGroupBox(u"Полный/сокращенный"_s, type);
    auto *brief = kit::radio(u"Сокращенный"_s, u"shortRadio"_s, detail);
    m_full = kit::radio(u"Полный"_s, u"fullRadio"_s, detail);
    brief->setChecked(true);
    auto *detailLayout = new QVBoxLayout(detail);
    detailLayout->addWidget(brief);
    detailLayout->addWidget(m_full);
    auto *typeLayout = new QHBoxLayout(type);
    typeLayout->addWidget(selection);
    typeLayout->addWidget(detail);

    m_dates = new QGroupBox(u"Дата"_s, this);
    m_dates->setObjectName(u"dateGroup"_s);
    m_firstDate = kit::dateEdit(u"firstDateEdit"_s, m_dates, PeriodicReport::kShownDateFormat);
    m_lastDate = kit::dateEdit(u"lastDateEdit"_s, m_dates, PeriodicReport::kShownDateFormat);
    auto *datesForm = new QFormLayout(m_dates);
    datesForm->addRow(PeriodicReport::kFirstDateCaption + QLatin1Char(':'), m_firstDate);
    datesForm->addRow(PeriodicReport::kLastDateCaption + QLatin1Char(':'), m_lastDate);

    m_numbers = new QGroupBox(u"Номер"_s, this);
    m_numbers->setObjectName(u"numberGroup"_s);
    m_firstNumber = kit::edit(u"firstNumberEdit"_s, m_numbers, 11);
    m_lastNumber = kit::edit(u"lastNumberEdit"_s, m_numbers, 11);
    auto *numbersForm = new QFormLayout(m_numbers);
    numbersForm->addRow(PeriodicReport::kFirstNumberCaption + QLatin1Char(':'), m_firstNumber);
    numbersForm->addRow(PeriodicReport::kLastNumberCaption + QLatin1Char(':'), m_lastNumber);
    // The dates and the numbers take turns in one place of one size: switching between
    // them neither grows the window nor leaves a gap.
    auto *range = new QStackedWidget(this);
    range->setObjectName(u"rangeStack"_s);
    range->addWidget(m_dates);
    range->addWidget(m_numbers);
    m_range = range;

    m_password = kit::passwordEdit(this);
    auto *form = kit::formRows({{u"Пароль:"_s, m_password}});
    m_errorWord = kit::addErrorWordRow(form, this);

    auto *reportButton = kit::button(u"Сделать отчет"_s, u"makeReportButton"_s, this);
    m_state = kit::statusScreenButton(this);
    m_state->setEnabled(false);
    auto *exitButton = kit::button(u"Выход"_s, u"exitButton"_s, this);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(type);
    layout->addWidget(range);
    layout->addLayout(form);
    layout->addLayout(kit::buttonRow({reportButton, m_state, exitButton}));

    connect(m_byDate, &QRadioButton::toggled, this, &TForm25::showSelectedGroup);
    connect(reportButton, &QPushButton::clicked, this, &TForm25::makeReport);
    connect(m_state, &QPushButton::clicked, this, &TForm25::openStatusScreen);
    connect(exitButton, &QPushButton::clicked, this, &QDialog::reject);
}

void TForm25::opened()
{
    m_state->setEnabled(false);
    const QDate today = QDate::currentDate();
    m_firstDate->setDate(today);
    m_lastDate->setDate(today);
}

void TForm25::showSelectedGroup()
{
    m_range->setCurrentWidget(m_byDate->isChecked() ? m_dates : m_numbers);
}

void TForm25::makeReport()
{
    m_state->setEnabled(true);
    const bool full = m_full->isChecked();
    const Outcome<> out =
        m_byDate->isChecked()
            ? m_ops.byDates(m_password->text(), input::deviceDate(m_firstDate->date()),
                            input::deviceDate(m_lastDate->date()), full)
            : m_ops.byNumbers(m_password->text(), m_firstNumber->text(), m_lastNumber->text(), full);
    kit::showErrorWord(m_errorWord, out);
}
