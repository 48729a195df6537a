#include "shell/desktop_platform.h"

#include <QWidget> // before the prompter's header, which needs it whole
#include "ui/desktop_prompter.h"

#include "link/device_recovery.h"
#include "link/serial_transport.h"
#include "link/usb_transport.h"

#include <QApplication>
#include <QLocale>

#include <QSerialPort>
#include <QSerialPortInfo>
#include <QStandardPaths>

void useRussianLocale(QApplication &app)
{
    QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
    installRussianQtTranslation(app);
}

DesktopPlatform::DesktopPlatform(Application &app) : m_app(app) {}

MainWindowPlatform DesktopPlatform::make()
{
    MainWindowPlatform p;
    p.listPorts = [] {
        QStringList names;
        for (const QSerialPortInfo &info : QSerialPortInfo::availablePorts())
            names << info.portName();
        return names;
    };
    p.findVirtualPort = [](int index, QString &port) { return FindVirtualPort(index, port); };
    p.restartVirtualPort = [this](int index, const QString &virtualPort, QString &port) {
        return RestartVirtualPort(m_app.link(), [this](const QString &m) { m_app.prompter().showMessage(m); }, index, port, recovery::restartMatchText(virtualPort));
    };
    p.usbLibraryPresent = [] { return UsbTransport::libraryLoadable(); };
    p.openUsb = [this]() -> std::unique_ptr<Transport> { return openUsbTransport(m_app.clock()); };
    p.closeUsb = [](Transport &t) { static_cast<UsbTransport &>(t).UsbDisconnect(); };
    p.startEmulator = [this](QString &error) {
        // The emulator keeps its memory and prints its tape (which the tape window follows)
        // in the user's data folder: it stays the same registrar across reconnects and
        // restarts of the program. Without that folder, a temporary tape and no memory.
        if (m_emulator.tapePath().isEmpty()) {
            QString ignored;
            const QString folder = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
            if (folder.isEmpty() || !m_emulator.keepIn(folder + QStringLiteral("/emulator"), ignored))
                m_emulator.setTapePath(m_emulator.temporaryTapePath());
        }
        const QString device = m_emulator.start(error);
        m_app.state().emulatorTapePath = device.isEmpty() ? QString() : m_emulator.tapePath();
        return device;
    };
    p.stopEmulator = [this] {
        m_emulator.stop();
        m_app.state().emulatorTapePath.clear();
    };
    p.forgetEmulator = [this](QString &error) {
        m_app.state().emulatorTapePath.clear();
        return m_emulator.forget(error);
    };
    p.watchEmulatorExit = [this](std::function<void()> onExit) { m_emulator.setExitHandler(std::move(onExit)); };
    p.tryTerminalPort = [](const QString &port, qint32 speed, QString &reason) {
        QSerialPort serial;
        serial.setPortName(SerialTransport::devicePath(port));
        if (!serial.open(QIODevice::ReadWrite)) {
            reason = serial.errorString();
            return int(serial.error());
        }
        serial.setBaudRate(speed);
        serial.setDataBits(QSerialPort::Data8);
        serial.setParity(QSerialPort::NoParity);
        serial.setStopBits(QSerialPort::OneStop);
        serial.close();
        return 0;
    };
    return p;
}
