#pragma once

#include <QByteArray>
#include <QString>

#include <array>

class ByteReceiver;

// The parsed reply of the last command. The link keeps one record and overwrites it at
// every exchange; callers read it until the next one.
struct CommandResult {
    static constexpr int kFieldSlots = 20;
    static constexpr int kDataCopyCapacity = 255;

    // Link bits of the flag word; they exclude each other and the status bits.
    static constexpr quint32 kChecksumBit = 1u << 24;
    static constexpr quint32 kNakBit = 1u << 25;
    static constexpr quint32 kNoReplyBit = 1u << 26;

    int fieldCount = 0;
    int commandCode = 0;
    int reserved = 0;
    quint32 flags = 0;
    QString commandName;
    QByteArray parameters;  // as sent
    QByteArray data;        // the reply's data before adjustment, at most 255 bytes
    QByteArray errorWord;   // characters between CMD and the first ";"
    std::array<QByteArray, kFieldSlots> fields; // slot 0 holds the first field
    std::array<quint8, 6> status{};             // bit 7 cleared
    QByteArray request;     // the request frame, SOH to ETX
    QByteArray reply;       // the raw reply copy, SYN left out
    quint8 checksumError = 0;

    bool noReply() const { return flags & kNoReplyBit; }
    // Field k counting from 0; an empty text when the reply has no such field.
    QByteArray field(int slot) const
    {
        return slot >= 0 && slot < fieldCount && slot < kFieldSlots ? fields[slot] : QByteArray();
    }
    // "XX " for each status byte, trailing blank included, as the screens show them.
    QString statusText() const;
};

namespace reply_parsing {

// The flag word's status bits from the six status bytes (bit 7 already cleared).
quint32 statusFlags(const std::array<quint8, 6> &status);

// The data adjustments of commands 0x32, 0x35, 0x3E and 0x5A.
QByteArray adjustData(int code, const QByteArray &data);

// Splits the (adjusted) data into at most 20 field out. Returns the field count;
// empty data returns 0 and leaves the out as they were.
int splitFields(const QByteArray &data, std::array<QByteArray, CommandResult::kFieldSlots> &out);

// Fills the reply half of the record from the receiver at the end of an exchange.
void parseReply(const ByteReceiver &receiver, CommandResult &result);

} // namespace reply_parsing
