#include "link/serial_transport.h"

#include <QElapsedTimer>
#include <QThread>

#include <sys/ioctl.h>
#include <termios.h>

SerialTransport::SerialTransport()
{
    // Also between exchanges: an adapter pulled out while the program waits for the user
    // is noticed at once, not at the next command.
    QObject::connect(&m_port, &QSerialPort::errorOccurred, &m_port,
                     [this](QSerialPort::SerialPortError error) { noteError(error); });
}

void SerialTransport::noteError(QSerialPort::SerialPortError error)
{
    if (!m_port.isOpen())
        return;
    if (error == QSerialPort::ResourceError)
        markLost(QStringLiteral("устройство порта недоступно (%1)").arg(m_port.errorString()));
    else if (error == QSerialPort::ReadError && ++m_readErrors >= kLostAfterReadErrors)
        markLost(QStringLiteral("линия оборвана (%1)").arg(m_port.errorString()));
}

SerialTransport::~SerialTransport()
{
    if (m_port.isOpen())
        m_port.close();
}

QString SerialTransport::devicePath(const QString &portName)
{
    if (portName.startsWith(QLatin1Char('/')))
        return portName;
    return QStringLiteral("/dev/") + portName;
}

bool SerialTransport::open(const QString &portName, qint32 baudRate)
{
    if (m_port.isOpen())
        m_port.close();
    m_openFailure = OpenFailure::NotFound;
    if (portName.trimmed().isEmpty())
        return false;
    m_port.setPortName(devicePath(portName));
    if (!m_port.open(QIODevice::ReadWrite)) {
        switch (m_port.error()) {
        case QSerialPort::DeviceNotFoundError: m_openFailure = OpenFailure::NotFound; break;
        case QSerialPort::PermissionError: m_openFailure = OpenFailure::Permission; break;
        case QSerialPort::OpenError: m_openFailure = OpenFailure::Busy; break;
        default: m_openFailure = OpenFailure::Other; break;
        }
        return false;
    }
    // Line settings on top of what the port had; flow control is left as it is.
    if (!m_port.setBaudRate(baudRate) || !m_port.setDataBits(QSerialPort::Data8)
        || !m_port.setParity(QSerialPort::NoParity) || !m_port.setStopBits(QSerialPort::OneStop)) {
        m_openFailure = OpenFailure::Settings;
        m_port.close();
        return false;
    }
    m_openFailure = OpenFailure::None;
    m_port.setReadBufferSize(kQueueSize);
    m_port.clearError();
    return true;
}

bool SerialTransport::close()
{
    if (!m_port.isOpen())
        return false;
    // Purge both directions and abandon whatever is pending.
    m_port.clear(QSerialPort::AllDirections);
    m_port.close();
    return true;
}

bool SerialTransport::isOpen() const { return m_port.isOpen(); }

QString SerialTransport::errorString() const { return m_port.errorString(); }

void SerialTransport::writeAll(const QByteArray &bytes)
{
    m_port.write(bytes);
    // No write time-out: wait until the whole frame has left.
    while (m_port.bytesToWrite() > 0) {
        if (!m_port.waitForBytesWritten(1000) && m_port.error() != QSerialPort::TimeoutError
            && m_port.error() != QSerialPort::NoError)
            break;
    }
}

bool SerialTransport::sendFrame(const QByteArray &frame)
{
    if (!m_port.isOpen())
        return false;
    purge();
    writeAll(frame);
    return true;
}

qint64 SerialTransport::drainBudgetMs(qint64 bytes, qint32 baudRate)
{
    // Ten bits a byte (8N1), twice over, plus a margin for the driver.
    const qint64 baud = qMax<qint32>(baudRate, 50);
    return kDrainMarginMs + bytes * 10 * 1000 * 2 / baud;
}

int SerialTransport::driverQueue() const
{
    int queued = 0;
    const int fd = m_port.handle();
    if (fd < 0 || ::ioctl(fd, TIOCOUTQ, &queued) != 0)
        return 0;
    return queued;
}

void SerialTransport::drain()
{
    // Output leaves in two steps: QSerialPort's own buffer goes to the driver, the
    // driver's queue goes on the line. Both are waited for, within the time the bytes
    // need at this baud rate, so a line stopped by flow control cannot hold the program.
    QElapsedTimer t;
    t.start();
    const qint64 budget = drainBudgetMs(m_port.bytesToWrite() + driverQueue(), m_port.baudRate());
    while (m_port.bytesToWrite() > 0 && t.elapsed() < budget) {
        if (!m_port.waitForBytesWritten(int(qBound(qint64(1), budget - t.elapsed(), qint64(100))))
            && m_port.error() != QSerialPort::TimeoutError && m_port.error() != QSerialPort::NoError)
            return;
    }
    while (driverQueue() > 0 && t.elapsed() < budget)
        QThread::msleep(5);
    // The last bytes in the line's hardware buffer.
    if (driverQueue() == 0 && m_port.handle() >= 0)
        ::tcdrain(m_port.handle());
}

void SerialTransport::purge()
{
    // Purging throws away both queues; output still on its way (the start-up frame's
    // tail at a low baud rate) must reach the line first.
    drain();
    m_port.clear(QSerialPort::AllDirections);
}

Transport::Read SerialTransport::readByte(quint8 &byte)
{
    if (m_port.bytesAvailable() <= 0)
        m_port.waitForReadyRead(kReadTimeoutMs);
    char c;
    if (m_port.read(&c, 1) == 1) {
        byte = static_cast<quint8>(c);
        m_readErrors = 0;
        return Read::Byte;
    }
    const QSerialPort::SerialPortError err = m_port.error();
    if (err != QSerialPort::NoError && err != QSerialPort::TimeoutError) {
        m_port.clearError();
        return Read::Error;
    }
    if (err == QSerialPort::TimeoutError)
        m_port.clearError();
    return Read::None;
}
