// dizivu: the desktop program.
#include "app/application.h"
#include "shell/desktop_platform.h"
#include "shell/main_window_form.h"
#include "shell/quit_signals.h"
#include "reports/reports_screens.h"
#include "sales/sales_screens.h"
#include "scripts/script_screens.h"
#include "tools/tools_screens.h"
#include "ui/desktop_prompter.h"
#include "ui/ui_screens.h"

#include <QApplication>

#include <clocale>

int main(int argc, char **argv)
{
    QApplication qapp(argc, argv);
    QApplication::setApplicationName(QStringLiteral("dizivu"));
    QApplication::setApplicationVersion(QStringLiteral(DIZIVU_VERSION));
    // Numbers the program writes use "." as the decimal point, whatever the user's locale.
    std::setlocale(LC_NUMERIC, "C");
    useRussianLocale(qapp);

    DesktopPrompter prompter;
    Application app(prompter, SystemClock::instance());
    DesktopPlatform platform(app);
    // Every screen folder registers its own screens.
    ScreenRegistry screens;
    registerUiScreens(screens);
    registerScriptScreens(screens);
    registerSalesScreens(screens);
    registerReportScreens(screens);
    registerToolScreens(screens);
    MainWindow window(app, platform.make(), screens);
    prompter.setParentWidget(&window);
    quitOnSignals([&window] {
        // Closing the window disconnects: the port is closed and the built-in emulator ends.
        window.close();
        QApplication::quit();
    });
    window.show();
    return qapp.exec();
}
