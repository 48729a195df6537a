#pragma once

#include "emulator/registrar.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <functional>

namespace emu {

// A bank-card terminal in software. It speaks the terminal's protocol (a two-byte length,
// most significant byte first, then the payload) with its own framing code: it
// acknowledges the card request and answers it with the card's data (tags 00, 01, 02,
// 04), takes the program's acknowledgement, answers a purchase request with a
// transaction identifier in tag 58 and takes the acknowledgement of that.
class CardTerminal {
public:
    // What goes wrong, at every payment until changed.
    enum class Fault {
        None,
        NoAck,          // the card request is never acknowledged
        WrongAck,       // acknowledged with NAK (0x15) instead of 0x06, then silence
        Silent,         // the card reply comes, the purchase request gets no answer
        LongReply,      // the card reply is longer than 1000 bytes
        LongPurchase,   // the purchase reply is longer than 1000 bytes
        MissingTags,    // the card reply lacks tags 00 and 01
        Declined,       // the purchase is declined: its reply has no tag 58
    };
    static bool parseFault(const QString &text, Fault &fault);

    struct Options {
        QByteArray token = "4F2A91C7";       // tag 00, echoed in the purchase request
        QByteArray cardNumber = "12345678";  // tag 01
        QByteArray holder = "CARDHOLDER";    // tag 02
        QByteArray brand = "VISA";           // tag 04
        bool acknowledgePurchase = false;    // acknowledge a purchase request before answering it
        int cardDelayMs = 0;                 // the customer's time before the card reply
    };

    CardTerminal() = default;
    explicit CardTerminal(const Options &options) : m_options(options) {}

    void setFault(Fault fault) { m_fault = fault; }

    // Bytes from the program; what the terminal sends back, in order.
    QList<Chunk> receive(const QByteArray &bytes);

    // Every whole message the program sent, payload only, in order.
    const QList<QByteArray> &received() const { return m_received; }
    void setJournalHook(std::function<void(const QByteArray &payload)> hook) { m_journalHook = std::move(hook); }
    // Purchases answered with an identifier (the card charged).
    int charges() const { return m_charges; }

    // The value of a field "NN=value" of a payload whose fields are separated by FS.
    static QByteArray field(const QByteArray &payload, const QByteArray &tag, bool *found = nullptr);

private:
    QList<Chunk> answer(const QByteArray &payload);
    QList<Chunk> cardReply();
    QList<Chunk> purchaseReply(const QByteArray &request);

    Options m_options;
    Fault m_fault = Fault::None;
    QByteArray m_input;
    QList<QByteArray> m_received;
    std::function<void(const QByteArray &)> m_journalHook;
    int m_charges = 0;
};

} // namespace emu
