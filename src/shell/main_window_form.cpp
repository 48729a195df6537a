// The main window.
#include "shell/main_window_form.h"

#include "ui/desktop_prompter.h"
#include "ui/form_kit.h"
#include "ui/screen_dialog.h"
#include "ui/status_screen_form.h"

#include <QAction>
#include <QApplication>
#include <QTimer>
#include <QCoreApplication>
#include <QEventLoop>
#include <QCloseEvent>
#include <QComboBox>
#include <QDialog>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>
#include <QStatusBar>
#include <QVBoxLayout>

MainWindow::MainWindow(Application &app, MainWindowPlatform platform, const ScreenRegistry &screens,
                       QWidget *parent)
    : QMainWindow(parent), m_app(app), m_ops(app, [&] {
          if (!platform.repaint)
              platform.repaint = [this] {
                  render();
                  QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
              };
          if (!platform.busy)
              platform.busy = [this](bool busy) {
                  if (busy == m_waitCursor)
                      return;
                  m_waitCursor = busy;
                  if (busy)
                      QApplication::setOverrideCursor(Qt::WaitCursor);
                  else
                      QApplication::restoreOverrideCursor();
              };
          return platform;
      }()),
      m_registry(screens)
{
    setObjectName(QStringLiteral("mainWindow"));
    setWindowTitle(desktop_prompter::kProgramTitle);
    setMinimumWidth(560);
    buildWidgets();
    buildMenus();
    // While the registrar is being identified the window keeps painting between reads.
    m_app.link().setInterruptHook([this] {
        if (m_ops.connecting())
            m_ops.platform().repaint();
        return false;
    });
    // A registrar that goes away is noticed by the port, or by the built-in emulator's end.
    m_app.link().setConnectionLostHook([this](const QString &why) { loseConnection(why); });
    if (m_ops.platform().watchEmulatorExit)
        m_ops.platform().watchEmulatorExit(
            [this] { loseConnection(QStringLiteral("эмулятор регистратора завершил работу")); });
    // Menu items of the screens that exist follow the connection; the others stay off.
    for (const QString &name : m_registry.classNames())
        m_ops.builtScreen(name);
    m_ops.start();
    render();
}

void MainWindow::paintLamp(QLabel *lamp, Lamp colour)
{
    const char *css = colour == Lamp::Green ? "#2e9d3a" : colour == Lamp::Yellow ? "#e8c21c" : "#d23b2f";
    lamp->setStyleSheet(QStringLiteral("background-color: %1; border: 1px solid #555; border-radius: 8px;")
                            .arg(QLatin1String(css)));
    lamp->setProperty("lamp", colour == Lamp::Green ? "green" : colour == Lamp::Yellow ? "yellow" : "red");
}

