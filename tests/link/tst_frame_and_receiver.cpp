// Request framing, the sequence counter and the byte receiver, byte for byte.
#include "emulator/wire.h"
#include "link/byte_receiver.h"
#include "link/frame.h"

#include <QTest>

namespace {

const std::array<quint8, 6> kStatus = {0x80, 0x81, 0x82, 0x80, 0x80, 0x80};

void feed(ByteReceiver &rx, const QByteArray &bytes)
{
    for (char c : bytes)
        rx.dispatch(static_cast<quint8>(c));
}

QByteArray reply(const QByteArray &errorWord, const QByteArray &data, quint8 code = 0x21)
{
    return emu::replyFrame(0x21, code, errorWord, data, kStatus);
}

} // namespace

class FrameAndReceiverTest : public QObject {
    Q_OBJECT
private slots:
    void requestFrameByteExact()
    {
        const QByteArray f = frame::buildRequest(frame::sequenceByte(1), 0x21, {});
        QCOMPARE(f.toHex(' '), QByteArray("01 24 21 21 05 30 30 36 3b 03"));
    }

    void requestFrameWithParameters()
    {
        // Cross-checked against the emulator's own framing: it must accept the frame.
        const QByteArray params = "482913;010127;1230;";
        const QByteArray f = frame::buildRequest(0x35, 0x20, params);
        QCOMPARE(quint8(f[1]), quint8(0x20 + params.size() + 4));
        emu::RequestParser p;
        p.feed(f);
        const auto in = p.next();
        QVERIFY(in.has_value());
        QCOMPARE(in->kind, emu::Incoming::Frame);
        QCOMPARE(in->request.parameters, params);
        QCOMPARE(in->request.seq, quint8(0x35));
    }

    void checkCharactersUseColonToQuestionMark()
    {
        QCOMPARE(frame::checkCharacters(0x6B), QByteArray("006;"));
        QCOMPARE(frame::checkCharacters(0xABCD), QByteArray(":;<="));
        QCOMPARE(frame::checkCharacters(0x1FFFF), QByteArray("????")); // only the low 16 bits
    }

    void parameterLengthLimit()
    {
        const QByteArray longest(frame::kMaxParameterLength, 'x');
        const QByteArray f = frame::buildRequest(0x21, 0x21, longest);
        QCOMPARE(quint8(f[1]), quint8(0xFF));
        QVERIFY(frame::buildRequest(0x21, 0x21, longest + 'x').isEmpty());
    }

    void sequenceWrapsAfter256Commands()
    {
        SequenceCounter c;
        QList<int> seqs;
        for (int i = 0; i < 257; ++i)
            seqs.append(c.next());
        QCOMPARE(seqs[0], 0x21);
        QCOMPARE(seqs[93], 0x7E);  // counter 94
        QCOMPARE(seqs[94], 0x20);  // counter 95
        QCOMPARE(seqs[188], 0x7E); // counter 189
        QCOMPARE(seqs[189], 0x20); // counter 190
        QCOMPARE(seqs[254], 0x61); // counter 255
        QCOMPARE(seqs[255], 0x20); // counter 0 again
        QCOMPARE(seqs[256], 0x21);
        for (int s : seqs)
            QVERIFY(s >= 0x20 && s <= 0x7E);
    }

    void repeatRestoresSequence()
    {
        SequenceCounter c;
        const quint8 first = c.next();
        c.restore();
        QCOMPARE(c.next(), first);
        QCOMPARE(c.next(), quint8(first + 1));
    }

