#include "cli/usb_ports.h"

#include "cli/output.h"
#include "link/device_link.h"
#include "link/usb_transport.h"

#include <QMap>
#include <QSerialPortInfo>

#include <algorithm>

namespace cli {

bool attachUsb(DeviceLink &link, const QString &libraryPath, FILE *err)
{
    QString why;
    if (!UsbTransport::libraryLoadable(libraryPath, &why)) {
        return fail(err, false, QStringLiteral("cannot load the USB library %1: %2").arg(libraryPath, why));
    }
    std::unique_ptr<UsbTransport> usb = openUsbTransport(link.clock(), libraryPath);
    if (!usb) {
        return fail(err, false, QStringLiteral("no USB device %1:%2 could be opened and configured")
                                    .arg(UsbTransport::kVendorId, 4, 16, QLatin1Char('0'))
                                    .arg(UsbTransport::kProductId, 4, 16, QLatin1Char('0')));
    }
    link.attachTransport(std::move(usb));
    return true;
}

int listPorts(FILE *out, const DeviceTree &tree)
{
    // Friendly names as the device lists make them; what Qt knows for the rest.
    QMap<QString, QString> friendly;
    QList<DeviceEntry> devices;
    if (tree.presentDevices(recovery::kPortsClass, devices))
        for (const DeviceEntry &d : devices)
            friendly.insert(d.portName, d.friendlyName);

    QString registrar;
    if (locateVirtualPort(registrar, tree) != 0)
        registrar.clear();

    QMap<QString, QString> rows;
    for (const QSerialPortInfo &p : QSerialPortInfo::availablePorts()) {
        QString name = friendly.value(p.portName());
        if (name.isEmpty()) {
            QStringList parts;
            for (const QString &s : {p.manufacturer(), p.description()})
                if (!s.trimmed().isEmpty() && !parts.contains(s.trimmed()))
                    parts << s.trimmed();
            name = parts.join(QLatin1Char(' '));
        }
        rows.insert(p.portName(), name);
    }
    // Ports the device lists know of are listed even when Qt does not see them.
    for (auto it = friendly.cbegin(); it != friendly.cend(); ++it)
        if (!rows.contains(it.key()))
            rows.insert(it.key(), it.value());

    for (auto it = rows.cbegin(); it != rows.cend(); ++it) {
        QString line = it.key();
        if (!it.value().isEmpty())
            line += QLatin1Char('\t') + it.value();
        if (!registrar.isEmpty() && it.key() == registrar)
            line += QStringLiteral("\tregistrar");
        printLine(out, line);
    }
    printLine(out, QStringLiteral("registrar: ") + (registrar.isEmpty() ? QStringLiteral("not found") : registrar));
    return 0;
}

} // namespace cli
