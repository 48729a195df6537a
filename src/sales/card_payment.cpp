#include "sales/card_payment.h"

#include "app/application.h"
#include "commands/command_wrappers.h"
#include "link/code_page.h"
#include "link/command_result.h"
#include "sales/card_terminal.h"

namespace {

const QString kWaitAcknowledgement = QStringLiteral("Ожидание ответа банковского терминала...");
const QString kWaitCard = QStringLiteral("Ожидание карты на банковском терминале...");
const QString kWaitPurchase = QStringLiteral("Ожидание подтверждения оплаты на банковском терминале...");
const QString kCancelled = QStringLiteral("Оплата банковской картой отменена.");
const QString kSignatureFailed =
    QStringLiteral("Оплата банковской картой записана в регистратор, но строки для подписи не напечатаны:\n  ");

// A value from the terminal as one text field: its separators and control bytes would
// shift the fields after it or break the frame, so they print as blanks.
QString printable(const QByteArray &value)
{
    QString text = code_page::fromDevice(value);
    for (QChar &c : text)
        if (c.unicode() < 0x20 || c == QLatin1Char(';'))
            c = QLatin1Char(' ');
    return text;
}

QString chargedNotRecorded(const QString &transactionId)
{
    return QStringLiteral("Сумма списана с карты, но регистратор не подтвердил запись оплаты.\n"
                          "Идентификатор транзакции: %1\n"
                          "Не проводите оплату картой ещё раз: запишите её, отметив «%2» с этим идентификатором.")
        .arg(transactionId, CardPayment::kTypedTransactionBox);
}

// The message for a registrar command of the payment that did not succeed.
QString failureMessage(const Verdict &v)
{
    if (v.kind == Verdict::Kind::Refused)
        return v.message;
    if (v.kind == Verdict::Kind::NoReply)
        return CardPayment::kTimeout;
    return CardPayment::kRegistrarFailed;
}

} // namespace

struct CardPayment::TerminalAnswer {
    QByteArray tag00, tag01, tag02, tag04, tag58;
};

QStringList CardPayment::cardLines(const QByteArray &tag04, const QByteArray &tag01, const QByteArray &tag02)
{
    return {printable(tag04) + QStringLiteral(" CARD"), printable(card_protocol::maskedCardNumber(tag01)),
            printable(tag02)};
}

const QStringList &CardPayment::signatureLines()
{
    static const QStringList lines = {QStringLiteral("ПІДПИС"), QStringLiteral("КАСИРА . . . . . . . . "),
                                      QStringLiteral("ПІДПИС"), QStringLiteral("КЛІЄНТА. . . . . . . . ")};
    return lines;
}

void CardPayment::noteReply(const CommandResult &reply, CardPaymentResult &result)
{
    if (Verdict::of(reply).replied())
        result.shown = ReplyTexts::of(reply);
}

const CommandResult *CardPayment::print(const QString &password, const QString &line, CardPaymentResult &result)
{
    int code = 0;
    const CommandResult *r = m_app.execute(PrintText, password, line, code);
    if (code < 0)
        return nullptr;
    noteReply(*r, result);
    return r;
}

CardPaymentResult CardPayment::record(const CardPaymentRequest &request, qint64 cents, const QString &transactionId)
{
    CardPaymentResult result;
    result.transactionId = transactionId;
    int code = 0;
    const CommandResult *r =
        m_app.execute(recordCardPayment, request.password, request.paymentType, cents, transactionId, code);
    if (code < 0) {
        result.verdict = Verdict::refused(code, wrapper_codes::refusalMessage(code));
        return result;
    }
    result.verdict = Verdict::of(*r);
    result.recorded = result.verdict.ok();
    noteReply(*r, result);
    return result;
}

