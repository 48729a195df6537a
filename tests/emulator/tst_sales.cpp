// The emulator's fiscal receipt: stages in status byte 2, money, voids and refusals.
#include "emulator/domains.h"
#include "emulator/registrar.h"
#include "emulator/wire.h"
#include "link/frame.h"

#include <QTest>

namespace {

struct Reply {
    QByteArray errorWord, data;
    quint8 receiptStatus = 0; // status byte 2 without bit 7
};

// Sends requests with a new sequence byte each, so none counts as a repeat.
struct Bench {
    emu::Registrar reg;
    quint8 seq = 0x20;

    explicit Bench(const emu::Registrar::Options &o = {}) : reg(o) {}

    Reply send(int code, const QByteArray &params)
    {
        seq = quint8(seq == 0x7F ? 0x20 : seq + 1);
        QByteArray frame;
        for (const emu::Chunk &c : reg.receive(frame::buildRequest(seq, quint8(code), params)))
            frame += c.bytes;
        Reply r;
        const int len = quint8(frame[1]) - 0x30;
        r.errorWord = frame.mid(4, 4);
        r.data = frame.mid(9, len);
        r.receiptStatus = quint8(frame[10 + len + 2]) & 0x7F;
        return r;
    }
    QByteArray word(int code, const QByteArray &params) { return send(code, params).errorWord; }
    const emu::State &state() const { return reg.state(); }

    // Two goods in tax groups 1 and 2, and an open sale receipt.
    void goodsAndOpen()
    {
        QCOMPARE(word(0x24, "482913;1001;Хлеб;12.50;1;1;"), QByteArray("0000"));
        QCOMPARE(word(0x24, "482913;1002;Молоко;4.00;2;1;"), QByteArray("0000"));
        QCOMPARE(word(0x63, "482913;1;1;0;"), QByteArray("0000"));
    }
};

} // namespace

class SalesEmulatorTest : public QObject {
    Q_OBJECT
private slots:
    void happyReceiptLeavesTapeJournalAndMoney()
    {
        Bench b;
        b.reg.state().cashInDrawerCents = 1000;
        b.goodsAndOpen();
        QCOMPARE(b.send(0x61, "482913;Comment;").receiptStatus, quint8(1));
        QCOMPARE(b.send(0x64, "482913;1001;2.000;12.50;").receiptStatus, quint8(2)); // 25.00
        QCOMPARE(b.word(0x64, "482913;1002;1.500;4.00;"), QByteArray("0000"));        // 6.00
        QCOMPARE(b.word(0x68, "482913;-5.00;"), QByteArray("0000"));                  // -0.30
        QCOMPARE(b.send(0x73, "482913;10.00;").receiptStatus, quint8(6));              // +3.07
        const Reply total = b.send(0x6D, "482913;1;");
        QCOMPARE(total.errorWord, QByteArray("0000"));
        QCOMPARE(total.data, QByteArray("33.77;"));
        const Reply paid = b.send(0x67, "482913;0;40.00;");
        QCOMPARE(paid.data, QByteArray("0.00;6.23;"));
        QCOMPARE(paid.receiptStatus, quint8(4));
        QCOMPARE(b.send(0x65, "482913;1;").receiptStatus, quint8(0));

        const emu::State &s = b.state();
        QCOMPARE(s.lastReceiptNumber, 1);
        QCOMPARE(s.receiptJournal.size(), 1);
        QCOMPARE(s.receiptJournal[0].number, 1);
        QCOMPARE(s.receiptJournal[0].lines, s.paperTape);
        QCOMPARE(s.daySales.size(), 2);
        QCOMPARE(s.daySales[0].goodsCode, 1001);
        QCOMPARE(s.daySales[1].quantityMilli, 1500);
        QCOMPARE(s.daySales[0].sumCents + s.daySales[1].sumCents, 3377); // the surcharge spread
        QCOMPARE(s.dayPaymentsCents.value(0), 4000);
        QCOMPARE(s.cashInDrawerCents, 1000 + 3377);
        const QByteArray tape = s.paperTape.join('\n');
        for (const char *line : {"Comment", "2.000 x 12.50 = 25.00", "-5.00% -0.30", "33.77", "6.23"})
            QVERIFY2(tape.contains(line), line);
        QVERIFY(s.paperTape.contains(emu::toCp1251(QStringLiteral("ЧЕК № 1"))));
        QCOMPARE(s.displayTop, emu::toCp1251(QStringLiteral("СПАСИБО")));
    }

