#include "shell/main_window.h"

#include "app/identification.h"
#include "app/registrar_search.h"

#include "link/code_page.h"
#include "commands/command_wrappers.h"
#include "commands/verdict.h"
#include "link/serial_transport.h"

namespace {

const QString kConnect = QStringLiteral("Подключить");
const QString kDisconnect = QStringLiteral("Отключить");
const QString kTimeoutStatus = QStringLiteral("Таймаут устройства - регистратор не подключен!");
const QString kCannotOpen = QStringLiteral("Невозможно подключить порт");
const QString kNoUsbRegistrar = QStringLiteral("Регистратор на USB не найден: проверьте кабель и питание регистратора.");

} // namespace

MainWindowOps::MainWindowOps(Application &app, MainWindowPlatform platform)
    : m_app(app), m_platform(std::move(platform))
{
    for (const MenuEntry &e : menuEntries())
        m_model.items[e.item] = {};
    applyModelMenus();
}

QString MainWindowOps::speedText(int index)
{
    return AppConfig::speeds().value(index);
}

void MainWindowOps::wait(int ms)
{
    m_app.clock().sleepMs(ms);
    if (m_platform.repaint)
        m_platform.repaint();
}

QString MainWindowOps::selectedPort() const
{
    return m_model.ports.value(m_model.portIndex);
}

void MainWindowOps::start()
{
    const bool present = m_platform.usbLibraryPresent && m_platform.usbLibraryPresent();
    m_model.usbLamp = present ? Lamp::Yellow : Lamp::Red;
    m_model.usbLabel = present ? QString()
                               : QStringLiteral("Библиотека USB libusb-0.1.so.4 не установлена!");
}

void MainWindowOps::activate()
{
    // While a connection is being made or stands, the lists are the connection's own: a
    // scan now would re-select the port under the user's feet.
    if (m_connecting || m_searching || m_app.state().connected())
        return;

    // Nothing to press while the ports are looked at.
    m_model.closeEnabled = false;
    m_model.serialButtonEnabled = false;
    m_model.usbButtonEnabled = false;
    m_model.aboutEnabled = false;

    // Port lists, each port shown in turn.
    m_model.ports.clear();
    m_model.terminalPorts.clear();
    const QStringList present = m_platform.listPorts ? m_platform.listPorts() : QStringList();
    for (const QString &name : present) {
        m_model.ports << name;
        m_model.terminalPorts << name;
        m_model.statusText = QStringLiteral("Проверка портов: ") + name;
        m_model.portIndex = int(m_model.ports.size()) - 1;
        wait(200);
    }
    m_model.ports << kEmulatorEntry;

    // The registrar's USB virtual COM port.
    m_model.statusText.clear();
    m_app.state().virtualPortName.clear();
    if (m_platform.findVirtualPort) {
        for (int index = 0; index < 1000; ++index) {
            m_model.statusText = QStringLiteral("Тестирование USB устройств: Шаг ") + QString::number(index + 1);
            wait(100);
            QString port;
            const int r = m_platform.findVirtualPort(index, port);
            if (r == 0) {
                m_app.state().virtualPortName = port;
                break;
            }
            if (r == -2)
                break;
        }
    }

    // The search is over: a second's pause, then the first bank-terminal port.
    m_model.statusText.clear();
    wait(1000);
    m_model.terminalPortIndex = m_model.terminalPorts.isEmpty() ? -1 : 0;

    // The settings file.
    AppConfig &config = m_app.config();
    if (config.ensureFile() != AppConfig::FileState::Present)
        m_app.prompter().showMessage(AppConfig::creationNotice());
    m_model.terminalGroupVisible = !config.terminal().isEmpty();
    m_app.link().Log().setCommentsEnabled(!config.commentsSuppressed());
    // A port typed by name (a device the system does not list: an emulator started by
    // hand, a device under another name) stays offered, from this run or the settings.
    for (const QString &typed : {m_chosenPort, config.port()})
        if (typed.startsWith(QLatin1Char('/')) && !m_model.ports.contains(typed, Qt::CaseInsensitive))
            m_model.ports.insert(m_model.ports.size() - 1, typed);
    // The settings file decides only until the user has chosen.
    const int chosenPort = int(m_model.ports.indexOf(m_chosenPort));
    m_model.portIndex = chosenPort >= 0 ? chosenPort : AppConfig::portIndex(config.port(), m_model.ports);
    const int chosenSpeed = int(AppConfig::speeds().indexOf(m_chosenSpeed));
    m_model.speedIndex = chosenSpeed >= 0 ? chosenSpeed : AppConfig::speedIndex(config.speed(), AppConfig::speeds());

    // The buttons come back as the connection allows: the other transport's button
    // stays off while one is connected.
    m_model.closeEnabled = true;
    m_model.serialButtonEnabled = !m_app.state().usbConnected;
    m_model.usbButtonEnabled = !m_app.state().serialConnected;
    m_model.terminalSpeedIndex = 10;
    m_model.aboutEnabled = true;
}

