#pragma once

#include <QByteArray>
#include <QString>

#include <functional>

// What carries frames to the registrar: a serial port, the USB bulk endpoints, or in
// tests a loopback to the emulator.
class Transport {
public:
    enum class Kind { Serial, Usb };
    enum class Read {
        Byte,      // one byte came
        None,      // nothing came within the read time-out; the receiver keeps its state
        Error,     // the port reported an error (now cleared): the partial frame is abandoned
        Exhausted, // no more bytes will come for this exchange (the USB buffer is used up)
    };

    virtual ~Transport() = default;
    virtual Kind kind() const = 0;
    // Sends a whole request frame: flush and purge both queues, then write it.
    // Returns false when the exchange cannot run.
    virtual bool sendFrame(const QByteArray &frame) = 0;
    virtual Read readByte(quint8 &byte) = 0;
    // Flush pending output and purge both queues.
    virtual void purge() = 0;
    // The receiver finished a frame (its end state): a buffered transport rewinds.
    virtual void frameEnded() {}

    // The device is gone for good (a serial adapter unplugged, the far end of a line
    // hung up): nothing more will come, and waiting or repeating is pointless.
    bool lost() const { return m_lost; }
    // Called once, when the transport finds its device gone, also between exchanges.
    void setLostHandler(std::function<void(const QString &why)> handler) { m_lostHandler = std::move(handler); }

protected:
    void markLost(const QString &why)
    {
        if (m_lost)
            return;
        m_lost = true;
        if (m_lostHandler)
            m_lostHandler(why);
    }

private:
    bool m_lost = false;
    std::function<void(const QString &why)> m_lostHandler;
};
