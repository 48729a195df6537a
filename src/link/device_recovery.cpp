#include "link/device_recovery.h"

#include "link/device_link.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>

#include <fcntl.h>
#include <unistd.h>

namespace {

constexpr int kMaxAttributeBytes = 256; // USB strings are at most 126 characters
constexpr int kMaxTreeDepth = 32;
constexpr int kMaxIndex = 4096;         // the callers' loop, should a list never end

// The name the registrar's Windows driver gives it.
const QString kRegistrarDescription = QStringLiteral("STMicroelectronics Virtual COM Port");

QString readAttribute(const QString &folder, const QString &name)
{
    QFile f(folder + QLatin1Char('/') + name);
    if (!f.open(QIODevice::ReadOnly))
        return QString();
    // Device strings are outside input: bounded, and control characters become blanks.
    return QString::fromUtf8(f.read(kMaxAttributeBytes)).simplified();
}

quint16 readHexAttribute(const QString &folder, const QString &name)
{
    bool ok = false;
    const uint v = readAttribute(folder, name).toUInt(&ok, 16);
    return ok && v <= 0xFFFF ? quint16(v) : 0;
}

QString describe(const QString &usbFolder, quint16 vendor, quint16 product, const QString &fallback)
{
    if (vendor == 0x0483 && product == 0x5740)
        return kRegistrarDescription;
    QStringList parts;
    for (const char *attribute : {"manufacturer", "product"}) {
        const QString s = readAttribute(usbFolder, QLatin1String(attribute));
        if (!s.isEmpty())
            parts << s;
    }
    return parts.isEmpty() ? fallback : parts.join(QLatin1Char(' '));
}

// "ttyACM2" before "ttyACM10", "1-2" before "1-10".
bool naturalLess(const QString &a, const QString &b)
{
    int i = 0;
    int j = 0;
    while (i < a.size() && j < b.size()) {
        if (a[i].isDigit() && b[j].isDigit()) {
            const int si = i;
            const int sj = j;
            while (i < a.size() && a[i].isDigit())
                ++i;
            while (j < b.size() && b[j].isDigit())
                ++j;
            QStringView na = QStringView(a).mid(si, i - si);
            QStringView nb = QStringView(b).mid(sj, j - sj);
            while (na.size() > 1 && na.front() == QLatin1Char('0'))
                na = na.mid(1);
            while (nb.size() > 1 && nb.front() == QLatin1Char('0'))
                nb = nb.mid(1);
            if (na.size() != nb.size())
                return na.size() < nb.size();
            const int c = na.compare(nb);
            if (c != 0)
                return c < 0;
        } else {
            if (a[i] != b[j])
                return a[i] < b[j];
            ++i;
            ++j;
        }
    }
    return (a.size() - i) < (b.size() - j);
}

QStringList entriesOf(const QDir &dir)
{
    // Sysfs lists its devices as symbolic links; dangling ones count as System entries.
    QStringList names = dir.entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
    std::stable_sort(names.begin(), names.end(), naturalLess);
    return names;
}

int lookUp(int index, const QString &matchText, const QString &className, const DeviceTree &tree,
           DeviceEntry &entry)
{
    QList<DeviceEntry> devices;
    if (!tree.presentDevices(className, devices))
        return -2;
    if (index < 0 || index >= devices.size())
        return -2;
    entry = devices.at(index);
    if (entry.friendlyName.isEmpty())
        return -1;
    if (!entry.friendlyName.contains(matchText))
        return -1;
    return 0;
}

} // namespace

DeviceTree::DeviceTree(const QString &root) : m_root(root) {}

const DeviceTree &DeviceTree::system()
{
    static const DeviceTree tree;
    return tree;
}

bool DeviceTree::presentDevices(const QString &className, QList<DeviceEntry> &devices) const
{
    bool valid = false;
    if (className.compare(recovery::kPortsClass, Qt::CaseInsensitive) == 0)
        devices = serialPorts(valid);
    else if (className.compare(recovery::kUsbDevicesClass, Qt::CaseInsensitive) == 0)
        devices = usbDevices(valid);
    else
        devices.clear();
    return valid;
}

QString DeviceTree::usbParentOf(const QString &canonicalPath) const
{
    const QString top = QFileInfo(m_root).canonicalFilePath();
    if (top.isEmpty())
        return QString();
    QString p = canonicalPath;
    for (int depth = 0; depth < kMaxTreeDepth; ++depth) {
        const int slash = p.lastIndexOf(QLatin1Char('/'));
        if (slash <= 0)
            return QString();
        p.truncate(slash);
        if (!p.startsWith(top + QLatin1Char('/')))
            return QString();
        if (QFileInfo::exists(p + QStringLiteral("/idVendor")) && QFileInfo::exists(p + QStringLiteral("/idProduct")))
            return p;
    }
    return QString();
}

