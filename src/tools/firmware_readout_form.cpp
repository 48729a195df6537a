// TForm45, "Чтение ПО": the firmware read-out.
#include "tools/firmware_readout_form.h"

#include "app/application.h"
#include "ui/form_kit.h"

#include <QCoreApplication>
#include <QFormLayout>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

class TForm45::View final : public transfer::View {
public:
    explicit View(TForm45 &form) : m_form(form) {}
    void processEvents() override { QCoreApplication::processEvents(); }
    bool stopRequested() const override { return m_form.m_controls->stopRequested(); }
    void reply(const ReplyTexts &texts) override { m_form.m_errorWord->setText(texts.errorWord); }
    void progress(qint64 value, qint64 maximum) override
    {
        // The bar counts in kibibytes when the image is larger than it can count.
        const int shift = maximum > INT_MAX ? 10 : 0;
        m_form.m_progress->setMaximum(int(qMax<qint64>(maximum >> shift, 1)));
        m_form.m_progress->setValue(int(value >> shift));
    }

private:
    TForm45 &m_form;
};

TForm45::TForm45(Application &app, ScreenHost &host, QWidget *parent) : Screen(app, host, parent), m_ops(app)
{
    setWindowTitle(FirmwareReadout::kCaption);
    m_password = kit::passwordEdit(this);
    m_progress = new QProgressBar(this);
    m_progress->setObjectName(u"readProgress"_s);
    m_progress->setRange(0, 1);
    m_progress->setValue(0);
    m_progress->setMinimumWidth(kit::charsWidth(m_progress, 28));
    m_read = kit::button(u"Чтение внутреннего ПО"_s, u"readButton"_s, this);
    m_read->setToolTip(u"Сохранить открытый ключ регистратора в файле."_s);
    m_stop = kit::button(u"Стоп"_s, u"stopButton"_s, this);
    m_exit = kit::button(u"Выход"_s, u"exitButton"_s, this);

    auto *form = kit::formRows({{u"Пароль:"_s, m_password}});
    m_errorWord = kit::addErrorWordRow(form, this);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(m_progress);
    layout->addLayout(kit::buttonRow({m_read, m_stop, m_exit}));

    m_controls = std::make_unique<TransferControls>(QList<QWidget *>{m_password, m_read, m_exit}, m_stop);
    connect(m_read, &QPushButton::clicked, this, &TForm45::read);
    connect(m_stop, &QPushButton::clicked, this, [this] { m_controls->requestStop(); });
    connect(m_exit, &QPushButton::clicked, this, &TForm45::reject);
}

void TForm45::opened()
{
    m_controls->clearStop();
    m_errorWord->setText(u"0000"_s);
    m_progress->setValue(0);
}

void TForm45::reject()
{
    if (m_controls->busy()) {
        m_controls->requestStop();
        return;
    }
    Screen::reject();
}

void TForm45::read()
{
    View view(*this);
    TransferControls::Guard busy(*m_controls);
    const transfer::Result result = m_ops.read(m_password->text(), view);
    // The blocks show their replies as they come; a failed exchange ends with its own word,
    // or none after a link failure.
    if (result.end == transfer::End::LinkFailed || result.end == transfer::End::RegistrarError)
        kit::showErrorWord(m_errorWord, true, result.verdict.errorWordText());
}
