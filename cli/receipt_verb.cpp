#include "cli/receipt_verb.h"
#include "cli/cancel_verb.h"
#include "cli/output.h"
#include "cli/verbs.h"

#include "app/application.h"
#include "cli/connection.h"
#include "cli/send_command.h"
#include "commands/command_codes.h"
#include "commands/command_wrappers.h"
#include "link/code_page.h"
#include "link/command_result.h"
#include "sales/fiscal_receipt.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cmath>

using namespace Qt::StringLiterals;

namespace cli {

namespace {

constexpr qint64 kMaxFileBytes = 1024 * 1024;
constexpr int kMaxPaymentType = 9;
// What the registrar takes, checked here so that a receipt it would refuse half-way is
// never opened: a parameter string of 219 bytes, operators 1 to 99, a goods name of 40
// characters, up to a million units, a discount other than 0 and a percentage above -100 %
// and at most 100 %.
constexpr int kMaxLineBytes = 219;
constexpr int kMaxOperator = 99;
constexpr int kMaxGoodsName = 40;
constexpr double kMaxQuantity = 1'000'000;
constexpr double kMaxPercent = 100;

// Reads one JSON object, naming the place of the first fault in `error`.
class Checker {
public:
    explicit Checker(QString &error) : m_error(error) {}

    bool fail(const QString &where, const QString &what)
    {
        m_error = where + u": "_s + what;
        return false;
    }
    bool onlyKeys(const QJsonObject &o, const QString &where, const QStringList &keys)
    {
        for (const QString &k : o.keys())
            if (!keys.contains(k))
                return fail(where, u"unknown key \"%1\""_s.arg(k));
        return true;
    }
    // A number with at most `places` decimals: the registrar takes no more, and a value
    // rounded on the way would be a different sale.
    bool number(const QJsonValue &v, const QString &where, int places, double &out)
    {
        if (!v.isDouble() || !std::isfinite(v.toDouble()))
            return fail(where, u"not a number"_s);
        out = v.toDouble();
        const double scaled = out * std::pow(10.0, places);
        if (std::fabs(scaled) > 1e15 || std::fabs(scaled - std::round(scaled)) > 1e-6)
            return fail(where, u"more than %1 decimals"_s.arg(places));
        return true;
    }
    bool integer(const QJsonValue &v, const QString &where, int low, int high, int &out)
    {
        double d = 0;
        if (!number(v, where, 0, d))
            return false;
        if (d < low || d > high)
            return fail(where, u"outside %1 to %2"_s.arg(low).arg(high));
        out = int(d);
        return true;
    }
    bool flag(const QJsonValue &v, const QString &where, bool &out)
    {
        if (v.isUndefined())
            return true;
        if (!v.isBool())
            return fail(where, u"not true or false"_s);
        out = v.toBool();
        return true;
    }
    // Text that goes out as one field (`separatorAllowed`: a whole goods line).
    bool text(const QJsonValue &v, const QString &where, bool separatorAllowed, QString &out)
    {
        if (!v.isString())
            return fail(where, u"not a text"_s);
        out = v.toString();
        if (const int refusal = param_format::textRefusal(out, separatorAllowed))
            return fail(where, wrapper_codes::refusalMessage(refusal));
        if (code_page::toDevice(out).size() > kMaxLineBytes)
            return fail(where, u"over %1 bytes"_s.arg(kMaxLineBytes));
        return true;
    }
    bool discount(const QJsonValue &v, const QString &where, std::optional<ReceiptFile::Discount> &out)
    {
        if (v.isUndefined())
            return true;
        if (!v.isObject())
            return fail(where, u"not an object"_s);
        const QJsonObject o = v.toObject();
        if (!onlyKeys(o, where, {u"percent"_s, u"amount"_s}))
            return false;
        if (o.size() != 1)
            return fail(where, u"takes exactly one of \"percent\" and \"amount\""_s);
        ReceiptFile::Discount d;
        d.percent = o.contains(u"percent"_s);
        const QString at = where + u"."_s + o.begin().key();
        if (!number(o.begin().value(), at, 2, d.value))
            return false;
        if (std::round(d.value * 100) == 0)
            return fail(at, u"0"_s);
        if (d.percent && (d.value <= -kMaxPercent || d.value > kMaxPercent))
            return fail(at, u"not above -100 and at most 100"_s);
        out = d;
        return true;
    }
    QJsonArray array(const QJsonValue &v, const QString &where, bool required, bool &ok)
    {
        ok = true;
        if (v.isUndefined() && !required)
            return {};
        if (!v.isArray() || (required && v.toArray().isEmpty()))
            ok = fail(where, required ? u"not a list of at least one"_s : u"not a list"_s);
        return v.toArray();
    }

private:
    QString &m_error;
};

bool item(Checker &c, const QJsonValue &v, const QString &where, ReceiptFile::Item &out)
{
    if (!v.isObject())
        return c.fail(where, u"not an object"_s);
    const QJsonObject o = v.toObject();
    if (!c.onlyKeys(o, where, {u"goods"_s, u"quantity"_s, u"price"_s, u"discount"_s})
        || !c.text(o.value(u"goods"_s), where + u".goods"_s, true, out.goods))
        return false;
    qint64 code = 0;
    if (!FiscalReceipt::goodsCode(out.goods, code))
        return c.fail(where + u".goods"_s, u"no numeric goods code before the first \";\""_s);
    if (!c.number(o.value(u"quantity"_s), where + u".quantity"_s, 3, out.quantity)
        || !c.number(o.value(u"price"_s), where + u".price"_s, 2, out.price)
        || !c.discount(o.value(u"discount"_s), where + u".discount"_s, out.discount))
        return false;
    if (!(out.quantity > 0))
        return c.fail(where + u".quantity"_s, u"not above 0"_s);
    if (std::round(out.quantity * 1000) < 1)
        return c.fail(where + u".quantity"_s, u"0 at 3 decimals"_s);
    if (out.quantity > kMaxQuantity)
        return c.fail(where + u".quantity"_s, u"over 1000000"_s);
    if (out.goods.section(u';', 1, 1).size() > kMaxGoodsName)
        return c.fail(where + u".goods"_s, u"name over %1 characters"_s.arg(kMaxGoodsName));
    if (out.price < 0)
        return c.fail(where + u".price"_s, u"below 0"_s);
    return true;
}

bool payment(Checker &c, const QJsonValue &v, const QString &where, ReceiptFile::Payment &out)
{
    if (!v.isObject())
        return c.fail(where, u"not an object"_s);
    const QJsonObject o = v.toObject();
    if (!c.onlyKeys(o, where, {u"type"_s, u"amount"_s, u"transaction"_s})
        || !c.integer(o.value(u"type"_s), where + u".type"_s, 0, kMaxPaymentType, out.type)
        || !c.number(o.value(u"amount"_s), where + u".amount"_s, 2, out.amount))
        return false;
    if (!(out.amount > 0))
        return c.fail(where + u".amount"_s, u"not above 0"_s);
    if (o.contains(u"transaction"_s)) {
        QString id;
        if (!c.text(o.value(u"transaction"_s), where + u".transaction"_s, false, id))
            return false;
        if (id.trimmed().isEmpty())
            return c.fail(where + u".transaction"_s, u"empty"_s);
        out.transaction = id;
    }
    return true;
}


// The receipt's steps in the order of the screen, each printed as it ends; the first
// failure stops the run. The last line, result=ok or result=failed, says how it ended.
class ReceiptRun {
public:
    ReceiptRun(Session &session, const ReceiptFile &file, const QString &terminal, FILE *out, FILE *err)
        : m_session(session), m_app(session.app()), m_ops(m_app), m_o(session.options()), m_file(file),
          m_terminal(terminal), m_out(out), m_err(err)
    {
    }

