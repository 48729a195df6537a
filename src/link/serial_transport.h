#pragma once

#include "link/transport.h"

#include <QSerialPort>
#include <QString>

// A serial port (physical or the registrar's USB virtual COM port) through QSerialPort:
// 8 data bits, no parity, one stop bit, the chosen baud rate, reads of one byte that
// wait at most 100 ms.
class SerialTransport final : public Transport {
public:
    static constexpr int kReadTimeoutMs = 100;
    static constexpr int kQueueSize = 1024;
    static constexpr int kDrainMarginMs = 500;
    // Read errors in a row, without a byte between them, after which the line counts as
    // hung up (a pseudo-terminal whose far end closed reports read errors, not a lost device).
    static constexpr int kLostAfterReadErrors = 3;
    // How long output of this many bytes may take to leave before a purge gives up on it.
    static qint64 drainBudgetMs(qint64 bytes, qint32 baudRate);

    SerialTransport();
    ~SerialTransport() override;

    // The device path of a port name: the name itself when it already is a path,
    // otherwise "/dev/" + name.
    static QString devicePath(const QString &portName);

    // Why the last open failed.
    enum class OpenFailure { None, NotFound, Permission, Busy, Settings, Other };

    bool open(const QString &portName, qint32 baudRate);
    OpenFailure openFailure() const { return m_openFailure; }
    bool close();
    bool isOpen() const;
    QString errorString() const;

    Kind kind() const override { return Kind::Serial; }
    bool sendFrame(const QByteArray &frame) override;
    Read readByte(quint8 &byte) override;
    void purge() override;

private:
    void writeAll(const QByteArray &bytes);
    void drain();
    int driverQueue() const; // bytes the driver has yet to send
    void noteError(QSerialPort::SerialPortError error);
    QSerialPort m_port;
    OpenFailure m_openFailure = OpenFailure::None;
    int m_readErrors = 0;
};
