// Finding the registrar's virtual COM port and restarting its USB device, on sysfs trees
// built in a temporary folder; and dizivu-cli ports on such a tree.
#include "cli/usb_ports.h"
#include "link/device_link.h"
#include "link/device_recovery.h"
#include "support/recording_prompter.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <unistd.h>

namespace {

// The recovery's report, shown as the window would show it.
recovery::Report tell(RecordingPrompter &prompter)
{
    return [&prompter](const QString &m) { static_cast<Prompter &>(prompter).showMessage(m); };
}

const QString kNotRemovedRequest = QStringLiteral("Устройство не удалено (SetupDiSetClassInstallParams)!");
const QString kNotRemovedApply = QStringLiteral("Устройство не удалено (SetupDiCallInstaller)!");
const QString kNotRestoredRequest = QStringLiteral("Устройство не восстановлено (SetupDiSetClassInstallParams)!");
const QString kNotRestoredApply = QStringLiteral("Устройство не восстановлено (SetupDiCallInstaller)!");

// A sysfs tree as the kernel lays it out: devices under devices/, symbolic links to them
// under class/tty and bus/usb/devices.
class Sysfs {
public:
    Sysfs()
    {
        QVERIFY(m_dir.isValid());
        mkdir(QStringLiteral("class/tty"));
        mkdir(QStringLiteral("bus/usb/devices"));
        // A root hub, an on-board serial port and a console: never listed.
        const QString hub = QStringLiteral("devices/pci0000:00/0000:00:14.0/usb1");
        write(hub + QStringLiteral("/idVendor"), "1d6b\n");
        write(hub + QStringLiteral("/idProduct"), "0002\n");
        link(hub, QStringLiteral("bus/usb/devices/usb1"));
        tty(QStringLiteral("devices/platform/serial8250/tty/ttyS0"));
        tty(QStringLiteral("devices/virtual/tty/tty0"));
    }

    QString root() const { return m_dir.path(); }

    // A USB device "1-<port>" with one interface; `tty` names its serial port (ACM style
    // when it starts with ttyACM, usb-serial style otherwise), empty for none.
    QString usbDevice(const QString &port, const char *vendor, const char *product, const QByteArray &manufacturer,
                      const QByteArray &productName, const QString &ttyName = QString())
    {
        const QString dev = QStringLiteral("devices/pci0000:00/0000:00:14.0/usb1/1-") + port;
        write(dev + QStringLiteral("/idVendor"), QByteArray(vendor) + '\n');
        write(dev + QStringLiteral("/idProduct"), QByteArray(product) + '\n');
        if (!manufacturer.isEmpty())
            write(dev + QStringLiteral("/manufacturer"), manufacturer + '\n');
        if (!productName.isEmpty())
            write(dev + QStringLiteral("/product"), productName + '\n');
        write(dev + QStringLiteral("/authorized"), "1\n");
        const QString intf = dev + QStringLiteral("/1-") + port + QStringLiteral(":1.0");
        write(intf + QStringLiteral("/bInterfaceClass"), "02\n");
        link(dev, QStringLiteral("bus/usb/devices/1-") + port);
        link(intf, QStringLiteral("bus/usb/devices/1-") + port + QStringLiteral(":1.0"));
        if (ttyName.startsWith(QLatin1String("ttyACM")))
            tty(intf + QStringLiteral("/tty/") + ttyName);
        else if (!ttyName.isEmpty())
            tty(intf + QLatin1Char('/') + ttyName + QStringLiteral("/tty/") + ttyName);
        return QDir(root()).filePath(dev);
    }
    QString registrar(const QString &port, const QString &ttyName,
                      const QByteArray &product = "Virtual COM Port")
    {
        return usbDevice(port, "0483", "5740", "STMicroelectronics", product, ttyName);
    }