    void returnReceiptPaysOutOfTheDrawer()
    {
        Bench b;
        b.goodsAndOpen();
        QCOMPARE(b.word(0x6B, "482913;0;"), QByteArray("0000"));
        QCOMPARE(b.send(0x63, "482913;1;1;1;").receiptStatus, quint8(0x11));
        QCOMPARE(b.send(0x64, "482913;1001;1.000;12.50;").receiptStatus, quint8(0x12));
        QCOMPARE(b.word(0x67, "482913;0;12.50;"), QByteArray("080B")); // the drawer is empty
        b.reg.state().cashInDrawerCents = 2000;
        QCOMPARE(b.word(0x67, "482913;0;13.00;"), QByteArray("0A0B")); // no change in a return
        QCOMPARE(b.word(0x67, "482913;0;12.50;"), QByteArray("0000"));
        QCOMPARE(b.send(0x65, "482913;0;").receiptStatus, quint8(0));
        QCOMPARE(b.state().cashInDrawerCents, 750);
        QVERIFY(b.state().daySales[0].isReturn);
        QCOMPARE(b.state().dayReturnPaymentsCents, 1250);
        QVERIFY(b.state().dayPaymentsCents.isEmpty());
    }

    void outOfOrderAndBadFields_data()
    {
        QTest::addColumn<QList<QByteArray>>("before"); // "CC:params", each must succeed
        QTest::addColumn<int>("code");
        QTest::addColumn<QByteArray>("params");
        QTest::addColumn<QByteArray>("errorWord");
        const QList<QByteArray> open{"63:482913;1;1;0;"};
        const QList<QByteArray> sold{"63:482913;1;1;0;", "64:482913;1001;1.000;12.50;"};
        const QList<QByteArray> partPaid{"63:482913;1;1;0;", "64:482913;1001;1.000;12.50;", "67:482913;0;5.00;"};
        QTest::newRow("sale without receipt") << QList<QByteArray>{} << 0x64 << QByteArray("482913;1001;1.000;1.00;") << QByteArray("000B");
        QTest::newRow("open twice") << open << 0x63 << QByteArray("482913;1;1;0;") << QByteArray("000B");
        QTest::newRow("payment before sale") << open << 0x67 << QByteArray("482913;0;1.00;") << QByteArray("000B");
        QTest::newRow("total before sale") << open << 0x6D << QByteArray("482913;1;") << QByteArray("000B");
        QTest::newRow("close unpaid") << partPaid << 0x65 << QByteArray("482913;0;") << QByteArray("000B");
        QTest::newRow("close empty receipt") << open << 0x65 << QByteArray("482913;0;") << QByteArray("000B");
        QTest::newRow("sale after payment") << partPaid << 0x64 << QByteArray("482913;1001;1.000;1.00;") << QByteArray("000B");
        QTest::newRow("item discount twice") << (sold + QList<QByteArray>{"68:482913;-5.00;"}) << 0x69 << QByteArray("482913;-1.00;") << QByteArray("000B");
        QTest::newRow("subtotal twice") << (sold + QList<QByteArray>{"74:482913;-1.00;"}) << 0x73 << QByteArray("482913;-5.00;") << QByteArray("000B");
        QTest::newRow("discount beyond the item") << sold << 0x69 << QByteArray("482913;-12.50;") << QByteArray("0B0B");
        QTest::newRow("tax group without items") << sold << 0x75 << QByteArray("482913;-5.00;2;") << QByteArray("0B0B");
        QTest::newRow("quantity 0") << open << 0x64 << QByteArray("482913;1001;0.000;1.00;") << QByteArray("0F0B");
        QTest::newRow("negative price") << open << 0x64 << QByteArray("482913;1001;1.000;-1.00;") << QByteArray("100B");
        QTest::newRow("quantity not a number") << open << 0x64 << QByteArray("482913;1001;x;1.00;") << QByteArray("0303");
        QTest::newRow("unknown goods") << open << 0x64 << QByteArray("482913;999;1.000;1.00;") << QByteArray("020A");
        QTest::newRow("card overpays") << sold << 0x78 << QByteArray("482913;1;13.00;T1;") << QByteArray("0A0B");
        QTest::newRow("card as cash") << sold << 0x78 << QByteArray("482913;0;12.50;T1;") << QByteArray("0204");
        QTest::newRow("card without transaction") << sold << 0x78 << QByteArray("482913;1;12.50;;") << QByteArray("0403");
        QTest::newRow("payment type 10") << sold << 0x67 << QByteArray("482913;10;1.00;") << QByteArray("0204");
        QTest::newRow("void nothing") << QList<QByteArray>{} << 0x6B << QByteArray("482913;0;") << QByteArray("060B");
        QTest::newRow("void start in empty receipt") << open << 0x6B << QByteArray("482913;1;") << QByteArray("060B");
        QTest::newRow("void end without start") << sold << 0x6B << QByteArray("482913;2;") << QByteArray("000B");
        QTest::newRow("barcode outside receipt") << QList<QByteArray>{} << 0x71 << QByteArray("482913;50;2;1;0;012345678901;") << QByteArray("000B");
        QTest::newRow("EAN13 of 13 digits") << open << 0x71 << QByteArray("482913;50;2;1;0;0123456789012;") << QByteArray("0603");
        QTest::newRow("recipient sale elsewhere") << open << 0x6A << QByteArray("482913;1001;1.000;1.00;5;") << QByteArray("0102");
        QTest::newRow("goods code not a number") << QList<QByteArray>{} << 0x24 << QByteArray("482913;A1;X;1.00;1;1;") << QByteArray("0203");
        QTest::newRow("goods without name") << QList<QByteArray>{} << 0x24 << QByteArray("482913;5;;1.00;1;1;") << QByteArray("0303");
        QTest::newRow("goods tax group 6") << QList<QByteArray>{} << 0x24 << QByteArray("482913;5;X;1.00;6;1;") << QByteArray("0504");
        QTest::newRow("sold goods changed") << sold << 0x24 << QByteArray("482913;1001;Хлеб;13.00;1;1;") << QByteArray("040A");
    }

