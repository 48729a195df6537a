// dizivu: the desktop program.
#include "app/application.h"
#include "app/desktop_platform.h"
#include "app/main_window_form.h"
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
    window.show();
    return qapp.exec();
}
