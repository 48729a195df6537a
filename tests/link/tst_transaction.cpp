// The command transaction against the emulator, on virtual time: repeats, pauses,
// sequence bytes, and what the caller is told.
#include "emulator/registrar.h"
#include "link/device_link.h"
#include "support/loopback_transport.h"

#include <QSet>
#include <QTest>

namespace {

const QByteArray kPw = "482913;";

struct Rig {
    VirtualClock clock;
    emu::Registrar registrar;
    DeviceLink link{clock};
    LoopbackTransport *wire = nullptr;
    QStringList messages;

    explicit Rig(Transport::Kind kind = Transport::Kind::Serial)
    {
        auto t = std::make_unique<LoopbackTransport>(registrar, clock, kind);
        wire = t.get();
        link.attachTransport(std::move(t));
        link.setMessageHook([this](const QString &m) { messages << m; });
    }
    void fault(emu::Fault::Kind kind, int count = 3, int interval = 80)
    {
        registrar.injectFault(emu::Fault{kind, count, interval});
    }
    quint8 seqOf(int frame) const { return quint8(wire->framesSent.at(frame).at(2)); }
    QList<qint64> gaps() const
    {
        QList<qint64> out;
        for (int i = 1; i < wire->sendTimes.size(); ++i)
            out << wire->sendTimes[i] - wire->sendTimes[i - 1];
        return out;
    }
};

} // namespace

class TransactionTest : public QObject {
    Q_OBJECT
private slots:
    // The SEQ bytes below count from a known start.
    void initTestCase() { DeviceLink::setSequenceStart([] { return quint8(0); }); }
    void cleanupTestCase() { DeviceLink::setSequenceStart({}); }

    void plainExchange()
    {
        Rig rig;
        const CommandResult *r = rig.link.ExecuteCommand(0x28, kPw);
        QCOMPARE(r, &rig.link.Result());
        QCOMPARE(r->flags, 0u);
        QCOMPARE(r->errorWord, QByteArray("0000"));
        QCOMPARE(r->fieldCount, 7);
        QCOMPARE(r->field(0), QByteArray("9600"));
        QCOMPARE(r->commandCode, 0x28);
        QCOMPARE(r->parameters, kPw);
        QCOMPARE(r->request, rig.wire->framesSent.first());
        QCOMPARE(rig.seqOf(0), quint8(0x21));
        QCOMPARE(rig.wire->framesSent.size(), 1);
        QCOMPARE(rig.link.RetryCount(), 0);
    }

    void replyCountZeroSendsOnce()
    {
        Rig rig;
        rig.link.SetReplyCount(0);
        rig.fault(emu::Fault::Nak);
        const CommandResult *r = rig.link.ExecuteCommand(0x21, kPw);
        QCOMPARE(rig.wire->framesSent.size(), 1);
        QCOMPARE(r->flags, CommandResult::kNakBit);
        QCOMPARE(rig.clock.nowMs(), qint64(0));
    }

    void nakEveryTimeRepeatsWithSameSequence()
    {
        Rig rig;
        rig.link.ExecuteCommand(0x21, kPw); // something before, so SEQ is not the first
        rig.wire->framesSent.clear();
        rig.wire->sendTimes.clear();
        rig.link.SetReplyCount(3);
        for (int i = 0; i < 4; ++i)
            rig.fault(emu::Fault::Nak);
        const CommandResult *r = rig.link.ExecuteCommand(0x28, kPw);
        QCOMPARE(rig.wire->framesSent.size(), 4);
        QCOMPARE(rig.gaps(), (QList<qint64>{2000, 2000, 2000}));
        for (int i = 0; i < 4; ++i)
            QCOMPARE(rig.seqOf(i), quint8(0x22));
        QCOMPARE(r->flags, CommandResult::kNakBit);
        QCOMPARE(r->fieldCount, 0);
        QCOMPARE(rig.link.RetryCount(), 3);
        QVERIFY(rig.registrar.journal().size() == 1); // the NAKed request was never carried out
        // The next command goes out with the next SEQ.
        rig.link.ExecuteCommand(0x21, kPw);
        QCOMPARE(rig.seqOf(4), quint8(0x23));
    }