    void mkdir(const QString &rel) { QVERIFY(QDir(root()).mkpath(rel)); }
    void write(const QString &rel, const QByteArray &bytes)
    {
        const QString path = QDir(root()).filePath(rel);
        QDir().mkpath(QFileInfo(path).path());
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(bytes);
    }
    void link(const QString &targetRel, const QString &linkRel)
    {
        QVERIFY(QFile::link(QDir(root()).filePath(targetRel), QDir(root()).filePath(linkRel)));
    }
    void tty(const QString &rel)
    {
        write(rel + QStringLiteral("/dev"), "166:0\n");
        link(rel, QStringLiteral("class/tty/") + QFileInfo(rel).fileName());
    }

private:
    QTemporaryDir m_dir;
};

// Records each attribute write, then writes it.
class RecordingTree final : public DeviceTree {
public:
    using DeviceTree::DeviceTree;
    mutable QStringList writes;
    WriteResult writeAttribute(const QString &folder, const QString &attribute, const QByteArray &value) const override
    {
        writes << QFileInfo(folder).fileName() + QLatin1Char('/') + attribute + QLatin1Char('=') + QString::fromLatin1(value);
        return DeviceTree::writeAttribute(folder, attribute, value);
    }
};

QStringList namesOf(const DeviceTree &tree, const QString &className)
{
    QList<DeviceEntry> devices;
    if (!tree.presentDevices(className, devices))
        return {QStringLiteral("<invalid>")};
    QStringList out;
    for (const DeviceEntry &d : devices)
        out << d.friendlyName;
    return out;
}

// The registrar's serial port stands open on a pseudo-terminal.
struct OpenPort {
    int master = -1;
    DeviceLink link;
    OpenPort()
    {
        master = ::posix_openpt(O_RDWR | O_NOCTTY);
        if (master >= 0 && ::grantpt(master) == 0 && ::unlockpt(master) == 0)
            link.OpenSerial(QString::fromLocal8Bit(::ptsname(master)), 9600);
    }
    ~OpenPort()
    {
        link.CloseSerial();
        if (master >= 0)
            ::close(master);
    }
};

} // namespace

class DeviceRecoveryTest : public QObject {
    Q_OBJECT
private slots:
    void nothingToFind_data()
    {
        QTest::addColumn<bool>("emptyRoot");
        QTest::addColumn<QString>("className");
        QTest::newRow("no tty class at all") << true << recovery::kPortsClass;
        QTest::newRow("no USB bus at all") << true << recovery::kUsbDevicesClass;
        QTest::newRow("only ports not on USB") << false << recovery::kPortsClass;
        QTest::newRow("only the root hub") << false << recovery::kUsbDevicesClass;
        QTest::newRow("unknown class") << false << QStringLiteral("Modems");
    }
    void nothingToFind()
    {
        QFETCH(bool, emptyRoot);
        QFETCH(QString, className);
        QTemporaryDir empty;
        Sysfs sysfs;
        const DeviceTree tree(emptyRoot ? empty.path() : sysfs.root());
        QString port;
        QCOMPARE(FindVirtualPort(0, port, QString(), className, tree), -2);
        QVERIFY(port.isEmpty());
        QCOMPARE(locateVirtualPort(port, tree), -2);
        QVERIFY(port.isEmpty());
    }

    void registrarSecond()
    {
        Sysfs sysfs;
        sysfs.usbDevice(QStringLiteral("1"), "2341", "0043", "Arduino (www.arduino.cc)", "Arduino Uno",
                        QStringLiteral("ttyACM0"));
        sysfs.registrar(QStringLiteral("2"), QStringLiteral("ttyACM1"));
        sysfs.usbDevice(QStringLiteral("3"), "0403", "6001", "FTDI", "FT232R USB UART", QStringLiteral("ttyUSB0"));
        const DeviceTree tree(sysfs.root());

        QCOMPARE(namesOf(tree, recovery::kPortsClass),
                 QStringList({QStringLiteral("Arduino (www.arduino.cc) Arduino Uno (ttyACM0)"),
                              QStringLiteral("STMicroelectronics Virtual COM Port (ttyACM1)"),
                              QStringLiteral("FTDI FT232R USB UART (ttyUSB0)")}));
        QString port = QStringLiteral("untouched");
        QCOMPARE(FindVirtualPort(0, port, recovery::kVirtualPortMatch, recovery::kPortsClass, tree), -1);
        QCOMPARE(port, QStringLiteral("untouched"));
        QCOMPARE(FindVirtualPort(1, port, recovery::kVirtualPortMatch, recovery::kPortsClass, tree), 0);
        QCOMPARE(port, QStringLiteral("ttyACM1"));
        QCOMPARE(FindVirtualPort(2, port, recovery::kVirtualPortMatch, recovery::kPortsClass, tree), -1);
        QCOMPARE(FindVirtualPort(3, port, recovery::kVirtualPortMatch, recovery::kPortsClass, tree), -2);
        port.clear();
        QCOMPARE(locateVirtualPort(port, tree), 0);
        QCOMPARE(port, QStringLiteral("ttyACM1"));
    }

