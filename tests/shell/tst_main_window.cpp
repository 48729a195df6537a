// The main window's connection workflow, without widgets: serial connections to
// registrar-emulator on a pseudo-terminal, USB connections to the in-process emulator,
// the activation steps on virtual time, and what the window is told to show.
#include "shell/main_window.h"
#include "link/code_page.h"
#include "emulator/registrar.h"
#include "support/emulator_process.h"
#include "support/loopback_transport.h"
#include "support/pty_clock.h"
#include "support/recording_prompter.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <memory>

namespace {

struct Rig {
    QTemporaryDir dir;
    RecordingPrompter prompter;
    PtyClock clock;
    Application app{prompter, clock, dir.filePath(QStringLiteral("dizivu.ini"))};
    VirtualClock usbClock;
    emu::Registrar usbRegistrar;
    std::unique_ptr<EmulatorProcess> emulator;
    // The built-in emulator as the program runs it, its memory kept in a folder (when set).
    std::unique_ptr<EmulatorChild> kept;
    QStringList emulatorArgs;
    QStringList ports = {QStringLiteral("ttyS0"), QStringLiteral("ttyS1")};
    int virtualPortAt = -1; // device index where the virtual COM port is found
    QString virtualPort = QStringLiteral("ttyACM0"); // and its port
    QStringList statusTexts;
    int emulatorStops = 0;
    bool usbPresent = true;
    std::unique_ptr<MainWindowOps> ops;

    Rig(const QByteArray &ini = "[Fiscal Printer]\nReply=0\n")
    {
        if (!ini.isNull()) {
            QFile f(dir.filePath(QStringLiteral("dizivu.ini")));
            f.open(QIODevice::WriteOnly);
            f.write(ini);
        }
        MainWindowPlatform p;
        p.listPorts = [this] { return ports; };
        p.findVirtualPort = [this](int index, QString &port) {
            if (index == virtualPortAt) {
                port = virtualPort;
                return 0;
            }
            return index < 3 ? -1 : -2;
        };
        p.usbLibraryPresent = [this] { return usbPresent; };
        p.openUsb = [this]() -> std::unique_ptr<Transport> {
            return std::make_unique<LoopbackTransport>(usbRegistrar, usbClock, Transport::Kind::Usb);
        };
        p.closeUsb = [](Transport &) {};
        p.startEmulator = [this](QString &error) {
            if (kept)
                return kept->start(error);
            emulator = std::make_unique<EmulatorProcess>(emulatorArgs);
            if (emulator->path().isEmpty())
                error = QStringLiteral("no emulator");
            return emulator->path();
        };
        p.stopEmulator = [this] {
            ++emulatorStops;
            if (kept)
                kept->stop();
            if (emulator)
                emulator->stop();
        };
        p.forgetEmulator = [this](QString &error) { return kept && kept->forget(error); };
        p.tryTerminalPort = [](const QString &port, qint32, QString &reason) {
            if (port == QStringLiteral("ttyS1"))
                return 0;
            reason = QStringLiteral("busy");
            return 16;
        };
        p.repaint = [this] {
            if (statusTexts.isEmpty() || statusTexts.last() != ops->model().statusText)
                statusTexts << ops->model().statusText;
        };
        ops = std::make_unique<MainWindowOps>(app, p);
        ops->start();
    }
    const MainWindowModel &m() const { return ops->model(); }
    void selectPort(const QString &name) { ops->model().portIndex = int(m().ports.indexOf(name)); }
    void connectToEmulator(const QStringList &args = {})
    {
        emulatorArgs = args;
        ops->activate();
        selectPort(MainWindowOps::kEmulatorEntry);
        prompter.clear();
        ops->serialButton();
    }
    QString ini() const
    {
        QFile f(dir.filePath(QStringLiteral("dizivu.ini")));
        f.open(QIODevice::ReadOnly);
        return code_page::fromDevice(f.readAll());
    }
    bool menusEnabled() const { return !m().enabledMenus.isEmpty(); }
    bool item(MenuItem i, bool visible = false) const
    {
        return visible ? m().items.value(i).visible : m().items.value(i).enabled;
    }
};

} // namespace

class MainWindowTest : public QObject {
    Q_OBJECT
private slots:
    void usbLibraryTest()
    {
        Rig present;
        QCOMPARE(present.m().usbLamp, Lamp::Yellow);
        Rig missing;
        missing.usbPresent = false;
        missing.ops->start();
        QCOMPARE(missing.m().usbLamp, Lamp::Red);
        QCOMPARE(missing.m().usbLabel, QStringLiteral("Библиотека USB libusb-0.1.so.4 не установлена!"));
    }

