#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QSerialPort>
#include <QString>

#include <optional>

class Prompter;

// The bank-card terminal's protocol: every message in either direction is a two-byte
// length, most significant byte first, then that many payload bytes. Text payloads are
// fields "NN=value" separated by FS.
namespace card_protocol {

constexpr char kStx = 0x02;
constexpr char kAck = 0x06;
constexpr char kCardRequest = 0x12;
constexpr char kFs = 0x1C;
// The most of a reply the program keeps; a longer one is read to its end and only its
// first kMaxReply bytes are looked at.
constexpr int kMaxReply = 999;

// A payload with its length in front.
QByteArray message(QByteArrayView payload);

// Takes the first whole message off the front of `stream` into `payload`. `skip` counts
// the bytes of an earlier cut message still to come: they are dropped first.
enum class Take {
    Incomplete, // not all of it is there yet; `stream` is left alone
    Whole,      // `payload` holds it and it is gone from `stream`
    Cut,        // it announced more than kMaxReply bytes: `payload` holds its first
                // kMaxReply, the rest is gone from `stream` or counted in `skip`
};
Take takeMessage(QByteArray &stream, QByteArray &payload, qsizetype &skip);

// The value of tag `tag` (two characters): the text after "NN=" up to the next FS or the
// end of the payload. A tag counts only where a field starts: at the start of the payload
// (after an STX there) or right after FS, never inside another field's value. The first
// such field wins; nothing when the payload has none. The payload is read up to its first
// zero byte.
std::optional<QByteArray> tagValue(QByteArrayView payload, QByteArrayView tag);

// The amount typed for a card payment in hundredths: digits, optionally "." and one or
// two more digits, blanks around allowed ("12.5" and "12.50" are 1250, "12" is 1200).
// Nothing for any other text, an amount not above 0 or one of more than nine whole digits.
std::optional<qint64> amountCents(const QString &typed);
// Hundredths with two decimals and ".": 1250 -> "12.50".
QString amountText(qint64 cents);

// The purchase request's payload: STX, the card reply's tag 00 echoed, the fixed type S,
// the amount in hundredths, the hryvnia's numeric and letter codes, and 61=1 last.
QByteArray purchaseRequest(QByteArrayView tag00, qint64 cents);

// The masked card number line: "**** **** " and the tag 01 value with a blank before its
// fifth character ("12345678" -> "**** **** 1234 5678").
QByteArray maskedCardNumber(QByteArrayView tag01);

} // namespace card_protocol

// The terminal's own serial port, opened for one payment: 9600 baud, 8N1. Reads wait in
// short slices so the operator's "Отмена" (through the prompter) is seen between them.
class CardTerminal {
public:
    enum class Read {
        Ok,
        Timeout,   // nothing, or not all of a message, within the limit
        Cancelled, // the operator pressed "Отмена"
        Cut,       // a message longer than kMaxReply: its first kMaxReply bytes
        PortError, // the port failed while reading
    };

    explicit CardTerminal(Prompter &prompter) : m_prompter(prompter) {}
    ~CardTerminal() { close(); }
    CardTerminal(const CardTerminal &) = delete;
    CardTerminal &operator=(const CardTerminal &) = delete;

    // Opens and sets up the port; on failure the system's message for the step that failed.
    bool open(const QString &portName, QString &failure);
    void close();

    bool send(QByteArrayView payload);
    // Reads the next whole message. Its first bytes may take `firstLimitMs` (the terminal
    // waits for the customer); once they come, the rest must follow within `restLimitMs`.
    // `waitText` is what the operator sees meanwhile.
    Read readMessage(QByteArray &payload, int firstLimitMs, int restLimitMs, const QString &waitText);

private:
    bool fill(qint64 deadlineMs, qint64 startMs, bool &cancelled);

    Prompter &m_prompter;
    QSerialPort m_port;
    QByteArray m_stream;
    qsizetype m_skip = 0; // bytes of a cut message still to drop
};
