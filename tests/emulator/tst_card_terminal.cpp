// The card-terminal emulator in process: its framing and what it answers.
#include "emulator/card_terminal.h"

#include <QTest>

using emu::Chunk;

namespace {

QByteArray framed(const QByteArray &payload)
{
    return QByteArray(1, char(payload.size() >> 8)) + char(payload.size() & 0xFF) + payload;
}

QByteArray joined(const QList<Chunk> &chunks)
{
    QByteArray out;
    for (const Chunk &c : chunks)
        out += c.bytes;
    return out;
}

const QByteArray kCardRequest = framed(QByteArray(1, 0x12));
const QByteArray kAck = framed(QByteArray(1, 0x06));

QByteArray purchase(const QByteArray &token, const QByteArray &amount, const QByteArray &currency = "980")
{
    return framed("\x02" "00=" + token + "\x1C" "03=S\x1C" "05=" + amount + "\x1C" "52=" + currency
                  + "\x1C" "53=UAH\x1C" "61=1");
}

} // namespace

class CardTerminalEmulatorTest : public QObject {
    Q_OBJECT

private slots:
    // Messages split anywhere are put together; two in one piece are both answered.
    void exchangeInPieces()
    {
        emu::CardTerminal t;
        QVERIFY(t.receive(kCardRequest.left(1)).isEmpty());
        const QByteArray card = joined(t.receive(kCardRequest.mid(1)));
        QCOMPARE(card, kAck + framed("00=4F2A91C7\x1C" "01=12345678\x1C" "02=CARDHOLDER\x1C" "04=VISA"));

        const QByteArray rest = kAck + purchase("4F2A91C7", "1250");
        QList<Chunk> out;
        for (char c : rest)
            out += t.receive(QByteArray(1, c));
        QCOMPARE(joined(out), framed("00=4F2A91C7\x1C" "39=00\x1C" "58=000000700001"));
        QCOMPARE(t.charges(), 1);
        QCOMPARE(t.received().size(), 3);
        QCOMPARE(t.received()[2], purchase("4F2A91C7", "1250").mid(2));
    }

    // A purchase that does not echo the card's tag 00, has no valid amount or another
    // currency is declined: no tag 58, nothing charged.
    void declinesWrongRequests_data()
    {
        QTest::addColumn<QByteArray>("request");
        QTest::newRow("other token") << purchase("00000000", "1250");
        QTest::newRow("zero amount") << purchase("4F2A91C7", "0");
        QTest::newRow("amount with a point") << purchase("4F2A91C7", "12.50");
        QTest::newRow("other currency") << purchase("4F2A91C7", "1250", "840");
    }
    void declinesWrongRequests()
    {
        QFETCH(QByteArray, request);
        emu::CardTerminal t;
        t.receive(kCardRequest + kAck);
        const QByteArray reply = joined(t.receive(request));
        QVERIFY(reply.contains("39=05"));
        QVERIFY(!reply.contains("58="));
        QCOMPARE(t.charges(), 0);
    }

    void faults()
    {
        emu::CardTerminal t;
        t.setFault(emu::CardTerminal::Fault::NoAck);
        QVERIFY(t.receive(kCardRequest).isEmpty());
        t.setFault(emu::CardTerminal::Fault::WrongAck);
        QCOMPARE(joined(t.receive(kCardRequest)), framed(QByteArray(1, 0x15)));
        t.setFault(emu::CardTerminal::Fault::LongReply);
        const QByteArray longCard = joined(t.receive(kCardRequest)).mid(kAck.size());
        QVERIFY(((quint8(longCard[0]) << 8) | quint8(longCard[1])) > 1000);
        t.setFault(emu::CardTerminal::Fault::Silent);
        QVERIFY(t.receive(purchase("4F2A91C7", "1250")).isEmpty());
        t.setFault(emu::CardTerminal::Fault::Declined);
        QVERIFY(!joined(t.receive(purchase("4F2A91C7", "1250"))).contains("58="));
        QCOMPARE(t.charges(), 0);

        emu::CardTerminal::Fault f{};
        QVERIFY(emu::CardTerminal::parseFault(QStringLiteral("missing-tags"), f));
        QCOMPARE(f, emu::CardTerminal::Fault::MissingTags);
        QVERIFY(!emu::CardTerminal::parseFault(QStringLiteral("melted"), f));
    }
};

QTEST_GUILESS_MAIN(CardTerminalEmulatorTest)
#include "tst_card_terminal.moc"
