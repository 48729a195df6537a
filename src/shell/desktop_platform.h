#pragma once

#include "shell/emulator_child.h"
#include "shell/main_window.h"

// The main window's platform on this machine: serial ports from the system, the
// registrar's virtual COM port and USB device, the built-in emulator, the bank-terminal
// port test.
class DesktopPlatform {
public:
    explicit DesktopPlatform(Application &app);
    MainWindowPlatform make();
    EmulatorChild &emulator() { return m_emulator; }

private:
    Application &m_app;
    EmulatorChild m_emulator;
};

class QApplication;
// The program speaks Russian whatever the system's locale: every date picker, calendar
// and file dialog date in Russian, Qt's own dialog texts translated where the
// translation is installed. Numbers the program writes keep "." (they never go through
// the locale).
void useRussianLocale(QApplication &app);