void MainWindow::buildWidgets()
{
    auto *central = new QWidget(this);
    auto *layout = new QVBoxLayout(central);

    auto makeLamp = [this](const QString &name) {
        auto *lamp = new QLabel(this);
        lamp->setObjectName(name);
        lamp->setFixedSize(16, 16);
        return lamp;
    };
    auto makeSpeeds = [this](const QString &name) {
        auto *combo = new QComboBox(this);
        combo->setObjectName(name);
        combo->addItems(AppConfig::speeds());
        return combo;
    };

    // Serial port.
    auto *serialGroup = new QGroupBox(QStringLiteral("Подключение к последовательному порту (включая виртуальный)"), central);
    serialGroup->setObjectName(QStringLiteral("serialGroup"));
    auto *serialForm = new QFormLayout;
    m_portCombo = new QComboBox(serialGroup);
    m_portCombo->setObjectName(QStringLiteral("portCombo"));
    m_portCombo->setMinimumContentsLength(18);
    // Any port by name: the user may type a device path the system does not list.
    m_portCombo->setEditable(true);
    m_portCombo->setInsertPolicy(QComboBox::NoInsert);
    m_portCombo->setCompleter(nullptr); // a typed path is taken as typed, never completed
    m_portCombo->lineEdit()->setPlaceholderText(QStringLiteral("/dev/..."));
    m_portCombo->setToolTip(QStringLiteral("Порт из списка или путь к устройству, например /dev/pts/3"));
    m_speedCombo = makeSpeeds(QStringLiteral("speedCombo"));
    m_searchButton = kit::button(QStringLiteral("Найти регистратор"), QStringLiteral("findRegistrarButton"), serialGroup);
    // Wide enough for either caption: the row does not jump when the search starts.
    m_searchButton->setText(QStringLiteral("Остановить поиск"));
    const int stopWidth = m_searchButton->sizeHint().width();
    m_searchButton->setText(QStringLiteral("Найти регистратор"));
    m_searchButton->setMinimumWidth(qMax(stopWidth, m_searchButton->sizeHint().width()));
    auto *portRow = new QHBoxLayout;
    portRow->addWidget(m_portCombo, 1);
    portRow->addWidget(m_searchButton);
    serialForm->addRow(QStringLiteral("Последовательный порт:"), portRow);
    serialForm->addRow(QStringLiteral("Скорость порта (бод):"), m_speedCombo);
    m_serialLamp = makeLamp(QStringLiteral("serialLamp"));
    m_serialButton = kit::button(QStringLiteral("Подключить"), QStringLiteral("serialConnectButton"), serialGroup);
    m_restoreUsbButton = kit::button(QStringLiteral("Восстановить USB"), QStringLiteral("restoreUsbButton"), serialGroup);
    auto *serialRow = new QHBoxLayout;
    serialRow->addWidget(m_serialLamp);
    serialRow->addWidget(m_serialButton);
    serialRow->addWidget(m_restoreUsbButton);
    serialRow->addStretch();
    auto *serialBox = new QVBoxLayout(serialGroup);
    serialBox->addLayout(serialForm);
    serialBox->addLayout(serialRow);
    layout->addWidget(serialGroup);

    // USB.
    auto *usbGroup = new QGroupBox(QStringLiteral("Подключение к USB"), central);
    usbGroup->setObjectName(QStringLiteral("usbGroup"));
    m_usbLamp = makeLamp(QStringLiteral("usbLamp"));
    m_usbLabel = new QLabel(usbGroup);
    m_usbLabel->setObjectName(QStringLiteral("usbLabel"));
    m_usbLabel->setWordWrap(true);
    m_usbButton = kit::button(QStringLiteral("Подключить"), QStringLiteral("usbConnectButton"), usbGroup);
    auto *usbRow = new QHBoxLayout(usbGroup);
    usbRow->addWidget(m_usbLamp);
    usbRow->addWidget(m_usbButton);
    usbRow->addWidget(m_usbLabel, 1);
    layout->addWidget(usbGroup);

    // Bank terminal.
    m_terminalGroup = new QGroupBox(QStringLiteral("Банковский терминал"), central);
    m_terminalGroup->setObjectName(QStringLiteral("terminalGroup"));
    m_terminalPortCombo = new QComboBox(m_terminalGroup);
    m_terminalPortCombo->setObjectName(QStringLiteral("terminalPortCombo"));
    m_terminalSpeedCombo = makeSpeeds(QStringLiteral("terminalSpeedCombo"));
    m_terminalLamp = makeLamp(QStringLiteral("terminalLamp"));
    m_terminalButton = kit::button(QStringLiteral("Подключить"), QStringLiteral("terminalConnectButton"), m_terminalGroup);
    auto *terminalRow = new QHBoxLayout(m_terminalGroup);
    terminalRow->addWidget(m_terminalPortCombo);
    terminalRow->addWidget(m_terminalSpeedCombo);
    terminalRow->addWidget(m_terminalLamp);
    terminalRow->addWidget(m_terminalButton);
    layout->addWidget(m_terminalGroup);

    auto *buttons = new QHBoxLayout;
    m_statusButton = kit::statusScreenButton(central, QStringLiteral("statusButton"));
    m_closeButton = kit::button(QStringLiteral("Закрыть"), QStringLiteral("closeButton"), central);
    buttons->addWidget(m_statusButton);
    buttons->addStretch();
    buttons->addWidget(m_closeButton);
    layout->addLayout(buttons);
    layout->addStretch();
    setCentralWidget(central);
    statusBar()->setObjectName(QStringLiteral("statusBar"));
    // The registrar's identity stays in a permanent label: a menu's status tip replaces a
    // temporary message and would erase it until the next refresh.
    m_identityLabel = new QLabel(statusBar());
    m_identityLabel->setObjectName(QStringLiteral("identityLabel"));
    statusBar()->addPermanentWidget(m_identityLabel, 1);

    connect(m_portCombo, &QComboBox::currentIndexChanged, this, [this](int i) {
        if (!m_rendering)
            m_ops.choosePort(i);
    });
    connect(m_speedCombo, &QComboBox::currentIndexChanged, this, [this](int i) {
        if (!m_rendering)
            m_ops.chooseSpeed(i);
    });
    connect(m_terminalPortCombo, &QComboBox::currentIndexChanged, this, [this](int i) {
        if (!m_rendering)
            m_ops.model().terminalPortIndex = i;
    });
    connect(m_terminalSpeedCombo, &QComboBox::currentIndexChanged, this, [this](int i) {
        if (!m_rendering)
            m_ops.model().terminalSpeedIndex = i;
    });
    auto busy = [this](auto operation) {
        return [this, operation] {
            m_serialButton->setEnabled(false);
            m_usbButton->setEnabled(false);
            operation();
            render();
        };
    };
    connect(m_portCombo->lineEdit(), &QLineEdit::editingFinished, this, [this] {
        if (!m_rendering && m_portCombo->currentText() != m_ops.model().ports.value(m_ops.model().portIndex)) {
            m_ops.typePort(m_portCombo->currentText());
            render();
        }
    });
    connect(m_serialButton, &QPushButton::clicked, this, busy([this] {
        // What is in the box is the port, typed or chosen, Enter pressed or not.
        if (!m_app.state().serialConnected
            && m_portCombo->currentText() != m_ops.model().ports.value(m_ops.model().portIndex))
            m_ops.typePort(m_portCombo->currentText());
        m_ops.serialButton();
    }));
    connect(m_usbButton, &QPushButton::clicked, this, busy([this] { m_ops.usbButton(); }));
    connect(m_restoreUsbButton, &QPushButton::clicked, this, [this] {
        m_ops.restoreUsb();
        render();
    });
    connect(m_terminalButton, &QPushButton::clicked, this, [this] {
        m_ops.terminalButton();
        render();
    });
    connect(m_searchButton, &QPushButton::clicked, this, [this] {
        if (m_ops.searching()) {
            m_ops.stopSearch();
            return;
        }
        // The window keeps answering while the ports are tried: the button stops the search.
        m_ops.findRegistrar([this] {
            render();
            QCoreApplication::processEvents(QEventLoop::AllEvents);
        });
        render();
    });
    connect(m_statusButton, &QPushButton::clicked, this, [this] { openStatus(); });
    connect(m_closeButton, &QPushButton::clicked, this, &QWidget::close);
}