    void activationShowsEachStepAndSelectsFromSettings()
    {
        Rig rig("[Communication]\nPort=ttys1\nSpeed=14400\nTerminal=1\n");
        rig.virtualPortAt = 1;
        rig.ops->activate();
        QCOMPARE(rig.statusTexts,
                 (QStringList{QStringLiteral("Проверка портов: ttyS0"), QStringLiteral("Проверка портов: ttyS1"),
                              QStringLiteral("Тестирование USB устройств: Шаг 1"),
                              QStringLiteral("Тестирование USB устройств: Шаг 2"), QString()}));
        QCOMPARE(rig.clock.nowMs(), qint64(200 * 2 + 100 * 2 + 1000));
        QCOMPARE(rig.app.state().virtualPortName, QStringLiteral("ttyACM0"));
        QCOMPARE(rig.m().ports, (QStringList{QStringLiteral("ttyS0"), QStringLiteral("ttyS1"), MainWindowOps::kEmulatorEntry}));
        QCOMPARE(rig.m().portIndex, 1);
        QCOMPARE(MainWindowOps::speedText(rig.m().speedIndex), QStringLiteral("9600"));
        QVERIFY(rig.m().terminalGroupVisible);
        QCOMPARE(rig.m().terminalPortIndex, 0);
        QVERIFY(rig.m().serialButtonEnabled && rig.m().usbButtonEnabled && rig.m().closeEnabled);
        QVERIFY(rig.prompter.messages().isEmpty());
        QVERIFY(!rig.menusEnabled());
    }

    void missingSettingsFileIsCreated()
    {
        Rig rig(QByteArray{});
        rig.ops->activate();
        QCOMPARE(rig.prompter.messages(), QStringList{QStringLiteral("Файл dizivu.ini отсутствует.\n Создание файла!")});
        QVERIFY(rig.ini().contains(QStringLiteral("Log=0")));
        QCOMPARE(rig.m().portIndex, 0);
        QVERIFY(!rig.m().terminalGroupVisible);
        rig.prompter.clear();
        rig.ops->activate();
        QVERIFY(rig.prompter.messages().isEmpty());
    }

    void serialConnectionIdentifies()
    {
        Rig rig("[Fiscal Printer]\nReply=0\n[Communication]\nSpeed=115200\n");
        rig.connectToEmulator({QStringLiteral("--model"), QStringLiteral("Korvan KM-1"), QStringLiteral("--tax-groups"),
                               QStringLiteral("4"), QStringLiteral("--payment-forms"), QStringLiteral("6")});
        QVERIFY2(rig.prompter.messages().isEmpty(), qPrintable(rig.prompter.messages().join('|')));
        const AppState &s = rig.app.state();
        QCOMPARE(rig.m().serialLamp, Lamp::Green);
        QCOMPARE(rig.m().serialButtonText, QStringLiteral("Отключить"));
        QVERIFY(!rig.m().usbButtonEnabled);
        QVERIFY(!rig.m().serialListsEnabled);
        QVERIFY(rig.m().statusButtonEnabled);
        QVERIFY(rig.menusEnabled());
        QCOMPARE(s.modelName, QStringLiteral("Korvan KM-1"));
        QCOMPARE(s.softwareVersion, QStringLiteral("3.01"));
        QCOMPARE(s.taxGroupCount, 4);
        QCOMPARE(s.paymentFormCount, 6);
        QVERIFY(s.sharedMark);
        QVERIFY(s.serialConnected);
        QCOMPARE(s.currentResult->commandCode, 0x80);
        QCOMPARE(rig.m().statusText, QStringLiteral("   Модель:Korvan KM-1,    Версия:3.01,     ЗН 4100012345."));
        // "Korvan KM-1" belongs to the data-transfer family: acquirer and ID_DEV items hidden.
        QVERIFY(s.dataTransferFamily);
        QVERIFY(!rig.item(MenuItem::AcquirerServer, true));
        QVERIFY(!rig.item(MenuItem::IdDev, true));
        QVERIFY(s.showSmallFontControlTape);
        QVERIFY(!s.showPaper57);
        // Port and speed written back.
        QVERIFY(rig.ini().contains(QStringLiteral("Port=") + MainWindowOps::kEmulatorEntry));
        QVERIFY(rig.ini().contains(QStringLiteral("Speed=115200")));

        rig.ops->serialButton(); // disconnect
        QCOMPARE(rig.m().serialLamp, Lamp::Red);
        QCOMPARE(rig.m().serialButtonText, QStringLiteral("Подключить"));
        QVERIFY(!rig.menusEnabled());
        QVERIFY(!rig.m().statusButtonEnabled);
        QVERIFY(rig.m().usbButtonEnabled && rig.m().serialListsEnabled);
        QVERIFY(rig.m().statusText.isEmpty());
        QCOMPARE(rig.emulatorStops, 1);
        QVERIFY(!rig.app.link().serialOpen());
    }

