// The main window on the offscreen platform, connected through its built-in emulator
// entry to a real registrar-emulator child on a pseudo-terminal.
#include "shell/desktop_platform.h"
#include "shell/main_window_form.h"
#include "link/code_page.h"
#include "support/pty_clock.h"
#include "scripts/script_screens.h"
#include "support/recording_prompter.h"
#include "support/screen_rig.h"
#include "tools/emulator_tape_form.h"
#include "tools/tools_screens.h"
#include "ui/status_screen_form.h"
#include "ui/ui_screens.h"

#include <QAction>
#include <QApplication>
#include <QCalendarWidget>
#include <QComboBox>
#include <QDateEdit>
#include <QLocale>
#include <QDialog>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QWindow>
#include <QStatusBar>
#include <QPixmap>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <csignal>

class MainWindowFormTest : public QObject {
    Q_OBJECT

    struct Rig {
        QTemporaryDir dir;
        RecordingPrompter prompter;
        PtyClock clock;
        std::unique_ptr<Application> app;
        std::unique_ptr<DesktopPlatform> platform;
        std::unique_ptr<MainWindow> window;
        explicit Rig(const QString &ini)
        {
            // The settings file is in the registrar's code page, as the program writes it.
            QFile f(dir.filePath(QStringLiteral("dizivu.ini")));
            f.open(QIODevice::WriteOnly);
            f.write(code_page::toDevice(ini));
            f.close();
            app = std::make_unique<Application>(prompter, clock, dir.filePath(QStringLiteral("dizivu.ini")));
            platform = std::make_unique<DesktopPlatform>(*app);
            platform->emulator().setProgram(QStringLiteral(EMULATOR_PATH));
            // The emulator's memory and tape in the test's folder, never the user's.
            QString error;
            platform->emulator().keepIn(dir.filePath(QStringLiteral("emulator")), error);
            ScreenRegistry screens;
            registerUiScreens(screens);
            registerScriptScreens(screens);
            registerToolScreens(screens);
            window = std::make_unique<MainWindow>(*app, platform->make(), screens);
            window->show();
            window->activateNow();
        }
        template <typename T> T *find(const QString &name) { return widget<T>(*window, name); }
    };

private slots:
    void everyMenuItemIsThereAndDisabledBeforeConnecting()
    {
        Rig rig(QStringLiteral("[Fiscal Printer]\nReply=0\n"));
        QStringList captions;
        for (Menu m : allMenus()) {
            captions << rig.window->menu(m)->title();
            QVERIFY(!rig.window->menu(m)->menuAction()->isEnabled());
        }
        QCOMPARE(captions, (QStringList{QStringLiteral("Продажа"), QStringLiteral("Команды"), QStringLiteral("Отчеты"),
                                        QStringLiteral("Утилиты"), QStringLiteral("Фискальные параметры")}));
        QCOMPARE(rig.window->menu(Menu::Fiscal)->actions().size(), 14);
        QCOMPARE(rig.window->menu(Menu::Utilities)->actions().size(), 14);
        for (const MenuEntry &e : menuEntries())
            QVERIFY(!rig.window->menuAction(e.item)->isEnabled());
        QVERIFY(!rig.find<QPushButton>(QStringLiteral("statusButton"))->isEnabled());
        QVERIFY(rig.find<QPushButton>(QStringLiteral("closeButton"))->isEnabled());
        QVERIFY(!rig.find<QGroupBox>(QStringLiteral("terminalGroup"))->isVisible());
        QCOMPARE(rig.find<QComboBox>(QStringLiteral("portCombo"))->itemText(
                     rig.find<QComboBox>(QStringLiteral("portCombo"))->count() - 1),
                 QStringLiteral("Эмулятор регистратора"));
    }

