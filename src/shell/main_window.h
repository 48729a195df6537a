#pragma once

#include "app/application.h"
#include "commands/command_codes.h"
#include "shell/main_menu.h"
#include "link/transport.h"

#include <QMap>
#include <QSet>
#include <QString>
#include <QStringList>

#include <atomic>
#include <functional>
#include <memory>

struct Verdict;

enum class Lamp { Red, Yellow, Green };

// Everything the main window shows, as plain data: the form draws it after each operation.
struct MainWindowModel {
    struct ItemState {
        bool enabled = true;
        bool visible = true;
    };

    Lamp serialLamp = Lamp::Red;
    QString serialButtonText = QStringLiteral("Подключить");
    bool serialButtonEnabled = false;
    bool serialListsEnabled = true;
    bool restoreUsbVisible = false;
    bool restoreUsbEnabled = true;

    Lamp usbLamp = Lamp::Red;
    QString usbButtonText = QStringLiteral("Подключить");
    bool usbButtonEnabled = false;
    QString usbLabel;

    bool terminalGroupVisible = false;
    Lamp terminalLamp = Lamp::Red;
    QString terminalButtonText = QStringLiteral("Подключить");
    bool terminalListsEnabled = true;

    // "Найти регистратор", and while the search runs the way to stop it.
    QString searchButtonText = QStringLiteral("Найти регистратор");

    bool statusButtonEnabled = false;
    bool closeEnabled = false;
    bool aboutEnabled = true;
    QString statusText;

    QStringList ports;          // the registrar port list, the emulator entry last
    int portIndex = -1;
    int speedIndex = 6;         // 9600
    QStringList terminalPorts;
    int terminalPortIndex = -1;
    int terminalSpeedIndex = 10; // 115200

    QSet<Menu> enabledMenus;
    QMap<MenuItem, ItemState> items;
    // Whether the program is connected is the application state's to say
    // (AppState::connected()), never a button caption's.
};

// What the main window needs from the machine, replaceable in tests.
struct MainWindowPlatform {
    // Names of the serial ports present.
    std::function<QStringList()> listPorts;
    // The registrar's virtual COM port at a device index: 0 found (portName set),
    // -1 not this one, -2 no more devices.
    std::function<int(int index, QString &portName)> findVirtualPort;
    // USB recovery at a device index for the virtual COM port found at activation, same
    // result codes.
    std::function<int(int index, const QString &virtualPortName, QString &portName)> restartVirtualPort;
    // Whether the USB library can be loaded.
    std::function<bool()> usbLibraryPresent;
    // Opens the USB device; null when it cannot be opened.
    std::function<std::unique_ptr<Transport>()> openUsb;
    // Resets and closes the USB device of a transport made by openUsb.
    std::function<void(Transport &)> closeUsb;
    // Starts the built-in emulator; returns its device path, or an empty text with the
    // reason in `error`.
    std::function<QString(QString &error)> startEmulator;
    std::function<void()> stopEmulator;
    // Stops the built-in emulator and removes its memory and tape; false with the reason
    // in `error` when a file cannot be removed.
    std::function<bool(QString &error)> forgetEmulator;
    // Tries the bank-terminal port at a speed: 0, or the system's error code.
    std::function<int(const QString &port, qint32 speed, QString &reason)> tryTerminalPort;
    // Lets the window repaint during the waits of the activation.
    std::function<void()> repaint;
    // The window is busy talking to the registrar (a wait cursor), or no longer.
    std::function<void(bool busy)> busy;
    // Calls `onExit` when the built-in emulator ends by itself (killed, crashed).
    std::function<void(std::function<void()> onExit)> watchEmulatorExit;
    // The screens that exist; menu items of the others stay disabled.
    QSet<QString> builtScreens;
};

// The connection workflow of the main window, without widgets.
class MainWindowOps {
public:
    static inline const QString kEmulatorEntry = QStringLiteral("Эмулятор регистратора");
    static inline const QString kPassword = QString::fromLatin1(cmd::kDefaultPassword);

