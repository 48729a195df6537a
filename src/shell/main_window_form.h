#pragma once

#include "shell/main_window.h"

#include <QMainWindow>
#include <QMap>

#include <functional>

class QAction;
class QComboBox;
class QGroupBox;
class QLabel;
class QMenu;
class QPushButton;
class QDialog;

// The main window: the connections, the menus that open every other screen, the status view.
class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    using ScreenFactory = std::function<QDialog *(Application &, QWidget *parent)>;

    MainWindow(Application &app, MainWindowPlatform platform, QWidget *parent = nullptr);

    MainWindowOps &ops() { return m_ops; }
    // Registers the window class that a menu item (by its screen name) opens.
    void registerScreen(const QString &screen, ScreenFactory factory);
    // The activation steps, as when the window becomes active.
    void activateNow();
    // Draws the model.
    void render();
    // A screen has read the registrar's identity again.
    void showStatusText(const QString &text)
    {
        m_ops.model().statusText = text;
        render();
    }
    QAction *menuAction(MenuItem item) const { return m_actions.value(item); }
    QMenu *menu(Menu m) const { return m_menus.value(m); }
    QDialog *screen(const QString &name) const { return m_screens.value(name); }

protected:
    void changeEvent(QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void buildWidgets();
    void buildMenus();
    void openScreen(const QString &name);
    void openStatus();
    static void paintLamp(QLabel *lamp, Lamp colour);

    Application &m_app;
    MainWindowOps m_ops;
    bool m_activating = false;
    bool m_rendering = false;

    QComboBox *m_portCombo = nullptr;
    QComboBox *m_speedCombo = nullptr;
    QLabel *m_serialLamp = nullptr;
    QPushButton *m_serialButton = nullptr;
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
    QMap<Menu, QMenu *> m_menus;
    QMap<MenuItem, QAction *> m_actions;
    QMap<QString, ScreenFactory> m_factories;
    QMap<QString, QDialog *> m_screens;
};