    void modelDependentMenus_data()
    {
        QTest::addColumn<QString>("model");
        QTest::addColumn<bool>("family");
        QTest::addColumn<bool>("rgt");
        QTest::addColumn<bool>("wifi");
        QTest::addColumn<bool>("paper57");
        QTest::newRow("KM-1M") << "KM-1M" << false << false << false << true;
        QTest::newRow("Korvan KM-1") << "Korvan KM-1" << true << false << false << false;
        QTest::newRow("6208") << "Korvan 6208" << true << false << false << false;
        QTest::newRow("RGT9") << "Korvan RGT9" << false << true << true << false; // contains GT9 too
        QTest::newRow("GT9") << "Korvan GT9" << false << false << true << false;
    }
    void modelDependentMenus()
    {
        QFETCH(QString, model);
        QFETCH(bool, family);
        QFETCH(bool, rgt);
        QFETCH(bool, wifi);
        QFETCH(bool, paper57);
        Rig rig;
        rig.usbRegistrar = emu::Registrar([&] {
            emu::Registrar::Options o;
            o.model = model;
            return o;
        }());
        rig.ops->builtScreen(QStringLiteral("TForm48"));
        rig.ops->builtScreen(QStringLiteral("TForm23"));
        rig.ops->builtScreen(QStringLiteral("TForm56"));
        rig.ops->builtScreen(QStringLiteral("TForm49"));
        rig.ops->activate();
        rig.ops->usbButton();
        QCOMPARE(rig.app.state().modelName, model);
        QCOMPARE(rig.app.state().dataTransferFamily, family);
        QCOMPARE(rig.item(MenuItem::AcquirerServer, true), !family);
        QCOMPARE(rig.item(MenuItem::IdDev, true), !family);
        QCOMPARE(rig.app.state().rgtModel, rgt);
        QCOMPARE(rig.item(MenuItem::DailyReportsRgt9), rgt);
        QCOMPARE(rig.item(MenuItem::DailyReports), !rgt);
        QCOMPARE(rig.item(MenuItem::WiFi), wifi);
        QCOMPARE(rig.app.state().showPaper57, paper57);
        QVERIFY(!rig.item(MenuItem::Gals, true));
        QVERIFY(!rig.item(MenuItem::Vekr, true));
        // A screen that does not exist yet keeps its item disabled.
        QVERIFY(!rig.item(MenuItem::FiscalReceipt));
    }

    void configuredVersionAppliesToSerialOnly()
    {
        Rig serial("[Fiscal Printer]\nReply=0\n[UkrVer]\nVersion=2\n");
        serial.connectToEmulator();
        QCOMPARE(serial.app.state().softwareVersion, QStringLiteral("3.00"));
        Rig usb("[Fiscal Printer]\nReply=0\n[UkrVer]\nVersion=2\n");
        usb.ops->activate();
        usb.ops->usbButton();
        QCOMPARE(usb.app.state().softwareVersion, QStringLiteral("3.01"));
        QCOMPARE(usb.m().usbLamp, Lamp::Green);
        QCOMPARE(usb.m().usbButtonText, QStringLiteral("Отключить"));
        QVERIFY(!usb.m().serialButtonEnabled);
        QCOMPARE(usb.app.state().paymentFormCount, 10); // the reply's eleventh field is 0
    }

