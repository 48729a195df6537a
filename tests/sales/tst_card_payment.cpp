// The card payment end to end: card-terminal-emulator on a pseudo-terminal, the registrar
// emulator behind the loopback link.
#include "commands/command_codes.h"
#include "commands/command_wrappers.h"
#include "link/code_page.h"
#include "sales/card_payment.h"
#include "support/card_terminal_process.h"
#include "support/emulated_app.h"

#include <QElapsedTimer>
#include <QTest>

namespace {

const QByteArray kAckPayload(1, 0x06);
const QByteArray kCardRequestPayload(1, 0x12);
const QByteArray kPurchase1250("\x02" "00=4F2A91C7\x1C" "03=S\x1C" "05=1250\x1C" "52=980\x1C" "53=UAH\x1C" "61=1");
const QString kFirstTransaction = QStringLiteral("000000700001");

// Limits that a terminal answering at once never reaches, however busy the machine,
// yet shorter than the terminal's real ones; a test that waits one out shortens it.
CardPayment::Limits quickLimits()
{
    CardPayment::Limits l;
    l.acknowledgementMs = 10000;
    l.cardMs = 10000;
    l.purchaseMs = 10000;
    l.restMs = 5000;
    return l;
}

CardPaymentRequest request(const QString &port, const QString &amount = QStringLiteral("12.50"))
{
    CardPaymentRequest r;
    r.password = QStringLiteral("482913");
    r.paymentType = 1;
    r.amountText = amount;
    r.terminalPort = port;
    return r;
}

QByteArray params(const QString &text)
{
    return code_page::toDevice(text);
}

CardPaymentResult pay(EmulatedApp &env, const CardPaymentRequest &request,
                      const CardPayment::Limits &limits = quickLimits())
{
    CardPayment payment(env.app);
    payment.setLimits(limits);
    return payment.pay(request);
}

// A receipt for the payment to go into: opened, one sale, its total.
void openReceiptWithTotal(EmulatedApp &env)
{
    for (const auto &[code, p] : QList<QPair<int, QByteArray>>{
             {cmd::OpenFiscalReceipt, "482913;1;1;0;"},
             {cmd::AddGoods, "482913;101;Товар;12.50;1;1;"},
             {cmd::SellItem, "482913;101;1.000;12.50;"},
             {cmd::PrintTotal, "482913;0;"}}) {
        env.app.execute(code, code_page::toDevice(QString::fromUtf8(p)));
    }
}

// Whether the registrar was asked to record a card payment at all.
bool recordAsked(const EmulatedApp &env)
{
    for (const emu::Executed &e : env.registrar.journal())
        if (e.code == cmd::CardPayment)
            return true;
    return false;
}

} // namespace

