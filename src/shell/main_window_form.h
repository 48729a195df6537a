#pragma once

#include "shell/main_window.h"
#include "ui/screen_host.h"

#include <QMainWindow>
#include <QList>
#include <QMap>
#include <QRect>

class QAction;
class QComboBox;
class QGroupBox;
class QLabel;
class QMenu;
class QPushButton;
class QDialog;

// The main window: the connections, the menus that open every other screen, the status
// view. It is the host of every screen: it creates each registered screen once, on first
// use, and opens it centred on itself.
class MainWindow : public QMainWindow, public ScreenHost {
    Q_OBJECT
public:
    MainWindow(Application &app, MainWindowPlatform platform, const ScreenRegistry &screens,
               QWidget *parent = nullptr);
    ~MainWindow() override;

    // Where a window of `size` (its frame) goes beside the main window `main` within the
    // display's available area `room`: to the right, else to the left, clear of the main
    // window; where neither side holds it, at the roomier side's edge. Never larger than
    // the room, never outside it.
    static QRect besideWindow(const QSize &size, const QRect &main, const QRect &room);

    MainWindowOps &ops() { return m_ops; }
    // The activation steps, as when the window becomes active.
    void activateNow();
    // Draws the model.
    void render();
    QAction *menuAction(MenuItem item) const { return m_actions.value(item); }
    QMenu *menu(Menu m) const { return m_menus.value(m); }
    // What the status bar shows of the registrar.
    QString identityText() const;

    // The screen host.
    using ScreenHost::openScreen;
    using ScreenHost::screen;
    QDialog *screen(const QString &className) override;
    void *provided(const std::type_info &interface) override { return m_registry.provided(interface, *this); }
    void openScreen(const QString &className) override;
    void setStatusText(const QString &text) override;
    QString connectedPortName() override;
    void connectionSpeedChanged(qint32 rate) override;
    void connectionLost() override;

protected:
    void changeEvent(QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void buildWidgets();
    void buildMenus();
    void openStatus();
    void openMenuItem(const MenuEntry &entry);
    void loseConnection(const QString &why);
    static void paintLamp(QLabel *lamp, Lamp colour);

    Application &m_app;
    MainWindowOps m_ops;
    bool m_activating = false;
    bool m_rendering = false;
    bool m_waitCursor = false;

    QComboBox *m_portCombo = nullptr;
    QComboBox *m_speedCombo = nullptr;
    QLabel *m_serialLamp = nullptr;
    QPushButton *m_serialButton = nullptr;
    QPushButton *m_searchButton = nullptr;
    QPushButton *m_restoreUsbButton = nullptr;
    QLabel *m_usbLamp = nullptr;
    QLabel *m_usbLabel = nullptr;
    QPushButton *m_usbButton = nullptr;
    QGroupBox *m_terminalGroup = nullptr;
    QComboBox *m_terminalPortCombo = nullptr;
    QComboBox *m_terminalSpeedCombo = nullptr;
    QLabel *m_terminalLamp = nullptr;
    QPushButton *m_terminalButton = nullptr;
    QPushButton *m_statusButton = nullptr;
    QPushButton *m_closeButton = nullptr;
    QAction *m_aboutAction = nullptr;
    QLabel *m_identityLabel = nullptr;
    QMap<Menu, QMenu *> m_menus;
    QMap<MenuItem, QAction *> m_actions;
    ScreenRegistry m_registry;
    QMap<QString, QDialog *> m_screens;
    // Screens made windows of their own (no parent), deleted with the main window.
    QList<QDialog *> m_topLevelScreens;
};