    int run()
    {
        const int status = steps();
        printLine(m_out, u"result="_s + (status == Success ? u"ok"_s : u"failed"_s));
        return status;
    }

private:
    int steps()
    {
        if (!identify())
            return m_exit;
        if (!cardPaymentsHaveTerminal())
            return Refused;
        const Outcome<> opened = m_ops.openReceipt(m_o.password, m_file.operatorNumber, m_file.isReturn);
        if (!step(u"open"_s, opened)) {
            if (opened.verdict.kind == Verdict::Kind::RegistrarError)
                tellOpenReceipt();
            if (opened.uncertain)
                printLine(m_err, u"dizivu-cli: it is unknown whether the receipt was opened; see whether one is open "
                                 u"with \"dizivu-cli cancel\" before selling again"_s);
            return m_exit;
        }
        m_opened = true;
        if (!sellEverything())
            return m_exit == Interrupted ? m_exit : endFailed();
        return m_exit;
    }

    // A run killed mid-receipt leaves its receipt open, and the next open is refused: the
    // refusal's status byte 2 tells, and the way out is named.
    void tellOpenReceipt()
    {
        const CommandResult *r = m_app.state().currentResult;
        const QString kind = r ? openReceiptKind(r->status[2]) : QString();
        if (kind.isEmpty() || kind == u"none"_s)
            return;
        printLine(m_err, u"dizivu-cli: a %1 receipt is open in the registrar: void it with \"dizivu-cli cancel --yes\", "
                         u"or close it with \"dizivu-cli cancel --close --yes\" when it is paid"_s.arg(kind));
    }