    void registrarErrorDuringIdentification_data()
    {
        QTest::addColumn<QStringList>("faults");
        QTest::addColumn<QString>("message");
        QTest::newRow("0x28 refused")
            << QStringList{QStringLiteral("28@refuse:6:0")}
            << QStringLiteral("Ошибка подключения регистратора:\n  Неверный пароль доступа! 0006");
        QTest::newRow("0x80 refused")
            << QStringList{QStringLiteral("80@refuse:7:1")}
            << QStringLiteral("Ошибка подключения регистратора:\n  Команда не может быть выполнена в данном состоянии "
                              "регистратора!\nКоманда невыполнима в данном состоянии смены! 0107");
    }
    void registrarErrorDuringIdentification()
    {
        QFETCH(QStringList, faults);
        QFETCH(QString, message);
        Rig rig;
        QStringList args;
        for (const QString &f : faults)
            args << QStringLiteral("--fault") << f;
        rig.connectToEmulator(args);
        QCOMPARE(rig.prompter.messages(), QStringList{message});
        QCOMPARE(rig.m().serialLamp, Lamp::Red);
        QCOMPARE(rig.m().serialButtonText, QStringLiteral("Подключить"));
        QVERIFY(rig.m().serialButtonEnabled && rig.m().usbButtonEnabled && rig.m().serialListsEnabled);
        QVERIFY(!rig.menusEnabled());
        QVERIFY(!rig.app.link().serialOpen());
        QVERIFY(!rig.app.state().sharedMark);
        // A second attempt works.
        rig.prompter.clear();
        rig.emulatorArgs.clear();
        rig.ops->serialButton();
        QVERIFY(rig.prompter.messages().isEmpty());
        QCOMPARE(rig.m().serialLamp, Lamp::Green);
    }

    // A refused frame or a reply that fails its check gives up the connection with its own
    // message, without the error word left on record from the reply before it.
    void linkFailureDuringIdentification_data()
    {
        QTest::addColumn<int>("fault");
        QTest::addColumn<QString>("message");
        QTest::newRow("NAK") << int(emu::Fault::Nak)
                             << QStringLiteral("Ошибка подключения регистратора:\n  Регистратор отверг команду (NAK)! Ошибка! ");
        QTest::newRow("check mismatch")
            << int(emu::Fault::BadCheck)
            << QStringLiteral("Ошибка подключения регистратора:\n  Неверная контрольная сумма ответа регистратора! Ошибка! ");
    }
    void linkFailureDuringIdentification()
    {
        QFETCH(int, fault);
        QFETCH(QString, message);
        Rig rig;
        rig.ops->activate();
        emu::Fault f;
        f.kind = emu::Fault::Kind(fault);
        f.onlyCode = 0x80; // the parameters (0x28) answered "0000" first
        rig.usbRegistrar.injectFault(f);
        rig.ops->usbButton();
        QCOMPARE(rig.prompter.messages(), QStringList{message});
        QCOMPARE(rig.m().usbButtonText, QStringLiteral("Подключить"));
        QVERIFY(!rig.app.state().connected());
        QVERIFY(!rig.menusEnabled());
    }

    void silentRegistrarOverSerial()
    {
        Rig rig;
        rig.connectToEmulator({QStringLiteral("--fault"), QStringLiteral("28@silence")});
        QCOMPARE(rig.prompter.messages(), QStringList{QStringLiteral("Таймаут устройства! Ошибка!")});
        QCOMPARE(rig.m().statusText, QStringLiteral("Таймаут устройства - регистратор не подключен!"));
        QCOMPARE(rig.m().serialLamp, Lamp::Red);
        QCOMPARE(rig.m().serialButtonText, QStringLiteral("Подключить"));
        QVERIFY(rig.m().serialButtonEnabled && rig.m().usbButtonEnabled && rig.m().serialListsEnabled);
        QVERIFY(!rig.app.link().serialOpen());
        QVERIFY(!rig.menusEnabled());
    }

    void silentRegistrarOverUsb()
    {
        Rig rig;
        rig.ops->activate();
        rig.usbRegistrar.injectFault({emu::Fault::Silence});
        rig.ops->usbButton();
        QCOMPARE(rig.prompter.messages(), QStringList{QStringLiteral("Таймаут устройства! Ошибка!")});
        QCOMPARE(rig.m().statusText, QStringLiteral("Таймаут устройства - регистратор не подключен!"));
        QCOMPARE(rig.m().usbLamp, Lamp::Yellow);
        QCOMPARE(rig.m().usbButtonText, QStringLiteral("Подключить"));
        QVERIFY(rig.m().serialButtonEnabled);
        QVERIFY(!rig.menusEnabled());
        QCOMPARE(rig.app.link().activeTransport(), nullptr);
    }

