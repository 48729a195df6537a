// TForm28, "Монитор для фискального регистратора + запуск скриптов": manual console and
// script runner.
#include "scripts/monitor_form.h"

#include "app/application.h"
#include "scripts/variables_form.h"
#include "ui/form_kit.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QFontDatabase>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHideEvent>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QVBoxLayout>

// The runner's output into the window.
class TForm28::Sink final : public ScriptSink {
public:
    explicit Sink(TForm28 &form) : m_form(form) {}
    void logLine(const QString &line) override { m_form.appendLog(line); }
    void commandFields(const QString &code, const QString &password, const QString &data) override
    {
        m_form.fillCommandFields(code, password, data);
    }
    void errorWord(const QString &word) override { m_form.m_errorWordEdit->setText(word); }
    void statusText(const QString &text) override { m_form.m_statusEdit->setText(text); }
    void lineCounter(int line) override { m_form.showLineCounter(line); }
    void variablesCleared() override { m_form.m_variables->clearVariables(); }
    void variableAdded(int number, const QString &name) override { m_form.m_variables->addVariable(number, name); }
    void variableChanged(int number, const QString &value) override { m_form.m_variables->setValue(number, value); }
    void speedSelected(qint32 rate) override { m_form.host().connectionSpeedChanged(rate); }
    void connectionLost() override { m_form.host().connectionLost(); }
    // Lets "Стоп" (and the rest of the window) through between lines.
    void processEvents() override { QCoreApplication::processEvents(); }
    void repaint() override { m_form.repaintDuringRun(); }

private:
    TForm28 &m_form;
};

TForm28::TForm28(Application &app, ScreenHost &host, QWidget *parent)
    : Screen(app, host, parent), m_sink(std::make_unique<Sink>(*this)), m_monitor(app), m_runner(app, *m_sink)
{
    setWindowTitle(QStringLiteral("Монитор для фискального регистратора + запуск скриптов"));
    m_variables = new TForm40(app, host, this);
    buildWidgets();
    resize(760, 640);
}

TForm28::~TForm28()
{
    m_runner.requestStop();
}

