// dizivu-cli receipt end to end: the CLI against registrar-emulator on a pseudo-terminal,
// with the emulator's journal of the commands it carried out.
#include "cli/receipt_verb.h"

#include "support/card_terminal_process.h"
#include "support/cli_run.h"
#include "support/emulator_process.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

#include <csignal>

using namespace Qt::StringLiterals;

namespace {

const QByteArray kHappy = R"({"comments": ["Касса 1"],
  "items": [{"goods": "1001;Хлеб;12.50;1;1;", "quantity": 2, "price": 12.5},
            {"goods": "1002;Молоко;4.00;2;1;", "quantity": 1.5, "price": 4, "discount": {"percent": -5}}],
  "subtotal": {"percent": 10},
  "payments": [{"type": 0, "amount": 40}]})";

struct Bench {
    QTemporaryDir dir;
    QString journalPath = dir.filePath(QStringLiteral("journal.txt"));
    QString receiptPath = dir.filePath(QStringLiteral("receipt.json"));

    CliRun run(const QByteArray &receipt, const QStringList &emulatorArgs = {}, const QStringList &verbArgs = {})
    {
        QFile f(receiptPath);
        if (f.open(QIODevice::WriteOnly))
            f.write(receipt);
        f.close();
        EmulatorProcess emulator(QStringList{QStringLiteral("--journal"), journalPath} + emulatorArgs);
        if (emulator.path().isEmpty())
            return {};
        CliRun r = runCli(QStringList{QStringLiteral("--port"), emulator.path(), QStringLiteral("receipt")} + verbArgs
                              + QStringList{receiptPath},
                          dir.path());
        emulator.stop();
        return r;
    }
    // "CODE WORD parameters" of every command carried out.
    QStringList journal() const
    {
        QStringList out;
        QFile f(journalPath);
        if (!f.open(QIODevice::ReadOnly))
            return out;
        for (const QByteArray &line : f.readAll().split('\n')) {
            const QList<QByteArray> parts = line.split('\t');
            if (parts.size() == 3)
                out << QString::fromLatin1(parts[0] + ' ' + parts[1] + ' ' + QByteArray::fromHex(parts[2]));
        }
        return out;
    }
    QStringList codes() const
    {
        QStringList out;
        for (const QString &l : journal())
            out << l.section(u' ', 0, 0);
        return out;
    }
};

} // namespace