QList<DeviceEntry> DeviceTree::serialPorts(bool &valid) const
{
    QList<DeviceEntry> out;
    const QDir dir(m_root + QStringLiteral("/class/tty"));
    valid = dir.exists();
    if (!valid)
        return out;
    for (const QString &name : entriesOf(dir)) {
        const QString path = QFileInfo(dir.filePath(name)).canonicalFilePath();
        if (path.isEmpty())
            continue;
        const QString usb = usbParentOf(path);
        if (usb.isEmpty())
            continue; // consoles, on-board ports: not on USB
        DeviceEntry e;
        e.name = name;
        e.portName = name;
        e.usbDevicePath = usb;
        e.vendorId = readHexAttribute(usb, QStringLiteral("idVendor"));
        e.productId = readHexAttribute(usb, QStringLiteral("idProduct"));
        e.friendlyName = describe(usb, e.vendorId, e.productId, QStringLiteral("USB Serial Device"))
                         + QStringLiteral(" (") + name + QLatin1Char(')');
        out.append(e);
    }
    return out;
}

QList<DeviceEntry> DeviceTree::usbDevices(bool &valid) const
{
    QList<DeviceEntry> out;
    const QDir dir(m_root + QStringLiteral("/bus/usb/devices"));
    valid = dir.exists();
    if (!valid)
        return out;
    bool portsValid = false;
    const QList<DeviceEntry> ports = serialPorts(portsValid);
    for (const QString &name : entriesOf(dir)) {
        // Interfaces are named "1-2:1.0"; root hubs "usb1".
        if (name.contains(QLatin1Char(':')) || name.startsWith(QLatin1String("usb")))
            continue;
        const QString path = QFileInfo(dir.filePath(name)).canonicalFilePath();
        if (path.isEmpty() || !QFileInfo::exists(path + QStringLiteral("/idVendor")))
            continue;
        DeviceEntry e;
        e.name = name;
        e.usbDevicePath = path;
        e.vendorId = readHexAttribute(path, QStringLiteral("idVendor"));
        e.productId = readHexAttribute(path, QStringLiteral("idProduct"));
        for (const DeviceEntry &port : ports) {
            if (port.usbDevicePath == path) {
                e.portName = port.portName;
                break;
            }
        }
        e.friendlyName = describe(path, e.vendorId, e.productId, QStringLiteral("USB Device"));
        if (!e.portName.isEmpty())
            e.friendlyName += QStringLiteral(" (") + e.portName + QLatin1Char(')');
        out.append(e);
    }
    return out;
}

DeviceTree::WriteResult DeviceTree::writeAttribute(const QString &deviceFolder, const QString &attribute,
                                                   const QByteArray &value) const
{
    const QByteArray path = QFile::encodeName(deviceFolder + QLatin1Char('/') + attribute);
    const int fd = ::open(path.constData(), O_WRONLY | O_CLOEXEC);
    if (fd < 0)
        return WriteResult::CannotOpen;
    const ssize_t n = ::write(fd, value.constData(), size_t(value.size()));
    const bool closed = ::close(fd) == 0;
    return n == ssize_t(value.size()) && closed ? WriteResult::Done : WriteResult::CannotWrite;
}

int FindVirtualPort(int index, QString &portName, const QString &matchText, const QString &className,
                    const DeviceTree &tree)
{
    DeviceEntry entry;
    const int rc = lookUp(index, matchText, className, tree, entry);
    if (rc == 0)
        portName = entry.portName;
    return rc;
}

int RestartVirtualPort(DeviceLink &link, const recovery::Report &report, int index, QString &portName,
                       const QString &matchText, const QString &className, const DeviceTree &tree)
{
    DeviceEntry entry;
    const int rc = lookUp(index, matchText, className, tree, entry);
    if (rc != 0)
        return rc;
    portName = entry.portName;

    link.CloseSerial();

    auto step = [&](const QByteArray &value, const QString &requestFailed, const QString &applyFailed) {
        switch (tree.writeAttribute(entry.usbDevicePath, QStringLiteral("authorized"), value)) {
        case DeviceTree::WriteResult::CannotOpen: report(requestFailed); break;
        case DeviceTree::WriteResult::CannotWrite: report(applyFailed); break;
        case DeviceTree::WriteResult::Done: break;
        }
    };
    step("0", QStringLiteral("Устройство не удалено (SetupDiSetClassInstallParams)!"),
         QStringLiteral("Устройство не удалено (SetupDiCallInstaller)!"));
    step("1", QStringLiteral("Устройство не восстановлено (SetupDiSetClassInstallParams)!"),
         QStringLiteral("Устройство не восстановлено (SetupDiCallInstaller)!"));
    return 0;
}

int locateVirtualPort(QString &portName, const DeviceTree &tree)
{
    for (int i = 0; i < kMaxIndex; ++i) {
        const int rc = FindVirtualPort(i, portName, recovery::kVirtualPortMatch, recovery::kPortsClass, tree);
        if (rc != -1)
            return rc;
    }
    return -2;
}

int restartRegistrarDevice(DeviceLink &link, const recovery::Report &report, const QString &virtualPortName,
                           QString &portName, const DeviceTree &tree)
{
    const QString match = recovery::restartMatchText(virtualPortName);
    for (int i = 0; i < kMaxIndex; ++i) {
        const int rc = RestartVirtualPort(link, report, i, portName, match, recovery::kUsbDevicesClass, tree);
        if (rc != -1)
            return rc;
    }
    return -2;
}