    MainWindowOps(Application &app, MainWindowPlatform platform);

    const MainWindowModel &model() const { return m_model; }
    MainWindowModel &model() { return m_model; }
    const MainWindowPlatform &platform() const { return m_platform; }

    // Program start: the USB library test.
    void start();
    // Every time the window becomes active.
    void activate();
    // The serial group's button: connects while red, disconnects while green.
    void serialButton();
    // The USB group's button.
    void usbButton();
    // "Состояние регистратора": true when the status screen is to be opened.
    bool checkStatus();
    // The status screen has closed.
    void statusScreenClosed();
    // The registrar went away (the port's device is gone, the built-in emulator ended):
    // the window goes to the disconnected state and says why.
    void connectionLost(const QString &why);
    // The user chose a port or a speed in the lists: the activation keeps the choice.
    void choosePort(int index);
    void chooseSpeed(int index);
    // The user typed a port into the port box: a device path (/dev/pts/3, /tmp/emu) or a
    // name under /dev. It joins the list and is chosen; a connection stores it in the
    // settings file like a listed port.
    void typePort(const QString &text);
    // A connection is being made (the registrar is being identified).
    bool connecting() const { return m_connecting; }

    // "Найти регистратор": searches the listed ports (the registrar's virtual COM port
    // first) at every speed; `idle` runs while it waits, so the window stays responsive.
    // When the registrar is found its port and speed are selected and stored, and the
    // user is asked whether to connect.
    void findRegistrar(const std::function<void()> &idle = {});
    bool searching() const { return m_searching; }
    // The search ends at its next look at the flag.
    void stopSearch() { m_stopSearch.store(true); }
    // The button can start a search (nothing connected or connecting), or stop one.
    bool searchAvailable() const;

    // Which screen a menu item opens, for the registrar now connected, and what the
    // screen's caption gets appended while it is open.
    struct Route {
        QString screen;
        QString captionSuffix;
    };
    Route route(const MenuEntry &entry) const;
    // "Начать эмулятор заново": after the user's yes, the built-in emulator forgets its
    // memory and tape; a connection to it is made again to the new registrar.
    void startEmulatorAfresh();
    // "Восстановить USB".
    void restoreUsb();
    // The bank-terminal group's button.
    void terminalButton();

    static QString speedText(int index);
    // A screen now exists: its menu items follow the connection from now on.
    void builtScreen(const QString &screen)
    {
        m_platform.builtScreens.insert(screen);
        applyModelMenus();
    }

private:
    void connectSerial();
    void disconnectSerial();
    void connectUsb();
    void disconnectUsb();
    // The transport is open: menus and the status view on, port lists off.
    void showConnected(bool serial);
    // Menus off, both connect buttons and the port lists on, no status view.
    void showDisconnected();
    void readConnectionSettings();
    // Sends the start-up frame and the identification commands while the window shows
    // that it is connecting; the verdict of the first that failed, or success.
    Verdict askIdentity(bool serial);
    // The identification, and on failure its message and the way back to disconnected.
    bool identify(bool serial);
    void failedCheck(bool serial, const Verdict &verdict);
    void timedOut(bool serial, const Verdict &verdict);
    void applyIdentification(const CommandResult &r, bool serial);
    void setMenusEnabled(bool enabled);
    void applyModelMenus();
    void wait(int ms);
    QString selectedPort() const;
    QString openFailureText(const QString &reason) const;
    void selectFound(const QString &port, qint32 speed);

    Application &m_app;
    MainWindowPlatform m_platform;
    MainWindowModel m_model;
    bool m_onEmulator = false;
    bool m_connecting = false;
    // The user's own choice in the port and speed lists, by name, until the next
    // connection stores it in the settings file.
    QString m_chosenPort;
    QString m_chosenSpeed;
    Transport *m_usb = nullptr;
    bool m_searching = false;
    std::atomic<bool> m_stopSearch{false};
};