    bool identify()
    {
        const Verdict v = m_session.identify();
        printError(m_out, u"identify.error"_s, v);
        if (!v.ok()) {
            if (!v.message.isEmpty())
                printLine(m_err, v.message);
            m_exit = exitOf(v);
            return false;
        }
        const AppState &s = m_app.state();
        printLine(m_out, u"model="_s + s.modelName);
        printLine(m_out, u"version="_s + s.softwareVersion);
        return true;
    }


    // A card payment without an identifier goes through the terminal: without one given,
    // the receipt is not started.
    bool cardPaymentsHaveTerminal()
    {
        const AppState &s = m_app.state();
        for (int i = 0; i < m_file.payments.size(); ++i) {
            const ReceiptFile::Payment &p = m_file.payments[i];
            if (p.type >= s.paymentFormCount) {
                printLine(m_err, u"payments[%1].type: the registrar has %2 payment types"_s.arg(i).arg(s.paymentFormCount));
                return false;
            }
            if (!p.transaction && m_terminal.isEmpty() && FiscalReceipt::takesCard(p.type, s.softwareVersion, s.elJournal)) {
                printLine(m_err, u"payments[%1]: a card payment needs --terminal PORT or a \"transaction\""_s.arg(i));
                return false;
            }
        }
        return true;
    }

    // Prints the step's error word and takes its exit status. Once the receipt is open
    // something was sent: a step refused here (a declined card, a value the operation will
    // not send) is a refusal of the sale, not of the input.
    template <class T>
    bool step(const QString &key, const Outcome<T> &outcome)
    {
        printError(m_out, key + u".error"_s, outcome.verdict);
        const Exit e = exitOf(outcome);
        m_exit = m_opened && e == Refused ? RegistrarError : e;
        m_uncertain = m_uncertain || outcome.uncertain;
        return outcome.ok();
    }

    bool sellEverything()
    {
        const QString &pw = m_o.password;
        using Target = FiscalReceipt::DiscountTarget;
        for (int i = 0; i < m_file.comments.size(); ++i)
            if (!step(u"comment.%1"_s.arg(i + 1), m_ops.printComment(pw, m_file.comments[i])))
                return false;
        for (int i = 0; i < m_file.items.size(); ++i) {
            const ReceiptFile::Item &it = m_file.items[i];
            const QString key = u"item.%1"_s.arg(i + 1);
            if (!step(key, m_ops.sell(pw, it.goods, it.quantity, it.price)))
                return false;
            if (it.discount
                && !step(key + u".discount"_s,
                         m_ops.discount(pw, it.discount->percent, Target::Item, it.discount->value)))
                return false;
        }
        if (m_file.subtotal
            && !step(u"subtotal"_s,
                     m_ops.discount(pw, m_file.subtotal->percent, Target::Subtotal, m_file.subtotal->value)))
            return false;
        const Outcome<> total = m_ops.printTotal(pw, m_file.display);
        if (!step(u"total"_s, total))
            return false;
        printLine(m_out, u"total_sum="_s + total.shown.data);
        for (int i = 0; i < m_file.payments.size(); ++i)
            if (!pay(i))
                return false;
        return step(u"close"_s, m_ops.closeReceipt(pw, m_file.display));
    }

