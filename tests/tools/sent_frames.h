#pragma once

#include "support/loopback_transport.h"

#include <QByteArray>
#include <QList>

// The parameter strings of the frames of one command that went to the emulator, in order.
inline QList<QByteArray> parametersSent(const LoopbackTransport &line, int code)
{
    QList<QByteArray> out;
    for (const QByteArray &f : line.framesSent)
        if (quint8(f.at(3)) == code)
            out << f.mid(4, f.size() - 10); // SOH LEN SEQ CMD ... ENQ, four check characters, ETX
    return out;
}
