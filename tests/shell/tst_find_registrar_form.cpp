// "Найти регистратор" on the main window (offscreen): a real registrar-emulator child and
// silent pseudo-terminals stand in for the machine's serial ports.
#include "app/ini_file.h"
#include "shell/desktop_platform.h"
#include "shell/main_window_form.h"
#include "support/emulator_process.h"
#include "support/pty_clock.h"
#include "support/recording_prompter.h"
#include "support/screen_rig.h"
#include "support/silent_port.h"
#include "ui/ui_screens.h"

#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

namespace {

struct Rig {
    QTemporaryDir dir;
    RecordingPrompter prompter;
    PtyClock clock;
    std::unique_ptr<Application> app;
    std::unique_ptr<DesktopPlatform> platform;
    std::unique_ptr<MainWindow> window;

    explicit Rig(const QStringList &ports, bool bankTerminal = false)
    {
        IniFile(dir.filePath(QStringLiteral("dizivu.ini"))).writeString(QStringLiteral("Fiscal Printer"), QStringLiteral("Reply"), QStringLiteral("0"));
        if (bankTerminal)
            IniFile(dir.filePath(QStringLiteral("dizivu.ini"))).writeString(QStringLiteral("Communication"), QStringLiteral("Terminal"), QStringLiteral("1"));
        app = std::make_unique<Application>(prompter, clock, dir.filePath(QStringLiteral("dizivu.ini")));
        platform = std::make_unique<DesktopPlatform>(*app);
        QString error;
        platform->emulator().keepIn(dir.filePath(QStringLiteral("emulator")), error);
        MainWindowPlatform p = platform->make();
        p.listPorts = [ports] { return ports; };
        p.findVirtualPort = [](int, QString &) { return -2; };
        ScreenRegistry screens;
        registerUiScreens(screens);
        window = std::make_unique<MainWindow>(*app, p, screens);
        window->show();
        window->activateNow();
    }
    template <typename T> T *find(const QString &name) { return widget<T>(*window, name); }
};

} // namespace

class FindRegistrarFormTest : public QObject {
    Q_OBJECT

private slots:
    void findsSelectsStoresAndConnects()
    {
        SilentPort silent;
        EmulatorProcess registrar({QStringLiteral("--line-speed"), QStringLiteral("9600"), QStringLiteral("--model"),
                                   QStringLiteral("Korvan KM-1")});
        QVERIFY(!registrar.path().isEmpty() && !silent.path().isEmpty());
        Rig rig({silent.path(), registrar.path()});
        auto *find = rig.find<QPushButton>(QStringLiteral("findRegistrarButton"));
        auto *connect = rig.find<QPushButton>(QStringLiteral("serialConnectButton"));
        QVERIFY(find->isEnabled());

        // While the search runs, the window answers: the button offers to stop, nothing
        // else can be pressed, the status bar says what is being tried.
        QString caption, status;
        bool othersOff = false;
        QTimer::singleShot(0, [&] {
            caption = find->text();
            status = rig.window->identityText();
            othersOff = !connect->isEnabled() && !rig.find<QComboBox>(QStringLiteral("portCombo"))->isEnabled()
                && !rig.find<QPushButton>(QStringLiteral("closeButton"))->isEnabled();
        });
        rig.prompter.answers.push_back(Prompter::Yes);
        QTest::mouseClick(find, Qt::LeftButton);
        QCOMPARE(caption, QStringLiteral("Остановить поиск"));
        QVERIFY(othersOff);
        QVERIFY2(status.startsWith(QStringLiteral("Поиск регистратора: ")), qPrintable(status));

        // Found at 9600 on the second port: selected, stored, and the connection offered.
        QCOMPARE(rig.prompter.questions().size(), 1);
        QVERIFY2(rig.prompter.questions().first().contains(QStringLiteral("скорость 9600 бод")), qPrintable(rig.prompter.questions().first()));
        QVERIFY(rig.prompter.questions().first().contains(QStringLiteral("модель Korvan KM-1")));
        QCOMPARE(rig.find<QComboBox>(QStringLiteral("portCombo"))->currentText(), registrar.path());
        QCOMPARE(rig.find<QComboBox>(QStringLiteral("speedCombo"))->currentText(), QStringLiteral("9600"));
        QCOMPARE(rig.app->config().port(), registrar.path());
        QCOMPARE(rig.app->config().speed(), QStringLiteral("9600"));
        // Accepted: connected as by "Подключить".
        QVERIFY2(rig.prompter.messages().isEmpty(), qPrintable(rig.prompter.messages().join('|')));
        QCOMPARE(connect->text(), QStringLiteral("Отключить"));
        QCOMPARE(rig.find<QLabel>(QStringLiteral("serialLamp"))->property("lamp").toString(), QStringLiteral("green"));
        QVERIFY(rig.window->identityText().startsWith(QStringLiteral("   Модель:Korvan KM-1,")));
        QVERIFY(!find->isEnabled());
        QCOMPARE(find->text(), QStringLiteral("Найти регистратор"));

        // The choice outlives the next activation.
        QTest::mouseClick(connect, Qt::LeftButton);
        rig.window->activateNow();
        QCOMPARE(rig.find<QComboBox>(QStringLiteral("portCombo"))->currentText(), registrar.path());
        QCOMPARE(rig.find<QComboBox>(QStringLiteral("speedCombo"))->currentText(), QStringLiteral("9600"));
    }