class CardPaymentTest : public QObject {
    Q_OBJECT

private slots:
    // The whole exchange: the terminal gets the card request, the acknowledgement, the
    // purchase request byte for byte and the last acknowledgement; the registrar gets the
    // three card lines, 0x78 with the terminal's identifier and the four signature lines.
    void paymentThroughTheTerminal()
    {
        EmulatedApp env;
        CardTerminalProcess terminal;
        QVERIFY(!terminal.path().isEmpty());
        openReceiptWithTotal(env);
        const int before = env.registrar.journal().size();

        const CardPaymentResult r = pay(env, request(terminal.path()));

        QCOMPARE(env.prompter.messages(), QStringList{CardPayment::kAttention});
        QVERIFY2(r.verdict.ok(), qPrintable(r.verdict.message));
        QVERIFY(r.charged);
        QVERIFY(r.recorded);
        QCOMPARE(r.transactionId, kFirstTransaction);
        QCOMPARE(r.shown.errorWord, QStringLiteral("0000"));
        // The last acknowledgement may still be on its way.
        QTRY_COMPARE(terminal.received().size(), 4);
        QCOMPARE(terminal.received(), (QList<QByteArray>{kCardRequestPayload, kAckPayload, kPurchase1250, kAckPayload}));

        const QList<emu::Executed> sent = env.registrar.journal().mid(before);
        const QStringList expected = {
            "482913;VISA CARD;", "482913;**** **** 1234 5678;", "482913;CARDHOLDER;",
            "482913;1;12.50;" + kFirstTransaction + ";",
            QString::fromUtf8("482913;ПІДПИС;"), QString::fromUtf8("482913;КАСИРА . . . . . . . . ;"),
            QString::fromUtf8("482913;ПІДПИС;"), QString::fromUtf8("482913;КЛІЄНТА. . . . . . . . ;")};
        QCOMPARE(sent.size(), expected.size());
        for (int i = 0; i < sent.size(); ++i) {
            QCOMPARE(int(sent[i].code), i == 3 ? int(cmd::CardPayment) : int(cmd::PrintText));
            QCOMPARE(sent[i].parameters, params(expected[i]));
            QVERIFY(sent[i].done());
        }
        // On paper: the card lines, the payment with its identifier, the signature lines.
        const QList<QByteArray> tape = env.registrar.paperTape();
        const qsizetype card = tape.indexOf(params("VISA CARD"));
        const qsizetype paid = tape.indexOf(params(QString::fromUtf8("ТРАНЗАКЦИЯ ") + kFirstTransaction));
        QVERIFY(card >= 0 && paid > card);
        QCOMPARE(tape.mid(tape.size() - 4), (QList<QByteArray>{params(expected[4].mid(7).chopped(1)),
                                                               params(expected[5].mid(7).chopped(1)),
                                                               params(expected[6].mid(7).chopped(1)),
                                                               params(expected[7].mid(7).chopped(1))}));
    }

    // "Не выводить дополнительную информацию...": 0x78 alone, judged on its own reply.
    void suppressedLines()
    {
        EmulatedApp env;
        CardTerminalProcess terminal;
        openReceiptWithTotal(env);
        const int before = env.registrar.journal().size();

        CardPaymentRequest req = request(terminal.path());
        req.suppressCardLines = true;
        const CardPaymentResult r = pay(env, req);

        QVERIFY(r.verdict.ok());
        const QList<emu::Executed> sent = env.registrar.journal().mid(before);
        QCOMPARE(sent.size(), 1);
        QCOMPARE(int(sent[0].code), int(cmd::CardPayment));
        QCOMPARE(env.prompter.messages(), QStringList{CardPayment::kAttention});
    }

    // "Использовать указанный идентификатор транзакций": no terminal, the identifier cut to
    // 20 characters, no message after a payment that went in; one that did not says so.
    void typedTransaction()
    {
        EmulatedApp env;
        CardTerminalProcess terminal;
        openReceiptWithTotal(env);
        const int before = env.registrar.journal().size();

        CardPaymentRequest req = request(terminal.path());
        req.useTypedTransaction = true;
        req.typedTransaction = QStringLiteral("ABCDEFGHIJ0123456789XYZ");
        CardPaymentResult r = CardPayment(env.app).pay(req);

        QVERIFY(r.verdict.ok());
        QVERIFY(!r.charged);
        // Said plainly: recorded without the terminal, with this identifier.
        QCOMPARE(env.prompter.messages().size(), 1);
        QVERIFY(env.prompter.messages()[0].contains(QStringLiteral("без банковского терминала")));
        QVERIFY(env.prompter.messages()[0].contains(QStringLiteral("ABCDEFGHIJ0123456789")));
        QVERIFY(terminal.received().isEmpty());
        QCOMPARE(env.registrar.journal().size(), before + 1);
        QCOMPARE(env.registrar.journal().last().parameters, QByteArray("482913;1;12.50;ABCDEFGHIJ0123456789;"));

        env.prompter.clear();
        env.registrar.injectFault({emu::Fault::Refuse, 0x0B, 0, cmd::CardPayment});
        r = CardPayment(env.app).pay(req);
        QVERIFY(!r.verdict.ok());
        QCOMPARE(env.prompter.messages().last(), CardPayment::kRegistrarFailed);
    }