class ReceiptCliTest : public QObject {
    Q_OBJECT
private slots:
    void theReceiptKindReachesTheRegistrar_data()
    {
        QTest::addColumn<QByteArray>("kind");
        QTest::addColumn<QString>("opening");
        // Paid by the second payment form: a return takes no cash from an empty drawer.
        QTest::newRow("sale") << QByteArray() << QStringLiteral("63 0000 482913;1;1;0;");
        QTest::newRow("return") << QByteArray(R"("return": true, )") << QStringLiteral("63 0000 482913;1;1;1;");
    }
    void theReceiptKindReachesTheRegistrar()
    {
        QFETCH(QByteArray, kind);
        QFETCH(QString, opening);
        Bench b;
        const CliRun r = b.run("{" + kind + R"("items": [{"goods": "1001;Хлеб;12.50;1;1;", "quantity": 1, "price": 12.5}],
                                                "payments": [{"type": 1, "amount": 12.5}]})");
        QVERIFY2(r.exitCode == 0, qPrintable(r.err));
        const QStringList j = b.journal();
        QVERIFY(j.size() > 2);
        QCOMPARE(j[2], opening);
        QCOMPARE(b.codes().last(), QStringLiteral("65"));
    }

    void theExampleReceiptSellsWithChange()
    {
        // The receipt ./run.sh sells in its tour.
        QFile example(QStringLiteral(EXAMPLES_DIR "/receipt.json"));
        QVERIFY(example.open(QIODevice::ReadOnly));
        Bench b;
        const CliRun r = b.run(example.readAll());
        QVERIFY2(r.exitCode == 0, qPrintable(r.err));
        QVERIFY(r.out.contains(QStringLiteral("total_sum=29.00\n")));
        QVERIFY(r.out.endsWith(QStringLiteral("close.error=0000\nresult=ok\n")));
        QVERIFY(b.journal().contains(QStringLiteral("67 0000 482913;0;50.00;")));
    }

    void wholeReceiptInTheScreensOrder()
    {
        Bench b;
        const CliRun r = b.run(kHappy);
        QCOMPARE(r.exitCode, 0);
        QVERIFY2(r.out.contains(QStringLiteral("total_sum=33.77\n")), qPrintable(r.out));
        QVERIFY(r.out.contains(QStringLiteral("payment.1.error=0000\nclose.error=0000\nresult=ok\n")));
        QCOMPARE(b.codes(), (QStringList{"88", "80", "63", "61", "24", "64", "24", "64", "68", "73", "6D", "67", "65"}));
        const QStringList j = b.journal();
        QCOMPARE(j[2], QStringLiteral("63 0000 482913;1;1;0;"));
        QCOMPARE(j[5], QStringLiteral("64 0000 482913;1001;2.000;12.50;"));
        QCOMPARE(j[8], QStringLiteral("68 0000 482913;-5.00;"));
        QCOMPARE(j[12], QStringLiteral("65 0000 482913;1;"));
    }

    void refusedFileSendsNothing_data()
    {
        QTest::addColumn<QByteArray>("receipt");
        QTest::newRow("not JSON") << QByteArray("{\"items\": [");
        QTest::newRow("quantity 0") << QByteArray(R"({"items":[{"goods":"1;A;1.00;1;1;","quantity":0,"price":1}],"payments":[{"type":0,"amount":1}]})");
        QTest::newRow("negative price") << QByteArray(R"({"items":[{"goods":"1;A;1.00;1;1;","quantity":1,"price":-1}],"payments":[{"type":0,"amount":1}]})");
        QTest::newRow("goods code") << QByteArray(R"({"items":[{"goods":"A;1.00;1;1;","quantity":1,"price":1}],"payments":[{"type":0,"amount":1}]})");
        QTest::newRow("payment type 10") << QByteArray(R"({"items":[{"goods":"1;A;1.00;1;1;","quantity":1,"price":1}],"payments":[{"type":10,"amount":1}]})");
        QTest::newRow("no payment") << QByteArray(R"({"items":[{"goods":"1;A;1.00;1;1;","quantity":1,"price":1}],"payments":[]})");
        QTest::newRow("price of 3 decimals") << QByteArray(R"({"items":[{"goods":"1;A;1.00;1;1;","quantity":1,"price":1.005}],"payments":[{"type":0,"amount":1}]})");
        // What the registrar would refuse once the receipt is open is refused before it.
        const auto with = [](const QByteArray &item, const QByteArray &file) {
            return "{\"items\":[{\"goods\":\"1;A;1.00;1;1;\",\"price\":1," + item
                   + "}],\"payments\":[{\"type\":0,\"amount\":1}]" + file + "}";
        };
        const QByteArray one = "\"quantity\":1";
        QTest::newRow("quantity 1e-10") << with("\"quantity\":1e-10", "");
        QTest::newRow("quantity over a million") << with("\"quantity\":1000001", "");
        QTest::newRow("operator 0") << with(one, ",\"operator\":0");
        QTest::newRow("operator 100") << with(one, ",\"operator\":100");
        QTest::newRow("discount 0 %") << with(one + ",\"discount\":{\"percent\":0}", "");
        QTest::newRow("discount -100 %") << with(one + ",\"discount\":{\"percent\":-100}", "");
        QTest::newRow("discount over 100 %") << with(one + ",\"discount\":{\"percent\":100.01}", "");
        QTest::newRow("discount amount 0") << with(one, ",\"subtotal\":{\"amount\":0}");
        QTest::newRow("comment of 220 bytes")
            << with(one, ",\"comments\":[\"" + QByteArray(165, 'x') + QByteArray("Я").repeated(55) + "\"]");
        QTest::newRow("goods name of 41 characters")
            << "{\"items\":[{\"goods\":\"1;" + QByteArray(41, 'N')
                   + ";1.00;1;1;\",\"quantity\":1,\"price\":1}],\"payments\":[{\"type\":0,\"amount\":1}]}";
        QTest::newRow("goods line of 220 bytes")
            << "{\"items\":[{\"goods\":\"1;N;1.00;1;1;" + QByteArray(220 - 13, '0')
                   + "\",\"quantity\":1,\"price\":1}],\"payments\":[{\"type\":0,\"amount\":1}]}";
    }

    void refusedFileSendsNothing()
    {
        QFETCH(QByteArray, receipt);
        Bench b;
        const CliRun r = b.run(receipt);
        QCOMPARE(r.exitCode, 5);
        QVERIFY(r.out.isEmpty());
        QVERIFY(r.err.contains(QStringLiteral("nothing sent")));
        QVERIFY(b.codes().isEmpty()); // not even the connection's start-up frame
    }

    void cardPaymentWithoutTerminalIsRefusedBeforeTheReceipt()
    {
        Bench b;
        const QByteArray card = QByteArray(kHappy).replace("\"type\": 0", "\"type\": 1");
        const CliRun r = b.run(card, {QStringLiteral("--version"), QStringLiteral("4.00")});
        QCOMPARE(r.exitCode, 5);
        QVERIFY(r.err.contains(QStringLiteral("--terminal")));
        QCOMPARE(b.codes(), (QStringList{"88", "80"}));
    }

    // The whole receipt paid by card through the terminal emulator: the card lines, 0x78
    // with the terminal's transaction and the signature lines go into the receipt.
    void cardPaymentThroughTheTerminal()
    {
        CardTerminalProcess terminal;
        QVERIFY(!terminal.path().isEmpty());
        Bench b;
        const QByteArray card = QByteArray(kHappy).replace("\"type\": 0, \"amount\": 40", "\"type\": 1, \"amount\": 33.77");
        const CliRun r = b.run(card, {QStringLiteral("--version"), QStringLiteral("4.00")},
                               {QStringLiteral("--terminal"), terminal.path()});
        QVERIFY2(r.exitCode == 0, qPrintable(r.err + r.out));
        QCOMPARE(b.codes(), (QStringList{"88", "80", "63", "61", "24", "64", "24", "64", "68", "73", "6D", "61", "61", "61",
                                         "78", "61", "61", "61", "61", "65"}));
        const QStringList j = b.journal();
        QVERIFY2(j[14].startsWith(QStringLiteral("78 0000 482913;1;33.77;")), qPrintable(j[14]));
        // The terminal was asked for the card, then for exactly the receipt's amount.
        const QList<QByteArray> asked = terminal.received();
        QVERIFY(asked.size() >= 2);
        QVERIFY(asked.first() == QByteArray(1, '\x12'));
        bool purchase = false;
        for (const QByteArray &m : asked)
            purchase = purchase || m.contains("05=3377\x1c");
        QVERIFY(purchase);
    }

    // A declined card is refused after the receipt was opened: the receipt is voided and
    // the exit status is the registrar's or terminal's refusal (1), not "nothing sent" (5).
    void declinedCardVoidsTheReceiptAndExits1()
    {
        CardTerminalProcess terminal({QStringLiteral("--fault"), QStringLiteral("declined")});
        QVERIFY(!terminal.path().isEmpty());
        Bench b;
        const QByteArray card = QByteArray(kHappy).replace("\"type\": 0, \"amount\": 40", "\"type\": 1, \"amount\": 33.77");
        const CliRun r = b.run(card, {QStringLiteral("--version"), QStringLiteral("4.00")},
                               {QStringLiteral("--terminal"), terminal.path()});
        QVERIFY2(r.exitCode == 1, qPrintable(r.err + r.out));
        QVERIFY2(r.out.contains(QStringLiteral("void.error=0000\nresult=failed\n")), qPrintable(r.out));
        QVERIFY(b.codes().contains("63"));
        QCOMPARE(b.codes().last(), QStringLiteral("6B"));
    }

    // A state-changing command whose reply was lost is settled from the receipt stage:
    // nothing is done twice, a charged card is never voided, a done step never reads as
    // failed. `counts` is how often 63, 78, 65 and 6B were carried out.
    void lostRepliesAreSettled_data()
    {
        QTest::addColumn<QStringList>("faults");
        QTest::addColumn<QString>("terminalFault"); // "cash": paid in cash; "": a card, no fault
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QStringList>("outHas");
        QTest::addColumn<QString>("errHas");
        QTest::addColumn<QList<int>>("counts");
        const auto twice = [](const char *fault) {
            return QStringList{"--fault", QString::fromLatin1(fault), "--fault", QString::fromLatin1(fault)};
        };
        QTest::newRow("open done, reply lost then NAK")
            << QStringList{"--fault", "63@silence", "--fault", "63@nak"} << "cash" << 0
            << QStringList{"open.error=settled\n", "result=ok\n"} << "" << QList<int>{1, 0, 1, 0};
        QTest::newRow("close done, replies lost")
            << twice("65@silence") << "cash" << 0 << QStringList{"close.error=settled\n", "result=ok\n"} << ""
            << QList<int>{1, 0, 1, 0};
        QTest::newRow("card recorded, replies lost")
            << twice("78@silence") << "" << 0 << QStringList{"payment.1.error=settled\n", "result=ok\n"} << ""
            << QList<int>{1, 1, 1, 0};
        QTest::newRow("card recorded, close refused twice: never voided")
            << twice("65@nak") << "" << 3 << QStringList{"payment.1.transaction=", "close.error=nak\n", "result=failed\n"}
            << "stays open and is not voided" << QList<int>{1, 1, 0, 0};
        QTest::newRow("cash, close refused twice: voided")
            << twice("65@nak") << "cash" << 3 << QStringList{"void.error=0000\n", "result=failed\n"} << ""
            << QList<int>{1, 0, 0, 1};
        QTest::newRow("approved purchase with a long reply")
            << QStringList{} << "long-purchase" << 0 << QStringList{"payment.1.transaction=", "result=ok\n"}
            << "the card was charged, transaction" << QList<int>{1, 1, 1, 0};
    }
    void lostRepliesAreSettled()
    {
        QFETCH(QStringList, faults);
        QFETCH(QString, terminalFault);
        QFETCH(int, exitCode);
        QFETCH(QStringList, outHas);
        QFETCH(QString, errHas);
        QFETCH(QList<int>, counts);
        Bench b;
        QByteArray receipt = kHappy;
        QStringList verbArgs;
        std::unique_ptr<CardTerminalProcess> terminal;
        if (terminalFault != QLatin1String("cash")) {
            terminal = std::make_unique<CardTerminalProcess>(
                terminalFault.isEmpty() ? QStringList{} : QStringList{QStringLiteral("--fault"), terminalFault});
            QVERIFY(!terminal->path().isEmpty());
            receipt.replace("\"type\": 0, \"amount\": 40", "\"type\": 1, \"amount\": 33.77");
            verbArgs = QStringList{QStringLiteral("--terminal"), terminal->path()};
        }
        const CliRun r = b.run(receipt, QStringList{QStringLiteral("--version"), QStringLiteral("4.00")} + faults, verbArgs);
        QVERIFY2(r.exitCode == exitCode, qPrintable(r.out + r.err));
        for (const QString &part : outHas)
            QVERIFY2(r.out.contains(part), qPrintable(part + u" in\n"_s + r.out));
        QVERIFY2(r.err.contains(errHas), qPrintable(r.err));
        const QStringList codes = b.codes();
        const QList<int> carried{int(codes.count("63")), int(codes.count("78")), int(codes.count("65")),
                                 int(codes.count("6B"))};
        QCOMPARE(carried, counts);
    }

    // Ctrl-C after the card was charged waits for the payment to be recorded, leaves the
    // receipt open with its payment, and never voids it.
    void interruptAfterTheChargeWaitsForTheRecord()
    {
        CardTerminalProcess terminal;
        QVERIFY(!terminal.path().isEmpty());
        Bench b;
        QFile f(b.receiptPath);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(QByteArray(kHappy).replace("\"type\": 0, \"amount\": 40", "\"type\": 1, \"amount\": 33.77"));
        f.close();
        EmulatorProcess emulator(QStringList{QStringLiteral("--journal"), b.journalPath, QStringLiteral("--version"),
                                             QStringLiteral("4.00"), QStringLiteral("--fault"),
                                             QStringLiteral("78@delay:1:1500")});
        QVERIFY(!emulator.path().isEmpty());
        QProcess cli;
        cli.setWorkingDirectory(b.dir.path());
        cli.start(QStringLiteral(CLI_PATH), {QStringLiteral("--port"), emulator.path(), QStringLiteral("receipt"),
                                             QStringLiteral("--terminal"), terminal.path(), b.receiptPath});
        QByteArray err;
        QTRY_VERIFY_WITH_TIMEOUT((err += cli.readAllStandardError()).contains("the card was charged, transaction"), 30000);
        ::kill(pid_t(cli.processId()), SIGINT);
        QVERIFY(cli.waitForFinished(30000));
        err += cli.readAllStandardError();
        const QString out = QString::fromUtf8(cli.readAllStandardOutput());
        QCOMPARE(cli.exitCode(), 130);
        QVERIFY2(err.contains("interrupt held until the card payment is recorded"), err.constData());
        QVERIFY2(out.contains(QStringLiteral("payment.1.error=0000\npayment.1.transaction=")), qPrintable(out));
        emulator.stop();
        QCOMPARE(b.codes().count(QStringLiteral("78")), 1);
        QVERIFY(!b.codes().contains(QStringLiteral("6B")));
        QVERIFY(!b.codes().contains(QStringLiteral("65")));
    }

    void typedTransactionRecordsWithoutTerminal()
    {
        Bench b;
        const QByteArray card = QByteArray(kHappy).replace(
            "\"type\": 0, \"amount\": 40", "\"type\": 1, \"amount\": 33.77, \"transaction\": \"TX-000123\"");
        const CliRun r = b.run(card, {QStringLiteral("--version"), QStringLiteral("4.00")});
        QVERIFY2(r.exitCode == 0, qPrintable(r.err + r.out));
        QVERIFY(b.journal().contains(QStringLiteral("78 0000 482913;1;33.77;TX-000123;")));
        QVERIFY(b.codes().endsWith("65"));
    }

    void failureAfterOpeningVoidsTheReceipt()
    {
        Bench b;
        const CliRun r = b.run(kHappy, {QStringLiteral("--fault"), QStringLiteral("6D@refuse:11:0")});
        QCOMPARE(r.exitCode, 1);
        QVERIFY2(r.out.contains(QStringLiteral("total.error=000B\nvoid.error=0000\nresult=failed\n")), qPrintable(r.out));
        QVERIFY(!r.out.contains(QStringLiteral("total_sum")));
        const QStringList j = b.journal();
        QCOMPARE(j.last(), QStringLiteral("6B 0000 482913;0;"));
        QVERIFY(!b.codes().contains("67"));
    }

    // A receipt a killed run left open: receipt says so and names the way out, cancel
    // without --yes sends nothing, a fiscal receipt not yet paid is voided (once), a
    // non-fiscal one closed, and the next receipt goes through.
    void leftoverReceiptEndedWithCancel()
    {
        Bench b;
        QFile f(b.receiptPath);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(kHappy);
        f.close();
        EmulatorProcess emulator(QStringList{QStringLiteral("--journal"), b.journalPath});
        QVERIFY(!emulator.path().isEmpty());
        const auto cli = [&](const char *line) {
            QStringList args = QString::fromLatin1(line).split(u' ');
            args.replaceInStrings(QStringLiteral("FILE"), b.receiptPath);
            return runCli(QStringList{QStringLiteral("--port"), emulator.path()} + args, b.dir.path());
        };
        QCOMPARE(cli("send 63 482913;1;1;0;").exitCode, 0);
        CliRun r = cli("receipt FILE");
        QCOMPARE(r.exitCode, 1);
        QVERIFY2(r.out.contains(QStringLiteral("open.error=000B\n")), qPrintable(r.out));
        QVERIFY2(r.err.contains(QStringLiteral("a fiscal receipt is open in the registrar: void it with \"dizivu-cli cancel --yes\"")),
                 qPrintable(r.err));

        struct Step {
            const char *line;
            int exitCode;
            const char *out;
        };
        const Step steps[] = {
            {"cancel", 4, ""},
            {"cancel --close --yes", 1, "receipt=fiscal\nresult=failed\n"}, // not paid: cannot be closed
            {"cancel --yes", 0, "receipt=fiscal\nvoid.error=0000\nresult=ok\n"},
            {"cancel --yes", 0, "receipt=none\nresult=ok\n"},
            {"receipt FILE", 0, nullptr},
            {"send 60 482913;", 0, nullptr},
            {"cancel --yes", 1, "receipt=non-fiscal\nresult=failed\n"},
            {"cancel --close --yes", 0, "receipt=non-fiscal\nclose.error=0000\nresult=ok\n"},
        };
        for (const Step &s : steps) {
            r = cli(s.line);
            QVERIFY2(r.exitCode == s.exitCode, qPrintable(QString::fromLatin1(s.line) + u": "_s + r.err));
            if (s.out)
                QCOMPARE(r.out, QString::fromUtf8(s.out));
        }
        emulator.stop();
        QCOMPARE(b.codes().count(QStringLiteral("6B")), 1);
        QCOMPARE(b.codes().count(QStringLiteral("65")), 2); // the receipt that went through, the non-fiscal one
    }

    void fileReaderDefaults()
    {
        cli::ReceiptFile r;
        QString error;
        QVERIFY(cli::parseReceiptFile(R"({"items":[{"goods":"7;X;1.00;1;1;","quantity":1,"price":0}],
                                          "payments":[{"type":1,"amount":0.5,"transaction":"T"}]})",
                                      r, error));
        QCOMPARE(r.operatorNumber, 1);
        QVERIFY(!r.isReturn && r.display);
        QCOMPARE(r.payments[0].transaction.value_or(QString()), QStringLiteral("T"));
        QVERIFY(!cli::parseReceiptFile(R"({"items":[{"goods":"7;X;","quantity":1,"price":1,"discount":{"percent":1,"amount":1}}],"payments":[{"type":0,"amount":1}]})",
                                       r, error));
        QCOMPARE(error, QStringLiteral("items[0].discount: takes exactly one of \"percent\" and \"amount\""));
        QVERIFY(!cli::parseReceiptFile(R"({"items":[{"goods":"7;X;","quantity":1,"price":1}],"payments":[{"type":0,"amount":1}],"operater":2})",
                                       r, error));
        QCOMPARE(error, QStringLiteral("file: unknown key \"operater\""));
    }
};

QTEST_GUILESS_MAIN(ReceiptCliTest)
#include "tst_receipt_cli.moc"
