// TForm7, "Чтение/запись/обнуление фискальной памяти": flash memory dumps.
#include "tools/flash_memory_form.h"

#include "app/application.h"
#include "commands/command_codes.h"
#include "ui/form_kit.h"

#include <QCoreApplication>
#include <QFormLayout>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include <optional>

using namespace Qt::StringLiterals;

// What a transfer shows while it runs.
class TForm7::View final : public FlashMemory::View {
public:
    explicit View(TForm7 &form) : m_form(form) {}
    void processEvents() override { QCoreApplication::processEvents(); }
    bool stopRequested() const override { return m_form.m_controls->stopRequested(); }
    void reply(const ReplyTexts &texts) override
    {
        m_form.m_result->setText(texts.errorWord);
        m_form.m_status->setText(texts.statusText);
    }
    void progress(qint64 value, qint64 maximum) override
    {
        m_form.m_gauge->setValue(transfer::percent(value, maximum));
    }
    void address(qint64 value) override { m_form.m_currentAddress->setText(QString::number(value)); }
    void repetitions(int count) override { m_form.m_repetitions->setText(QString::number(count)); }
    void bounds(const QString &address, const QString &count) override
    {
        m_form.m_address->setText(address);
        m_form.m_count->setText(count);
    }

private:
    TForm7 &m_form;
};

TForm7::TForm7(Application &app, ScreenHost &host, QWidget *parent) : Screen(app, host, parent), m_ops(app)
{
    setWindowTitle(FlashMemory::kCaption);
    m_password = kit::passwordEdit(this);
    m_address = kit::edit(u"addressEdit"_s, this, 12, FlashMemory::kAddressDigits);
    m_count = kit::edit(u"countEdit"_s, this, 12, FlashMemory::kCountDigits);
    m_currentAddress = kit::display(u"currentAddressEdit"_s, this, 12);
    m_retries = new QSpinBox(this);
    m_retries->setObjectName(u"retriesSpin"_s);
    m_retries->setRange(0, 99);
    m_retries->setFixedWidth(kit::charsWidth(m_retries, 4));
    m_repetitions = kit::display(u"repetitionsEdit"_s, this, 6);
    m_result = kit::display(u"resultEdit"_s, this, 6);
    m_status = kit::display(u"statusEdit"_s, this, 14);
    m_gauge = new QProgressBar(this);
    m_gauge->setObjectName(u"gaugeProgress"_s);
    m_gauge->setRange(0, 100);
    m_erase = kit::button(u"Обнулить флеш-память"_s, u"eraseButton"_s, this);
    m_read = kit::button(u"Читать флеш-память"_s, u"readButton"_s, this);
    m_write = kit::button(u"Записать флеш-память"_s, u"writeButton"_s, this);
    m_stop = kit::button(u"Остановить"_s, u"stopButton"_s, this);
    m_close = kit::button(u"Закрыть"_s, u"closeButton"_s, this);

    auto *form = kit::formRows({
        {u"Пароль:"_s, m_password},
        {u"Адрес начала данных (номер байта):"_s, m_address},
        {u"Количество байтов для чтения.записи"_s, m_count},
        {u"Текущий адрес:"_s, m_currentAddress},
        {u"Количество повторов при ошибке:"_s, m_retries},
        {u"Повторов:"_s, m_repetitions},
        {u"Результат выполнения:"_s, m_result},
        {u"Статус регистратора:"_s, m_status},
    });

    auto *transfers = new QHBoxLayout;
    transfers->addWidget(m_erase);
    transfers->addWidget(m_read);
    transfers->addWidget(m_write);
    transfers->addStretch();

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(m_gauge);
    layout->addLayout(transfers);
    layout->addLayout(kit::buttonRow({m_stop, m_close}));

    m_controls = std::make_unique<TransferControls>(QList<QWidget *>{m_password, m_address, m_count, m_retries, m_erase, m_read, m_write, m_close},
                                      m_stop);
    connect(m_address, &QLineEdit::textChanged, this, [this] { boundsEdited(m_address); });
    connect(m_count, &QLineEdit::textChanged, this, [this] { boundsEdited(m_count); });
    connect(m_erase, &QPushButton::clicked, this, &TForm7::erase);
    connect(m_read, &QPushButton::clicked, this, &TForm7::read);
    connect(m_write, &QPushButton::clicked, this, &TForm7::write);
    connect(m_stop, &QPushButton::clicked, this, [this] { m_controls->requestStop(); });
    connect(m_close, &QPushButton::clicked, this, &TForm7::reject);
}

void TForm7::opened()
{
    m_password->setText(QString::fromLatin1(cmd::kDefaultPassword));
    {
        const QSignalBlocker a(m_address), c(m_count);
        m_address->clear();
        m_count->clear();
    }
    m_currentAddress->clear();
    m_retries->setValue(FlashMemory::kDefaultRetries);
    m_repetitions->setText(u"0"_s);
    m_result->clear();
    m_status->clear();
    m_gauge->setValue(0);
    m_controls->clearStop();
    // Reading needs both bounds; writing may take them from the dump file's name.
    m_readEnabled = false;
    m_writeEnabled = true;
    applyButtonState();
}

void TForm7::reject()
{
    // Closing the window while a transfer runs stops it between blocks.
    if (m_controls->busy()) {
        m_controls->requestStop();
        return;
    }
    Screen::reject();
}

void TForm7::applyButtonState()
{
    if (m_controls->busy())
        return;
    m_read->setEnabled(m_readEnabled);
    m_write->setEnabled(m_writeEnabled);
}

void TForm7::boundsEdited(QLineEdit *changed)
{
    if (m_address->text().isEmpty() || m_count->text().isEmpty()) {
        m_readEnabled = m_writeEnabled = false;
    } else {
        const int digits = changed == m_address ? FlashMemory::kAddressDigits : FlashMemory::kCountDigits;
        if (m_ops.checkBoundTyped(changed->text(), digits))
            m_readEnabled = m_writeEnabled = true;
    }
    applyButtonState();
}

void TForm7::erase()
{
    View view(*this);
    {
        // Busy (stop on, close off) only once the erase question is answered: while it is
        // asked nothing runs that could be stopped.
        std::optional<TransferControls::Guard> busy;
        m_ops.erase(m_password->text(), view, [&] { busy.emplace(*m_controls); });
    }
    applyButtonState();
}

void TForm7::read()
{
    View view(*this);
    {
        TransferControls::Guard busy(*m_controls);
        m_repetitions->setText(u"0"_s);
        m_ops.read(m_password->text(), m_address->text(), m_count->text(), m_retries->value(), view);
    }
    applyButtonState();
}

void TForm7::write()
{
    View view(*this);
    {
        TransferControls::Guard busy(*m_controls);
        m_ops.write(m_password->text(), m_address->text(), m_count->text(), view);
    }
    applyButtonState();
}