    // The amount goes to the terminal in hundredths and to 0x78 with two decimals, both
    // from one converted value; an amount that is not above 0 is refused before anything.
    void amounts_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QByteArray>("terminalAmount");
        QTest::addColumn<QByteArray>("registrarAmount");
        QTest::newRow("12.5") << QStringLiteral("12.5") << QByteArray("05=1250") << QByteArray(";12.50;");
        QTest::newRow("12") << QStringLiteral("12") << QByteArray("05=1200") << QByteArray(";12.00;");
        QTest::newRow("0.07") << QStringLiteral("0.07") << QByteArray("05=7") << QByteArray(";0.07;");
        QTest::newRow("0") << QStringLiteral("0") << QByteArray() << QByteArray();
    }
    void amounts()
    {
        QFETCH(QString, typed);
        QFETCH(QByteArray, terminalAmount);
        QFETCH(QByteArray, registrarAmount);
        EmulatedApp env;
        CardTerminalProcess terminal;
        openReceiptWithTotal(env);
        CardPaymentRequest req = request(terminal.path(), typed);
        req.suppressCardLines = true;
        const CardPaymentResult r = pay(env, req);

        if (terminalAmount.isEmpty()) {
            QCOMPARE(r.verdict.kind, Verdict::Kind::Refused);
            QCOMPARE(env.prompter.messages(), QStringList{CardPayment::kBadAmount});
            QVERIFY(terminal.received().isEmpty());
            QVERIFY(!recordAsked(env));
            return;
        }
        QTRY_COMPARE(terminal.received().size(), 4);
        const QList<QByteArray> received = terminal.received();
        QVERIFY(received[2].split(0x1C).contains(terminalAmount));
        QVERIFY(!env.registrar.journal().isEmpty());
        QVERIFY(env.registrar.journal().last().parameters.contains(registrarAmount));
    }

    // What the payment command would refuse is refused before the card is charged.
    void refusedBeforeTheTerminal()
    {
        EmulatedApp env;
        CardTerminalProcess terminal;
        CardPaymentRequest req = request(terminal.path());
        req.paymentType = 10;
        QCOMPARE(pay(env, req).verdict.refusalCode, wrapper_codes::kPaymentType);
        req.paymentType = 1;
        req.password = QStringLiteral("48;2913");
        QCOMPARE(pay(env, req).verdict.refusalCode, wrapper_codes::kTextSeparator);
        QCOMPARE(env.prompter.messages(), (QStringList{wrapper_codes::refusalMessage(wrapper_codes::kPaymentType),
                                                       wrapper_codes::refusalMessage(wrapper_codes::kTextSeparator)}));
        QVERIFY(terminal.received().isEmpty());
        QVERIFY(env.line->framesSent.isEmpty());

        // No receipt in its payment stage, or more than is due: the card is not charged.
        env.prompter.clear();
        req.password = QStringLiteral("482913");
        QCOMPARE(pay(env, req).verdict.kind, Verdict::Kind::Refused);
        openReceiptWithTotal(env);
        req.dueCents = 1249;
        QCOMPARE(pay(env, req).verdict.kind, Verdict::Kind::Refused);
        QCOMPARE(env.prompter.messages(),
                 (QStringList{CardPayment::kNotPayable, CardPayment::kAboveDue.arg(QStringLiteral("12.49"))}));
        QVERIFY(terminal.received().isEmpty());
        QVERIFY(!recordAsked(env));
    }

    // Whatever goes wrong on the terminal's side ends with the system's message and nothing
    // at all on the registrar.
    void terminalFaults_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<int>("messagesReceived");
        QTest::addColumn<QString>("reason"); // PORT: the terminal's port
        QTest::addColumn<bool>("mayHaveCharged");
        QTest::addColumn<QString>("waitedOut"); // the wait that runs out, shortened
        const QString noAnswer = CardPayment::kNoAnswer.arg(QStringLiteral("PORT"));
        QTest::newRow("no acknowledgement") << QStringLiteral("no-ack") << 1 << noAnswer << false << QStringLiteral("ack");
        QTest::newRow("wrong acknowledgement")
            << QStringLiteral("wrong-ack") << 1 << CardPayment::kUnreadable << false << QString();
        QTest::newRow("card reply lacks tags")
            << QStringLiteral("missing-tags") << 2 << CardPayment::kUnreadable << false << QString();
        QTest::newRow("no answer to the purchase")
            << QStringLiteral("silent") << 3 << noAnswer << true << QStringLiteral("purchase");
        QTest::newRow("declined") << QStringLiteral("declined") << 4
                                  << CardPayment::kDeclined + QStringLiteral(" Код ответа: 05") << false << QString();
    }
    void terminalFaults()
    {
        QFETCH(QString, fault);
        QFETCH(int, messagesReceived);
        QFETCH(QString, reason);
        QFETCH(bool, mayHaveCharged);
        QFETCH(QString, waitedOut);
        EmulatedApp env;
        CardTerminalProcess terminal({QStringLiteral("--fault"), fault});
        openReceiptWithTotal(env);
        CardPayment::Limits limits = quickLimits();
        if (waitedOut == QLatin1String("ack"))
            limits.acknowledgementMs = 1000;
        else if (waitedOut == QLatin1String("purchase"))
            limits.purchaseMs = 1000;
        const CardPaymentResult r = pay(env, request(terminal.path()), limits);

        QCOMPARE(r.verdict.kind, Verdict::Kind::Refused);
        QVERIFY(!r.charged);
        QString expected = CardPayment::kTerminalFailed + '\n' + QString(reason).replace(QStringLiteral("PORT"), terminal.path());
        if (mayHaveCharged)
            expected += '\n' + CardPayment::kCheckTerminal;
        QCOMPARE(env.prompter.messages(), (QStringList{CardPayment::kAttention, expected}));
        QVERIFY(!recordAsked(env));
        QTRY_COMPARE(terminal.received().size(), messagesReceived);
    }

    // A reply longer than the program keeps is read from its first 999 bytes: the card's
    // data and an approved purchase's identifier stand there, so the payment goes in.
    void longRepliesAreReadWithinTheLimit()
    {
        for (const char *fault : {"long", "long-purchase"}) {
            EmulatedApp env;
            CardTerminalProcess terminal({QStringLiteral("--fault"), QString::fromLatin1(fault)});
            openReceiptWithTotal(env);
            const CardPaymentResult r = pay(env, request(terminal.path()));
            QVERIFY2(r.recorded, fault);
            QCOMPARE(r.transactionId, kFirstTransaction);
            QTRY_COMPARE(terminal.received().size(), 4);
        }
    }

    // A terminal that acknowledges the purchase request before answering it: the
    // acknowledgement is not taken for the answer.
    void acknowledgedPurchase()
    {
        EmulatedApp env;
        CardTerminalProcess terminal({QStringLiteral("--ack-purchase")});
        openReceiptWithTotal(env);
        const CardPaymentResult r = pay(env, request(terminal.path()));
        QVERIFY(r.recorded);
        QCOMPARE(r.transactionId, kFirstTransaction);
    }

    // "Отмена" ends a wait long before its limit. Before the purchase request nothing can
    // have been charged; after it the operator is told to check the terminal.
    void cancelledWaits()
    {
        EmulatedApp env;
        CardPayment payment(env.app);
        CardPayment::Limits limits;
        limits.cardMs = 60000;
        limits.purchaseMs = 60000;
        payment.setLimits(limits);
        env.prompter.cancelWaitAfter = 30;
        openReceiptWithTotal(env);
        QElapsedTimer clock;
        clock.start();
        {
            CardTerminalProcess terminal({QStringLiteral("--card-delay"), QStringLiteral("50000")});
            payment.pay(request(terminal.path()));
            QCOMPARE(terminal.received(), (QList<QByteArray>{kCardRequestPayload}));
        }
        QCOMPARE(env.prompter.messages().last(), QStringLiteral("Оплата банковской картой отменена."));
        {
            // Cancelled at the thirtieth poll of each wait (three seconds): the acknowledgement and the card
            // reply come at once, the purchase reply never does.
            CardTerminalProcess terminal({QStringLiteral("--fault"), QStringLiteral("silent")});
            payment.pay(request(terminal.path()));
            QTRY_COMPARE(terminal.received().size(), 3);
        }
        QCOMPARE(env.prompter.messages().last(), CardPayment::kTerminalFailed + '\n' + CardPayment::kWaitCancelled + '\n'
                                                     + CardPayment::kCheckTerminal);
        QVERIFY(clock.elapsed() < 50000); // two waits of a minute each, cancelled
        QVERIFY(!recordAsked(env));
    }

    void portThatDoesNotOpen()
    {
        EmulatedApp env;
        openReceiptWithTotal(env);
        const CardPaymentResult r = CardPayment(env.app).pay(request(env.dir.filePath(QStringLiteral("no-such-port"))));
        QCOMPARE(r.verdict.kind, Verdict::Kind::Refused);
        QCOMPARE(env.prompter.messages(), (QStringList{CardPayment::kAttention, QStringLiteral("Неверный HANDLE порта!")}));
        QVERIFY(!recordAsked(env));
    }

    // After the charge 0x78 is refused, its replies are lost (the receipt's stage shows it
    // recorded), or its replies and the state read are lost (nobody can tell): the terminal
    // is never asked again, and only a refusal sends the operator to record it by hand.
    void recordingAfterTheCharge_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<bool>("recorded");
        QTest::addColumn<bool>("uncertain");
        QTest::newRow("registrar error") << QStringLiteral("refused") << false << false;
        QTest::newRow("replies lost, stage shows it recorded") << QStringLiteral("lost") << true << false;
        QTest::newRow("replies and the state read lost") << QStringLiteral("all lost") << false << true;
    }
    void recordingAfterTheCharge()
    {
        QFETCH(QString, fault);
        QFETCH(bool, recorded);
        QFETCH(bool, uncertain);
        EmulatedApp env;
        CardTerminalProcess terminal;
        openReceiptWithTotal(env);
        if (fault == QLatin1String("refused")) {
            env.registrar.injectFault({emu::Fault::Refuse, 0x0B, 0, cmd::CardPayment});
        } else {
            for (int i = 0; i < 2; ++i)
                env.registrar.injectFault({emu::Fault::Silence, 3, 80, cmd::CardPayment});
            for (int i = 0; fault == QLatin1String("all lost") && i < 2; ++i)
                env.registrar.injectFault({emu::Fault::Silence, 3, 80, cmd::Diagnostics});
        }
        CardPaymentRequest req = request(terminal.path());
        req.suppressCardLines = true;
        const CardPaymentResult r = pay(env, req);

        QVERIFY(r.charged);
        QCOMPARE(r.recorded, recorded);
        QCOMPARE(r.uncertain, uncertain);
        QCOMPARE(r.transactionId, kFirstTransaction);
        int records = 0;
        for (const emu::Executed &e : env.registrar.journal())
            records += e.code == cmd::CardPayment;
        QCOMPARE(records, fault == QLatin1String("refused") ? 0 : 1); // a refusal is not carried out
        int purchases = 0;
        for (const QByteArray &m : terminal.received())
            purchases += m.startsWith('\x02');
        QCOMPARE(purchases, 1);
        const QString last = env.prompter.messages().last();
        if (recorded) {
            QCOMPARE(last, CardPayment::kAttention);
            return;
        }
        QVERIFY(last.contains(kFirstTransaction));
        // Recording it by hand is advised only when the registrar surely has not.
        QCOMPARE(last.contains(CardPayment::kTypedTransactionBox), !uncertain);
    }
};

QTEST_GUILESS_MAIN(CardPaymentTest)
#include "tst_card_payment.moc"
