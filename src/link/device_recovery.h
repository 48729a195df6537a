#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <functional>

class DeviceLink;

// One present device as a device list shows it.
struct DeviceEntry {
    QString name;          // its name in the tree: the port (ttyACM0) or the USB device (1-2)
    QString friendlyName;  // "STMicroelectronics Virtual COM Port (ttyACM0)"
    QString portName;      // the serial port named in brackets; empty when it has none
    QString usbDevicePath; // the folder of the USB device (canonical)
    quint16 vendorId = 0;
    quint16 productId = 0;
};

// The machine's device management read from sysfs under a root folder ("/sys"; tests
// give a tree of their own). Two device classes exist:
//  - "Ports": the serial (tty) devices that sit on a USB device;
//  - "libusb-win32 devices": the USB devices libusb can drive (every USB device but the
//    root hubs), named with the serial port of their interface when they have one.
// A friendly name is made as Windows shows it: the USB manufacturer string, a blank, the
// product string, then a blank and the port name in brackets. The registrar's own
// identity (0483:5740) is named as its Windows driver names it, whatever its strings.
class DeviceTree {
public:
    static inline const QString kDefaultRoot = QStringLiteral("/sys");

    explicit DeviceTree(const QString &root = kDefaultRoot);
    virtual ~DeviceTree() = default;
    // The machine's own tree under /sys.
    static const DeviceTree &system();

    QString root() const { return m_root; }

    // The present devices of a class, in a stable order (natural order of their names).
    // False when the class is unknown or its list cannot be read.
    bool presentDevices(const QString &className, QList<DeviceEntry> &devices) const;

    enum class WriteResult { Done, CannotOpen, CannotWrite };
    // Writes one attribute of a device folder ("authorized" for the restart).
    virtual WriteResult writeAttribute(const QString &deviceFolder, const QString &attribute,
                                       const QByteArray &value) const;

private:
    QList<DeviceEntry> serialPorts(bool &valid) const;
    QList<DeviceEntry> usbDevices(bool &valid) const;
    QString usbParentOf(const QString &canonicalPath) const;

    QString m_root;
};

namespace recovery {

// Where a restart step tells the user what failed (the window shows a message box).
using Report = std::function<void(const QString &message)>;

inline const QString kPortsClass = QStringLiteral("Ports");
inline const QString kUsbDevicesClass = QStringLiteral("libusb-win32 devices");
inline const QString kVirtualPortMatch = QStringLiteral("STMicroelectronics Virtual COM Port");

// The restart's match text: the registrar's friendly name with the port found at
// activation, so another port whose name merely starts the same is not restarted.
inline QString restartMatchText(const QString &virtualPortName)
{
    return kVirtualPortMatch + QStringLiteral(" (") + virtualPortName + QLatin1Char(')');
}

} // namespace recovery

// Result codes of both operations: 0 the device at `index` matches (portName set);
// -1 it does not match or cannot be read; -2 no such class, or no device at this index
// (the list is exhausted). Callers loop over the index from 0 and stop at 0 or -2.
int FindVirtualPort(int index, QString &portName,
                    const QString &matchText = recovery::kVirtualPortMatch,
                    const QString &className = recovery::kPortsClass,
                    const DeviceTree &tree = DeviceTree::system());

// As FindVirtualPort; on a match it closes the registrar's serial port, then disables the
// device and enables it again (its "authorized" attribute set to 0, then to 1). A step
// that fails reports its message through `report` and the restart goes on; the result is
// still 0. The caller then shows the serial connection as closed.
int RestartVirtualPort(DeviceLink &link, const recovery::Report &report, int index, QString &portName,
                       const QString &matchText,
                       const QString &className = recovery::kUsbDevicesClass,
                       const DeviceTree &tree = DeviceTree::system());

// The callers' loop over the index: 0 with portName set, or -2 when no device matched.
int locateVirtualPort(QString &portName, const DeviceTree &tree = DeviceTree::system());
// The restart behind "Восстановить USB": the device named with the port found at
// activation. 0 when it was restarted, -2 when no device matched.
int restartRegistrarDevice(DeviceLink &link, const recovery::Report &report, const QString &virtualPortName,
                           QString &portName, const DeviceTree &tree = DeviceTree::system());
