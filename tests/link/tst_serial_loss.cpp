// A registrar that goes away mid-connection: its line hangs up. The link notices it,
// stops waiting and repeating at once, and says so, also between exchanges.
#include "link/device_link.h"
#include "support/emulator_process.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTest>

class SerialLossTest : public QObject {
    Q_OBJECT

private slots:
    void hungUpLineEndsTheExchangeAtOnce()
    {
        EmulatorProcess emulator;
        QVERIFY(!emulator.path().isEmpty());
        DeviceLink link;
        link.SetReplyCount(3);
        QStringList lost;
        link.setConnectionLostHook([&](const QString &why) { lost << why; });
        QVERIFY(link.OpenSerial(emulator.path(), 115200));
        QVERIFY(!link.ExecuteCommand(0x21, "482913;")->noReply());
        QVERIFY(lost.isEmpty());

        emulator.stop();
        QElapsedTimer t;
        t.start();
        const CommandResult *r = link.ExecuteCommand(0x21, "482913;");
        // Without the loss noticed: 5 s of silence and three repeats 2 s apart, 20 s or more.
        QVERIFY2(t.elapsed() < 10000, qPrintable(QString::number(t.elapsed())));
        QVERIFY(r->noReply());
        QCOMPARE(link.lastWaitEnd(), DeviceLink::WaitEnd::Lost);
        QCOMPARE(lost.size(), 1);
        QVERIFY(link.activeTransport()->lost());
    }

    void lossBetweenExchangesIsReported()
    {
        EmulatorProcess emulator;
        QVERIFY(!emulator.path().isEmpty());
        DeviceLink link;
        QStringList lost;
        link.setConnectionLostHook([&](const QString &why) { lost << why; });
        QVERIFY(link.OpenSerial(emulator.path(), 115200));
        emulator.stop();
        // The port reports the hang-up through the event loop, with no command sent.
        QTRY_COMPARE_WITH_TIMEOUT(lost.size(), 1, 5000);
    }
};

QTEST_GUILESS_MAIN(SerialLossTest)
#include "tst_serial_loss.moc"