    void silentFirstCommandIsRepeatedOnPlainPort()
    {
        Rig rig;
        rig.link.SetReplyCount(2);
        for (int i = 0; i < 3; ++i)
            rig.fault(emu::Fault::Silence);
        const CommandResult *r = rig.link.ExecuteCommand(0x21, kPw);
        QCOMPARE(rig.wire->framesSent.size(), 3);
        // 50 silent reads of 100 ms, then the 2000 ms pause.
        QCOMPARE(rig.gaps(), (QList<qint64>{7000, 7000}));
        QCOMPARE(r->flags, CommandResult::kNoReplyBit);
        QCOMPARE(rig.link.RetryCount(), 2);
        QCOMPARE(rig.seqOf(0), rig.seqOf(2));
    }

    void silentLaterCommandIsRepeatedWithSameSequence()
    {
        // An earlier good reply must not stop the repeat of a silent exchange: the
        // registrar did the work, and only the same SEQ gets its answer without doing it
        // again.
        Rig rig;
        rig.link.SetReplyCount(3);
        QCOMPARE(rig.link.ExecuteCommand(0x28, kPw)->flags, 0u);
        rig.fault(emu::Fault::Silence);
        const CommandResult *r = rig.link.ExecuteCommand(0x21, kPw);
        QCOMPARE(rig.wire->framesSent.size(), 3);
        QCOMPARE(rig.seqOf(1), rig.seqOf(2));
        QCOMPARE(rig.gaps().last(), qint64(5000 + 2000));
        QCOMPARE(r->flags, 0u);
        QCOMPARE(r->fieldCount, 2);
        QCOMPARE(rig.link.RetryCount(), 1);
        QCOMPARE(rig.registrar.journal().size(), 2);
        QCOMPARE(rig.registrar.repeatsAnswered(), 1);

        // Silent to the end: the failure says no reply, and the error word of the earlier
        // reply is left where callers who test bit 26 first never read it.
        rig.link.SetReplyCount(1);
        rig.fault(emu::Fault::Silence);
        rig.fault(emu::Fault::Silence);
        r = rig.link.ExecuteCommand(0x21, kPw);
        QCOMPARE(rig.wire->framesSent.size(), 5);
        QCOMPARE(r->flags, CommandResult::kNoReplyBit);
        QCOMPARE(r->fieldCount, 0);
        QCOMPARE(r->reply, QByteArray());
    }

    void silentCommandRepeatsOnVirtualPort()
    {
        Rig rig;
        rig.link.setOnVirtualPort(true);
        rig.link.SetReplyCount(2);
        rig.link.ExecuteCommand(0x28, kPw);
        rig.wire->sendTimes.clear();
        rig.wire->framesSent.clear();
        for (int i = 0; i < 3; ++i)
            rig.fault(emu::Fault::Silence);
        const CommandResult *r = rig.link.ExecuteCommand(0x21, kPw);
        QCOMPARE(rig.wire->framesSent.size(), 3);
        QCOMPARE(rig.gaps(), (QList<qint64>{8000, 8000})); // 5000 of silence + 3000
        QCOMPARE(r->flags, CommandResult::kNoReplyBit);
        QCOMPARE(rig.link.RetryCount(), 0); // these repeats do not count as retries
        QCOMPARE(rig.seqOf(0), rig.seqOf(2));
        // The registrar carried the command out once; the repeats were answered from its cache.
        QCOMPARE(rig.registrar.journal().size(), 2);
        QCOMPARE(rig.registrar.repeatsAnswered(), 2);
    }

    void virtualPortRecoversFromOneLostReply()
    {
        Rig rig;
        rig.link.setOnVirtualPort(true);
        rig.link.ExecuteCommand(0x28, kPw);
        rig.fault(emu::Fault::Silence);
        const CommandResult *r = rig.link.ExecuteCommand(0x21, kPw);
        QCOMPARE(r->flags, 0u);
        QCOMPARE(r->fieldCount, 2);
        QCOMPARE(rig.registrar.journal().size(), 2);
    }

