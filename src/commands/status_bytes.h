#pragma once

#include "link/transport.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <array>

// Meaning of the six status bytes of every reply, as the status screen and the
// command-line tool show them. Each bit's caption carries its value in hexadecimal in
// brackets; bit 7 is always set by the registrar.
namespace status_bytes {

inline constexpr int kByteCount = 6;
inline constexpr int kBitCount = 8;
inline constexpr int kReceiptStateCount = 16;

using Connection = Transport::Kind;

// Title of a byte's group, "Статус регистратора - байт 0 (общее состояние)"; empty out
// of range.
QString byteTitle(int byte);

// True when byte 5, bits 0 and 1, report data transfer (the 72-hour lock and receipts
// not yet passed to the modem) instead of the cash drawer: the model name contains
// "6208", or contains "KM-1" but not "KM-1M" (exact case).
bool reportsDataTransfer(const QString &modelName);

// Caption of one bit; byte 5's bits 0 and 1 depend on the model name and on how the
// registrar is connected. Empty out of range.
QString bitCaption(int byte, int bit, const QString &modelName = QString(),
                   Connection connection = Connection::Serial);

// Captions of the eight bits of one byte, bit 0 first.
QStringList bitCaptions(int byte, const QString &modelName = QString(),
                        Connection connection = Connection::Serial);

// For each of the six bytes, the captions of its set bits, lowest bit first. Bytes kept
// with bit 7 cleared (as in CommandResult) list no bit-7 caption.
QList<QStringList> setBitCaptions(const std::array<quint8, kByteCount> &status,
                                  const QString &modelName = QString(),
                                  Connection connection = Connection::Serial);

// The receipt state code of byte 2: bits 0 to 3.
inline int receiptState(quint8 byte2) { return byte2 & 0x0F; }

// Entry of the receipt-state list, "5. Произвольный текстовый документ открыт"; the
// states 10 to 15 read "10." to "15." without text. Empty out of range.
QString receiptStateText(int state);

// The whole receipt-state list, states 0 to 15.
QStringList receiptStateTexts();

} // namespace status_bytes
