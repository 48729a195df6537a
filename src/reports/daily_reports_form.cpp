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

void DailyScreenParts::starting() const
{
    state->setEnabled(true);
}

DailyScreenParts DailyScreenParts::build(ScreenDialog &screen, DailyReports &ops)
{
    DailyScreenParts p;
    auto *form = new QFormLayout;
    p.password = kit::passwordEdit(&screen);
    form->addRow(u"Пароль:"_s, p.password);
    p.errorWord = kit::addErrorWordRow(form, &screen);

    auto *xButton = kit::button(u"X-отчет"_s, u"xReportButton"_s, &screen);
    auto *zButton = kit::button(u"Z-отчет"_s, u"zReportButton"_s, &screen);
    p.state = kit::statusScreenButton(&screen);
    p.state->setEnabled(false);
    auto *closeButton = kit::button(u"Закрыть"_s, u"closeButton"_s, &screen);

    auto *group = new QGroupBox(u"Отчеты"_s, &screen);
    p.reports = new QGridLayout(group);
    p.reports->addWidget(xButton, 0, 0);
    p.reports->addWidget(zButton, 0, 1);

    auto *layout = new QVBoxLayout(&screen);
    layout->addLayout(form);
    layout->addWidget(group);
    layout->addLayout(kit::buttonRow({p.state, closeButton}));

    for (const auto &report : {std::pair{xButton, DailyReports::XReport}, std::pair{zButton, DailyReports::ZReport}})
        QObject::connect(report.first, &QPushButton::clicked, &screen, [p, &ops, type = report.second] {
            p.starting();
            kit::showErrorWord(p.errorWord, ops.printReport(p.password->text(), type));
        });
    QObject::connect(closeButton, &QPushButton::clicked, &screen, [p, &screen] {
        p.errorWord->clear();
        p.state->setEnabled(false);
        screen.app().state().sharedMark = true;
        screen.accept();
    });
    return p;
}

TForm23::TForm23(Application &app, ScreenHost &host, QWidget *parent)
    : Screen(app, host, parent), m_ops(app), m_parts(DailyScreenParts::build(*this, m_ops))
{
    setWindowTitle(DailyReports::kCaption);
    auto *tapeButton = kit::button(u"Печать контрольной ленты"_s, u"controlTapeButton"_s, this);
    auto *clearButton = kit::button(u"Обнуления контрольной ленты"_s, u"clearControlTapeButton"_s, this);
    m_parts.reports->addWidget(tapeButton, 1, 0);
    m_parts.reports->addWidget(clearButton, 1, 1);

    connect(clearButton, &QPushButton::clicked, this, [this] {
        m_parts.starting();
        kit::showErrorWord(m_parts.errorWord,
                           m_ops.printReport(m_parts.password->text(), DailyReports::ClearControlTape));
    });
    connect(tapeButton, &QPushButton::clicked, this, [this] {
        m_parts.starting();
        kit::showErrorWord(m_parts.errorWord, m_ops.printControlTape(m_parts.password->text()));
    });
    connect(m_parts.state, &QPushButton::clicked, this, &TForm23::openStatusScreen);
}

TForm48::TForm48(Application &app, ScreenHost &host, QWidget *parent)
    : Screen(app, host, parent), m_ops(app), m_parts(DailyScreenParts::build(*this, m_ops))
{
    setWindowTitle(DailyReports::kRgt9Caption);
    m_unload = kit::button(u"Выгрузка и обнуления контрольной ленты"_s, u"unloadButton"_s, this);
    m_clearGoods = kit::checkBox(u"Обнулить базу товаров"_s, u"clearGoodsCheck"_s, this);
    m_parts.reports->addWidget(m_unload, 1, 0, 1, 2);
    m_parts.reports->addWidget(m_clearGoods, 2, 0, 1, 2);

    connect(m_unload, &QPushButton::clicked, this, [this] {
        m_parts.starting();
        kit::showErrorWord(m_parts.errorWord,
                           m_ops.unloadControlTape(m_parts.password->text(), m_clearGoods->isChecked()));
    });
    connect(m_parts.state, &QPushButton::clicked, this, &TForm48::refresh);
}

// This screen's "Состояние регистратора" opens nothing: it brings its own controls up to
// date with the shared mark and with what the registrar offers.
void TForm48::refresh()
{
    m_parts.state->setEnabled(app().state().sharedMark);
    m_parts.errorWord->clear();
    const bool offered = DailyReports::unloadOffered(app().state());
    m_unload->setVisible(offered);
    m_clearGoods->setVisible(offered);
}