void TForm28::buildWidgets()
{
    // Log with its switches.
    m_log = new QPlainTextEdit(this);
    m_log->setObjectName(QStringLiteral("logEdit"));
    m_log->setReadOnly(true);
    m_log->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_log->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_log->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    m_log->setMinimumHeight(180);

    m_noRepaintCheck = kit::checkBox(QStringLiteral("Не перерисовывать форму"), QStringLiteral("noRepaintCheck"), this);
    m_quietCheck = kit::checkBox(QStringLiteral("Не выводить данные"), QStringLiteral("quietCheck"), this);
    m_clearLogButton = kit::button(QStringLiteral("Очистить сообщения"), QStringLiteral("clearLogButton"), this);

    auto *switches = new QHBoxLayout;
    switches->addWidget(m_noRepaintCheck);
    switches->addWidget(m_quietCheck);
    switches->addStretch();
    // The decoded exchange log, in its own screen: the program's current log when it
    // writes one.
    auto *exchangeLogButton = kit::button(QStringLiteral("Журнал обмена..."), QStringLiteral("exchangeLogButton"), this);
    connect(exchangeLogButton, &QPushButton::clicked, this, [this] {
        const QString viewer = QStringLiteral("ExchangeLogViewer");
        if (QDialog *screen = host().screen(viewer))
            screen->setProperty("logFile", app().link().Log().logFilePath());
        host().openScreen(viewer);
    });
    switches->addWidget(exchangeLogButton);
    switches->addWidget(m_clearLogButton);

    // Manual console.
    m_consoleGroup = new QGroupBox(QStringLiteral("Выполнение команды"), this);
    m_consoleGroup->setObjectName(QStringLiteral("consoleGroup"));
    // The code and the password take only as many characters as the console sends.
    m_passwordEdit = kit::passwordEdit(m_consoleGroup);
    m_passwordEdit->setMaxLength(6);
    m_codeEdit = kit::edit(QStringLiteral("codeEdit"), m_consoleGroup, 0, 2);
    m_codeEdit->setFixedWidth(kit::charsWidth(m_codeEdit, 2) + 8);
    m_dataEdit = kit::edit(QStringLiteral("dataEdit"), m_consoleGroup);
    m_dataHintLabel = new QLabel(Monitor::kPasswordInDataHint, m_consoleGroup);
    m_dataHintLabel->setObjectName(QStringLiteral("dataHintLabel"));
    m_dataHintLabel->setWordWrap(true);
    m_dataHintLabel->setVisible(false);
    m_errorWordEdit = kit::display(QStringLiteral("errorWordEdit"), m_consoleGroup, 4);
    m_statusEdit = kit::display(QStringLiteral("statusEdit"), m_consoleGroup);
    m_statusEdit->setMinimumWidth(kit::charsWidth(m_statusEdit, 14));
    m_statusButton = kit::button(QStringLiteral(".?."), QStringLiteral("statusButton"), m_consoleGroup);
    m_statusButton->setFixedWidth(kit::charsWidth(m_statusButton, 2) + 8);
    m_executeButton = kit::button(QStringLiteral("Выполнить"), QStringLiteral("executeButton"), m_consoleGroup);
    m_repeatButton = kit::button(QStringLiteral("Повторить команду"), QStringLiteral("repeatButton"), m_consoleGroup);
    m_addToListButton = kit::button(QStringLiteral("В список"), QStringLiteral("addToListButton"), m_consoleGroup);
    m_historyList = new QListWidget(m_consoleGroup);
    m_historyList->setObjectName(QStringLiteral("historyList"));
    m_historyList->setMinimumWidth(200);

    auto label = [this](const QString &text, QWidget *buddy) {
        auto *l = new QLabel(text, m_consoleGroup);
        l->setBuddy(buddy);
        return l;
    };
    auto *fields = new QGridLayout;
    fields->addWidget(label(QStringLiteral("Пароль:"), m_passwordEdit), 0, 0);
    fields->addWidget(m_passwordEdit, 0, 1);
    fields->addWidget(label(QStringLiteral("Код команды:"), m_codeEdit), 0, 2, Qt::AlignRight);
    fields->addWidget(m_codeEdit, 0, 3);
    fields->addWidget(label(QStringLiteral("Данные:"), m_dataEdit), 1, 0);
    fields->addWidget(m_dataEdit, 1, 1, 1, 5);
    // A hidden hint takes no room: the rows below close up.
    fields->addWidget(m_dataHintLabel, 2, 1, 1, 5);
    fields->addWidget(label(QStringLiteral("Код ошибки:"), m_errorWordEdit), 3, 0);
    fields->addWidget(m_errorWordEdit, 3, 1);
    fields->addWidget(label(QStringLiteral("Статус:"), m_statusEdit), 3, 2, Qt::AlignRight);
    fields->addWidget(m_statusEdit, 3, 3, 1, 2);
    fields->addWidget(m_statusButton, 3, 5);
    fields->setColumnStretch(4, 1);

    auto *consoleButtons = new QHBoxLayout;
    consoleButtons->addWidget(m_executeButton);
    consoleButtons->addWidget(m_repeatButton);
    consoleButtons->addWidget(m_addToListButton);
    consoleButtons->addStretch();

    auto *consoleLeft = new QVBoxLayout;
    consoleLeft->addLayout(fields);
    consoleLeft->addLayout(consoleButtons);
    consoleLeft->addStretch();
    auto *consoleRow = new QHBoxLayout(m_consoleGroup);
    consoleRow->addLayout(consoleLeft, 3);
    consoleRow->addWidget(m_historyList, 2);

    // Scripts.
    auto *scriptGroup = new QGroupBox(this);
    scriptGroup->setObjectName(QStringLiteral("scriptGroup"));
    m_fileCombo = kit::comboBox(QStringLiteral("fileCombo"), scriptGroup);
    m_fileCombo->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    m_fileCombo->setMinimumContentsLength(30);
    m_openFileButton = kit::button(QStringLiteral("Открыть файл"), QStringLiteral("openFileButton"), scriptGroup);
    m_runButton = kit::button(QStringLiteral("Выполнить"), QStringLiteral("runButton"), scriptGroup);
    m_stopButton = kit::button(QStringLiteral("Стоп"), QStringLiteral("stopButton"), scriptGroup);
    m_continueButton = kit::button(QStringLiteral("Продолжить"), QStringLiteral("continueButton"), scriptGroup);
    m_stepButton = kit::button(QStringLiteral("Шаг"), QStringLiteral("stepButton"), scriptGroup);
    m_lineCounterEdit = kit::edit(QStringLiteral("lineCounterEdit"), scriptGroup, 6, 9);
    m_lineCounterEdit->setValidator(new QIntValidator(0, 999999999, m_lineCounterEdit));
    m_lineCounterEdit->setText(QStringLiteral("0"));
    m_lineCounterEdit->setAlignment(Qt::AlignRight);
    m_variablesButton = kit::button(QStringLiteral("Переменные"), QStringLiteral("variablesButton"), scriptGroup);

    auto *fileLabel = new QLabel(QStringLiteral("Имя  файла:"), scriptGroup);
    fileLabel->setBuddy(m_fileCombo);
    auto *fileRow = new QHBoxLayout;
    fileRow->addWidget(fileLabel);
    fileRow->addWidget(m_fileCombo, 1);
    fileRow->addWidget(m_openFileButton);

    auto *counterLabel = new QLabel(QStringLiteral("Ном. стр. скрипта:"), scriptGroup);
    counterLabel->setBuddy(m_lineCounterEdit);
    auto *runRow = new QHBoxLayout;
    runRow->addWidget(m_runButton);
    runRow->addWidget(m_stopButton);
    runRow->addWidget(m_continueButton);
    runRow->addWidget(m_stepButton);
    runRow->addSpacing(12);
    runRow->addWidget(counterLabel);
    runRow->addWidget(m_lineCounterEdit);
    runRow->addStretch();
    runRow->addWidget(m_variablesButton);

    auto *scriptBox = new QVBoxLayout(scriptGroup);
    scriptBox->addLayout(fileRow);
    scriptBox->addLayout(runRow);

    m_exitButton = kit::button(QStringLiteral("Выход"), QStringLiteral("exitButton"), this);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_log, 1);
    layout->addLayout(switches);
    layout->addWidget(m_consoleGroup);
    layout->addWidget(scriptGroup);
    layout->addLayout(kit::buttonRow({m_exitButton}));

    // Wiring.
    connect(m_clearLogButton, &QPushButton::clicked, m_log, &QPlainTextEdit::clear);
    connect(m_quietCheck, &QCheckBox::toggled, this, [this](bool on) { m_runner.setQuiet(on); });
    connect(m_noRepaintCheck, &QCheckBox::toggled, this, [this](bool on) { m_runner.setNoRepaint(on); });
    connect(m_codeEdit, &QLineEdit::textChanged, this, [this] { updateExecuteButton(!m_filling); });
    connect(m_passwordEdit, &QLineEdit::textChanged, this, [this] {
        updateExecuteButton(false);
        updatePasswordHint();
    });
    connect(m_dataEdit, &QLineEdit::textChanged, this, &TForm28::updatePasswordHint);
    connect(m_codeEdit, &QLineEdit::returnPressed, this, [this] { m_dataEdit->setFocus(); });
    connect(m_dataEdit, &QLineEdit::returnPressed, this, &TForm28::sendData);
    connect(m_executeButton, &QPushButton::clicked, this, &TForm28::executeCommand);
    connect(m_repeatButton, &QPushButton::clicked, this, &TForm28::repeatCommand);
    connect(m_addToListButton, &QPushButton::clicked, this, &TForm28::addToHistory);
    connect(m_historyList, &QListWidget::itemDoubleClicked, this, &TForm28::historyChosen);
    connect(m_statusButton, &QPushButton::clicked, this, &TForm28::statusButtonClicked);
    connect(m_fileCombo, &QComboBox::activated, this, &TForm28::scriptChosen);
    connect(m_openFileButton, &QPushButton::clicked, this, &TForm28::openScript);
    connect(m_runButton, &QPushButton::clicked, this, &TForm28::runScript);
    connect(m_stopButton, &QPushButton::clicked, this, [this] { m_runner.requestStop(); });
    connect(m_continueButton, &QPushButton::clicked, this, &TForm28::continueScript);
    connect(m_stepButton, &QPushButton::clicked, this, &TForm28::stepScript);
    connect(m_variablesButton, &QPushButton::clicked, this, [this] { m_variables->showBeside(this); });
    connect(m_exitButton, &QPushButton::clicked, this, &TForm28::reject);
}