    void connectsThroughTheEmulatorEntry()
    {
        Rig rig(QStringLiteral("[Communication]\nPort=Эмулятор регистратора\nSpeed=115200\n[Fiscal Printer]\nReply=0\n"));
        auto *port = rig.find<QComboBox>(QStringLiteral("portCombo"));
        QCOMPARE(port->currentText(), QStringLiteral("Эмулятор регистратора"));
        QCOMPARE(rig.find<QComboBox>(QStringLiteral("speedCombo"))->currentText(), QStringLiteral("115200"));
        auto *connect = rig.find<QPushButton>(QStringLiteral("serialConnectButton"));
        QTest::mouseClick(connect, Qt::LeftButton);
        QVERIFY2(rig.prompter.messages().isEmpty(), qPrintable(rig.prompter.messages().join('|')));
        QCOMPARE(connect->text(), QStringLiteral("Отключить"));
        QCOMPARE(rig.find<QLabel>(QStringLiteral("serialLamp"))->property("lamp").toString(), QStringLiteral("green"));
        QVERIFY(!rig.find<QPushButton>(QStringLiteral("usbConnectButton"))->isEnabled());
        QVERIFY(!port->isEnabled());
        QVERIFY(rig.window->identityText().startsWith(QStringLiteral("   Модель:Korvan KV-44,")));
        QVERIFY(rig.window->menu(Menu::Sales)->menuAction()->isEnabled());
        // A menu's status tip is a temporary message: the identity stays in view.
        rig.window->statusBar()->showMessage(QStringLiteral("Подсказка меню"));
        QVERIFY(rig.find<QLabel>(QStringLiteral("identityLabel"))->isVisible());
        QVERIFY(rig.window->identityText().startsWith(QStringLiteral("   Модель:Korvan KV-44,")));
        rig.window->statusBar()->clearMessage();

        // Registered screens follow the connection; a screen that does not exist stays off.
        QVERIFY(rig.window->menuAction(MenuItem::CommandTest)->isEnabled());
        QVERIFY(!rig.window->menuAction(MenuItem::FiscalReceipt)->isEnabled());

        // A screen from the menu opens modally, centred on the window, not at the screen's
        // corner over the menu bar.
        QPoint offCentre(1000, 1000);
        QString opened;
        QTimer::singleShot(0, [&] {
            QDialog *d = qobject_cast<QDialog *>(QApplication::activeModalWidget());
            if (!d)
                return;
            opened = d->objectName();
            offCentre = d->frameGeometry().center() - rig.window->frameGeometry().center();
            d->reject();
        });
        rig.window->menuAction(MenuItem::CommandTest)->trigger();
        QCOMPARE(opened, QStringLiteral("TForm14"));
        QVERIFY2(offCentre.manhattanLength() < 40, qPrintable(QStringLiteral("%1,%2").arg(offCentre.x()).arg(offCentre.y())));

        // The status screen's "Обновить" writes the identity into the window's own status
        // bar: the window hosts every screen, so there is one status screen.
        auto *status = rig.find<QPushButton>(QStringLiteral("statusButton"));
        QVERIFY(status->isEnabled());
        rig.app->state().sharedMark = false;
        rig.window->setStatusText(QString());
        bool seen = false;
        QTimer::singleShot(0, [&] {
            QDialog *d = qobject_cast<QDialog *>(QApplication::activeModalWidget());
            seen = d && d->windowTitle() == QStringLiteral("Байты состояния регистратора");
            if (!d)
                return;
            QTest::mouseClick(widget<QPushButton>(*d, QStringLiteral("refreshButton")), Qt::LeftButton);
            d->reject();
        });
        QTest::mouseClick(status, Qt::LeftButton);
        QVERIFY(seen);
        QVERIFY(rig.app->state().sharedMark);
        QVERIFY(rig.window->identityText().startsWith(QStringLiteral("   Модель:Korvan KV-44,")));
        QCOMPARE(rig.window->screen<TForm5>(), rig.window->screen(QStringLiteral("TForm5")));

        // The connected window renders (kept in the test's folder, never a shared one).
        const QPixmap shot = rig.window->grab();
        QVERIFY(!shot.isNull());
        QVERIFY(shot.save(rig.dir.filePath(QStringLiteral("main-window.png"))));

        QTest::mouseClick(connect, Qt::LeftButton);
        QCOMPARE(connect->text(), QStringLiteral("Подключить"));
        QCOMPARE(rig.find<QLabel>(QStringLiteral("serialLamp"))->property("lamp").toString(), QStringLiteral("red"));
        QVERIFY(!rig.window->menu(Menu::Sales)->menuAction()->isEnabled());
        QVERIFY(!rig.platform->emulator().running());
    }

    void tapeWindowFollowsTheBuiltInEmulator()
    {
        Rig rig(QStringLiteral("[Communication]\nPort=Эмулятор регистратора\nSpeed=115200\n[Fiscal Printer]\nReply=0\n"));
        auto *connect = rig.find<QPushButton>(QStringLiteral("serialConnectButton"));
        QTest::mouseClick(connect, Qt::LeftButton);
        QVERIFY(!rig.app->state().emulatorTapePath.isEmpty());

        // The tape window opens beside the main window without holding it.
        rig.window->menuAction(MenuItem::EmulatorTape)->trigger();
        QDialog *tape = rig.window->screen(QStringLiteral("EmulatorTapeWindow"));
        QVERIFY(tape->isVisible());
        QVERIFY(!QApplication::activeModalWidget());
        // A window of its own beside the main window, inside the display, so that the
        // screens (modal to the main window) do not block it.
        QVERIFY(!tape->parentWidget());
        QVERIFY(!tape->windowHandle()->transientParent());
        const QRect room = rig.window->QWidget::screen()->availableGeometry();
        QVERIFY2(room.contains(tape->frameGeometry()),
                 qPrintable(QStringLiteral("%1,%2 %3x%4 in %5x%6").arg(tape->frameGeometry().x()).arg(tape->frameGeometry().y())
                                .arg(tape->frameGeometry().width()).arg(tape->frameGeometry().height())
                                .arg(room.width()).arg(room.height())));
        if (room.width() >= rig.window->frameGeometry().right() + 1 + tape->frameGeometry().width())
            QVERIFY(!tape->frameGeometry().intersects(rig.window->frameGeometry()));
        bool tapeFree = false;
        QTimer::singleShot(0, [&] {
            QWidget *modal = QApplication::activeModalWidget();
            tapeFree = modal && modal->windowModality() == Qt::WindowModal && tape->isVisible()
                && !tape->windowHandle()->transientParent();
            if (modal)
                static_cast<QDialog *>(modal)->reject();
        });
        rig.window->openScreen(QStringLiteral("TForm14"));
        QVERIFY(tapeFree);

        // What the program has the emulator print shows there.
        QVERIFY(rig.app->execute(0x60, "482913;")->errorWord == "0000");
        rig.app->execute(0x61, code_page::toDevice(QStringLiteral("482913;Проба ленты;")));
        rig.app->execute(0x62, "482913;");
        auto *text = widget<QPlainTextEdit>(*tape, QStringLiteral("tapeEdit"));
        QTRY_VERIFY(text->toPlainText().startsWith(QStringLiteral("Проба ленты\n")));

        QTest::mouseClick(connect, Qt::LeftButton);
        QVERIFY(rig.app->state().emulatorTapePath.isEmpty());
        QTRY_COMPARE(widget<QLabel>(*tape, QStringLiteral("stateLabel"))->text(), EmulatorTapeWindow::kNotConnected);
        tape->close();
    }