bool CardPayment::askTerminal(const CardPaymentRequest &request, qint64 cents, TerminalAnswer &answer)
{
    using card_protocol::tagValue;
    Prompter &prompter = m_app.prompter();
    QString port = request.terminalPort;
    if (port.isEmpty())
        port = m_app.state().cardTerminalPort;
    if (port.isEmpty())
        port = m_app.config().cardTerminalPort();

    CardTerminal terminal(prompter);
    QString failure;
    if (!terminal.open(port, failure)) {
        prompter.showMessage(failure);
        return false;
    }
    auto fail = [&](CardTerminal::Read read, bool purchaseSent) {
        if (read == CardTerminal::Read::Cancelled && !purchaseSent)
            prompter.showMessage(kCancelled);
        else if (purchaseSent && read != CardTerminal::Read::Ok)
            prompter.showMessage(kTerminalFailed + QLatin1Char('\n') + kCheckTerminal);
        else
            prompter.showMessage(kTerminalFailed);
        return false;
    };
    const QByteArray ack(1, card_protocol::kAck);

    QByteArray payload;
    if (!terminal.send(QByteArray(1, card_protocol::kCardRequest)))
        return fail(CardTerminal::Read::PortError, false);
    CardTerminal::Read read =
        terminal.readMessage(payload, m_limits.acknowledgementMs, m_limits.restMs, kWaitAcknowledgement);
    if (read != CardTerminal::Read::Ok || payload != ack)
        return fail(read, false);
    read = terminal.readMessage(payload, m_limits.cardMs, m_limits.restMs, kWaitCard);
    if (read != CardTerminal::Read::Ok)
        return fail(read, false);
    terminal.send(ack);

    const auto t00 = tagValue(payload, "00");
    const auto t01 = tagValue(payload, "01");
    const auto t02 = tagValue(payload, "02");
    const auto t04 = tagValue(payload, "04");
    // Without the card's data nothing is charged: the purchase is not asked for.
    if (!t00 || !t01 || !t02 || !t04)
        return fail(read, false);
    answer.tag00 = *t00;
    answer.tag01 = *t01;
    answer.tag02 = *t02;
    answer.tag04 = *t04;

    // A request that went out only in part may still have reached the terminal.
    if (!terminal.send(card_protocol::purchaseRequest(answer.tag00, cents)))
        return fail(CardTerminal::Read::PortError, true);
    read = terminal.readMessage(payload, m_limits.purchaseMs, m_limits.restMs, kWaitPurchase);
    // A terminal that acknowledges the request before it answers: the acknowledgement is
    // not the answer.
    if (read == CardTerminal::Read::Ok && payload == ack)
        read = terminal.readMessage(payload, m_limits.purchaseMs, m_limits.restMs, kWaitPurchase);
    if (read != CardTerminal::Read::Ok)
        return fail(read, true);
    terminal.send(ack);

    // No transaction identifier: the purchase was declined.
    const auto t58 = tagValue(payload, "58");
    if (!t58 || t58->isEmpty())
        return fail(read, false);
    answer.tag58 = *t58;
    return true;
}

// Why the payment command could not go out, checked before the card is charged: 0 when
// it can, else the command layer's refusal code.
static int paymentRefusal(const CardPaymentRequest &request)
{
    if (request.paymentType < 0 || request.paymentType > 9)
        return wrapper_codes::kPaymentType;
    if (const int r = param_format::textRefusal(request.password))
        return r;
    if (request.useTypedTransaction)
        return param_format::textRefusal(request.typedTransaction.left(CardPayment::kTypedTransactionLength));
    return 0;
}

CardPaymentResult CardPayment::pay(const CardPaymentRequest &request)
{
    Prompter &prompter = m_app.prompter();
    auto refuse = [&](int code, const QString &message) {
        prompter.showMessage(message);
        CardPaymentResult refused;
        refused.verdict = Verdict::refused(code, message);
        return refused;
    };
    const auto cents = card_protocol::amountCents(request.amountText);
    if (!cents)
        return refuse(0, kBadAmount);
    if (const int code = paymentRefusal(request))
        return refuse(code, wrapper_codes::refusalMessage(code));
    prompter.showMessage(kAttention);

    if (request.useTypedTransaction) {
        CardPaymentResult result = record(request, *cents, request.typedTransaction.left(kTypedTransactionLength));
        // A payment recorded by hand says nothing; one that did not go in must say so.
        if (!result.verdict.ok())
            prompter.showMessage(failureMessage(result.verdict));
        return result;
    }

    TerminalAnswer answer;
    if (!askTerminal(request, *cents, answer)) {
        CardPaymentResult refused;
        refused.verdict = Verdict::refused(0, kTerminalFailed);
        return refused;
    }
    const QString transactionId = printable(answer.tag58);

    // The card lines are sent whatever their replies: the payment is what counts.
    CardPaymentResult lines;
    if (!request.suppressCardLines)
        for (const QString &line : cardLines(answer.tag04, answer.tag01, answer.tag02))
            print(request.password, line, lines);

    CardPaymentResult result = record(request, *cents, transactionId);
    result.charged = true;
    if (result.shown.errorWord.isEmpty())
        result.shown = lines.shown;
    if (!result.verdict.ok()) {
        // The customer has paid: the card must not be charged again, the payment is to be
        // recorded by hand with the terminal's identifier.
        prompter.showMessage(failureMessage(result.verdict) + QStringLiteral("\n\n") + chargedNotRecorded(transactionId));
        return result;
    }

    if (!request.suppressCardLines) {
        const CommandResult *last = nullptr;
        for (const QString &line : signatureLines())
            last = print(request.password, line, result);
        const Verdict v = last ? Verdict::of(*last) : Verdict{};
        if (!v.ok())
            prompter.showMessage(kSignatureFailed + (v.kind == Verdict::Kind::NoReply ? kTimeout : v.message));
    }
    return result;
}