    void portThatCannotBeOpened()
    {
        Rig rig;
        rig.ports = {QStringLiteral("/nonexistent/ttyX")};
        rig.ops->activate();
        rig.ops->serialButton();
        QCOMPARE(rig.prompter.messages(),
                 QStringList{QStringLiteral("Невозможно подключить порт\nПорт /nonexistent/ttyX не найден.")});
        QCOMPARE(rig.m().serialLamp, Lamp::Red);
        QVERIFY(!rig.menusEnabled());
    }

    void virtualPortShowsRestoreButton()
    {
        Rig rig;
        rig.virtualPortAt = 0;
        rig.connectToEmulator();
        QVERIFY(!rig.app.link().OnVirtualPort()); // the emulator is not the virtual COM port
        QVERIFY(!rig.m().restoreUsbVisible);
    }

    void onTheVirtualPortASilentReplyIsAskedAgainAfterThreeSeconds()
    {
        // The registrar behind the USB virtual COM port (an emulator found at its place): the
        // restore button shows, and a reply lost on the way is asked for again after the
        // virtual port's longer pause, not the serial line's.
        Rig rig("[Fiscal Printer]\nReply=1\n");
        EmulatorProcess registrar({QStringLiteral("--fault"), QStringLiteral("21@silence")});
        QVERIFY(!registrar.path().isEmpty());
        rig.ports = {QStringLiteral("ttyS0"), registrar.path()};
        rig.virtualPortAt = 0;
        rig.virtualPort = registrar.path();
        rig.ops->activate();
        rig.selectPort(registrar.path());
        rig.ops->serialButton();
        QCOMPARE(rig.m().serialLamp, Lamp::Green);
        QVERIFY(rig.app.link().OnVirtualPort());
        QVERIFY(rig.m().restoreUsbVisible);

        const qint64 before = rig.clock.nowMs();
        const CommandResult *r = rig.app.link().ExecuteCommand(0x21, "482913;");
        QCOMPARE(r->flags, 0u);
        QCOMPARE(r->fieldCount, 2);
        QCOMPARE(rig.clock.nowMs() - before, qint64(DeviceLink::kVirtualPortPauseMs));
        QCOMPARE(DeviceLink::kVirtualPortPauseMs, 3000);

        rig.ops->serialButton();
        QVERIFY(!rig.app.link().OnVirtualPort());
        QVERIFY(!rig.m().restoreUsbVisible);
    }

    void statusCheck()
    {
        Rig rig;
        rig.ops->activate();
        rig.ops->usbButton();
        rig.app.state().paymentFormCount = 3;
        QVERIFY(rig.ops->checkStatus());
        QCOMPARE(rig.app.state().paymentFormCount, 10);
        QCOMPARE(rig.app.state().currentResult->commandCode, 0x80);
        rig.app.state().sharedMark = false;
        rig.ops->statusScreenClosed();
        QVERIFY(rig.app.state().sharedMark);
        rig.usbRegistrar.injectFault({emu::Fault::Silence});
        rig.usbRegistrar.injectFault({emu::Fault::Silence});
        QVERIFY(!rig.ops->checkStatus());
        QCOMPARE(rig.prompter.messages().last(), QStringLiteral("Проверка состояния регистратора:\n  Таймаут устройства! Ошибка!"));
    }

    void restoreUsbWalksTheDevices()
    {
        Rig rig;
        QList<int> tried;
        MainWindowPlatform p = rig.ops->platform();
        QString match;
        p.restartVirtualPort = [&](int index, const QString &virtualPort, QString &port) {
            tried << index;
            match = virtualPort;
            if (index == 2) {
                port = QStringLiteral("ttyACM1");
                return 0;
            }
            return -1;
        };
        MainWindowOps ops(rig.app, p);
        rig.app.state().virtualPortName = QStringLiteral("ttyACM0");
        ops.restoreUsb();
        QCOMPARE(tried, (QList<int>{0, 1, 2}));
        QCOMPARE(match, QStringLiteral("ttyACM0"));
        QCOMPARE(rig.app.state().virtualPortName, QStringLiteral("ttyACM1"));
        QVERIFY(ops.model().restoreUsbEnabled);
    }