    void wrongCheckIsRepeatedThenFlagged()
    {
        // A corrupted reply says nothing sure about the command: it is asked again with
        // the same SEQ (the registrar answers from its cache), and flagged when it stays
        // corrupted.
        Rig rig;
        rig.fault(emu::Fault::BadCheck);
        const CommandResult *r = rig.link.ExecuteCommand(0x28, kPw);
        QCOMPARE(rig.wire->framesSent.size(), 2);
        QCOMPARE(r->flags, 0u);
        QCOMPARE(r->fieldCount, 7);
        QCOMPARE(rig.registrar.journal().size(), 1);
        QCOMPARE(rig.registrar.repeatsAnswered(), 1);

        rig.link.SetReplyCount(0);
        rig.fault(emu::Fault::BadCheck);
        r = rig.link.ExecuteCommand(0x28, kPw);
        QCOMPARE(rig.wire->framesSent.size(), 3);
        QCOMPARE(r->flags, CommandResult::kChecksumBit);
        QCOMPARE(r->checksumError, quint8(1));
    }

    void malformedRepliesAreRepeated_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<qint64>("gap");
        // Noise without a frame runs into the silence limit first; NAK and ETX end the wait.
        QTest::newRow("garbage") << int(emu::Fault::Garbage) << qint64(5000 + 2000);
        QTest::newRow("cut short") << int(emu::Fault::CutShort) << qint64(2000);
        QTest::newRow("nak") << int(emu::Fault::Nak) << qint64(2000);
    }
    void malformedRepliesAreRepeated()
    {
        QFETCH(int, kind);
        QFETCH(qint64, gap);
        Rig rig;
        rig.link.ExecuteCommand(0x21, kPw);
        rig.fault(emu::Fault::Kind(kind));
        const CommandResult *r = rig.link.ExecuteCommand(0x28, kPw);
        QCOMPARE(r->flags, 0u);
        QCOMPARE(r->fieldCount, 7);
        QCOMPARE(rig.wire->framesSent.size(), 3);
        QCOMPARE(rig.gaps().last(), gap);
        QCOMPARE(rig.seqOf(1), rig.seqOf(2));
        QCOMPARE(rig.link.RetryCount(), 1);
        QCOMPARE(rig.registrar.journal().size(), 2); // carried out once
    }

    void synKeepsTheWaitAlive()
    {
        Rig rig;
        // SYN every 300 ms for a minute, then the reply.
        rig.fault(emu::Fault::SynBefore, 200, 300);
        const CommandResult *r = rig.link.ExecuteCommand(0x28, kPw);
        QCOMPARE(r->flags, 0u);
        QCOMPARE(r->fieldCount, 7);
        QCOMPARE(rig.wire->framesSent.size(), 1);
        QCOMPARE(rig.clock.nowMs(), qint64(200 * 300));
        QCOMPARE(rig.link.Receiver().synCount(), 200L);
        QVERIFY(!r->reply.contains(char(0x16)));
    }

    void replyInBurstsIsAssembled()
    {
        Rig rig;
        rig.fault(emu::Fault::Bursts, 3, 80);
        const CommandResult *r = rig.link.ExecuteCommand(0x80, kPw);
        QCOMPARE(r->flags, 0u);
        QCOMPARE(r->fieldCount, 11);
        QCOMPARE(rig.wire->framesSent.size(), 1);
        QCOMPARE(rig.clock.nowMs(), qint64(160));
    }

    void portErrorAbandonsPartialFrame()
    {
        Rig rig;
        rig.wire->errorAfterBytes = 10; // the port fails in the middle of the reply's data
        const CommandResult *r = rig.link.ExecuteCommand(0x28, kPw);
        // The rest of the frame arrives without its start; its ETX closes no frame, which
        // must not pass for a good (empty) reply: the exchange runs into silence and is
        // repeated, and the registrar answers the repeat from its cache.
        QCOMPARE(r->flags, 0u);
        QCOMPARE(r->fieldCount, 7);
        QCOMPARE(rig.wire->framesSent.size(), 2);
        QCOMPARE(rig.registrar.journal().size(), 1);
        // The receiver is back in step: the next command is answered normally.
        QCOMPARE(rig.link.ExecuteCommand(0x28, kPw)->fieldCount, 7);
    }

    void secondExchangeWhileWaitingIsRefused()
    {
        Rig rig;
        rig.fault(emu::Fault::SynBefore, 2, 300);
        int exchange = 99, resend = 99;
        CommandResult *repeat = &rig.link.Result();
        rig.wire->onRead = [&] {
            if (exchange != 99)
                return;
            exchange = rig.link.ExchangeFrame(0x21, kPw);
            resend = rig.link.ResendLastCommand(false);
            repeat = rig.link.RepeatPreviousCommand(false);
        };
        const CommandResult *r = rig.link.ExecuteCommand(0x28, kPw);
        QCOMPARE(exchange, -1);
        QCOMPARE(resend, -1);
        QCOMPARE(repeat, nullptr);
        QCOMPARE(rig.wire->framesSent.size(), 1);
        QCOMPARE(r->commandCode, 0x28);
        QCOMPARE(r->fieldCount, 7);
        QVERIFY(rig.link.linkReady());
    }

    void noTransportIsReportedAsFailure()
    {
        VirtualClock clock;
        DeviceLink link(clock);
        QStringList messages;
        link.setMessageHook([&](const QString &m) { messages << m; });
        QCOMPARE(link.ExchangeFrame(0x21, kPw), -1); // not connected: the link is not idle
        const CommandResult *r = link.ExecuteCommand(0x21, kPw);
        QCOMPARE(messages, QStringList{QStringLiteral("Ошибка выбора устройства подключения!")});
        QVERIFY(r->noReply());
        QCOMPARE(r->commandCode, 0x21);
        QCOMPARE(clock.nowMs(), qint64(0));
        QVERIFY(link.linkReady());
    }

    void overlongParametersAreNeverSent()
    {
        Rig rig;
        const QByteArray longest(frame::kMaxParameterLength, '1');
        rig.link.ExecuteCommand(0x21, longest);
        QCOMPARE(rig.wire->framesSent.size(), 1);
        QCOMPARE(quint8(rig.wire->framesSent[0][1]), quint8(0xFF));
        const CommandResult *r = rig.link.ExecuteCommand(0x21, longest + '1');
        QCOMPARE(rig.wire->framesSent.size(), 1);
        QVERIFY(r->noReply());
        QCOMPARE(rig.messages.size(), 1);
    }

    void startupFrameIsAnExchangeOfItsOwn_data()
    {
        QTest::addColumn<int>("fault"); // on the start-up frame's first answer
        QTest::addColumn<int>("sent");  // start-up frames on the wire
        QTest::addColumn<qint64>("elapsedMs");
        QTest::newRow("answered") << int(emu::Fault::None) << 1 << qint64(0);
        QTest::newRow("answer lost") << int(emu::Fault::Silence) << 2 << qint64(5000 + 2000);
        QTest::newRow("refused") << int(emu::Fault::Nak) << 2 << qint64(2000);
        QTest::newRow("answer cut") << int(emu::Fault::CutShort) << 2 << qint64(2000);
    }
    void startupFrameIsAnExchangeOfItsOwn()
    {
        // Awaited and repeated with its SEQ like any command, so the registrar's cached
        // request is the start-up frame, carried out once, and its answer is dropped.
        QFETCH(int, fault);
        QFETCH(int, sent);
        QFETCH(qint64, elapsedMs);
        Rig rig;
        rig.fault(emu::Fault::Kind(fault));
        QCOMPARE(rig.link.SendStartupFrame(), 0);
        QCOMPARE(rig.wire->framesSent.size(), sent);
        for (int i = 0; i < sent; ++i) {
            QCOMPARE(rig.wire->framesSent[i].mid(3, 13), QByteArray("\x88" "482913;20;0;"));
            QCOMPARE(rig.seqOf(i), quint8(0x21));
        }
        QCOMPARE(rig.clock.nowMs(), elapsedMs);
        const CommandResult *r = rig.link.ExecuteCommand(0x28, kPw);
        QCOMPARE(rig.seqOf(sent), quint8(0x22));
        QCOMPARE(r->commandCode, 0x28);
        QCOMPARE(r->fieldCount, 7); // its own reply, not the start-up frame's
        QCOMPARE(rig.registrar.journal().size(), 2); // 0x88 once, then 0x28
        QCOMPARE(rig.registrar.journal().first().code, quint8(0x88));
    }

    void unansweredStartupFrameLeavesTheLinkUsable()
    {
        Rig rig;
        for (int i = 0; i < 2; ++i)
            rig.fault(emu::Fault::Silence);
        QCOMPARE(rig.link.SendStartupFrame(), -1);
        QCOMPARE(rig.wire->framesSent.size(), 2);
        QCOMPARE(rig.link.ExecuteCommand(0x28, kPw)->flags, 0u);
        QCOMPARE(rig.seqOf(2), quint8(0x22));
    }

    void everyConnectionDrawsItsSequenceStart()
    {
        // The start is drawn each time a transport is attached (or a port opened) ...
        QList<quint8> draws{40, 40, 7};
        DeviceLink::setSequenceStart([&draws] { return draws.takeFirst(); });
        Rig rig;
        rig.link.ExecuteCommand(0x21, kPw);
        QCOMPARE(rig.seqOf(0), frame::sequenceByte(41));
        // ... never repeating the link's own last SEQ ...
        auto again = std::make_unique<LoopbackTransport>(rig.registrar, rig.clock);
        LoopbackTransport *second = again.get();
        rig.link.attachTransport(std::move(again));
        rig.link.ExecuteCommand(0x21, kPw);
        QCOMPARE(quint8(second->framesSent.at(0).at(2)), frame::sequenceByte(42));
        QCOMPARE(rig.registrar.journal().size(), 2);
        rig.link.attachTransport(std::make_unique<LoopbackTransport>(rig.registrar, rig.clock));
        QCOMPARE(rig.link.Sequence().value(), quint8(7));
        QVERIFY(draws.isEmpty());

        // ... and by default at random, so processes do not all begin with one SEQ.
        DeviceLink::setSequenceStart({});
        QSet<quint8> firsts;
        for (int i = 0; i < 40; ++i) {
            Rig fresh;
            fresh.link.ExecuteCommand(0x21, kPw);
            const quint8 seq = fresh.seqOf(0);
            QVERIFY(seq >= 0x20 && seq <= 0x7E);
            firsts << seq;
        }
        QVERIFY2(firsts.size() > 1, "forty connections began with one SEQ");
        initTestCase();
    }

    void lateStartupAnswerIsNotTakenForTheNextReply()
    {
        // The start-up frame is answered after its 200 ms pause, inside the next exchange.
        Rig rig;
        rig.fault(emu::Fault::Delayed, 1, 300);
        rig.link.SendStartupFrame();
        const CommandResult *r = rig.link.ExecuteCommand(0x28, kPw);
        QCOMPARE(r->flags, 0u);
        QCOMPARE(quint8(r->reply[3]), quint8(0x28));
        QCOMPARE(r->fieldCount, 7);
        QCOMPARE(r->field(0), QByteArray("9600"));
        QCOMPARE(rig.wire->framesSent.size(), 2);
    }

    void replyDelayedPastTheSilenceLimitIsNotTheNextCommands()
    {
        Rig rig;
        rig.link.SetReplyCount(0);
        // A header line written, its reply 6 s late: a time-out.
        rig.fault(emu::Fault::Delayed, 1, 6000);
        QVERIFY(rig.link.ExecuteCommand(0x22, "482913;1;First;0;")->noReply());
        // The next line is refused with NAK; the late reply that comes meanwhile echoes
        // the same command code, but not this request's SEQ.
        rig.fault(emu::Fault::Nak);
        const CommandResult *r = rig.link.ExecuteCommand(0x22, "482913;2;Second;0;");
        QCOMPARE(r->flags, CommandResult::kNakBit);
        QCOMPARE(rig.registrar.journal().size(), 1);
        // A different command code is dropped the same way, and its own reply is taken.
        rig.fault(emu::Fault::Delayed, 1, 6000);
        rig.link.ExecuteCommand(0x21, kPw);
        r = rig.link.ExecuteCommand(0x28, kPw);
        QCOMPARE(r->flags, 0u);
        QCOMPARE(r->fieldCount, 7);
        QCOMPARE(quint8(r->reply[3]), quint8(0x28));
    }

    void codesOutsideTheCommandRangeNeverGoOut_data()
    {
        QTest::addColumn<int>("code");
        QTest::addColumn<bool>("sent");
        QTest::newRow("00") << 0x00 << false;
        QTest::newRow("01 SOH") << 0x01 << false;
        QTest::newRow("03 ETX") << 0x03 << false;
        QTest::newRow("1F") << 0x1F << false;
        QTest::newRow("100") << 0x100 << false;
        QTest::newRow("negative") << -1 << false;
        QTest::newRow("20") << 0x20 << true;
        QTest::newRow("FF") << 0xFF << true;
    }
    void codesOutsideTheCommandRangeNeverGoOut()
    {
        QFETCH(int, code);
        QFETCH(bool, sent);
        Rig rig;
        const CommandResult *r = rig.link.ExecuteCommand(code, kPw);
        QCOMPARE(rig.wire->framesSent.size(), sent ? 1 : 0);
        if (sent) {
            QVERIFY(rig.messages.isEmpty());
            return;
        }
        QVERIFY(r->noReply());
        QCOMPARE(r->reply, QByteArray());
        QCOMPARE(rig.messages.size(), 1);
        QVERIFY(rig.messages[0].contains(QStringLiteral("20h")) && rig.messages[0].contains(QStringLiteral("FFh")));
        QVERIFY(rig.link.linkReady());
    }

    void noiseEndsTheWaitWithinThirtySeconds()
    {
        // A line that keeps sending bytes that never make a frame.
        Rig rig;
        rig.link.SetReplyCount(0);
        rig.fault(emu::Fault::Stream, 3000, 40); // two minutes of noise
        const CommandResult *r = rig.link.ExecuteCommand(0x21, kPw);
        QVERIFY(r->noReply());
        QCOMPARE(rig.link.lastWaitEnd(), DeviceLink::WaitEnd::NoFrame);
        QVERIFY2(rig.clock.nowMs() <= DeviceLink::kNoFrameLimitMs + 100, qPrintable(QString::number(rig.clock.nowMs())));

        // Noise closed by ETX is no reply either: it is dropped and the wait goes on to
        // the silence limit, then the request is repeated.
        Rig etx;
        etx.fault(emu::Fault::NoiseEtx);
        r = etx.link.ExecuteCommand(0x28, kPw);
        QCOMPARE(r->flags, 0u);
        QCOMPARE(r->fieldCount, 7);
        QCOMPARE(etx.wire->framesSent.size(), 2);
        QCOMPARE(etx.registrar.journal().size(), 1);
    }

    void synKeepsTheWaitAliveUpToItsLimit()
    {
        Rig rig;
        rig.link.SetReplyCount(2);
        rig.fault(emu::Fault::SynBefore, 2400, 300); // twelve minutes of SYN
        const CommandResult *r = rig.link.ExecuteCommand(0x28, kPw);
        QVERIFY(r->noReply());
        QCOMPARE(rig.link.lastWaitEnd(), DeviceLink::WaitEnd::SynLimit);
        QCOMPARE(rig.clock.nowMs(), DeviceLink::kSynLimitMs);
        QCOMPARE(rig.wire->framesSent.size(), 1); // a repeat would only wait as long again

        Rig shorter;
        shorter.link.setSynLimitMs(60000);
        shorter.fault(emu::Fault::SynBefore, 400, 300);
        shorter.link.SetReplyCount(0);
        QVERIFY(shorter.link.ExecuteCommand(0x28, kPw)->noReply());
        QCOMPARE(shorter.clock.nowMs(), qint64(60000));
    }

    void cancelEndsTheWaitAndRefusesWhatFollows()
    {
        Rig rig;
        rig.link.SetReplyCount(3);
        rig.fault(emu::Fault::SynBefore, 2000, 300);
        rig.wire->onRead = [&] {
            if (rig.clock.nowMs() >= 1000)
                rig.link.requestCancel();
        };
        const CommandResult *r = rig.link.ExecuteCommand(0x28, kPw);
        QVERIFY(r->noReply());
        QCOMPARE(rig.link.lastWaitEnd(), DeviceLink::WaitEnd::Cancelled);
        QVERIFY(rig.clock.nowMs() <= 1300);
        QCOMPARE(rig.wire->framesSent.size(), 1);
        rig.wire->onRead = nullptr;
        // Still cancelled: nothing goes out.
        QVERIFY(rig.link.ExecuteCommand(0x21, kPw)->noReply());
        QCOMPARE(rig.wire->framesSent.size(), 1);
        rig.link.clearCancel();
        rig.registrar.clearFaults();
        QCOMPARE(rig.link.ExecuteCommand(0x21, kPw)->flags, 0u);

        // The interrupt hook, looked at in the repeat pause too.
        Rig paused;
        paused.link.SetReplyCount(3);
        paused.fault(emu::Fault::Nak);
        bool stop = false;
        paused.link.setInterruptHook([&] { return stop; });
        paused.wire->onRead = [&] { stop = true; };
        paused.fault(emu::Fault::Nak);
        paused.link.ExecuteCommand(0x28, kPw);
        QCOMPARE(paused.wire->framesSent.size(), 1);
        QCOMPARE(paused.clock.nowMs(), qint64(0));
    }

    void loopbackPurgeKeepsBytesStillToCome()
    {
        // Like a port, the test line drops what has arrived and keeps what is on its way;
        // a late reply in a test then really comes late.
        Rig rig;
        rig.wire->injectLine("old", 0);
        rig.wire->injectLine("new", 500);
        rig.clock.setNow(100);
        rig.wire->purge();
        QCOMPARE(rig.wire->pendingBytes(), 3);
        quint8 b = 0;
        QCOMPARE(rig.wire->readByte(b), Transport::Read::None); // nothing before 500 ms
        rig.clock.setNow(450);
        QCOMPARE(rig.wire->readByte(b), Transport::Read::Byte);
        QCOMPARE(b, quint8('n'));
        QCOMPARE(rig.clock.nowMs(), qint64(500));
    }

    void startupFrameDoesNothingOnUsb()
    {
        Rig rig(Transport::Kind::Usb);
        QCOMPARE(rig.link.SendStartupFrame(), 1);
        QVERIFY(rig.wire->framesSent.isEmpty());
    }

    void repeatPreviousCommandUsesSameSequence()
    {
        Rig rig;
        rig.link.ExecuteCommand(0x20, "482913;010127;1230;");
        const CommandResult *r = rig.link.RepeatPreviousCommand(false);
        QVERIFY(r);
        QCOMPARE(rig.seqOf(0), rig.seqOf(1));
        QCOMPARE(rig.wire->framesSent[0], rig.wire->framesSent[1]);
        QCOMPARE(rig.registrar.journal().size(), 1); // the registrar saw a repeat
        rig.link.RepeatPreviousCommand(true);
        QCOMPARE(rig.seqOf(2), quint8(rig.seqOf(1) + 1));
        QCOMPARE(rig.registrar.journal().size(), 2);
    }

    void nothingIsDoneTwice()
    {
        // Faults on most exchanges; every intended command must be carried out exactly once.
        Rig rig;
        rig.link.setOnVirtualPort(true);
        rig.link.SetReplyCount(25);
        const QList<emu::Fault> kinds = {{emu::Fault::Silence}, {emu::Fault::Nak}, {emu::Fault::Garbage},
                                         {emu::Fault::CutShort}, {emu::Fault::SynBefore, 2, 300},
                                         {emu::Fault::Bursts, 3, 50}};
        rig.registrar.setFaultRate(0.6, kinds, 20261209);
        QList<emu::Executed> intended;
        for (int i = 0; i < 300; ++i) {
            const int code = (i % 3 == 0) ? 0x20 : (i % 3 == 1 ? 0x21 : 0x88);
            QByteArray params;
            if (code == 0x20)
                params = QString::asprintf("482913;%02d0127;%02d%02d;", 1 + i % 28, i % 24, i % 60).toLatin1();
            else if (code == 0x88)
                params = "482913;" + QByteArray::number(i % 7) + ';' + QByteArray::number(i) + ';';
            else
                params = kPw;
            intended.append({quint8(code), params});
            const CommandResult *r = rig.link.ExecuteCommand(code, params);
            QVERIFY2(r->flags == 0, qPrintable(QStringLiteral("command %1 flags %2").arg(i).arg(r->flags, 0, 16)));
            QCOMPARE(r->errorWord, QByteArray("0000"));
        }
        QVERIFY(rig.registrar.framesReceived() > 500); // the faults really made it repeat
        QCOMPARE(rig.registrar.journal(), intended);
    }
};

QTEST_GUILESS_MAIN(TransactionTest)
#include "tst_transaction.moc"
