// TForm23 and TForm48: the daily reports, of every model and of the RGT9 model.
#include "reports/daily_reports_form.h"

#include "app/application.h"
#include "ui/form_kit.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace {

// "Пароль:" and "Код ошибки:", the rows both screens start with.
QFormLayout *inputRows(QWidget *parent, QLineEdit *&password, QLineEdit *&errorWord)
{
    auto *form = new QFormLayout;
    password = kit::passwordEdit(parent);
    form->addRow(u"Пароль:"_s, password);
    errorWord = kit::addErrorWordRow(form, parent);
    return form;
}

QPushButton *stateButton(QWidget *parent)
{
    QPushButton *b = kit::button(u"Состояние регистратора"_s, u"registrarStateButton"_s, parent);
    b->setEnabled(false);
    return b;
}

} // namespace

TForm23::TForm23(Application &app, ScreenHost &host, QWidget *parent) : Screen(app, host, parent), m_ops(app)
{
    setWindowTitle(DailyReports::kCaption);
    auto *xButton = kit::button(u"X-отчет"_s, u"xReportButton"_s, this);
    auto *zButton = kit::button(u"Z-отчет"_s, u"zReportButton"_s, this);
    auto *tapeButton = kit::button(u"Печать контрольной ленты"_s, u"controlTapeButton"_s, this);
    auto *clearButton = kit::button(u"Обнуления контрольной ленты"_s, u"clearControlTapeButton"_s, this);
    m_state = stateButton(this);
    auto *closeButton = kit::button(u"Закрыть"_s, u"closeButton"_s, this);

    auto *reports = new QGroupBox(u"Отчеты"_s, this);
    auto *grid = new QGridLayout(reports);
    grid->addWidget(xButton, 0, 0);
    grid->addWidget(zButton, 0, 1);
    grid->addWidget(tapeButton, 1, 0);
    grid->addWidget(clearButton, 1, 1);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(inputRows(this, m_password, m_errorWord));
    layout->addWidget(reports);
    layout->addLayout(kit::buttonRow({m_state, closeButton}));

    connect(xButton, &QPushButton::clicked, this, [this] { report(DailyReports::XReport); });
    connect(zButton, &QPushButton::clicked, this, [this] { report(DailyReports::ZReport); });
    connect(clearButton, &QPushButton::clicked, this, [this] { report(DailyReports::ClearControlTape); });
    connect(tapeButton, &QPushButton::clicked, this, &TForm23::controlTape);
    connect(m_state, &QPushButton::clicked, this, &TForm23::openStatusScreen);
    connect(closeButton, &QPushButton::clicked, this, &TForm23::closeScreen);
}

void TForm23::report(DailyReports::ReportType type)
{
    m_state->setEnabled(true);
    m_errorWord->clear();
    m_errorWord->setText(m_ops.printReport(m_password->text(), type).shown);
}

void TForm23::controlTape()
{
    // This sequence leaves "Код ошибки:" as it was.
    m_state->setEnabled(true);
    m_ops.printControlTape(m_password->text());
}

void TForm23::closeScreen()
{
    m_errorWord->clear();
    m_state->setEnabled(false);
    app().state().sharedMark = true;
    accept();
}

TForm48::TForm48(Application &app, ScreenHost &host, QWidget *parent) : Screen(app, host, parent), m_ops(app)
{
    setWindowTitle(DailyReports::kRgt9Caption);
    auto *xButton = kit::button(u"X-отчет"_s, u"xReportButton"_s, this);
    auto *zButton = kit::button(u"Z-отчет"_s, u"zReportButton"_s, this);
    m_unload = kit::button(u"Выгрузка и обнуления контрольной ленты"_s, u"unloadButton"_s, this);
    m_clearGoods = new QCheckBox(u"Обнулить базу товаров"_s, this);
    m_clearGoods->setObjectName(u"clearGoodsCheck"_s);
    m_state = stateButton(this);
    auto *closeButton = kit::button(u"Закрыть"_s, u"closeButton"_s, this);

    auto *reports = new QGroupBox(u"Отчеты"_s, this);
    auto *grid = new QGridLayout(reports);
    grid->addWidget(xButton, 0, 0);
    grid->addWidget(zButton, 0, 1);
    grid->addWidget(m_unload, 1, 0, 1, 2);
    grid->addWidget(m_clearGoods, 2, 0, 1, 2);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(inputRows(this, m_password, m_errorWord));
    layout->addWidget(reports);
    layout->addLayout(kit::buttonRow({m_state, closeButton}));

    connect(xButton, &QPushButton::clicked, this, [this] { report(DailyReports::XReport); });
    connect(zButton, &QPushButton::clicked, this, [this] { report(DailyReports::ZReport); });
    connect(m_unload, &QPushButton::clicked, this, &TForm48::unload);
    connect(m_state, &QPushButton::clicked, this, &TForm48::refresh);
    connect(closeButton, &QPushButton::clicked, this, &TForm48::closeScreen);
}

void TForm48::report(DailyReports::ReportType type)
{
    m_state->setEnabled(true);
    m_errorWord->clear();
    m_errorWord->setText(m_ops.printReport(m_password->text(), type).shown);
}

void TForm48::unload()
{
    m_state->setEnabled(true);
    m_errorWord->clear();
    m_errorWord->setText(m_ops.unloadControlTape(m_password->text(), m_clearGoods->isChecked()).shown);
}

// This screen's "Состояние регистратора" opens nothing: it brings its own controls up to
// date with the shared mark and with what the registrar offers.
void TForm48::refresh()
{
    m_state->setEnabled(app().state().sharedMark);
    m_errorWord->clear();
    const bool offered = DailyReports::unloadOffered(app().state());
    m_unload->setVisible(offered);
    m_clearGoods->setVisible(offered);
}

void TForm48::closeScreen()
{
    m_errorWord->clear();
    m_state->setEnabled(false);
    app().state().sharedMark = true;
    accept();
}