    void receivesWellFormedReply()
    {
        ByteReceiver rx;
        rx.resetForExchange();
        const QByteArray r = reply("0000", "12;ABC;");
        feed(rx, r);
        QVERIFY(rx.replyReady());
        QVERIFY(rx.frameComplete());
        QVERIFY(rx.checksumMatches());
        QCOMPARE(rx.errorWord(), QByteArray("0000"));
        QCOMPARE(rx.data(), QByteArray("12;ABC;"));
        QCOMPARE(rx.rawStatus()[1], quint8(0x81));
        QCOMPARE(rx.receivedSequence(), quint8(0x01));
        QCOMPARE(rx.receivedCommand(), quint8(0x21));
        QCOMPARE(rx.rawCopy(), r);
        QCOMPARE(rx.state(), int(ByteReceiver::Idle));
    }

    void emptyDataGoesStraightToEot()
    {
        ByteReceiver rx;
        rx.resetForExchange();
        const QByteArray r = reply("0306", "");
        QCOMPARE(quint8(r[1]), quint8(0x30));
        QCOMPARE(quint8(r[9]), quint8(0x04));
        feed(rx, r);
        QVERIFY(rx.replyReady());
        QVERIFY(rx.checksumMatches());
        QCOMPARE(rx.errorWord(), QByteArray("0306"));
        QVERIFY(rx.data().isEmpty());
    }

    void synIsCountedButNotCopied()
    {
        ByteReceiver rx;
        rx.resetForExchange();
        const QByteArray r = reply("0000", "1;");
        feed(rx, QByteArray(3, 0x16) + r);
        QCOMPARE(rx.synCount(), 3L);
        QCOMPARE(rx.rawCopy(), r);
        QVERIFY(rx.replyReady());
    }

    void sohMidFrameStartsAgain()
    {
        ByteReceiver rx;
        rx.resetForExchange();
        const QByteArray good = reply("0000", "OK;");
        feed(rx, good.left(12) + good);
        QVERIFY(rx.replyReady());
        QVERIFY(rx.checksumMatches());
        QCOMPARE(rx.data(), QByteArray("OK;"));
    }

    void nonEtxAfterCheckIsMissingReply()
    {
        ByteReceiver rx;
        rx.resetForExchange();
        QByteArray r = reply("0000", "1;");
        r[r.size() - 1] = 'Z';
        feed(rx, r);
        QVERIFY(rx.frameComplete());
        QVERIFY(!rx.replyReady());
    }

    void earlyEtxCompletesWithBadCheck()
    {
        ByteReceiver rx;
        rx.resetForExchange();
        const QByteArray r = reply("0000", "123456;");
        feed(rx, r.left(12) + char(0x03));
        QVERIFY(rx.replyReady());
        QVERIFY(!rx.checksumMatches());
    }

    void nakEndsAtOnce()
    {
        ByteReceiver rx;
        rx.resetForExchange();
        feed(rx, QByteArray(1, 0x15));
        QVERIFY(rx.replyReady());
        QVERIFY(rx.nakReceived());
        QCOMPARE(rx.state(), int(ByteReceiver::Idle));
    }

    void malformedFramesAreDropped_data()
    {
        QTest::addColumn<int>("offset");
        QTest::addColumn<char>("byte");
        // Offsets in a reply with data "1;": LEN 1, SEQ 2, EOT 11, ENQ 18.
        QTest::newRow("LEN below 0x30") << 1 << char(0x2F);
        QTest::newRow("SEQ below 0x20") << 2 << char(0x1F);
        QTest::newRow("no EOT after data") << 11 << 'X';
        QTest::newRow("no ENQ after status") << 18 << 'X';
    }
    void malformedFramesAreDropped()
    {
        QFETCH(int, offset);
        QFETCH(char, byte);
        ByteReceiver rx;
        rx.resetForExchange();
        QByteArray r = reply("0000", "1;");
        QCOMPARE(r[11], char(0x04));
        QCOMPARE(r[18], char(0x05));
        r[offset] = byte;
        feed(rx, r.left(r.size() - 1)); // everything but the ETX
        QCOMPARE(rx.state(), int(ByteReceiver::Idle));
        QVERIFY(!rx.replyReady());
        // The receiver waits for the next SOH and takes a good frame after it.
        feed(rx, reply("0000", "2;"));
        QVERIFY(rx.replyReady());
        QCOMPARE(rx.data(), QByteArray("2;"));
    }