bool MainWindowOps::searchAvailable() const
{
    return m_searching
        || (!m_connecting && !m_app.state().connected() && m_model.serialButtonEnabled);
}

void MainWindowOps::selectFound(const QString &port, qint32 speed)
{
    if (!m_model.ports.contains(port))
        m_model.ports.insert(qMax(qsizetype(0), m_model.ports.size() - 1), port);
    const QString speedName = QString::number(speed);
    m_model.portIndex = int(m_model.ports.indexOf(port));
    m_model.speedIndex = int(AppConfig::speeds().indexOf(speedName));
    // The user's choice from now on, and the next start's.
    m_chosenPort = port;
    m_chosenSpeed = speedName;
    m_app.config().setPort(port);
    m_app.config().setSpeed(speedName);
}

void MainWindowOps::findRegistrar(const std::function<void()> &idle)
{
    if (m_searching || !searchAvailable())
        return;
    QStringList ports = m_model.ports;
    ports.removeAll(kEmulatorEntry);
    // The bank terminal's port is not the registrar's: a registrar frame sent to the
    // terminal could be taken for one of its own messages.
    QString terminalPort;
    if (m_model.terminalGroupVisible && m_model.terminalPortIndex >= 0) {
        terminalPort = m_model.terminalPorts.value(m_model.terminalPortIndex);
        if (ports.removeAll(terminalPort) == 0)
            terminalPort.clear();
    }
    ports = RegistrarSearch::registrarFirst(ports, m_app.state().virtualPortName);

    // Nothing else to press while the ports are tried, but the way to stop.
    m_searching = true;
    m_stopSearch.store(false);
    const MainWindowModel before = m_model;
    m_model.serialButtonEnabled = false;
    m_model.usbButtonEnabled = false;
    m_model.serialListsEnabled = false;
    m_model.closeEnabled = false;
    m_model.aboutEnabled = false;
    m_model.searchButtonText = QStringLiteral("Остановить поиск");

    RegistrarSearch search;
    search.setCancelFlag(&m_stopSearch);
    search.setProgress([this](const RegistrarSearch::Step &step) {
        m_model.statusText = QStringLiteral("Поиск регистратора: %1 бод (%2 из %3)...")
                                 .arg(step.speed).arg(step.index).arg(step.count);
    });
    search.setIdle(idle);
    const RegistrarSearch::Result result = search.run(ports, RegistrarSearch::defaultSpeeds());

    m_searching = false;
    m_model.serialButtonEnabled = before.serialButtonEnabled;
    m_model.usbButtonEnabled = before.usbButtonEnabled;
    m_model.serialListsEnabled = before.serialListsEnabled;
    m_model.closeEnabled = before.closeEnabled;
    m_model.aboutEnabled = before.aboutEnabled;
    m_model.searchButtonText = before.searchButtonText;

    if (result.cancelled) {
        m_model.statusText = QStringLiteral("Поиск регистратора прерван.");
        return;
    }
    if (!result.found) {
        m_model.statusText = QStringLiteral("Регистратор не найден.");
        QString text = !ports.isEmpty() ? QStringLiteral("Регистратор не найден ни на одном порту ни на одной скорости.")
            : terminalPort.isEmpty()    ? QStringLiteral("Регистратор не найден: последовательных портов нет.")
                                        : QStringLiteral("Регистратор не найден: других последовательных портов нет.");
        // The port left out is named: the registrar may be on it after all.
        if (!terminalPort.isEmpty())
            text += QStringLiteral("\nПорт %1 выбран для банковского терминала и не проверялся.").arg(terminalPort);
        if (!result.unopened.isEmpty()) {
            text += QStringLiteral("\nНе открылись:");
            for (const RegistrarSearch::Unopened &u : result.unopened)
                text += QStringLiteral("\n  ") + u.reason;
        }
        m_app.prompter().showMessage(text);
        return;
    }

    const RegistrarSearch::Found &f = result.registrar;
    selectFound(f.port, f.speed);
    m_model.statusText = QStringLiteral("Регистратор найден: порт %1, скорость %2 бод.").arg(f.port).arg(f.speed);
    const QString question = QStringLiteral("Регистратор найден:\n  порт %1, скорость %2 бод,\n  модель %3, версия %4, %5.\n"
                                            "Подключиться?")
                                 .arg(f.port).arg(f.speed).arg(f.model, f.version, f.serial);
    if (m_app.prompter().ask(question, QStringLiteral("Найти регистратор"), Prompter::Yes | Prompter::No)
        == Prompter::Yes)
        connectSerial();
}