// ---- Activation and closing --------------------------------------------------------------

void TForm28::opened()
{
    m_consoleGroup->setEnabled(true);
    m_addToListButton->setEnabled(true);
    m_openFileButton->setEnabled(true);
    updateExecuteButton(false);
    // The link's last command is not the console's until the console sends one.
    m_monitor.startOpening();
    m_repeatButton->setEnabled(false);
    updatePasswordHint();
    m_codeEdit->setFocus();
    m_runner.activate();
    // No entry chosen: a run needs a choice first.
    m_monitor.setCurrentScript(QString());
    fillScriptList(m_monitor.recentScripts(), -1);
}

void TForm28::hideEvent(QHideEvent *event)
{
    if (!event->spontaneous())
        m_variables->hide();
    QDialog::hideEvent(event);
}

void TForm28::reject()
{
    // Closing the window ends a run after its current line.
    if (m_runner.running())
        m_runner.requestStop();
    QDialog::reject();
}

// ---- Manual console ----------------------------------------------------------------------

void TForm28::updateExecuteButton(bool report)
{
    const Monitor::CodeState state = m_monitor.codeChanged(m_codeEdit->text(), m_passwordEdit->text(), report);
    m_executeButton->setEnabled(state == Monitor::CodeState::Valid);
}

void TForm28::updatePasswordHint()
{
    m_dataHintLabel->setVisible(Monitor::dataRepeatsPassword(m_passwordEdit->text(), m_dataEdit->text()));
}