    // Every date picker in Russian, whatever the system's locale; numbers still read
    // with ".".
    void datesAreRussian()
    {
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        useRussianLocale(*qApp);
        QDateEdit edit(QDate(2026, 12, 10));
        edit.setCalendarPopup(true);
        QCOMPARE(edit.calendarWidget()->locale().standaloneMonthName(12), QStringLiteral("декабрь"));
        QCOMPARE(edit.calendarWidget()->locale().dayName(1, QLocale::ShortFormat), QStringLiteral("пн"));
        QCOMPARE(QString::number(12.5), QStringLiteral("12.5"));
    }

    void besideTheMainWindow_data()
    {
        QTest::addColumn<QRect>("main");
        QTest::addColumn<QSize>("size");
        QTest::addColumn<QRect>("placed");
        const QRect room(0, 0, 1366, 738); // 1366 × 768 less a panel
        QTest::newRow("right") << QRect(100, 50, 600, 400) << QSize(450, 700) << QRect(700, 38, 450, 700);
        QTest::newRow("left") << QRect(800, 100, 500, 400) << QSize(450, 600) << QRect(350, 100, 450, 600);
        QTest::newRow("too tall: cut to the room") << QRect(0, 0, 600, 400) << QSize(450, 900) << QRect(600, 0, 450, 738);
        QTest::newRow("neither side: the roomier edge") << QRect(300, 0, 800, 400) << QSize(450, 500)
                                                        << QRect(0, 0, 450, 500);
    }
    void besideTheMainWindow()
    {
        QFETCH(QRect, main);
        QFETCH(QSize, size);
        QFETCH(QRect, placed);
        QCOMPARE(MainWindow::besideWindow(size, main, QRect(0, 0, 1366, 738)), placed);
    }

    void killedEmulatorTurnsTheLampRed()
    {
        Rig rig(QStringLiteral("[Communication]\nPort=Эмулятор регистратора\n[Fiscal Printer]\nReply=0\n"));
        auto *connect = rig.find<QPushButton>(QStringLiteral("serialConnectButton"));
        QTest::mouseClick(connect, Qt::LeftButton);
        QCOMPARE(connect->text(), QStringLiteral("Отключить"));
        rig.prompter.clear();
        // The registrar dies while the window waits for the user: the port hangs up and the
        // child ends; the window notices without a command being sent.
        ::kill(pid_t(rig.platform->emulator().processId()), SIGKILL);
        QTRY_COMPARE_WITH_TIMEOUT(connect->text(), QStringLiteral("Подключить"), 5000);
        QCOMPARE(rig.find<QLabel>(QStringLiteral("serialLamp"))->property("lamp").toString(), QStringLiteral("red"));
        QVERIFY(!rig.window->menu(Menu::Sales)->menuAction()->isEnabled());
        QCOMPARE(rig.prompter.messages().size(), 1);
        QVERIFY(rig.prompter.messages().first().startsWith(QStringLiteral("Связь с регистратором потеряна: ")));
        QVERIFY(!rig.app->link().serialOpen());
    }

    void closingTheWindowEndsTheEmulator()
    {
        Rig rig(QStringLiteral("[Communication]\nPort=Эмулятор регистратора\n[Fiscal Printer]\nReply=0\n"));
        QTest::mouseClick(rig.find<QPushButton>(QStringLiteral("serialConnectButton")), Qt::LeftButton);
        QVERIFY(rig.platform->emulator().running());
        rig.window->close();
        QVERIFY(!rig.platform->emulator().running());
        QVERIFY(!rig.app->link().serialOpen());
    }
};

QTEST_MAIN(MainWindowFormTest)
#include "tst_main_window_form.moc"
