// The card terminal's protocol pieces: tags, amounts, the purchase request, the framing.
#include "sales/card_payment.h"
#include "sales/card_terminal.h"

#include <QTest>

using namespace card_protocol;

class CardProtocolTest : public QObject {
    Q_OBJECT

private slots:
    void tagValues_data()
    {
        QTest::addColumn<QByteArray>("payload");
        QTest::addColumn<QByteArray>("tag");
        QTest::addColumn<bool>("found");
        QTest::addColumn<QByteArray>("value");

        const QByteArray fs(1, kFs);
        QTest::newRow("first field") << "00=ABC" + fs + "01=1234" << QByteArray("00") << true << QByteArray("ABC");
        QTest::newRow("last field") << "00=ABC" + fs + "01=1234" << QByteArray("01") << true << QByteArray("1234");
        QTest::newRow("after STX") << "\x02" "00=X" + fs + "58=Y" << QByteArray("00") << true << QByteArray("X");
        QTest::newRow("empty value") << "02=x" + fs + "58=" << QByteArray("58") << true << QByteArray();
        QTest::newRow("trailing FS") << "58=Q" + fs << QByteArray("58") << true << QByteArray("Q");
        QTest::newRow("first of two") << "58=A" + fs + "58=B" << QByteArray("58") << true << QByteArray("A");
        QTest::newRow("inside a value") << "02=A58=Z" + fs + "04=V" << QByteArray("58") << false << QByteArray();
        QTest::newRow("inside, then a field")
            << "02=A58=Z" + fs + "58=R" << QByteArray("58") << true << QByteArray("R");
        QTest::newRow("value holds an equals sign") << QByteArray("58=a=b") << QByteArray("58") << true << QByteArray("a=b");
        QTest::newRow("no equals sign") << "58" + fs + "04=V" << QByteArray("58") << false << QByteArray();
        QTest::newRow("missing") << "00=1" + fs + "01=2" << QByteArray("58") << false << QByteArray();
        QTest::newRow("empty payload") << QByteArray() << QByteArray("00") << false << QByteArray();
        QTest::newRow("up to the zero byte")
            << QByteArray("58=AB\0CD", 8) << QByteArray("58") << true << QByteArray("AB");
        QTest::newRow("field after the zero byte")
            << QByteArray("00=1\0", 5) + fs + "58=X" << QByteArray("58") << false << QByteArray();
        QTest::newRow("STX elsewhere is text") << "00=1" + fs + "\x02" "58=X" << QByteArray("58") << false << QByteArray();
    }
    void tagValues()
    {
        QFETCH(QByteArray, payload);
        QFETCH(QByteArray, tag);
        QFETCH(bool, found);
        QFETCH(QByteArray, value);
        const auto v = tagValue(payload, tag);
        QCOMPARE(v.has_value(), found);
        if (found)
            QCOMPARE(*v, value);
    }

    void amounts_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<qint64>("cents"); // -1: refused