    void declinedLeavesTheWindowDisconnected()
    {
        EmulatorProcess registrar;
        QVERIFY(!registrar.path().isEmpty());
        Rig rig({registrar.path()});
        rig.prompter.answers.push_back(Prompter::No);
        QTest::mouseClick(rig.find<QPushButton>(QStringLiteral("findRegistrarButton")), Qt::LeftButton);
        QCOMPARE(rig.prompter.questions().size(), 1);
        QVERIFY(!rig.app->link().serialOpen());
        QCOMPARE(rig.find<QLabel>(QStringLiteral("serialLamp"))->property("lamp").toString(), QStringLiteral("red"));
        QCOMPARE(rig.find<QComboBox>(QStringLiteral("speedCombo"))->currentText(), QStringLiteral("115200"));
        QVERIFY(rig.find<QPushButton>(QStringLiteral("serialConnectButton"))->isEnabled());
    }

    void theButtonStopsTheSearch()
    {
        SilentPort a, b;
        Rig rig({a.path(), b.path()});
        rig.window->render();
        auto *find = rig.find<QPushButton>(QStringLiteral("findRegistrarButton"));
        const int speedBefore = rig.find<QComboBox>(QStringLiteral("speedCombo"))->currentIndex();
        // The second click comes while the search runs (the button then offers to stop it).
        QTimer stopper;
        stopper.setInterval(5);
        bool stopped = false;
        QObject::connect(&stopper, &QTimer::timeout, [&] {
            if (stopped || find->text() != QStringLiteral("Остановить поиск"))
                return;
            stopped = true;
            QTest::mouseClick(find, Qt::LeftButton);
        });
        stopper.start();
        QTest::mouseClick(find, Qt::LeftButton);
        stopper.stop();
        QVERIFY(stopped);
        QCOMPARE(rig.window->identityText(), QStringLiteral("Поиск регистратора прерван."));
        QVERIFY(rig.prompter.shown.isEmpty());
        QCOMPARE(find->text(), QStringLiteral("Найти регистратор"));
        QVERIFY(find->isEnabled());
        QVERIFY(rig.find<QPushButton>(QStringLiteral("serialConnectButton"))->isEnabled());
        QVERIFY(rig.find<QPushButton>(QStringLiteral("closeButton"))->isEnabled());
        QCOMPARE(rig.find<QComboBox>(QStringLiteral("speedCombo"))->currentIndex(), speedBefore);
    }

    void theBankTerminalsPortIsNotSearched()
    {
        // The only port is the one chosen for the bank terminal: no registrar frame goes
        // there, so nothing is found even though a registrar would answer on it.
        QTemporaryDir journalDir;
        const QString journal = journalDir.filePath(QStringLiteral("journal"));
        EmulatorProcess registrar({QStringLiteral("--journal"), journal});
        QVERIFY(!registrar.path().isEmpty());
        Rig rig({registrar.path()}, true);
        QCOMPARE(rig.find<QComboBox>(QStringLiteral("terminalPortCombo"))->currentText(), registrar.path());
        QTest::mouseClick(rig.find<QPushButton>(QStringLiteral("findRegistrarButton")), Qt::LeftButton);
        QVERIFY(rig.prompter.questions().isEmpty());
        // The message says which port was left out, not that there is none.
        QCOMPARE(rig.prompter.messages(),
                 QStringList{QStringLiteral("Регистратор не найден: других последовательных портов нет.\n"
                                            "Порт %1 выбран для банковского терминала и не проверялся.")
                                 .arg(registrar.path())});
        registrar.stop();
        QFile carriedOut(journal);
        QVERIFY(!carriedOut.open(QIODevice::ReadOnly) || carriedOut.readAll().isEmpty());
    }

    void portsThatCannotBeOpenedAreNamedWhenNothingIsFound()
    {
        const QString missing = QStringLiteral("/dev/ttyDIZIVU-none");
        Rig rig({missing});
        QTest::mouseClick(rig.find<QPushButton>(QStringLiteral("findRegistrarButton")), Qt::LeftButton);
        QCOMPARE(rig.prompter.messages(),
                 QStringList{QStringLiteral("Регистратор не найден ни на одном порту ни на одной скорости.\n"
                                            "Не открылись:\n  Порт %1 не найден.").arg(missing)});
        QCOMPARE(rig.window->identityText(), QStringLiteral("Регистратор не найден."));
    }
};

QTEST_MAIN(FindRegistrarFormTest)
#include "tst_find_registrar_form.moc"
