// The emulator's cash movements and receipt copies, handler by handler over its state.
#include "emulator/domains.h"

#include <QTest>

namespace {

const QByteArray kDeposit = "СЛУЖЕБНЫЙ ВНОС";

struct Cash {
    emu::HandlerTable table;
    emu::State state;
    int documents = 0;

    Cash()
    {
        emu::registerCash(table);
        state.onDocumentEnd = [this] { ++documents; };
    }
    emu::Outcome run(cmd::Code code, const QByteArray &parameters)
    {
        return table.find(code)(state, emu::fieldsOf(parameters));
    }
    void store(int number, const QDateTime &time, const QList<QByteArray> &lines)
    {
        state.receiptJournal.append({number, time, lines});
    }
};

const QDateTime kNoon(QDate(2026, 12, 9), QTime(12, 0));

} // namespace

class CashDomainTest : public QObject {
    Q_OBJECT
private slots:
    void movementsChangeTheDrawer()
    {
        Cash c;
        emu::Outcome o = c.run(cmd::CashInOut, "482913;1;100.50;");
        QCOMPARE(o.errorWord, QByteArray("0000"));
        QCOMPARE(o.data, QByteArray("100.50;"));
        o = c.run(cmd::CashInOut, "482913;2;-0.5;");
        QCOMPARE(o.data, QByteArray("100.00;"));
        QCOMPARE(c.state.cashInDrawerCents, 10000);
        QCOMPARE(c.state.dayDepositsCents, 10050);
        QCOMPARE(c.state.dayWithdrawalsCents, 50);
        QCOMPARE(c.documents, 2);
        QCOMPARE(c.state.paperTape.first(), emu::toCp1251(QString::fromUtf8(kDeposit)));
        QVERIFY(c.state.paperTape.contains(emu::toCp1251(QStringLiteral("СУММА 0.50"))));

        // More than the drawer holds: refused, nothing changes.
        o = c.run(cmd::CashInOut, "482913;1;-100.01;");
        QCOMPARE(o.errorWord, QByteArray("080B"));
        QCOMPARE(c.state.cashInDrawerCents, 10000);
        QCOMPARE(c.documents, 2);
    }

    void movementRefusals_data()
    {
        QTest::addColumn<QByteArray>("parameters");
        QTest::addColumn<QByteArray>("errorWord");
        QTest::newRow("amount 0") << QByteArray("482913;1;0.00;") << QByteArray("0304");
        QTest::newRow("three decimals") << QByteArray("482913;1;1.005;") << QByteArray("0303");
        QTest::newRow("no amount") << QByteArray("482913;1;") << QByteArray("0303");
        QTest::newRow("operator text") << QByteArray("482913;x;1.00;") << QByteArray("0203");
        QTest::newRow("operator 17") << QByteArray("482913;17;1.00;") << QByteArray("0204");
    }
    void movementRefusals()
    {
        QFETCH(QByteArray, parameters);
        QFETCH(QByteArray, errorWord);
        Cash c;
        QCOMPARE(c.run(cmd::CashInOut, parameters).errorWord, errorWord);
        QCOMPARE(c.state.cashInDrawerCents, 0);
        QVERIFY(c.state.paperTape.isEmpty());
    }

    void movementWaitsForTheOpenDocument()
    {
        Cash c;
        c.state.receiptState = emu::State::kNonFiscalOpen;
        QCOMPARE(c.run(cmd::CashInOut, "482913;1;1.00;").errorWord, QByteArray("000B"));
        QCOMPARE(c.state.cashInDrawerCents, 0);
    }

    void receiptMovementTakesEffectAtTheClose()
    {
        emu::HandlerTable all;
        emu::registerAllDomains(all);
        emu::State s;
        s.cashInDrawerCents = 500;
        const auto run = [&](cmd::Code code, const QByteArray &p) { return all.find(code)(s, emu::fieldsOf(p)); };

        // Only inside a cash receipt, and only once in it.
        QCOMPARE(run(cmd::CashInOutVariant, "482913;0;1.00;").errorWord, QByteArray("000B"));
        QCOMPARE(run(cmd::OpenFiscalReceipt, "482913;1;0;2;").errorWord, QByteArray("0000"));
        QCOMPARE(run(cmd::CashInOutVariant, "482913;0;-5.01;").errorWord, QByteArray("080B"));
        QCOMPARE(run(cmd::CashInOutVariant, "482913;1;-1.00;").errorWord, QByteArray("0204"));
        const emu::Outcome o = run(cmd::CashInOutVariant, "482913;0;-1.00;");
        QCOMPARE(o.errorWord, QByteArray("0000"));
        QCOMPARE(o.data, QByteArray("4.00;"));
        QCOMPARE(run(cmd::CashInOutVariant, "482913;0;-1.00;").errorWord, QByteArray("000B"));
        QCOMPARE(s.cashInDrawerCents, 500);
        QCOMPARE(run(cmd::CloseFiscalReceipt, "482913;0;").errorWord, QByteArray("0000"));
        QCOMPARE(s.cashInDrawerCents, 400);
        QCOMPARE(s.dayWithdrawalsCents, 100);

        // A voided cash receipt moves nothing.
        QCOMPARE(run(cmd::OpenFiscalReceipt, "482913;1;0;2;").errorWord, QByteArray("0000"));
        QCOMPARE(run(cmd::CashInOutVariant, "482913;0;2.50;").errorWord, QByteArray("0000"));
        QCOMPARE(run(cmd::VoidOperation, "482913;0;").errorWord, QByteArray("0000"));
        QCOMPARE(s.cashInDrawerCents, 400);
        QCOMPARE(s.dayDepositsCents, 0);
        QCOMPARE(run(cmd::OpenFiscalReceipt, "482913;1;0;2;").errorWord, QByteArray("0000"));
        QCOMPARE(run(cmd::CashInOutVariant, "482913;0;2.50;").errorWord, QByteArray("0000"));
    }