void MainWindowOps::choosePort(int index)
{
    m_model.portIndex = index;
    m_chosenPort = m_model.ports.value(index);
}

void MainWindowOps::typePort(const QString &text)
{
    const QString name = text.trimmed();
    if (name.isEmpty())
        return;
    qsizetype index = m_model.ports.indexOf(name);
    if (index < 0) {
        index = qMax(qsizetype(0), m_model.ports.size() - 1);
        m_model.ports.insert(index, name);
    }
    choosePort(int(index));
}

void MainWindowOps::chooseSpeed(int index)
{
    m_model.speedIndex = index;
    m_chosenSpeed = speedText(index);
}

MainWindowOps::Route MainWindowOps::route(const MenuEntry &entry) const
{
    const AppState &s = m_app.state();
    if (entry.item == MenuItem::ReceiptCopies) {
        static const QStringList copyVersions = {QStringLiteral("5.00"), QStringLiteral("4.00"), QStringLiteral("4.01"),
                                                 QStringLiteral("4.02"), QStringLiteral("KP-05 1.00")};
        for (const QString &v : copyVersions)
            if (s.softwareVersion.contains(v))
                return {QStringLiteral("TForm54"), QString()};
        return {QStringLiteral("TForm41"), QString()};
    }
    if (entry.item == MenuItem::ModemState) {
        if (s.dataTransferFamily)
            return {QStringLiteral("TForm44"), s.modelName};
        return {QStringLiteral("TForm51"), QString()};
    }
    return {entry.screen, QString()};
}

void MainWindowOps::readConnectionSettings()
{
    AppConfig &config = m_app.config();
    AppState &state = m_app.state();
    identification::applySettings(state, config);
    state.paymentFormCount = 10;
    // Once on, the log stays on for the rest of the run.
    if (config.log() != 0)
        m_app.link().Log().SetLogFileName(config.logName());
    m_app.link().SetReplyCount(config.reply());
}

void MainWindowOps::setMenusEnabled(bool enabled)
{
    m_model.enabledMenus.clear();
    if (enabled)
        for (Menu m : allMenus())
            m_model.enabledMenus.insert(m);
    applyModelMenus();
}

void MainWindowOps::applyModelMenus()
{
    const AppState &s = m_app.state();
    const QString &model = s.modelName;
    for (const MenuEntry &e : menuEntries()) {
        MainWindowModel::ItemState &item = m_model.items[e.item];
        const QString screen = route(e).screen;
        item.enabled = m_model.enabledMenus.contains(e.menu)
            && (screen.isEmpty() || m_platform.builtScreens.contains(screen));
        item.visible = true;
    }
    auto &items = m_model.items;
    if (!model.contains(QStringLiteral("GT9")))
        items[MenuItem::WiFi].enabled = false;
    items[MenuItem::Gals].visible = model.contains(QStringLiteral("VRK-7+"));
    items[MenuItem::Vekr].visible = model.contains(QStringLiteral("eKV-60"));
    items[MenuItem::AcquirerServer].visible = !s.dataTransferFamily;
    items[MenuItem::IdDev].visible = !s.dataTransferFamily;
    // Only the built-in emulator can be started afresh, and only while it is the registrar.
    items[MenuItem::EmulatorAfresh].enabled = m_model.enabledMenus.contains(Menu::Utilities) && m_onEmulator
        && m_platform.forgetEmulator;
    if (s.rgtModel)
        items[MenuItem::DailyReports].enabled = false;
    else
        items[MenuItem::DailyReportsRgt9].enabled = false;
}