    void friendlyNames_data()
    {
        QTest::addColumn<QByteArray>("vendor");
        QTest::addColumn<QByteArray>("product");
        QTest::addColumn<QByteArray>("manufacturerString");
        QTest::addColumn<QByteArray>("productString");
        QTest::addColumn<QString>("expected");
        QTest::newRow("registrar") << QByteArray("0483") << QByteArray("5740") << QByteArray("STMicroelectronics")
                                   << QByteArray("Virtual COM Port")
                                   << QStringLiteral("STMicroelectronics Virtual COM Port (ttyACM0)");
        QTest::newRow("registrar with other strings")
            << QByteArray("0483") << QByteArray("5740") << QByteArray("STMicroelectronics")
            << QByteArray("STM32 Virtual ComPort in FS Mode")
            << QStringLiteral("STMicroelectronics Virtual COM Port (ttyACM0)");
        QTest::newRow("another ST device") << QByteArray("0483") << QByteArray("3748")
                                           << QByteArray("STMicroelectronics") << QByteArray("STM32 STLink")
                                           << QStringLiteral("STMicroelectronics STM32 STLink (ttyACM0)");
        QTest::newRow("no strings") << QByteArray("1234") << QByteArray("5678") << QByteArray() << QByteArray()
                                    << QStringLiteral("USB Serial Device (ttyACM0)");
        QTest::newRow("control characters") << QByteArray("1234") << QByteArray("5678") << QByteArray("A\tB")
                                            << QByteArray("C\nD") << QStringLiteral("A B C D (ttyACM0)");
    }
    void friendlyNames()
    {
        QFETCH(QByteArray, vendor);
        QFETCH(QByteArray, product);
        QFETCH(QByteArray, manufacturerString);
        QFETCH(QByteArray, productString);
        QFETCH(QString, expected);
        Sysfs sysfs;
        sysfs.usbDevice(QStringLiteral("1"), vendor.constData(), product.constData(), manufacturerString, productString,
                        QStringLiteral("ttyACM0"));
        QCOMPARE(namesOf(DeviceTree(sysfs.root()), recovery::kPortsClass), QStringList{expected});
    }

    void stableNaturalOrder()
    {
        Sysfs sysfs;
        sysfs.usbDevice(QStringLiteral("10"), "1234", "0001", "A", "Ten", QStringLiteral("ttyACM10"));
        sysfs.usbDevice(QStringLiteral("2"), "1234", "0002", "A", "Two", QStringLiteral("ttyACM2"));
        sysfs.usbDevice(QStringLiteral("4"), "1234", "0003", "A", "Mouse");
        const DeviceTree tree(sysfs.root());
        QCOMPARE(namesOf(tree, recovery::kPortsClass),
                 QStringList({QStringLiteral("A Two (ttyACM2)"), QStringLiteral("A Ten (ttyACM10)")}));
        // The USB devices, root hub and interfaces left out; a device with no port has no brackets.
        QCOMPARE(namesOf(tree, recovery::kUsbDevicesClass),
                 QStringList({QStringLiteral("A Two (ttyACM2)"), QStringLiteral("A Mouse"),
                              QStringLiteral("A Ten (ttyACM10)")}));
    }

