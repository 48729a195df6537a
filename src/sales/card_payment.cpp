#include "sales/card_payment.h"

#include "app/application.h"
#include "app/receipt_stage.h"
#include "app/step_runner.h"
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

QString typedRecord(const QString &transactionId)
{
    return QStringLiteral("Оплата записывается без банковского терминала, с идентификатором транзакции %1.")
        .arg(transactionId);
}

QString recordUnknown(const QString &transactionId)
{
    return QStringLiteral("Сумма списана с карты, но ответ регистратора на запись оплаты не получен, и по состоянию "
                          "чека нельзя сказать, записана ли она.\nИдентификатор транзакции: %1\n"
                          "Не проводите оплату картой ещё раз и не аннулируйте чек: проверьте чек на ленте регистратора.")
        .arg(transactionId);
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
    // A lost reply is settled from the receipt's stage: the payment is never recorded twice.
    StepRunner steps(m_app);
    StepTexts quiet;
    quiet.quiet = true;
    Application &app = m_app;
    result.recorded = steps.run({[&](int &code) {
                                     return app.execute(recordCardPayment, request.password, request.paymentType, cents,
                                                        transactionId, code);
                                 },
                                 quiet, receipt_stage::paymentSettling(app, QString())});
    result.verdict = steps.verdict();
    result.uncertain = steps.settledAs() == StepRunner::Settled::Unknown;
    result.settled = steps.settled();
    if (!steps.lastReply().errorWord.isEmpty())
        result.shown = steps.lastReply();
    return result;
}

bool CardPayment::payable(const CardPaymentRequest &request, qint64 cents)
{
    // The last reply's status tells the stage; it is read anew only when that reply was lost.
    const std::optional<int> stage = receipt_stage::current(m_app);
    if (!stage)
        return true; // the payment command itself will say what is wrong with the link
    const int s = receipt_stage::of(*stage);
    QString refusal;
    if (s != receipt_stage::kSale && s != receipt_stage::kSubtotal && s != receipt_stage::kPayment)
        refusal = kNotPayable;
    else if (request.dueCents && cents > *request.dueCents)
        refusal = kAboveDue.arg(card_protocol::amountText(*request.dueCents));
    if (refusal.isEmpty())
        return true;
    m_app.prompter().showMessage(refusal);
    return false;
}

// Opened just before the purchase request goes out, closed when the payment is over.
struct CardPayment::ChargeWindow {
    const std::function<void(bool)> &notify;
    bool open = false;
    void begin()
    {
        if (notify && !open)
            notify(true);
        open = true;
    }
    ~ChargeWindow()
    {
        if (notify && open)
            notify(false);
    }
};