void MainWindowOps::applyIdentification(const CommandResult &r, bool serial)
{
    AppState &s = m_app.state();
    if (serial) {
        m_app.config().setPort(selectedPort());
        m_app.config().setSpeed(speedText(m_model.speedIndex));
    }
    identification::apply(s, r, m_app.config(),
                          serial ? identification::Connection::Serial : identification::Connection::Usb);
    applyModelMenus();

    m_model.statusText = identification::identityText(r);
    if (r.status[0] & 0x01)
        m_model.statusText += QStringLiteral(" Сервис.реж.");
    s.sharedMark = true;
}

void MainWindowOps::failedCheck(bool serial, const Verdict &verdict)
{
    // Only a reply of this command has an error word to show: after a NAK or a check
    // mismatch the record's word is an earlier reply's.
    m_app.prompter().showMessage(QStringLiteral("Ошибка подключения регистратора:\n  ") + verdict.message
                                 + QLatin1Char(' ') + code_page::fromDevice(verdict.errorWord));
    // The registrar refused to be identified: the connection is given up completely, so
    // that "Подключить" can start again and no screen talks to a half-made connection.
    if (serial) {
        disconnectSerial();
    } else {
        disconnectUsb();
    }
}

void MainWindowOps::timedOut(bool serial, const Verdict &verdict)
{
    m_app.prompter().showMessage(verdict.message);
    if (serial)
        disconnectSerial();
    else
        disconnectUsb();
    m_model.statusText = kTimeoutStatus;
}

Verdict MainWindowOps::askIdentity(bool serial)
{
    m_connecting = true;
    (serial ? m_model.serialLamp : m_model.usbLamp) = Lamp::Yellow;
    m_model.serialListsEnabled = false;
    m_model.statusText = QStringLiteral("Подключение...");
    if (m_platform.busy)
        m_platform.busy(true);
    if (m_platform.repaint)
        m_platform.repaint();
    m_app.link().SendStartupFrame();
    // The parameters, then the identification: the connection stands only when both are
    // answered without an error.
    Verdict verdict;
    for (auto wrapper : {GetRegistratorParams, getDiagnosticInfo}) {
        int code = 0;
        verdict = Verdict::of(*m_app.execute(wrapper, kPassword, code));
        if (!verdict.ok())
            break;
    }
    m_connecting = false;
    if (m_platform.busy)
        m_platform.busy(false);
    return verdict;
}

bool MainWindowOps::identify(bool serial)
{
    const Verdict verdict = askIdentity(serial);
    if (verdict.ok())
        return true;
    if (verdict.kind == Verdict::Kind::NoReply)
        timedOut(serial, verdict);
    else
        failedCheck(serial, verdict);
    return false;
}

QString MainWindowOps::openFailureText(const QString &reason) const
{
    return reason.isEmpty() ? kCannotOpen : kCannotOpen + QLatin1Char('\n') + reason;
}