    bool pay(int i)
    {
        const ReceiptFile::Payment &p = m_file.payments[i];
        const QString key = u"payment.%1"_s.arg(i + 1);
        FiscalReceipt::Payment request;
        request.password = m_o.password;
        request.paymentType = p.type;
        request.useTypedTransaction = p.transaction.has_value();
        request.typedTransaction = p.transaction.value_or(QString());
        // From the purchase request until the registrar's answer on the payment an
        // interrupt waits, and the identifier is on standard error as soon as it is known.
        request.chargeWindow = [](bool open) { holdInterrupts(open); };
        request.onTransaction = [this](const QString &id) {
            const QString note = u"the card was charged, transaction %1"_s.arg(id);
            printLine(m_err, u"dizivu-cli: "_s + note);
            setInterruptNote(note + u"; the receipt stays open: see \"dizivu-cli cancel\""_s);
        };
        const Outcome<FiscalReceipt::PaymentShown> out = m_ops.pay(request, p.amount, m_terminal);
        const bool paid = step(key, out);
        const QString &id = out.shown.transactionId;
        if (out.shown.cardPath && !id.isEmpty()) {
            printLine(m_out, key + u".transaction="_s + id);
            if (out.shown.recorded)
                m_cardRecorded << id;
            else if (out.uncertain)
                m_cardUncertain << id;
        }
        if (out.shown.chargedNotRecorded) {
            m_chargedTransaction = id;
            printLine(m_out, key + u".charged_transaction="_s + m_chargedTransaction);
        }
        if (interruptPending()) {
            printLine(m_err, u"dizivu-cli: interrupted after the card payment; the receipt stays open: "_s
                                 + closingAdvice());
            m_exit = Interrupted;
            return false;
        }
        return paid;
    }

    QString closingAdvice() const
    {
        return u"once it is paid in full, close it with \"dizivu-cli cancel --close --yes\"; never charge the card again"_s;
    }

    // The first failure decides the exit status; the receipt it leaves open is voided,
    // except when that could undo money taken: a card charged (recorded or not) stays in
    // the open receipt, and a step whose outcome is unknown leaves everything as it is.
    int endFailed()
    {
        if (m_uncertain) {
            printLine(m_err, u"dizivu-cli: the receipt is left as it is, since it is unknown whether the last command "
                             u"was carried out: check the registrar's tape and \"dizivu-cli cancel\" before going on"_s
                                 + (m_cardUncertain.isEmpty() ? QString()
                                                              : u"; the card was charged, transaction "_s
                                                                    + m_cardUncertain.join(u", "_s)));
            return m_exit;
        }
        if (!m_chargedTransaction.isEmpty()) {
            printLine(m_err, u"The card was charged but the registrar did not record the payment. The receipt stays open: "
                         u"record the payment with \"Использовать указанный идентификатор транзакций\" and the "
                         u"identifier %1, never by charging the card again."_s.arg(m_chargedTransaction));
            return m_exit;
        }
        if (!m_cardRecorded.isEmpty()) {
            printLine(m_err, u"dizivu-cli: the card was charged and the payment recorded (transaction %1); the receipt "
                             u"stays open and is not voided: "_s.arg(m_cardRecorded.join(u", "_s))
                                 + closingAdvice());
            return m_exit;
        }
        const int failure = m_exit;
        if (!step(u"void"_s, m_ops.voidOperation(m_o.password, 0)))
            printLine(m_err, u"dizivu-cli: the receipt could not be voided and may still be open: see "
                             u"\"dizivu-cli cancel\""_s);
        return failure;
    }