    void outOfOrderAndBadFields()
    {
        QFETCH(QList<QByteArray>, before);
        QFETCH(int, code);
        QFETCH(QByteArray, params);
        QFETCH(QByteArray, errorWord);
        Bench b;
        QCOMPARE(b.word(0x24, "482913;1001;Хлеб;12.50;1;1;"), QByteArray("0000"));
        for (const QByteArray &step : before)
            QCOMPARE(b.word(step.left(2).toInt(nullptr, 16), step.mid(3)), QByteArray("0000"));
        const int stage = b.state().receiptState;
        const int tapeLines = int(b.state().paperTape.size());
        QCOMPARE(b.word(code, params), errorWord);
        QCOMPARE(b.state().receiptState, stage); // a refusal changes nothing
        QCOMPARE(int(b.state().paperTape.size()), tapeLines);
    }

    void voidingTakesNamedItemsOut()
    {
        Bench b;
        b.goodsAndOpen();
        QCOMPARE(b.word(0x64, "482913;1001;1.000;12.50;"), QByteArray("0000"));
        QCOMPARE(b.word(0x64, "482913;1002;2.000;4.00;"), QByteArray("0000"));
        QCOMPARE(b.word(0x69, "482913;-1.00;"), QByteArray("0000"));
        QCOMPARE(b.send(0x6B, "482913;1;").receiptStatus, quint8(9));
        QCOMPARE(b.word(0x68, "482913;-1.00;"), QByteArray("030B")); // must start with a sale
        QCOMPARE(b.word(0x64, "482913;1002;3.000;4.00;"), QByteArray("040B"));
        QCOMPARE(b.word(0x64, "482913;1002;2.000;4.00;"), QByteArray("0000"));
        QCOMPARE(b.word(0x6B, "482913;2;"), QByteArray("050B")); // its discount not named
        QCOMPARE(b.word(0x69, "482913;-1.00;"), QByteArray("0000"));
        QCOMPARE(b.word(0x67, "482913;0;1.00;"), QByteArray("000B")); // no payment while voiding
        QCOMPARE(b.send(0x6B, "482913;2;").receiptStatus, quint8(2));
        QCOMPARE(b.send(0x6D, "482913;0;").data, QByteArray("12.50;"));

        // Giving up a void keeps the receipt as it was.
        QCOMPARE(b.word(0x6B, "482913;1;"), QByteArray("0000"));
        QCOMPARE(b.word(0x64, "482913;1001;1.000;12.50;"), QByteArray("0000"));
        QCOMPARE(b.send(0x6B, "482913;3;").receiptStatus, quint8(2));
        QCOMPARE(b.send(0x6D, "482913;0;").data, QByteArray("12.50;"));

        // The whole receipt: nothing reaches the day or the journal.
        QCOMPARE(b.word(0x67, "482913;0;5.00;"), QByteArray("0000"));
        QCOMPARE(b.send(0x6B, "482913;0;").receiptStatus, quint8(0));
        QVERIFY(b.state().daySales.isEmpty());
        QVERIFY(b.state().receiptJournal.isEmpty());
        QCOMPARE(b.state().cashInDrawerCents, 0);
        QCOMPARE(b.state().lastReceiptNumber, 0);
    }