bool CardPayment::askTerminal(const CardPaymentRequest &request, qint64 cents, TerminalAnswer &answer,
                              ChargeWindow &window)
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
    // The reason a read or a reply failed, as the operator is told it.
    auto reason = [&](CardTerminal::Read read) {
        switch (read) {
        case CardTerminal::Read::Timeout:
            return kNoAnswer.arg(port);
        case CardTerminal::Read::PortError:
            return kPortFailed.arg(port);
        case CardTerminal::Read::Cancelled:
            return kWaitCancelled;
        default:
            return kUnreadable;
        }
    };
    auto fail = [&](CardTerminal::Read read, bool purchaseSent, const QString &why = QString()) {
        if (read == CardTerminal::Read::Cancelled && !purchaseSent) {
            prompter.showMessage(kCancelled);
            return false;
        }
        QString message = kTerminalFailed + QLatin1Char('\n') + (why.isEmpty() ? reason(read) : why);
        if (purchaseSent)
            message += QLatin1Char('\n') + kCheckTerminal;
        prompter.showMessage(message);
        return false;
    };
    const QByteArray ack(1, card_protocol::kAck);
    // A reply longer than the program keeps is read from its first kMaxReply bytes.
    auto usable = [](CardTerminal::Read read) {
        return read == CardTerminal::Read::Ok || read == CardTerminal::Read::Cut;
    };

    QByteArray payload;
    if (!terminal.send(QByteArray(1, card_protocol::kCardRequest)))
        return fail(CardTerminal::Read::PortError, false);
    CardTerminal::Read read =
        terminal.readMessage(payload, m_limits.acknowledgementMs, m_limits.restMs, kWaitAcknowledgement);
    if (!usable(read))
        return fail(read, false);
    if (payload != ack)
        return fail(read, false, kUnreadable);
    read = terminal.readMessage(payload, m_limits.cardMs, m_limits.restMs, kWaitCard);
    if (!usable(read))
        return fail(read, false);
    terminal.send(ack);

    const auto t00 = tagValue(payload, "00");
    const auto t01 = tagValue(payload, "01");
    const auto t02 = tagValue(payload, "02");
    const auto t04 = tagValue(payload, "04");
    // Without the card's data nothing is charged: the purchase is not asked for.
    if (!t00 || !t01 || !t02 || !t04)
        return fail(read, false, kUnreadable);
    answer.tag00 = *t00;
    answer.tag01 = *t01;
    answer.tag02 = *t02;
    answer.tag04 = *t04;

    // From here the card may be charged. A request that went out only in part may still
    // have reached the terminal.
    window.begin();
    if (!terminal.send(card_protocol::purchaseRequest(answer.tag00, cents)))
        return fail(CardTerminal::Read::PortError, true);
    read = terminal.readMessage(payload, m_limits.purchaseMs, m_limits.restMs, kWaitPurchase);
    // A terminal that acknowledges the request before it answers: the acknowledgement is
    // not the answer.
    if (read == CardTerminal::Read::Ok && payload == ack)
        read = terminal.readMessage(payload, m_limits.purchaseMs, m_limits.restMs, kWaitPurchase);
    if (!usable(read))
        return fail(read, true);
    terminal.send(ack);

    // No transaction identifier: the purchase was declined, unless the reply was cut
    // before the identifier could come.
    const auto t58 = tagValue(payload, "58");
    if (!t58 || t58->isEmpty()) {
        if (read == CardTerminal::Read::Cut)
            return fail(read, true, kUnreadable);
        const auto code = tagValue(payload, "39");
        return fail(read, false,
                    code && !code->isEmpty() ? kDeclined + QStringLiteral(" Код ответа: ") + printable(*code) : kDeclined);
    }
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
    if (request.useTypedTransaction) {
        const QString id = request.typedTransaction.left(kTypedTransactionLength);
        prompter.showMessage(typedRecord(id));
        CardPaymentResult result = record(request, *cents, id);
        // A payment recorded by hand says nothing more; one that did not go in must say so.
        if (result.uncertain)
            prompter.showMessage(kTimeout + QStringLiteral("\n\n") + recordUnknown(id));
        else if (!result.verdict.ok())
            prompter.showMessage(failureMessage(result.verdict));
        return result;
    }
    if (!payable(request, *cents)) {
        CardPaymentResult refused;
        refused.verdict = Verdict::refused(0, kNotPayable);
        return refused;
    }
    prompter.showMessage(kAttention);

    TerminalAnswer answer;
    ChargeWindow window{request.chargeWindow};
    if (!askTerminal(request, *cents, answer, window)) {
        CardPaymentResult refused;
        refused.verdict = Verdict::refused(0, kTerminalFailed);
        return refused;
    }
    const QString transactionId = printable(answer.tag58);
    if (request.onTransaction)
        request.onTransaction(transactionId);

    // The card lines are sent whatever their replies: the payment is what counts.
    CardPaymentResult lines;
    if (!request.suppressCardLines)
        for (const QString &line : cardLines(answer.tag04, answer.tag01, answer.tag02))
            print(request.password, line, lines);

    CardPaymentResult result = record(request, *cents, transactionId);
    result.charged = true;
    if (result.shown.errorWord.isEmpty())
        result.shown = lines.shown;
    if (result.uncertain) {
        prompter.showMessage(kTimeout + QStringLiteral("\n\n") + recordUnknown(transactionId));
        return result;
    }
    if (!result.recorded) {
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