void TForm28::showReply(const Monitor::Reply &reply)
{
    m_repeatButton->setEnabled(m_monitor.canRepeat());
    if (!reply.verdict.replied())
        return;
    for (const QString &line : reply.shown.log)
        appendLog(line);
    m_errorWordEdit->setText(reply.shown.errorWord);
    if (reply.shown.statusShown)
        m_statusEdit->setText(reply.shown.statusText);
}

void TForm28::executeCommand()
{
    if (m_runner.running())
        return;
    showReply(m_monitor.execute(m_codeEdit->text(), m_passwordEdit->text(), m_dataEdit->text(),
                                m_quietCheck->isChecked()));
}

void TForm28::sendData()
{
    if (m_runner.running())
        return;
    showReply(m_monitor.sendData(m_passwordEdit->text(), m_dataEdit->text(), m_quietCheck->isChecked()));
}

void TForm28::repeatCommand()
{
    if (m_runner.running())
        return;
    showReply(m_monitor.repeat(m_quietCheck->isChecked()));
}

void TForm28::addToHistory()
{
    m_historyList->addItem(Monitor::historyEntry(m_codeEdit->text(), m_dataEdit->text()));
    m_historyList->scrollToBottom();
}

void TForm28::historyChosen(QListWidgetItem *item)
{
    if (!item)
        return;
    QString code, data;
    Monitor::splitHistoryEntry(item->text(), code, data);
    m_codeEdit->setText(code);
    m_dataEdit->setText(data);
}

void TForm28::statusButtonClicked()
{
    // The status bytes are the registrar's: without a connection there is nothing to show.
    if (app().state().connected())
        openStatusScreen();
}

// ---- Scripts -------------------------------------------------------------------------------

void TForm28::fillScriptList(const QStringList &names, int selected)
{
    const QSignalBlocker block(m_fileCombo);
    m_fileCombo->clear();
    m_fileCombo->addItems(names);
    m_fileCombo->setCurrentIndex(selected < names.size() ? selected : -1);
}

void TForm28::scriptChosen(int index)
{
    if (index < 0)
        return;
    m_monitor.setCurrentScript(m_fileCombo->itemText(index));
    m_lineCounterEdit->setText(QStringLiteral("0"));
    m_runner.clearVariables();
}

void TForm28::openScript()
{
    QStringList listed;
    const QString path = m_monitor.openScript(listed);
    if (path.isEmpty())
        return;
    m_lineCounterEdit->setText(QStringLiteral("0"));
    m_runner.clearVariables();
    fillScriptList(listed, 0);
}

void TForm28::prepareRunner()
{
    m_runner.setScript(m_fileCombo->currentText().isEmpty() ? QString() : m_monitor.currentScript());
    m_runner.setQuiet(m_quietCheck->isChecked());
    m_runner.setNoRepaint(m_noRepaintCheck->isChecked());
    m_runner.setPortName(host().connectedPortName());
}

int TForm28::counterValue() const
{
    return qMax(0, m_lineCounterEdit->text().toInt());
}

void TForm28::runScript()
{
    if (m_runner.running())
        return;
    prepareRunner();
    m_runner.run();
}

void TForm28::continueScript()
{
    if (m_runner.running())
        return;
    prepareRunner();
    m_runner.continueFrom(counterValue());
}

void TForm28::stepScript()
{
    if (m_runner.running())
        return;
    prepareRunner();
    m_runner.step(counterValue());
}

// ---- What a run shows ----------------------------------------------------------------------

void TForm28::appendLog(const QString &line)
{
    // Frames carry SOH, ENQ, ETX and the like, which fonts draw as empty boxes: they are
    // shown in caret notation (^A, ^E, ^C) instead.
    QString shown;
    shown.reserve(line.size() + 8);
    for (const QChar c : line) {
        if (c.unicode() < 0x20) {
            shown += QLatin1Char('^');
            shown += QChar(char16_t(c.unicode() + 0x40));
        } else if (c.unicode() == 0x7F) {
            shown += QStringLiteral("^?");
        } else {
            shown += c;
        }
    }
    m_log->appendPlainText(shown);
}

void TForm28::fillCommandFields(const QString &code, const QString &password, const QString &data)
{
    // The runner reports a bad code itself; the code field stays quiet about it.
    m_filling = true;
    m_codeEdit->setText(code);
    m_passwordEdit->setText(password);
    m_dataEdit->setText(data);
    m_filling = false;
    updateExecuteButton(false);
}

void TForm28::showLineCounter(int line)
{
    m_lineCounterEdit->setText(QString::number(line));
    if (m_lineCounterEdit->isVisible())
        m_lineCounterEdit->repaint();
}

void TForm28::repaintDuringRun()
{
    if (isVisible())
        QWidget::repaint();
}