void MainWindowOps::connectSerial()
{
    AppState &s = m_app.state();
    AppConfig &config = m_app.config();
    DeviceLink &link = m_app.link();
    s.sharedMark = false;
    readConnectionSettings();
    s.cardTerminalPort = config.cardTerminalPort();

    const QString port = selectedPort();
    const qint32 speed = speedText(m_model.speedIndex).toInt();
    QString device = port;
    m_onEmulator = port == kEmulatorEntry;
    if (m_onEmulator) {
        QString error;
        device = m_platform.startEmulator ? m_platform.startEmulator(error) : QString();
        if (device.isEmpty()) {
            m_onEmulator = false;
            m_app.prompter().showMessage(openFailureText(error));
            return;
        }
    }
    if (port.isEmpty() || !link.OpenSerial(device, speed)) {
        QString reason;
        switch (SerialTransport::OpenFailure(link.lastOpenFailure())) {
        case SerialTransport::OpenFailure::NotFound:
            reason = RegistrarSearch::openFailureText(device, QSerialPort::DeviceNotFoundError, link.lastOpenError());
            break;
        case SerialTransport::OpenFailure::Permission:
        case SerialTransport::OpenFailure::Busy:
            // Busy or not allowed: the device file itself tells which, and the group to join.
            reason = RegistrarSearch::openFailureText(device, QSerialPort::PermissionError, link.lastOpenError());
            break;
        case SerialTransport::OpenFailure::Settings:
            reason = QStringLiteral("Порт %1 не принимает скорость %2 бод.").arg(port).arg(speed);
            break;
        default:
            reason = link.lastOpenError();
            break;
        }
        if (m_onEmulator && m_platform.stopEmulator)
            m_platform.stopEmulator();
        m_onEmulator = false;
        m_app.prompter().showMessage(openFailureText(reason));
        return;
    }

    link.setOnVirtualPort(!s.virtualPortName.isEmpty() && port == s.virtualPortName);
    m_model.restoreUsbVisible = link.OnVirtualPort();

    m_model.serialButtonText = kDisconnect;
    m_model.usbButtonEnabled = false;
    s.connectedSpeed = speed;
    s.serialConnected = true;
    // The port is open, but the connection stands only once the registrar has answered:
    // until then the lamp is yellow, the menus stay off and the status bar says so.
    if (!identify(true))
        return;
    m_model.serialLamp = Lamp::Green;
    showConnected(true);

    applyIdentification(*s.currentResult, true);
}

void MainWindowOps::disconnectSerial()
{
    m_app.link().CloseSerial();
    if (m_onEmulator && m_platform.stopEmulator)
        m_platform.stopEmulator();
    m_onEmulator = false;
    m_app.state().serialConnected = false;
    m_app.link().setOnVirtualPort(false);
    showDisconnected();
    m_model.serialLamp = Lamp::Red;
    m_model.serialButtonText = kConnect;
    m_model.restoreUsbVisible = false;
}

void MainWindowOps::showConnected(bool serial)
{
    AppState &s = m_app.state();
    setMenusEnabled(true);
    m_model.serialListsEnabled = false;
    m_model.statusButtonEnabled = true;
    s.serialConnected = serial;
    s.usbConnected = !serial;
    // The small-font options of the registrar-parameters screen stay hidden until the
    // model name is known.
    s.showSmallFontReceipt = false;
    s.showSmallFontControlTape = false;
    if (m_platform.repaint)
        m_platform.repaint();
}

void MainWindowOps::showDisconnected()
{
    setMenusEnabled(false);
    m_model.serialButtonEnabled = true;
    m_model.usbButtonEnabled = true;
    m_model.serialListsEnabled = true;
    m_model.statusButtonEnabled = false;
    m_model.statusText.clear();
}

void MainWindowOps::serialButton()
{
    if (m_app.state().serialConnected)
        disconnectSerial();
    else
        connectSerial();
}

void MainWindowOps::connectUsb()
{
    AppState &s = m_app.state();
    DeviceLink &link = m_app.link();
    readConnectionSettings();
    link.SetLinkReady(true);
    wait(300);
    std::unique_ptr<Transport> usb = m_platform.openUsb ? m_platform.openUsb() : nullptr;
    if (!usb) {
        m_model.usbLamp = Lamp::Red;
        // Red also means a missing USB library: say which it is.
        m_model.usbLabel = kNoUsbRegistrar;
        m_app.prompter().showMessage(kNoUsbRegistrar);
        return;
    }
    m_model.usbLabel.clear();
    m_usb = usb.get();
    link.attachTransport(std::move(usb));
    link.setOnVirtualPort(false);

    m_model.usbButtonText = kDisconnect;
    m_model.serialButtonEnabled = false;
    s.usbConnected = true;
    if (!identify(false))
        return;
    m_model.usbLamp = Lamp::Green;
    showConnected(false);
    m_app.config().setPort(selectedPort());
    m_app.config().setSpeed(speedText(m_model.speedIndex));
    applyIdentification(*s.currentResult, false);
}

