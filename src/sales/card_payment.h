#pragma once

#include "commands/verdict.h"

#include <QString>

class Application;

// What the fiscal receipt screen (and dizivu-cli's receipt) hands to a bank-card payment.
struct CardPaymentRequest {
    QString password;
    int paymentType = 0;
    QString amountText;               // the payment amount as typed
    bool useTypedTransaction = false; // "Использовать указанный идентификатор транзакций"
    QString typedTransaction;         // used cut to its first 20 characters
    bool suppressCardLines = false;   // "Не выводить дополнительную информацию для банковской карты"
    QString terminalPort;             // the card terminal's own serial port
};

// How the payment ended. `charged` with a verdict that is not ok() is the dangerous case:
// the customer has paid and the registrar does not know it; `transactionId` then holds
// the terminal's identifier to record the payment with by hand.
struct CardPaymentResult {
    Verdict verdict;         // the last registrar reply's; Refused when nothing reached the registrar
    ReplyTexts shown;        // for "Код ошибки:", from the last reply that came
    bool charged = false;    // the terminal accepted the purchase (tag 58 came)
    QString transactionId;   // tag 58, or the typed identifier
};

// The card payment: the terminal's length-prefixed exchange on its own port, the card
// lines, command 0x78 and the signature lines. Messages go through the application's
// prompter; the waits on the terminal are bounded and can be cancelled.
class CardPayment {
public:
    explicit CardPayment(Application &app) : m_app(app) {}
    CardPaymentResult pay(const CardPaymentRequest &request);

private:
    Application &m_app;
};
