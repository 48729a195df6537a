// dizivu: the desktop program.
#include "app/application.h"
#include "shell/desktop_platform.h"
#include "shell/main_window_form.h"
#include "scripts/command_test_form.h"
#include "scripts/monitor_form.h"
#include "ui/desktop_prompter.h"
#include "ui/status_screen_form.h"

#include <QApplication>

#include <clocale>

int main(int argc, char **argv)
{
    QApplication qapp(argc, argv);
    QApplication::setApplicationName(QStringLiteral("dizivu"));
    QApplication::setApplicationVersion(QStringLiteral(DIZIVU_VERSION));
    // Numbers the program writes use "." as the decimal point, whatever the user's locale.
    std::setlocale(LC_NUMERIC, "C");
    installRussianQtTranslation(qapp);

    DesktopPrompter prompter;
    Application app(prompter, SystemClock::instance());
    DesktopPlatform platform(app);
    MainWindow window(app, platform.make());
    prompter.setParentWidget(&window);
    window.registerScreen(QStringLiteral("TForm5"), [&window](Application &a, QWidget *parent) {
        auto *form = new TForm5(a, parent);
        QObject::connect(form, &TForm5::statusTextChanged, &window, &MainWindow::showStatusText);
        return form;
    });
    window.registerScreen(QStringLiteral("TForm14"),
                          [](Application &a, QWidget *parent) { return new TForm14(a, parent); });
    window.registerScreen(QStringLiteral("TForm28"), [&window, &platform](Application &a, QWidget *parent) {
        auto *form = new TForm28(a, parent);
        // SetSpeed reopens the port the main window shows (the built-in emulator's device
        // when that entry is chosen) and selects the new rate in its speed list.
        form->setPortNameSource([&window, &platform] {
            const MainWindowModel &m = window.ops().model();
            const QString shown = m.ports.value(m.portIndex);
            QString error;
            return shown == MainWindowOps::kEmulatorEntry && platform.emulator().running()
                ? platform.emulator().start(error)
                : shown;
        });
        QObject::connect(form, &TForm28::baudRateSelected, &window, [&window, &a](qint32 rate) {
            window.ops().model().speedIndex = int(AppConfig::speeds().indexOf(QString::number(rate)));
            a.state().connectedSpeed = rate;
            window.render();
        });
        // A SetSpeed that could not open the port again has left the link closed: the
        // window shows the program disconnected.
        QObject::connect(form, &TForm28::serialConnectionLost, &window, [&window, &a] {
            if (a.state().serialConnected)
                window.ops().serialButton();
            window.render();
        });
        return form;
    });
    window.show();
    return qapp.exec();
}
