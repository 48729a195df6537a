#pragma once

#include "support/loopback_transport.h"

#include <QByteArray>
#include <QList>
#include <QString>

// One frame that went out on a test's line: SOH LEN SEQ CMD parameters ENQ, four check
// characters, ETX.
struct SentFrame {
    int code = -1;
    QByteArray parameters;

    explicit SentFrame(const QByteArray &frame)
        : code(frame.size() > 3 ? quint8(frame.at(3)) : -1), parameters(frame.mid(4, frame.size() - 10))
    {
    }
    // "cc parameters", the code in lower-case hexadecimal.
    QString text() const
    {
        return QStringLiteral("%1 %2").arg(code, 2, 16, QLatin1Char('0')).arg(QString::fromLatin1(parameters));
    }
};

// Every frame that went to the emulator, in order.
inline QList<SentFrame> framesSent(const LoopbackTransport &line)
{
    QList<SentFrame> out;
    for (const QByteArray &f : line.framesSent)
        out.append(SentFrame(f));
    return out;
}

// The parameter strings of the frames of one command, in order.
inline QList<QByteArray> parametersSent(const LoopbackTransport &line, int code)
{
    QList<QByteArray> out;
    for (const SentFrame &f : framesSent(line))
        if (f.code == code)
            out << f.parameters;
    return out;
}

// The last frame sent; code -1 when none was.
inline SentFrame lastFrameSent(const LoopbackTransport &line)
{
    return SentFrame(line.framesSent.isEmpty() ? QByteArray() : line.framesSent.last());
}