    void copiesByNumber()
    {
        Cash c;
        c.store(1, kNoon, {"ЧЕК 1"});
        c.store(2, kNoon.addSecs(600), {"ЧЕК 2", "ИТОГ"});
        c.store(3, kNoon.addSecs(3600), {"ЧЕК 3"});

        // By running number only inside a non-fiscal receipt.
        QCOMPARE(c.run(cmd::CopiesByRunningNumber, "482913;1;2;").errorWord, QByteArray("000B"));
        c.state.receiptState = emu::State::kNonFiscalOpen;
        QCOMPARE(c.run(cmd::CopiesByRunningNumber, "482913;1;2;").errorWord, QByteArray("0000"));
        QCOMPARE(c.documents, 2);
        QCOMPARE(c.state.paperTape,
                 (QList<QByteArray>{emu::toCp1251(QStringLiteral("КОПИЯ ЧЕКА 1")), "ЧЕК 1",
                                    emu::toCp1251(QStringLiteral("КОПИЯ ЧЕКА 2")), "ЧЕК 2", "ИТОГ"}));

        // A range the journal does not hold whole prints nothing.
        c.state.paperTape.clear();
        QCOMPARE(c.run(cmd::CopiesByRunningNumber, "482913;3;4;").errorWord, QByteArray("070B"));
        QCOMPARE(c.run(cmd::CopiesByRunningNumber, "482913;2;1;").errorWord, QByteArray("0304"));
        QCOMPARE(c.run(cmd::CopiesByRunningNumber, "482913;0;1;").errorWord, QByteArray("0204"));
        QVERIFY(c.state.paperTape.isEmpty());

        // By document number outside any receipt.
        QCOMPARE(c.run(cmd::CopiesByDocumentNumber, "482913;3;3;").errorWord, QByteArray("000B"));
        c.state.receiptState = emu::State::kReceiptClosed;
        QCOMPARE(c.run(cmd::CopiesByDocumentNumber, "482913;3;3;").errorWord, QByteArray("0000"));
        QCOMPARE(c.state.paperTape.last(), QByteArray("ЧЕК 3"));
    }

    void searchByTimeSpan()
    {
        Cash c;
        c.store(1, kNoon.addSecs(-60), {"ЧЕК 1"});
        c.store(2, kNoon.addSecs(30), {"ЧЕК 2"});
        c.store(3, kNoon.addSecs(3600 + 59), {"ЧЕК 3"});
        c.store(4, kNoon.addSecs(3600 + 60), {"ЧЕК 4"});

        emu::Outcome o = c.run(cmd::SearchControlTape, "482913;091226;1200;091226;1300;0;");
        QCOMPARE(o.errorWord, QByteArray("0000"));
        QCOMPARE(o.data, QByteArray("2;3;"));
        QVERIFY(c.state.paperTape.isEmpty());

        o = c.run(cmd::SearchControlTape, "482913;091226;1200;091226;1300;1;");
        QCOMPARE(o.data, QByteArray("2;3;"));
        QCOMPARE(c.documents, 2);
        QCOMPARE(c.state.paperTape.last(), QByteArray("ЧЕК 3"));

        QCOMPARE(c.run(cmd::SearchControlTape, "482913;101226;1200;101226;1300;0;").errorWord, QByteArray("070B"));
        QCOMPARE(c.run(cmd::SearchControlTape, "482913;091226;1300;091226;1200;0;").errorWord, QByteArray("0404"));
        QCOMPARE(c.run(cmd::SearchControlTape, "482913;321226;1200;091226;1300;0;").errorWord, QByteArray("0204"));
        QCOMPARE(c.run(cmd::SearchControlTape, "482913;091226;12:0;091226;1300;0;").errorWord, QByteArray("0303"));
        QCOMPARE(c.run(cmd::SearchControlTape, "482913;091226;1200;091226;1300;2;").errorWord, QByteArray("0604"));
    }
};

QTEST_GUILESS_MAIN(CashDomainTest)
#include "tst_cash.moc"