    void terminalPortTest()
    {
        Rig rig("[Communication]\nTerminal=yes\n");
        rig.ops->activate();
        rig.ops->terminalButton(); // ttyS0 is busy
        QCOMPARE(rig.m().terminalLamp, Lamp::Red);
        QCOMPARE(rig.prompter.messages(), QStringList{QStringLiteral("Невозможно подключить порт\nbusy")});
        QCOMPARE(rig.app.state().cardTerminalOpenError, 16);
        rig.ops->model().terminalPortIndex = 1;
        rig.ops->terminalButton();
        QCOMPARE(rig.m().terminalLamp, Lamp::Green);
        QCOMPARE(rig.m().terminalButtonText, QStringLiteral("Отключить"));
        QVERIFY(!rig.m().terminalListsEnabled);
        QCOMPARE(rig.app.state().cardTerminalPort, QStringLiteral("/dev/ttyS1"));
        rig.ops->terminalButton();
        QCOMPARE(rig.m().terminalLamp, Lamp::Red);
        QVERIFY(rig.m().terminalListsEnabled);
    }

    void exchangeLogSwitchedOnAtConnection()
    {
        Rig rig("[Fiscal Printer]\nReply=0\n[LogFile]\nLog=1\nLogName=x.log\n");
        const QString old = QDir::currentPath();
        QDir::setCurrent(rig.dir.path());
        rig.ops->activate();
        rig.ops->usbButton();
        QDir::setCurrent(old);
        QCOMPARE(rig.app.link().Log().logFileName(), QStringLiteral("x.log"));
        QVERIFY(QFile::exists(rig.dir.filePath(QStringLiteral("x.log"))));
        QCOMPARE(rig.app.link().replyCount(), 0);
    }

    void activationKeepsTheUserChoiceAndWaitsForNoConnection()
    {
        Rig rig("[Fiscal Printer]\nReply=0\n[Communication]\nPort=ttyS1\nSpeed=115200\n");
        rig.ops->activate();
        QCOMPARE(rig.m().portIndex, 1);
        // The user picks another port and speed: the next activation (a message box
        // closing, the window regaining focus) keeps them.
        rig.ops->choosePort(0);
        rig.ops->chooseSpeed(int(AppConfig::speeds().indexOf(QStringLiteral("9600"))));
        rig.ops->activate();
        QCOMPARE(rig.m().ports.value(rig.m().portIndex), QStringLiteral("ttyS0"));
        QCOMPARE(MainWindowOps::speedText(rig.m().speedIndex), QStringLiteral("9600"));

        // While connected there is no scan at all: nothing waits, nothing is re-selected.
        rig.connectToEmulator();
        QVERIFY(rig.app.state().serialConnected);
        const qint64 before = rig.clock.nowMs();
        const int shown = int(rig.statusTexts.size());
        rig.ops->activate();
        QCOMPARE(rig.clock.nowMs(), before);
        QCOMPARE(int(rig.statusTexts.size()), shown);
        QCOMPARE(rig.m().ports.value(rig.m().portIndex), MainWindowOps::kEmulatorEntry);
        QVERIFY(rig.m().closeEnabled);
    }

    void connectingShowsItselfAndEnablesMenusOnlyOnAnswer()
    {
        Rig rig;
        QList<bool> busy;
        bool menusWhileConnecting = false;
        Lamp lampWhileConnecting = Lamp::Green;
        MainWindowPlatform p = rig.ops->platform();
        p.busy = [&](bool b) { busy << b; };
        p.repaint = [&] {
            if (rig.ops->connecting()) {
                QCOMPARE(rig.ops->model().statusText, QStringLiteral("Подключение..."));
                menusWhileConnecting = menusWhileConnecting || !rig.ops->model().enabledMenus.isEmpty();
                lampWhileConnecting = rig.ops->model().serialLamp;
            }
        };
        rig.ops = std::make_unique<MainWindowOps>(rig.app, p);
        rig.connectToEmulator();
        QVERIFY(rig.menusEnabled());
        QVERIFY(!menusWhileConnecting);
        QCOMPARE(lampWhileConnecting, Lamp::Yellow);
        QCOMPARE(rig.m().serialLamp, Lamp::Green);
        QCOMPARE(busy, (QList<bool>{true, false}));
        QVERIFY(!rig.ops->connecting());
    }

    void registrarGoneGoesDisconnectedWithAMessage()
    {
        Rig rig;
        rig.connectToEmulator();
        QVERIFY(rig.menusEnabled());
        rig.prompter.clear();
        rig.ops->connectionLost(QStringLiteral("линия оборвана"));
        QCOMPARE(rig.prompter.messages(),
                 QStringList{QStringLiteral("Связь с регистратором потеряна: линия оборвана\nСоединение закрыто.")});
        QCOMPARE(rig.m().serialLamp, Lamp::Red);
        QCOMPARE(rig.m().serialButtonText, QStringLiteral("Подключить"));
        QVERIFY(!rig.menusEnabled());
        QVERIFY(!rig.app.state().connected());
        QCOMPARE(rig.emulatorStops, 1);
        // Reported twice (the port and the emulator's end): said once.
        rig.ops->connectionLost(QStringLiteral("эмулятор регистратора завершил работу"));
        QCOMPARE(rig.prompter.messages().size(), 1);
    }

