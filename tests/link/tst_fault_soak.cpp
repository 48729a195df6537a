// State-changing commands under random faults, late replies included, against the
// emulator on virtual time: the program's verdict for each command against what the
// registrar really did. Nothing may be done twice, nothing reported done that was not.
#include "commands/error_decoding.h"
#include "emulator/soak_tally.h"
#include "link/device_link.h"
#include "support/loopback_transport.h"

#include <QTest>

namespace {

emu::SoakTally soak(int commands, double rate, quint32 seed, int replyCount, bool virtualPort)
{
    VirtualClock clock;
    emu::Registrar registrar;
    DeviceLink link(clock);
    link.attachTransport(std::make_unique<LoopbackTransport>(registrar, clock));
    link.SetReplyCount(replyCount);
    link.setOnVirtualPort(virtualPort);
    registrar.setFaultRate(rate, emu::soakFaults(), seed);
    link.SendStartupFrame();
    QList<emu::SoakCommand> sent;
    for (int i = 0; i < commands; ++i) {
        emu::SoakCommand c = emu::soakCommand(i);
        QString message;
        c.reportedSuccess = DecodeError(*link.ExecuteCommand(c.code, c.parameters), message);
        sent << c;
        clock.advance(i % 5 == 0 ? 1500 : 20); // the operator's pace between commands
    }
    return emu::tallySoak(sent, registrar.journal());
}

} // namespace

class FaultSoakTest : public QObject {
    Q_OBJECT
private slots:
    void verdictsMatchWhatTheRegistrarDid_data()
    {
        QTest::addColumn<double>("rate");
        QTest::addColumn<int>("seed");
        QTest::addColumn<int>("replyCount");
        QTest::addColumn<bool>("virtualPort");
        QTest::newRow("serial, reply count 1") << 0.4 << 7 << 1 << false;
        QTest::newRow("serial, reply count 3") << 0.4 << 11 << 3 << false;
        QTest::newRow("virtual port, reply count 2") << 0.4 << 13 << 2 << true;
        QTest::newRow("no repeats") << 0.3 << 17 << 0 << false;
    }
    void verdictsMatchWhatTheRegistrarDid()
    {
        QFETCH(double, rate);
        QFETCH(int, seed);
        QFETCH(int, replyCount);
        QFETCH(bool, virtualPort);
        const emu::SoakTally t = soak(300, rate, quint32(seed), replyCount, virtualPort);
        qInfo("%d commands: %d done twice, %d reported success not done, %d done but reported failed, "
              "%d failed and not done", t.commands, t.doneTwice, t.successNotDone, t.doneButFailed, t.failedNotDone);
        QVERIFY2(t.sound(), qPrintable(t.problems.join(QLatin1Char('\n'))));
        // Sound is not enough: a link that sent nothing would be. Most commands get
        // through the faults and are reported done (three in four at least).
        const int succeeded = t.commands - t.doneButFailed - t.failedNotDone - t.successNotDone;
        QVERIFY2(succeeded * 4 >= t.commands * 3, qPrintable(QString::number(succeeded)));
        // With repeats, a command the registrar carried out is hardly ever reported failed.
        if (replyCount >= 3)
            QVERIFY2(t.doneButFailed <= t.commands / 100, qPrintable(QString::number(t.doneButFailed)));
    }
};

QTEST_GUILESS_MAIN(FaultSoakTest)
#include "tst_fault_soak.moc"