void MainWindow::buildMenus()
{
    for (Menu m : allMenus()) {
        QMenu *menu = menuBar()->addMenu(menuCaption(m));
        m_menus[m] = menu;
    }
    for (const MenuEntry &e : menuEntries()) {
        QAction *action = m_menus[e.menu]->addAction(e.caption);
        m_actions[e.item] = action;
        if (!e.screen.isEmpty())
            connect(action, &QAction::triggered, this, [this, e] { openMenuItem(e); });
    }
    connect(m_actions[MenuItem::EmulatorAfresh], &QAction::triggered, this, [this] {
        m_ops.startEmulatorAfresh();
        render();
    });
    m_aboutAction = menuBar()->addAction(QStringLiteral("О программе..."));
    connect(m_aboutAction, &QAction::triggered, this, [this] {
        m_app.prompter().showMessage(QStringLiteral("dizivu — сервисная программа регистратора\nВерсия %1\nQt %2")
                                         .arg(QCoreApplication::applicationVersion(), QLatin1String(qVersion())),
                                     QStringLiteral("О программе..."), Prompter::Icon::Information);
    });
}

void MainWindow::loseConnection(const QString &why)
{
    // The port reports the loss from inside an exchange too: act once the exchange has
    // ended, never under it.
    QTimer::singleShot(0, this, [this, why] {
        if (!m_app.link().linkReady()) {
            loseConnection(why);
            return;
        }
        m_ops.connectionLost(why);
        render();
    });
}