        QTest::newRow("one decimal") << QStringLiteral("12.5") << qint64(1250);
        QTest::newRow("two decimals") << QStringLiteral("12.50") << qint64(1250);
        QTest::newRow("whole") << QStringLiteral("12") << qint64(1200);
        QTest::newRow("blanks around") << QStringLiteral(" 7.05 ") << qint64(705);
        QTest::newRow("one hundredth") << QStringLiteral("0.01") << qint64(1);
        QTest::newRow("nine whole digits") << QStringLiteral("999999999.99") << qint64(99999999999);
        QTest::newRow("zero") << QStringLiteral("0") << qint64(-1);
        QTest::newRow("zero with decimals") << QStringLiteral("0.00") << qint64(-1);
        QTest::newRow("negative") << QStringLiteral("-1") << qint64(-1);
        QTest::newRow("plus sign") << QStringLiteral("+1") << qint64(-1);
        QTest::newRow("three decimals") << QStringLiteral("12.505") << qint64(-1);
        QTest::newRow("point without decimals") << QStringLiteral("12.") << qint64(-1);
        QTest::newRow("point first") << QStringLiteral(".5") << qint64(-1);
        QTest::newRow("comma") << QStringLiteral("1,5") << qint64(-1);
        QTest::newRow("exponent") << QStringLiteral("1e3") << qint64(-1);
        QTest::newRow("two points") << QStringLiteral("1.2.3") << qint64(-1);
        QTest::newRow("ten whole digits") << QStringLiteral("1000000000") << qint64(-1);
        QTest::newRow("empty") << QStringLiteral("") << qint64(-1);
        QTest::newRow("text") << QStringLiteral("abc") << qint64(-1);
        QTest::newRow("arabic-indic digits") << QString::fromUtf8("\u0661\u0662") << qint64(-1);
    }
    void amounts()
    {
        QFETCH(QString, typed);
        QFETCH(qint64, cents);
        const auto c = amountCents(typed);
        QCOMPARE(c.has_value(), cents > 0);
        if (c)
            QCOMPARE(*c, cents);
    }

    void amountTexts()
    {
        QCOMPARE(amountText(1250), QStringLiteral("12.50"));
        QCOMPARE(amountText(1200), QStringLiteral("12.00"));
        QCOMPARE(amountText(1), QStringLiteral("0.01"));
        QCOMPARE(amountText(99999999999), QStringLiteral("999999999.99"));
    }

    void purchaseRequestBytes()
    {
        QCOMPARE(purchaseRequest("4F2A", 1250),
                 QByteArray("\x02" "00=4F2A\x1C" "03=S\x1C" "05=1250\x1C" "52=980\x1C" "53=UAH\x1C" "61=1"));
        // The framed card request, as it goes on the wire.
        QCOMPARE(message(QByteArray(1, kCardRequest)), QByteArray("\x00\x01\x12", 3));
    }

    void takingMessages()
    {
        QByteArray stream("\x00", 1);
        QByteArray payload;
        qsizetype skip = 0;
        QCOMPARE(takeMessage(stream, payload, skip), Take::Incomplete);
        stream += QByteArray("\x03" "AB", 3);
        QCOMPARE(takeMessage(stream, payload, skip), Take::Incomplete);
        QCOMPARE(stream.size(), 4);

        // Exactly the announced length is taken; what follows is the next message.
        stream += QByteArray("C\x00\x01\x06", 4);
        QCOMPARE(takeMessage(stream, payload, skip), Take::Whole);
        QCOMPARE(payload, QByteArray("ABC"));
        QCOMPARE(takeMessage(stream, payload, skip), Take::Whole);
        QCOMPARE(payload, QByteArray(1, kAck));
        QVERIFY(stream.isEmpty());

        stream = QByteArray("\x00\x00", 2);
        QCOMPARE(takeMessage(stream, payload, skip), Take::Whole);
        QVERIFY(payload.isEmpty());

        // 999 bytes fit whole; a longer message gives its first 999 bytes, and the rest,
        // coming later, is dropped before the next message.
        stream = QByteArray("\x03\xE7", 2);
        QCOMPARE(takeMessage(stream, payload, skip), Take::Incomplete);
        stream = QByteArray("\x04\xB0", 2) + QByteArray(999, 'a');
        QCOMPARE(takeMessage(stream, payload, skip), Take::Cut);
        QCOMPARE(payload, QByteArray(999, 'a'));
        QCOMPARE(skip, qsizetype(201));
        QVERIFY(stream.isEmpty());
        stream = QByteArray(200, 'b');
        QCOMPARE(takeMessage(stream, payload, skip), Take::Incomplete);
        stream += QByteArray("b\x00\x01\x06", 4);
        QCOMPARE(takeMessage(stream, payload, skip), Take::Whole);
        QCOMPARE(payload, QByteArray(1, kAck));
        QCOMPARE(skip, qsizetype(0));
        // All of it already there: the rest goes at once.
        stream = QByteArray("\x03\xE9", 2) + QByteArray(1001, 'c') + QByteArray("\x00\x00", 2);
        QCOMPARE(takeMessage(stream, payload, skip), Take::Cut);
        QCOMPARE(skip, qsizetype(0));
        QCOMPARE(takeMessage(stream, payload, skip), Take::Whole);
        QVERIFY(payload.isEmpty());
    }

    void cardLines()
    {
        QCOMPARE(maskedCardNumber("12345678"), QByteArray("**** **** 1234 5678"));
        QCOMPARE(maskedCardNumber("1234"), QByteArray("**** **** 1234"));
        QCOMPARE(maskedCardNumber(""), QByteArray("**** **** "));
        QCOMPARE(CardPayment::cardLines("VISA", "12345678", "CARDHOLDER"),
                 (QStringList{"VISA CARD", "**** **** 1234 5678", "CARDHOLDER"}));
        // A separator or a control byte from the terminal would shift or break the command.
        QCOMPARE(CardPayment::cardLines("VI;SA", "1234\x01", "\xCA\xC0"),
                 (QStringList{"VI SA CARD", "**** **** 1234  ", QString::fromUtf8("КА")}));
    }
};

QTEST_GUILESS_MAIN(CardProtocolTest)
#include "tst_card_protocol.moc"