    Session &m_session;
    Application &m_app;
    FiscalReceipt m_ops;
    const Options &m_o;
    const ReceiptFile &m_file;
    QString m_terminal;
    FILE *m_out;
    FILE *m_err;
    int m_exit = Success;
    bool m_opened = false;
    bool m_uncertain = false; // a step's outcome could not be told
    QString m_chargedTransaction;
    QStringList m_cardRecorded;  // card payments in the open receipt
    QStringList m_cardUncertain; // card charged, its recording unknown
};

} // namespace

bool parseReceiptFile(const QByteArray &json, ReceiptFile &out, QString &error)
{
    QJsonParseError parseError;
    const QJsonDocument doc = QJsonDocument::fromJson(json, &parseError);
    if (parseError.error != QJsonParseError::NoError) {
        error = u"not valid JSON at offset %1: %2"_s.arg(parseError.offset).arg(parseError.errorString());
        return false;
    }
    Checker c(error);
    if (!doc.isObject())
        return c.fail(u"file"_s, u"not a JSON object"_s);
    const QJsonObject o = doc.object();
    if (!c.onlyKeys(o, u"file"_s,
                    {u"operator"_s, u"return"_s, u"display"_s, u"comments"_s, u"items"_s, u"subtotal"_s, u"payments"_s}))
        return false;
    ReceiptFile r;
    if (o.contains(u"operator"_s) && !c.integer(o.value(u"operator"_s), u"operator"_s, 1, kMaxOperator, r.operatorNumber))
        return false;
    if (!c.flag(o.value(u"return"_s), u"return"_s, r.isReturn) || !c.flag(o.value(u"display"_s), u"display"_s, r.display))
        return false;
    bool ok = true;
    const QJsonArray comments = c.array(o.value(u"comments"_s), u"comments"_s, false, ok);
    for (qsizetype i = 0; ok && i < comments.size(); ++i) {
        QString line;
        ok = c.text(comments[i], u"comments[%1]"_s.arg(i), false, line);
        r.comments << line;
    }
    const QJsonArray items = ok ? c.array(o.value(u"items"_s), u"items"_s, true, ok) : QJsonArray();
    for (qsizetype i = 0; ok && i < items.size(); ++i) {
        ReceiptFile::Item it;
        ok = item(c, items[i], u"items[%1]"_s.arg(i), it);
        r.items << it;
    }
    ok = ok && c.discount(o.value(u"subtotal"_s), u"subtotal"_s, r.subtotal);
    const QJsonArray payments = ok ? c.array(o.value(u"payments"_s), u"payments"_s, true, ok) : QJsonArray();
    for (qsizetype i = 0; ok && i < payments.size(); ++i) {
        ReceiptFile::Payment p;
        ok = payment(c, payments[i], u"payments[%1]"_s.arg(i), p);
        r.payments << p;
    }
    if (!ok)
        return false;
    out = r;
    return true;
}

int runReceipt(const Options &o, FILE *out, FILE *err)
{
    const QString option = u"--terminal"_s;
    VerbArgs a;
    QString error;
    const bool usable = parseVerbArgs(o.verbArgs, {option}, {}, a, error) && a.files.size() == 1
                        && !a.files[0].isEmpty() && (!a.has(option) || !a.value(option).isEmpty());
    if (!usable)
        return fail(err, Usage, u"usage: receipt [--terminal PORT] FILE.json"_s);
    const QString path = a.files[0];
    const QString terminal = a.value(option);
    if (!connectionChosen(o, err))
        return Usage;
    QFile file(path);
    if (refusedAsFile(path, error) || QFileInfo(path).size() > kMaxFileBytes || !file.open(QIODevice::ReadOnly))
        return fail(err, Usage, path + u": "_s + (error.isEmpty() ? u"cannot be read"_s : error));
    ReceiptFile receipt;
    if (!parseReceiptFile(file.read(kMaxFileBytes), receipt, error))
        return fail(err, Refused, path + u": "_s + error + u"; nothing sent"_s);

    Session session(o, err);
    if (const Exit e = session.open(); e != Success)
        return e;
    session.app().state().cardTerminalPort = terminal;
    return ReceiptRun(session, receipt, terminal, out, err).run();
}

} // namespace cli