void MainWindow::openMenuItem(const MenuEntry &entry)
{
    const MainWindowOps::Route route = m_ops.route(entry);
    QDialog *dialog = screen(route.screen);
    if (!dialog)
        return;
    if (route.captionSuffix.isEmpty()) {
        openScreen(route.screen);
        return;
    }
    // The caption names the registrar while the screen is open.
    const QString caption = dialog->windowTitle();
    dialog->setWindowTitle(caption + route.captionSuffix);
    openScreen(route.screen);
    dialog->setWindowTitle(caption);
}

QDialog *MainWindow::screen(const QString &className)
{
    if (QDialog *dialog = m_screens.value(className))
        return dialog;
    const ScreenRegistry::Factory factory = m_registry.factory(className);
    if (!factory)
        return nullptr;
    QDialog *dialog = factory(m_app, *this, this);
    m_screens[className] = dialog;
    return dialog;
}

void MainWindow::openScreen(const QString &className)
{
    QDialog *dialog = screen(className);
    if (!dialog)
        return;
    // A screen that stays open beside the others (the emulator's tape) is shown without
    // holding the window; a second choice of it brings it to the front.
    if (dialog->property("modeless").toBool()) {
        if (!dialog->isVisible()) {
            // A window of its own, with no window above it: the screens, modal to the main
            // window, do not block it, so it can be read and scrolled beside them.
            if (dialog->parentWidget()) {
                dialog->setParent(nullptr, dialog->windowFlags());
                m_topLevelScreens.append(dialog);
            }
            dialog->adjustSize();
            // Shown first: its opening fills it, and its size is known only then.
            dialog->show();
            if (const QScreen *display = QWidget::screen()) {
                const QRect placed = besideWindow(dialog->frameGeometry().size(), frameGeometry(),
                                                  display->availableGeometry());
                // The frame's edges come on top of the client area's size.
                const QSize decoration = dialog->frameGeometry().size() - dialog->size();
                dialog->resize(placed.size() - decoration);
                dialog->move(placed.topLeft());
            }
        }
        dialog->show();
        dialog->raise();
        dialog->activateWindow();
        return;
    }
    // Centred on the main window, never at the screen's corner over its menu bar.
    if (auto *screenDialog = qobject_cast<ScreenDialog *>(dialog))
        screenDialog->fitCaption();
    dialog->adjustSize();
    QRect frame = dialog->frameGeometry();
    frame.moveCenter(frameGeometry().center());
    // A screen larger than the window stays whole on the display.
    if (const QScreen *display = QWidget::screen()) {
        const QRect room = display->availableGeometry();
        frame.moveLeft(qMax(room.left(), qMin(frame.left(), room.right() + 1 - frame.width())));
        frame.moveTop(qMax(room.top(), qMin(frame.top(), room.bottom() + 1 - frame.height())));
    }
    dialog->move(frame.topLeft());
    // Modal to the main window (and to every screen, which are its children), not to the
    // whole program: the windows of their own (the emulator's tape) stay usable.
    dialog->setWindowModality(Qt::WindowModal);
    dialog->exec();
    render();
}

MainWindow::~MainWindow()
{
    // The port box's editor loses its focus while the window's children are destroyed:
    // its signal must not reach a window that is no longer whole.
    m_portCombo->lineEdit()->disconnect(this);
    qDeleteAll(m_topLevelScreens);
}

QRect MainWindow::besideWindow(const QSize &size, const QRect &main, const QRect &room)
{
    QRect placed(QPoint(), size.boundedTo(room.size()));
    const int rightRoom = room.right() - main.right();
    const int leftRoom = main.left() - room.left();
    if (placed.width() <= rightRoom)
        placed.moveLeft(main.right() + 1);
    else if (placed.width() <= leftRoom)
        placed.moveRight(main.left() - 1);
    else
        // No side holds it whole: at the edge of the roomier side, over the main window
        // as little as it can.
        placed.moveLeft(rightRoom >= leftRoom ? room.right() + 1 - placed.width() : room.left());
    placed.moveTop(qBound(room.top(), main.top(), room.bottom() + 1 - placed.height()));
    return placed;
}

QString MainWindow::identityText() const
{
    return m_identityLabel->text();
}

void MainWindow::setStatusText(const QString &text)
{
    m_ops.model().statusText = text;
    render();
}

