// The card-terminal emulator in process: messages put together from any pieces.
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

QByteArray purchase(const QByteArray &token, const QByteArray &amount)
{
    return framed("\x02" "00=" + token + "\x1C" "03=S\x1C" "05=" + amount
                  + "\x1C" "52=980\x1C" "53=UAH\x1C" "61=1");
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

        QCOMPARE(joined(t.receive(kAck + purchase("4F2A91C7", "1250"))), framed("00=4F2A91C7\x1C" "39=00\x1C" "58=000000700001"));
        QCOMPARE(t.charges(), 1);
        QCOMPARE(t.received().size(), 3);
        QCOMPARE(t.received()[2], purchase("4F2A91C7", "1250").mid(2));
    }
};

QTEST_GUILESS_MAIN(CardTerminalEmulatorTest)
#include "tst_card_terminal.moc"