    void oversizedInputsStayInsideBuffers()
    {
        ByteReceiver rx;
        rx.resetForExchange();
        // An error word far longer than its 19 places, then a flood of bytes for the raw copy.
        QByteArray junk;
        junk.append(char(0x01)).append(char(0xFF)).append(char(0x21)).append(char(0x21));
        junk.append(QByteArray(500, 'E'));
        feed(rx, junk);
        QCOMPARE(rx.errorWord().size(), ByteReceiver::kErrorWordCapacity);
        QCOMPARE(rx.rawCopy().size(), ByteReceiver::kRawCapacity);
        feed(rx, QByteArray(5000, 'x'));
        QCOMPARE(rx.rawCopy().size(), ByteReceiver::kRawCapacity);
        // The longest data a one-byte LEN allows fits.
        rx.resetForExchange();
        rx.rewindRawCopy();
        const QByteArray data(0xFF - 0x30, 'd');
        feed(rx, reply("0000", data));
        QVERIFY(rx.replyReady());
        QVERIFY(rx.checksumMatches());
        QCOMPARE(rx.data(), data);
    }

    void rawCopyHoldsOnlyThisExchange()
    {
        ByteReceiver rx;
        rx.resetForExchange();
        const QByteArray first = reply("0000", "LONG REPLY DATA;");
        feed(rx, first);
        QVERIFY(rx.frameHeaderSeen());
        rx.rewindRawCopy();
        // Nothing arrives: the copy is empty, never the previous reply (which would pass
        // the shape test and stop the repeat of a silent exchange).
        rx.resetForExchange();
        QCOMPARE(rx.rawCopy(), QByteArray());
        QVERIFY(!rx.frameHeaderSeen());
        // A NAK arrives: the copy is now that one byte.
        feed(rx, QByteArray(1, 0x15));
        QCOMPARE(rx.rawCopy(), QByteArray(1, 0x15));
    }

    void etxWithoutFrameHeaderIsNoise_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("header");
        QTest::newRow("noise") << QByteArray("x7#Q\x03") << false;
        QTest::newRow("cut after SEQ") << QByteArray("\x01\x30\x21\x03") << false;
        QTest::newRow("LEN below 0x30") << QByteArray("\x01\x2F\x21\x28" "0000;\x03") << false;
        QTest::newRow("no EOT after data") << QByteArray("\x01\x31\x21\x28" "0000;dX\x03") << false;
        QTest::newRow("cut after CMD") << QByteArray("\x01\x30\x21\x28" "00\x03") << true;
    }
    void etxWithoutFrameHeaderIsNoise()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(bool, header);
        ByteReceiver rx;
        feed(rx, reply("0000", "A;")); // an earlier reply's command code stays behind
        rx.resetForExchange();
        feed(rx, bytes);
        QVERIFY(rx.replyReady());
        QCOMPARE(rx.frameHeaderSeen(), header);
        QVERIFY(!rx.checksumMatches());
        // Dropped, the receiver waits on as at the start of the exchange, SYN count kept.
        feed(rx, QByteArray(2, 0x16));
        rx.dropFrame();
        QVERIFY(!rx.replyReady() && !rx.frameComplete() && !rx.frameHeaderSeen());
        QCOMPARE(rx.rawCopy(), QByteArray());
        QCOMPARE(rx.errorWord(), QByteArray());
        QCOMPARE(rx.synCount(), 2L);
        feed(rx, reply("0306", ""));
        QVERIFY(rx.replyReady() && rx.checksumMatches());
        QCOMPARE(rx.errorWord(), QByteArray("0306"));
    }
};

QTEST_GUILESS_MAIN(FrameAndReceiverTest)
#include "tst_frame_and_receiver.moc"