void MainWindowOps::disconnectUsb()
{
    DeviceLink &link = m_app.link();
    if (m_usb && link.activeTransport() == m_usb && m_platform.closeUsb)
        m_platform.closeUsb(*m_usb);
    if (link.activeTransport() == m_usb)
        link.detachTransport();
    m_usb = nullptr;
    m_app.state().usbConnected = false;
    showDisconnected();
    m_model.usbButtonText = kConnect;
    m_model.usbLamp = Lamp::Yellow;
}

void MainWindowOps::usbButton()
{
    if (m_app.state().usbConnected)
        disconnectUsb();
    else
        connectUsb();
}

bool MainWindowOps::checkStatus()
{
    AppState &s = m_app.state();
    int code = 0;
    const CommandResult *r = m_app.execute(getDiagnosticInfo, kPassword, code);
    // A registrar error is shown, yet the status screen still opens on the reply's status
    // bytes; without a reply there is nothing to show.
    const Verdict verdict = Verdict::of(*r);
    if (!verdict.ok()) {
        m_app.prompter().showMessage(QStringLiteral("Проверка состояния регистратора:\n  ") + verdict.message);
        if (verdict.kind == Verdict::Kind::NoReply)
            return false;
    }
    s.paymentFormCount = identification::paymentFormCount(*r);
    m_model.statusText = identification::identityText(*r);
    return true;
}

void MainWindowOps::connectionLost(const QString &why)
{
    AppState &s = m_app.state();
    if (!s.connected())
        return;
    if (s.serialConnected)
        disconnectSerial();
    else
        disconnectUsb();
    m_app.prompter().showMessage(QStringLiteral("Связь с регистратором потеряна: %1\nСоединение закрыто.").arg(why));
}

void MainWindowOps::statusScreenClosed()
{
    m_app.state().sharedMark = true;
}

void MainWindowOps::startEmulatorAfresh()
{
    if (!m_onEmulator || !m_platform.forgetEmulator)
        return;
    const QString question = QStringLiteral(
        "Начать эмулятор регистратора заново?\n"
        "Его фискальная память, счетчики, деньги в ящике, товары и лента будут стерты.");
    if (m_app.prompter().askWithDefault(question, QStringLiteral("Начать эмулятор заново"),
                                        Prompter::Ok | Prompter::Cancel, Prompter::Cancel)
        != Prompter::Ok)
        return;
    disconnectSerial();
    QString error;
    if (!m_platform.forgetEmulator(error)) {
        m_app.prompter().showMessage(error);
        return;
    }
    // The same entry, the same speed: a new registrar behind it.
    connectSerial();
}

void MainWindowOps::restoreUsb()
{
    m_model.restoreUsbEnabled = false;
    const QString previous = m_app.state().virtualPortName;
    m_app.state().virtualPortName.clear();
    if (m_platform.restartVirtualPort) {
        for (int index = 0; index < 1000; ++index) {
            QString port;
            const int r = m_platform.restartVirtualPort(index, previous, port);
            if (r == 0) {
                m_app.state().virtualPortName = port;
                break;
            }
            if (r == -2)
                break;
        }
    }
    // The restart closed the registrar's serial port.
    if (m_app.state().serialConnected && !m_app.link().serialOpen())
        disconnectSerial();
    m_model.restoreUsbEnabled = true;
}

void MainWindowOps::terminalButton()
{
    if (m_model.terminalLamp == Lamp::Green) {
        m_model.terminalLamp = Lamp::Red;
        m_model.terminalButtonText = kConnect;
        m_model.terminalListsEnabled = true;
        return;
    }
    AppState &s = m_app.state();
    const QString port = m_model.terminalPorts.value(m_model.terminalPortIndex);
    s.cardTerminalPort = SerialTransport::devicePath(port);
    QString reason;
    const int error = m_platform.tryTerminalPort
        ? m_platform.tryTerminalPort(port, speedText(m_model.terminalSpeedIndex).toInt(), reason)
        : -1;
    s.cardTerminalOpenError = error;
    if (error != 0) {
        // A port that cannot be opened is not shown as ready.
        m_app.prompter().showMessage(openFailureText(reason));
        return;
    }
    m_model.terminalLamp = Lamp::Green;
    m_model.terminalButtonText = kDisconnect;
    m_model.terminalListsEnabled = false;
}