    void restoreUsbLeavesTheWindowFullyDisconnected()
    {
        Rig rig;
        MainWindowPlatform p = rig.ops->platform();
        p.restartVirtualPort = [&](int, const QString &, QString &port) {
            // The restart closes the registrar's serial port, as the real one does.
            rig.app.link().CloseSerial();
            port = QStringLiteral("ttyACM0");
            return 0;
        };
        rig.ops = std::make_unique<MainWindowOps>(rig.app, p);
        rig.connectToEmulator();
        rig.app.state().virtualPortName = QStringLiteral("ttyACM0");
        rig.ops->restoreUsb();
        QCOMPARE(rig.m().serialLamp, Lamp::Red);
        QVERIFY(!rig.menusEnabled());
        QVERIFY(!rig.m().statusButtonEnabled);
        QVERIFY(rig.m().serialListsEnabled && rig.m().serialButtonEnabled && rig.m().usbButtonEnabled);
        QVERIFY(!rig.app.state().connected());
    }

    void usbWithoutARegistrarSaysSo()
    {
        Rig rig;
        MainWindowPlatform p = rig.ops->platform();
        p.openUsb = []() -> std::unique_ptr<Transport> { return nullptr; };
        rig.ops = std::make_unique<MainWindowOps>(rig.app, p);
        rig.ops->start();
        rig.ops->activate();
        rig.ops->usbButton();
        const QString said = QStringLiteral("Регистратор на USB не найден: проверьте кабель и питание регистратора.");
        QCOMPARE(rig.prompter.messages(), QStringList{said});
        QCOMPARE(rig.m().usbLabel, said);
        QVERIFY(!rig.app.state().usbConnected);
    }

    void menuRoutesByRegistrar_data()
    {
        QTest::addColumn<QString>("version");
        QTest::addColumn<QString>("model");
        QTest::addColumn<QString>("copies");
        QTest::addColumn<QString>("modem");
        QTest::addColumn<QString>("modemCaption");
        QTest::newRow("3.01") << "3.01" << "Korvan KV-44" << "TForm41" << "TForm51" << "";
        QTest::newRow("5.00") << "5.00" << "Korvan KV-44" << "TForm54" << "TForm51" << "";
        QTest::newRow("4.02") << "ver 4.02" << "Korvan KV-44" << "TForm54" << "TForm51" << "";
        QTest::newRow("KP-05") << "KP-05 1.00" << "Korvan KV-44" << "TForm54" << "TForm51" << "";
        QTest::newRow("4.03") << "4.03" << "Korvan KV-44" << "TForm41" << "TForm51" << "";
        QTest::newRow("6208") << "3.01" << "Korvan 6208" << "TForm41" << "TForm44" << "Korvan 6208";
        QTest::newRow("KM-1") << "3.01" << "Korvan KM-1" << "TForm41" << "TForm44" << "Korvan KM-1";
        QTest::newRow("KM-1M") << "3.01" << "Korvan KM-1M" << "TForm41" << "TForm51" << "";
    }
    // The built-in emulator is one registrar across reconnects: what went into its drawer
    // is still there. Starting it afresh asks first (Cancel the default) and, once agreed,
    // reconnects to a registrar with nothing in it.
    void builtInEmulatorKeepsItsMemoryUntilStartedAfresh()
    {
        Rig rig;
        rig.kept = std::make_unique<EmulatorChild>();
        rig.kept->setProgram(QStringLiteral(EMULATOR_PATH));
        QString error;
        QVERIFY(rig.kept->keepIn(rig.dir.filePath(QStringLiteral("data/emulator")), error));
        auto cash = [&rig](const char *amount) {
            return rig.app.link().ExecuteCommand(0x6E, QByteArray("482913;1;") + amount + ';')->errorWord;
        };
        rig.connectToEmulator();
        QVERIFY(rig.app.state().serialConnected);
        QVERIFY(rig.item(MenuItem::EmulatorAfresh));
        QCOMPARE(cash("562.50"), QByteArray("0000"));
        rig.ops->serialButton();
        QVERIFY(!rig.item(MenuItem::EmulatorAfresh));
        rig.ops->serialButton();
        QVERIFY(rig.app.state().serialConnected);
        QCOMPARE(cash("-562.50"), QByteArray("0000"));
        QCOMPARE(cash("100.00"), QByteArray("0000"));

        rig.prompter.clear();
        rig.prompter.answers = {Prompter::Cancel};
        rig.ops->startEmulatorAfresh();
        QCOMPARE(rig.prompter.questions().size(), 1);
        QCOMPARE(rig.prompter.defaults.last(), Prompter::Cancel);
        QVERIFY(rig.app.state().serialConnected);
        QCOMPARE(cash("-100.00"), QByteArray("0000"));
        QCOMPARE(cash("100.00"), QByteArray("0000"));

        rig.prompter.answers = {Prompter::Ok};
        rig.ops->startEmulatorAfresh();
        QVERIFY2(rig.app.state().serialConnected, qPrintable(rig.prompter.messages().join('|')));
        QCOMPARE(cash("-0.01"), QByteArray("080B"));
        QVERIFY(!QFile::exists(rig.dir.filePath(QStringLiteral("data/emulator/lenta.txt")))
                || QFileInfo(rig.dir.filePath(QStringLiteral("data/emulator/lenta.txt"))).size() == 0);
    }

