#pragma once

#include <QByteArray>
#include <QList>
#include <QSerialPort>
#include <QString>
#include <QStringList>

#include <atomic>
#include <functional>

class DeviceTree;

// Finds the registrar by itself: every candidate port is opened, and at each speed in
// turn every open port gets one command 0x80 "Диагностическая информация" with the fixed
// password, sent once, never repeated. The wait for its reply is fitted to the speed (the
// request's and the reply's first bytes on the wire plus the registrar's working time),
// so a port with nothing attached costs a fraction of a second, not the link's silence
// rule. The first well-formed reply ends the search; at one speed an earlier port in the
// list wins over a later one. Nothing else is sent, and every port is closed again
// (its line settings restored) whatever the outcome.
//
// The ports of one speed are tried side by side: ten ports with nothing attached take the
// sum of the speeds' waits, not ten times it.
class RegistrarSearch {
public:
    // The registrar's own working time before its first reply byte, beyond the wire time.
    static constexpr int kAnswerMarginMs = 150;
    // The longest pause between two bytes of one reply, beyond a byte's wire time.
    static constexpr int kByteGapMarginMs = 60;
    // A registrar that keeps sending SYN is not waited for longer than this at one speed.
    static constexpr int kLongestWaitMs = 2500;
    // How often the idle hook runs (the window repaints, the cancel flag is looked at).
    static constexpr int kTickMs = 20;

    struct Found {
        QString port;
        qint32 speed = 0;
        QString model;
        QString version;
        QString serial;       // the third field of the reply: the serial-number text
        QByteArray errorWord; // "0000", or the registrar's refusal of the identification
    };
    // A port that could not be opened, with the reason in the user's words.
    struct Unopened {
        QString port;
        QString reason;
    };
    struct Result {
        bool found = false;
        bool cancelled = false;
        Found registrar;
        QList<Unopened> unopened;
        QStringList tried; // the ports that were open for the search
    };
    // One speed begins: its position (from 1) among `count` speeds.
    struct Step {
        qint32 speed = 0;
        int index = 0;
        int count = 0;
    };

    // The program's speeds, the most common first: 115200, 9600, then the rest from the
    // fastest down.
    static QList<qint32> defaultSpeeds();
    // The serial ports present, the registrar's USB virtual COM port first.
    static QStringList presentPorts(const DeviceTree &tree);
    // `ports` with `virtualPort` moved to the front (left alone when it is not among them).
    static QStringList registrarFirst(QStringList ports, const QString &virtualPort);

    // How long a port at `speed` may stay silent after the request before it counts as
    // having nothing attached.
    static int answerWaitMs(qint32 speed);

    // Why a port could not be opened, in the user's words: not found, busy, or no
    // permission with the group to join, read from the device itself.
    static QString openFailureText(const QString &port, QSerialPort::SerialPortError error,
                                   const QString &systemText);
    // The group that owns a device file; empty when it cannot be read.
    static QString deviceGroup(const QString &devicePath);

    // Called as each speed begins.
    void setProgress(std::function<void(const Step &)> progress) { m_progress = std::move(progress); }
    // Called at least every kTickMs while the search waits (a window processes its events).
    void setIdle(std::function<void()> idle) { m_idle = std::move(idle); }
    // The search ends, with `cancelled` set, soon after the flag becomes true.
    void setCancelFlag(const std::atomic<bool> *cancel) { m_cancel = cancel; }

    Result run(const QStringList &ports, const QList<qint32> &speeds);

private:
    bool cancelled() const { return m_cancel && m_cancel->load(); }

    std::function<void(const Step &)> m_progress;
    std::function<void()> m_idle;
    const std::atomic<bool> *m_cancel = nullptr;
};