    void restartDisablesAndEnables()
    {
        Sysfs sysfs;
        sysfs.usbDevice(QStringLiteral("1"), "2341", "0043", "Arduino", "Uno", QStringLiteral("ttyACM0"));
        const QString folder = sysfs.registrar(QStringLiteral("2"), QStringLiteral("ttyACM1"));
        const RecordingTree tree(sysfs.root());
        sysfs.write(QDir(sysfs.root()).relativeFilePath(folder) + QStringLiteral("/authorized"), "x");
        OpenPort serial;
        QVERIFY(serial.link.serialOpen());
        RecordingPrompter prompter;

        QString port;
        QCOMPARE(RestartVirtualPort(serial.link, tell(prompter), 0, port, recovery::restartMatchText(QStringLiteral("ttyACM1")),
                                    recovery::kUsbDevicesClass, tree),
                 -1);
        QVERIFY(serial.link.serialOpen()); // nothing matched, nothing closed
        QCOMPARE(restartRegistrarDevice(serial.link, tell(prompter), QStringLiteral("ttyACM1"), port, tree), 0);
        QCOMPARE(port, QStringLiteral("ttyACM1"));
        QVERIFY(!serial.link.serialOpen());
        QCOMPARE(tree.writes, QStringList({QStringLiteral("1-2/authorized=0"), QStringLiteral("1-2/authorized=1")}));
        QFile f(folder + QStringLiteral("/authorized"));
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), QByteArray("1")); // "x" before: the writes reached the device's own file
        QVERIFY(prompter.messages().isEmpty());
    }

    // The query matches a port that merely starts with the name, the restart does not.
    void longerPortNameIsNotRestarted()
    {
        Sysfs sysfs;
        sysfs.registrar(QStringLiteral("2"), QStringLiteral("ttyACM12"));
        const RecordingTree tree(sysfs.root());
        QString port;
        QCOMPARE(locateVirtualPort(port, tree), 0);
        QCOMPARE(port, QStringLiteral("ttyACM12"));

        DeviceLink link;
        RecordingPrompter prompter;
        port.clear();
        QCOMPARE(RestartVirtualPort(link, tell(prompter), 0, port, recovery::restartMatchText(QStringLiteral("ttyACM1")),
                                    recovery::kUsbDevicesClass, tree),
                 -1);
        QCOMPARE(restartRegistrarDevice(link, tell(prompter), QStringLiteral("ttyACM1"), port, tree), -2);
        QCOMPARE(restartRegistrarDevice(link, tell(prompter), QString(), port, tree), -2);
        QVERIFY(port.isEmpty());
        QVERIFY(tree.writes.isEmpty());
        QCOMPARE(restartRegistrarDevice(link, tell(prompter), QStringLiteral("ttyACM12"), port, tree), 0);
    }

    void failingAttributeWrites_data()
    {
        QTest::addColumn<bool>("cannotOpen");
        QTest::addColumn<QStringList>("messages");
        QTest::newRow("attribute cannot be opened") << true << QStringList({kNotRemovedRequest, kNotRestoredRequest});
        QTest::newRow("attribute refuses the value") << false << QStringList({kNotRemovedApply, kNotRestoredApply});
    }
    void failingAttributeWrites()
    {
        QFETCH(bool, cannotOpen);
        QFETCH(QStringList, messages);
        Sysfs sysfs;
        const QString folder = sysfs.registrar(QStringLiteral("2"), QStringLiteral("ttyACM0"));
        const QString attribute = folder + QStringLiteral("/authorized");
        QVERIFY(QFile::remove(attribute));
        if (cannotOpen)
            QVERIFY(QDir().mkdir(attribute)); // no one, not even root, opens a folder for writing
        else
            QVERIFY(QFile::link(QStringLiteral("/dev/full"), attribute)); // every write fails
        OpenPort serial;
        RecordingPrompter prompter;
        QString port;
        QCOMPARE(restartRegistrarDevice(serial.link, tell(prompter), QStringLiteral("ttyACM0"), port, DeviceTree(sysfs.root())),
                 0);
        QCOMPARE(port, QStringLiteral("ttyACM0"));
        QCOMPARE(prompter.messages(), messages);
        QVERIFY(!serial.link.serialOpen());
    }

    void cliListsPortsAndMarksTheRegistrar()
    {
        Sysfs sysfs;
        sysfs.usbDevice(QStringLiteral("1"), "2341", "0043", "Arduino", "Uno", QStringLiteral("ttyACM0"));
        sysfs.registrar(QStringLiteral("2"), QStringLiteral("ttyACM7"));
        FILE *out = std::tmpfile();
        QCOMPARE(cli::listPorts(out, DeviceTree(sysfs.root())), 0);
        std::rewind(out);
        QByteArray text;
        char buf[4096];
        size_t n = 0;
        while ((n = std::fread(buf, 1, sizeof buf, out)) > 0)
            text.append(buf, qsizetype(n));
        std::fclose(out);
        QVERIFY2(text.contains("ttyACM0\tArduino Uno (ttyACM0)\n"), text.constData());
        QVERIFY2(text.contains("ttyACM7\tSTMicroelectronics Virtual COM Port (ttyACM7)\tregistrar\n"), text.constData());
        QVERIFY(text.endsWith("registrar: ttyACM7\n"));

        QTemporaryDir empty;
        out = std::tmpfile();
        cli::listPorts(out, DeviceTree(empty.path()));
        std::rewind(out);
        text.clear();
        while ((n = std::fread(buf, 1, sizeof buf, out)) > 0)
            text.append(buf, qsizetype(n));
        std::fclose(out);
        QVERIFY(text.endsWith("registrar: not found\n"));
    }
};

QTEST_GUILESS_MAIN(DeviceRecoveryTest)
#include "tst_device_recovery.moc"