    void cardPaymentAndMixedTypes()
    {
        Bench b;
        b.goodsAndOpen();
        QCOMPARE(b.word(0x64, "482913;1001;2.000;12.50;"), QByteArray("0000"));
        QCOMPARE(b.send(0x78, "482913;1;12.5;TX42;").receiptStatus, quint8(3));
        QCOMPARE(b.word(0x67, "482913;0;20.00;"), QByteArray("0000"));
        QCOMPARE(b.word(0x65, "482913;0;"), QByteArray("0000"));
        const emu::State &s = b.state();
        QCOMPARE(s.cardPayments.size(), 1);
        QCOMPARE(s.cardPayments[0].amountCents, 1250);
        QCOMPARE(s.cardPayments[0].transactionId, QByteArray("TX42"));
        QCOMPARE(s.dayPaymentsCents.value(1), 1250);
        QCOMPARE(s.cashInDrawerCents, 1250); // 20.00 cash less 7.50 change
        QVERIFY(s.paperTape.contains(emu::toCp1251(QStringLiteral("ТРАНЗАКЦИЯ TX42"))));
    }

    void closeEndsEveryKindOfReceipt()
    {
        Bench b;
        int documents = 0;
        b.reg.state().onDocumentEnd = [&] { ++documents; };
        QCOMPARE(b.send(0x60, "482913;").receiptStatus, quint8(5));
        QCOMPARE(b.word(0x71, "482913;50;2;1;1;012345678901;"), QByteArray("0000"));
        QCOMPARE(b.send(0x65, "482913;0;").receiptStatus, quint8(0));
        QVERIFY(b.state().paperTape.contains("012345678901"));
        QCOMPARE(b.send(0x63, "482913;1;0;2;").receiptStatus, quint8(7));
        QCOMPARE(b.send(0x6B, "482913;0;").receiptStatus, quint8(0));
        QCOMPARE(b.send(0x63, "482913;1;0;2;").receiptStatus, quint8(7));
        QCOMPARE(b.send(0x65, "482913;0;").receiptStatus, quint8(0));
        QCOMPARE(documents, 3);
        QVERIFY(b.state().receiptJournal.isEmpty()); // not fiscal receipts
    }

    void recipientSaleAndDisplay()
    {
        emu::Registrar::Options o;
        o.model = QStringLiteral("eKV-60 Mini");
        Bench b(o);
        b.goodsAndOpen();
        QCOMPARE(b.word(0x6A, "482913;1001;1.000;12.50;77;"), QByteArray("0000"));
        QCOMPARE(b.state().receipt.items[0].recipient, 77);
        QCOMPARE(b.word(0x81, "482913;1;0;Comment for printing and more;"), QByteArray("0000"));
        QCOMPARE(b.state().displayTop, QByteArray("Comment for printing"));
        QCOMPARE(b.word(0x81, "482913;2;0;Bottom;"), QByteArray("0000"));
        QCOMPARE(b.word(0x81, "482913;0;0;;"), QByteArray("0000"));
        QVERIFY(b.state().displayTop.isEmpty() && b.state().displayBottom.isEmpty());
    }

    void goodsReprogrammedUntilSold()
    {
        Bench b;
        QCOMPARE(b.word(0x24, "482913;7;Сыр;1.00;1;1;"), QByteArray("0000"));
        QCOMPARE(b.word(0x24, "482913;7;Сыр;1.00;1;1;"), QByteArray("0000")); // the same line again
        QCOMPARE(b.word(0x24, "482913;7;Сыр;2.00;1;1;"), QByteArray("0000")); // not sold yet
        QCOMPARE(b.state().goods.value(7).line, QByteArray("7;Сыр;2.00;1;1;"));
        QCOMPARE(b.state().goods.value(7).name, QByteArray("Сыр"));
    }
};

QTEST_GUILESS_MAIN(SalesEmulatorTest)
#include "tst_sales.moc"
