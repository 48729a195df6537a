#pragma once

#include "commands/verdict.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

class Application;
struct CommandResult;

// What the fiscal receipt screen (and dizivu-cli's receipt) hands to a bank-card payment.
struct CardPaymentRequest {
    QString password;
    int paymentType = 0;
    QString amountText;               // the payment amount as typed
    bool useTypedTransaction = false; // "Использовать указанный идентификатор транзакций"
    QString typedTransaction;         // used cut to its first 20 characters
    bool suppressCardLines = false;   // "Не выводить дополнительную информацию для банковской карты"
    QString terminalPort;             // the card terminal's own serial port
    // What is still due in the receipt, in hundredths, when the caller knows it: a larger
    // card payment is refused before the card is charged.
    std::optional<qint64> dueCents;
    // Called with true just before the purchase request goes out and with false once the
    // payment command is judged: meanwhile an interrupt would lose a charged payment.
    std::function<void(bool)> chargeWindow;
    // Called with the terminal's transaction identifier as soon as it is known.
    std::function<void(const QString &)> onTransaction;
};

// How the payment ended. `charged` with a verdict that is not ok() is the dangerous case:
// the customer has paid and the registrar does not know it; `transactionId` then holds
// the terminal's identifier to record the payment with by hand.
struct CardPaymentResult {
    // Refused when nothing reached the registrar; once the card was charged, the verdict of
    // command 0x78 (a signature line that fails after it leaves the payment recorded);
    // otherwise the last registrar reply's.
    Verdict verdict;
    ReplyTexts shown;        // for "Код ошибки:", from the last reply that came
    bool charged = false;    // the terminal accepted the purchase (tag 58 came)
    QString transactionId;   // tag 58, or the typed identifier
    bool recorded = false;   // command 0x78 succeeded, or its lost reply was settled as done
    // Command 0x78's reply was lost and the receipt's stage cannot tell whether it was
    // recorded: the receipt must be neither paid again nor voided.
    bool uncertain = false;
    bool settled = false; // recorded, known from the receipt's stage after its reply was lost
};

// The card payment: the terminal's length-prefixed exchange on its own port, the card
// lines, command 0x78 and the signature lines. Messages go through the application's
// prompter; the waits on the terminal are bounded and can be cancelled.
class CardPayment {
public:
    static inline const QString kAttention = QStringLiteral("Внимание! Банковский терминал!");
    static inline const QString kTerminalFailed = QStringLiteral("Ошибка оплаты банковской картой!");
    static inline const QString kTimeout = QStringLiteral("Таймаут устройства! Ошибка оплаты банковской картой!");
    static inline const QString kRegistrarFailed = QStringLiteral("Ошибка оплаты чека банковской картой");
    static inline const QString kBadAmount =
        QStringLiteral("Сумма оплаты должна быть больше 0, не более двух знаков после точки: оплата не проведена.");
    // After the purchase request went out the terminal may have charged the card even
    // though its answer was lost.
    static inline const QString kCheckTerminal =
        QStringLiteral("Ответ терминала на запрос оплаты не получен. Прежде чем повторять оплату, "
                       "проверьте на терминале, не списана ли сумма с карты.");
    static inline const QString kTypedTransactionBox = QStringLiteral("Использовать указанный идентификатор транзакций");
    static inline const QString kNotPayable =
        QStringLiteral("Чек не готов к оплате: откройте чек и продайте товар. Оплата картой не проведена.");
    static inline const QString kAboveDue =
        QStringLiteral("Сумма оплаты картой больше, чем осталось оплатить по чеку (%1): оплата не проведена.");
    static inline const QString kDeclined = QStringLiteral("Оплата отклонена банковским терминалом.");
    static inline const QString kNoAnswer = QStringLiteral("Нет ответа от банковского терминала (порт %1).");
    static inline const QString kWaitCancelled = QStringLiteral("Ожидание ответа банковского терминала отменено.");
    static inline const QString kUnreadable = QStringLiteral("Ответ банковского терминала не удалось прочитать.");
    static inline const QString kPortFailed = QStringLiteral("Ошибка порта банковского терминала (%1).");
    static constexpr int kTypedTransactionLength = 20;

    // How long the terminal may take. The first bytes of the card reply and of the purchase
    // reply wait for the customer; the rest of any message and the acknowledgement come at
    // once or not at all.
    struct Limits {
        int acknowledgementMs = 20000;
        int cardMs = 120000;
        int purchaseMs = 120000;
        int restMs = 20000;
    };

    explicit CardPayment(Application &app) : m_app(app) {}
    void setLimits(const Limits &limits) { m_limits = limits; }
    CardPaymentResult pay(const CardPaymentRequest &request);

    // The card lines printed before the payment and the signature lines after it.
    static QStringList cardLines(const QByteArray &tag04, const QByteArray &tag01, const QByteArray &tag02);
    static const QStringList &signatureLines();

private:
    struct TerminalAnswer;
    struct ChargeWindow;
    bool askTerminal(const CardPaymentRequest &request, qint64 cents, TerminalAnswer &answer, ChargeWindow &window);
    // Whether the receipt can take `cents` now: said and false when not.
    bool payable(const CardPaymentRequest &request, qint64 cents);
    CardPaymentResult record(const CardPaymentRequest &request, qint64 cents, const QString &transactionId);
    const CommandResult *print(const QString &password, const QString &line, CardPaymentResult &result);
    void noteReply(const CommandResult &reply, CardPaymentResult &result);

    Application &m_app;
    Limits m_limits;
};