QString MainWindow::connectedPortName()
{
    const MainWindowModel &m = m_ops.model();
    const QString shown = m.ports.value(m.portIndex);
    if (shown != MainWindowOps::kEmulatorEntry || !m_app.state().serialConnected || !m_ops.platform().startEmulator)
        return shown;
    // The built-in emulator's device: the running child answers with the path it serves.
    QString error;
    return m_ops.platform().startEmulator(error);
}

void MainWindow::connectionSpeedChanged(qint32 rate)
{
    m_ops.model().speedIndex = int(AppConfig::speeds().indexOf(QString::number(rate)));
    m_app.state().connectedSpeed = rate;
    render();
}

void MainWindow::connectionLost()
{
    // The port could not be opened again: the window shows the program disconnected.
    if (m_app.state().serialConnected)
        m_ops.serialButton();
    render();
}

void MainWindow::openStatus()
{
    if (!m_ops.checkStatus()) {
        render();
        return;
    }
    render();
    openScreen<TForm5>();
    m_ops.statusScreenClosed();
}

void MainWindow::activateNow()
{
    if (m_activating)
        return;
    m_activating = true;
    m_ops.activate();
    m_activating = false;
    render();
}

void MainWindow::changeEvent(QEvent *event)
{
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow())
        activateNow();
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    // A search under way ends with the window.
    m_ops.stopSearch();
    if (m_app.state().serialConnected)
        m_ops.serialButton();
    if (m_app.state().usbConnected)
        m_ops.usbButton();
    event->accept();
}

void MainWindow::render()
{
    if (m_rendering)
        return;
    m_rendering = true;
    const MainWindowModel &m = m_ops.model();

    auto fill = [](QComboBox *combo, const QStringList &items, int index) {
        QStringList current;
        for (int i = 0; i < combo->count(); ++i)
            current << combo->itemText(i);
        if (current != items) {
            combo->clear();
            combo->addItems(items);
        }
        combo->setCurrentIndex(index);
    };
    // The registrar's and the card terminal's rows alike: the port and speed lists.
    auto showLists = [&fill](QComboBox *port, QComboBox *speed, const QStringList &ports, int portIndex,
                             int speedIndex, bool enabled) {
        fill(port, ports, portIndex);
        speed->setCurrentIndex(speedIndex);
        port->setEnabled(enabled);
        speed->setEnabled(enabled);
    };
    showLists(m_portCombo, m_speedCombo, m.ports, m.portIndex, m.speedIndex, m.serialListsEnabled);
    paintLamp(m_serialLamp, m.serialLamp);
    m_serialButton->setText(m.serialButtonText);
    m_serialButton->setEnabled(m.serialButtonEnabled);
    m_searchButton->setText(m.searchButtonText);
    m_searchButton->setEnabled(m_ops.searchAvailable());
    m_restoreUsbButton->setVisible(m.restoreUsbVisible);
    m_restoreUsbButton->setEnabled(m.restoreUsbEnabled);

    paintLamp(m_usbLamp, m.usbLamp);
    m_usbLabel->setText(m.usbLabel);
    m_usbButton->setText(m.usbButtonText);
    m_usbButton->setEnabled(m.usbButtonEnabled);

    m_terminalGroup->setVisible(m.terminalGroupVisible);
    showLists(m_terminalPortCombo, m_terminalSpeedCombo, m.terminalPorts, m.terminalPortIndex,
              m.terminalSpeedIndex, m.terminalListsEnabled);
    paintLamp(m_terminalLamp, m.terminalLamp);
    m_terminalButton->setText(m.terminalButtonText);

    m_statusButton->setEnabled(m.statusButtonEnabled);
    m_closeButton->setEnabled(m.closeEnabled);
    m_aboutAction->setEnabled(m.aboutEnabled);
    for (Menu menu : allMenus())
        m_menus[menu]->menuAction()->setEnabled(m.enabledMenus.contains(menu));
    for (auto it = m_actions.cbegin(); it != m_actions.cend(); ++it) {
        const MainWindowModel::ItemState state = m.items.value(it.key());
        it.value()->setEnabled(state.enabled);
        it.value()->setVisible(state.visible);
    }
    m_identityLabel->setText(m.statusText);
    m_rendering = false;
}