    // A registrar on a device the system does not list (an emulator started by hand) is
    // reached by typing its path; the path is kept in dizivu.ini and offered at the next
    // start.
    void aPortTypedByNameConnectsAndIsKept()
    {
        EmulatorProcess byHand;
        QVERIFY(!byHand.path().isEmpty());
        Rig rig("[Fiscal Printer]\nReply=0\n[Communication]\nSpeed=115200\n");
        rig.ops->activate();
        QVERIFY(!rig.m().ports.contains(byHand.path()));
        rig.ops->typePort(QStringLiteral("  ") + byHand.path() + QStringLiteral(" "));
        QCOMPARE(rig.m().ports, (QStringList{QStringLiteral("ttyS0"), QStringLiteral("ttyS1"), byHand.path(),
                                             MainWindowOps::kEmulatorEntry}));
        rig.ops->serialButton();
        QVERIFY2(rig.app.state().serialConnected, qPrintable(rig.prompter.messages().join('|')));
        QVERIFY(rig.ini().contains(QStringLiteral("Port=") + byHand.path()));
        rig.ops->serialButton();
        // Typed again, it is not listed twice; the next activation keeps it chosen.
        rig.ops->typePort(byHand.path());
        rig.ops->activate();
        QCOMPARE(rig.m().ports.count(byHand.path()), 1);
        QCOMPARE(rig.m().ports.value(rig.m().portIndex), byHand.path());
        rig.ops->typePort(QString());
        QCOMPARE(rig.m().ports.value(rig.m().portIndex), byHand.path());

        Rig next(code_page::toDevice(rig.ini()));
        next.ops->activate();
        QCOMPARE(next.m().ports.value(next.m().portIndex), byHand.path());
    }

    void menuRoutesByRegistrar()
    {
        QFETCH(QString, version);
        QFETCH(QString, model);
        QFETCH(QString, copies);
        QFETCH(QString, modem);
        QFETCH(QString, modemCaption);
        Rig rig;
        rig.connectToEmulator({QStringLiteral("--model"), model, QStringLiteral("--version"), version});
        QVERIFY2(rig.prompter.messages().isEmpty(), qPrintable(rig.prompter.messages().join('|')));
        MenuEntry copiesEntry, modemEntry;
        for (const MenuEntry &e : menuEntries()) {
            if (e.item == MenuItem::ReceiptCopies)
                copiesEntry = e;
            if (e.item == MenuItem::ModemState)
                modemEntry = e;
        }
        QCOMPARE(rig.ops->route(copiesEntry).screen, copies);
        QCOMPARE(rig.ops->route(modemEntry).screen, modem);
        QCOMPARE(rig.ops->route(modemEntry).captionSuffix, modemCaption);
        // An item follows the connection only when the screen it routes to exists.
        QVERIFY(!rig.item(MenuItem::ReceiptCopies));
        rig.ops->builtScreen(copies);
        QVERIFY(rig.item(MenuItem::ReceiptCopies));
    }
};

QTEST_GUILESS_MAIN(MainWindowTest)
#include "tst_main_window.moc"
