// TForm31 and TForm10: the additional daily reports and the registrar's free resources.
#include "reports/additional_reports_form.h"

#include "ui/form_kit.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

TForm31::TForm31(Application &app, ScreenHost &host, QWidget *parent) : Screen(app, host, parent), m_ops(app)
{
    setWindowTitle(AdditionalReports::kCaption);
    m_type = kit::comboBox(u"reportTypeCombo"_s, this, AdditionalReports::typeNames());
    m_password = kit::passwordEdit(this);
    auto *reportButton = kit::button(u"Отчет"_s, u"reportButton"_s, this);
    auto *stateButton = kit::statusScreenButton(this);
    auto *closeButton = kit::button(u"Закрыть"_s, u"closeButton"_s, this);

    auto *form = kit::formRows({
        {u"Тип отчета:"_s, m_type},
        {u"Пароль:"_s, m_password},
    });
    m_errorWord = kit::addErrorWordRow(form, this);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addLayout(kit::buttonRow({reportButton, stateButton, closeButton}));

    connect(reportButton, &QPushButton::clicked, this, &TForm31::makeReport);
    connect(stateButton, &QPushButton::clicked, this, &TForm31::openStatusScreen);
    connect(closeButton, &QPushButton::clicked, this, &QDialog::accept);
    // Closed only with its button: Esc would leave the report's outcome unseen.
    setClosedOnlyWithButtons(true);
}

void TForm31::opened()
{
    m_type->setCurrentIndex(AdditionalReports::Departments);
}

void TForm31::makeReport()
{
    const auto type = AdditionalReports::ReportType(m_type->currentIndex());
    kit::showErrorWord(m_errorWord, m_ops.print(m_password->text(), type));
}

TForm10::TForm10(Application &app, ScreenHost &host, QWidget *parent) : Screen(app, host, parent), m_ops(app)
{
    setWindowTitle(ResourceInfo::kCaption);
    static const char *const permissionNames[] = {"fiscalizationCheck", "serialNumberCheck", "fiscalNumberCheck",
                                                  "taxNumberCheck",     "taxRatesCheck",     "memoryPasswordCheck"};
    static const char *const valueNames[] = {"emergencyResetsEdit", "freeReportsEdit", "shiftDateEdit",
                                             "shiftTimeEdit",       "freeGoodsEdit",   "freeReceiptsEdit"};
    const auto &captions = ResourceInfo::captions();

    auto *permissions = new QGroupBox(this);
    auto *permissionsLayout = new QVBoxLayout(permissions);
    for (int i = 0; i < ResourceInfo::kPermissionCount; ++i) {
        QCheckBox *box = kit::checkBox(captions[size_t(i)], QLatin1String(permissionNames[i]), permissions);
        // Shown, not edited: the registrar's fiscal memory decides them.
        box->setAttribute(Qt::WA_TransparentForMouseEvents);
        box->setFocusPolicy(Qt::NoFocus);
        permissionsLayout->addWidget(box);
        m_permissions[size_t(i)] = box;
    }

    auto *values = new QFormLayout;
    for (int i = 0; i < ResourceInfo::kValueCount; ++i) {
        m_values[size_t(i)] = kit::display(QLatin1String(valueNames[i]), this, 12);
        values->addRow(captions[size_t(ResourceInfo::kPermissionCount + i)], m_values[size_t(i)]);
    }
    // The inputs apart from what the registrar reported.
    auto *inputs = new QFormLayout;
    m_password = kit::passwordEdit(this);
    inputs->addRow(u"Пароль:"_s, m_password);
    m_errorWord = kit::addErrorWordRow(inputs, this);

    auto *reportButton = kit::button(u"Сделать отчет"_s, u"makeReportButton"_s, this);
    m_state = kit::statusScreenButton(this);
    m_state->setEnabled(false);
    auto *closeButton = kit::button(u"Закрыть"_s, u"closeButton"_s, this);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(permissions);
    layout->addLayout(values);
    layout->addSpacing(8);
    layout->addLayout(inputs);
    layout->addLayout(kit::buttonRow({reportButton, m_state, closeButton}));

    connect(reportButton, &QPushButton::clicked, this, &TForm10::makeReport);
    connect(m_state, &QPushButton::clicked, this, &TForm10::openStatusScreen);
    connect(closeButton, &QPushButton::clicked, this, [this] {
        m_state->setEnabled(false);
        accept();
    });
}

void TForm10::opened()
{
    // The last reading stays shown from one opening to the next.
    m_errorWord->clear();
    m_state->setEnabled(false);
}

void TForm10::makeReport()
{
    m_state->setEnabled(true);
    // The fields and the word are filled before the message about them is shown.
    m_ops.read(m_password->text(), [this](const Outcome<ResourceInfo::Resources> &out) {
        kit::showErrorWord(m_errorWord, out);
        if (!out.shown.read)
            return;
        for (int i = 0; i < ResourceInfo::kPermissionCount; ++i)
            m_permissions[size_t(i)]->setChecked(out.shown.permissions[size_t(i)]);
        for (int i = 0; i < ResourceInfo::kValueCount; ++i)
            m_values[size_t(i)]->setText(out.shown.values[size_t(i)]);
    });
}
