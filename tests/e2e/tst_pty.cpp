// End to end over a real pseudo-terminal: registrar-emulator in its own process,
// SerialTransport and dizivu-cli on the other side.
#include "commands/error_decoding.h"
#include "link/device_link.h"
#include "link/frame.h"
#include "link/serial_transport.h"
#include "support/cli_run.h"
#include "support/emulator_process.h"
#include "support/pty_clock.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QSerialPort>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <atomic>
#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace {

// Waits until `bytes` bytes lie in the input queue of the terminal `fd` belongs to.
bool waitUntilQueued(int fd, int bytes)
{
    QElapsedTimer t;
    t.start();
    int queued = 0;
    while (t.elapsed() < 10000) {
        if (::ioctl(fd, FIONREAD, &queued) == 0 && queued >= bytes)
            return true;
        QThread::msleep(2);
    }
    return false;
}

// A bare pseudo-terminal: the test plays the registrar on the master side.
struct RawPty {
    int master = -1;
    int slaveProbe = -1; // a second opening of the slave, to look at its input queue
    QString slavePath;
    bool open()
    {
        master = ::posix_openpt(O_RDWR | O_NOCTTY);
        if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0)
            return false;
        slavePath = QString::fromLocal8Bit(::ptsname(master));
        slaveProbe = ::open(::ptsname(master), O_RDWR | O_NOCTTY | O_NONBLOCK);
        return slaveProbe >= 0;
    }
    ~RawPty()
    {
        if (slaveProbe >= 0)
            ::close(slaveProbe);
        if (master >= 0)
            ::close(master);
    }
    void write(const QByteArray &bytes) { QCOMPARE(::write(master, bytes.constData(), size_t(bytes.size())), ssize_t(bytes.size())); }
    bool waitUntilQueued(int bytes) const { return ::waitUntilQueued(slaveProbe, bytes); }
    QByteArray readFromProgram(int bytes) const
    {
        QByteArray got;
        QElapsedTimer t;
        t.start();
        while (got.size() < bytes && t.elapsed() < 10000) {
            pollfd p{master, POLLIN, 0};
            if (::poll(&p, 1, 100) > 0) {
                char buffer[256];
                const ssize_t n = ::read(master, buffer, sizeof buffer);
                if (n > 0)
                    got.append(buffer, n);
            }
        }
        return got;
    }
};

} // namespace

class PtyTest : public QObject {
    Q_OBJECT
    PtyClock clock; // repeat pauses in virtual time; the start-up pause really passes
private slots:
    void devicePaths()
    {
        QCOMPARE(SerialTransport::devicePath(QStringLiteral("ttyACM0")), QStringLiteral("/dev/ttyACM0"));
        QCOMPARE(SerialTransport::devicePath(QStringLiteral("COM12")), QStringLiteral("/dev/COM12"));
        QCOMPARE(SerialTransport::devicePath(QStringLiteral("/dev/pts/3")), QStringLiteral("/dev/pts/3"));
    }

    void identificationOverSerial()
    {
        EmulatorProcess emu({QStringLiteral("--model"), QStringLiteral("Korvan KM-1"), QStringLiteral("--tax-groups"), QStringLiteral("3")});
        QVERIFY(!emu.path().isEmpty());
        DeviceLink link;
        QVERIFY(link.OpenSerial(emu.path(), 115200));
        link.Sequence().start(0);
        QCOMPARE(link.SendStartupFrame(), 0);
        const CommandResult *r = link.ExecuteCommand(0x28, "482913;");
        QCOMPARE(r->flags, 0u);
        QCOMPARE(r->fieldCount, 7);
        QCOMPARE(quint8(r->request[2]), quint8(0x22)); // the start-up frame took 0x21
        r = link.ExecuteCommand(0x80, "482913;");
        QCOMPARE(r->flags, 0u);
        QCOMPARE(r->field(0), QByteArray("Korvan KM-1"));
        QCOMPARE(r->field(9), QByteArray("3"));
        QVERIFY(link.CloseSerial());
        QVERIFY(!link.serialOpen());
    }

    void replyAssembledAcrossPause()
    {
        EmulatorProcess emu({QStringLiteral("--fault"), QStringLiteral("bursts:2:80"),
                             QStringLiteral("--fault"), QStringLiteral("syn:3:150")});
        DeviceLink link;
        link.SetReplyCount(0); // a repeat would hide a reply that was not assembled
        QVERIFY(link.OpenSerial(emu.path(), 9600));
        const CommandResult *r = link.ExecuteCommand(0x80, "482913;");
        QCOMPARE(r->flags, 0u);
        QCOMPARE(r->fieldCount, 11);
        r = link.ExecuteCommand(0x28, "482913;");
        QCOMPARE(r->flags, 0u);
        QCOMPARE(link.Receiver().synCount(), 3L);
    }

    void bytesBetweenCommandsArePurged()
    {
        // Bytes that came after an exchange ended (a stale copy of a reply) lie in the
        // line's input queue; sending the next frame throws them away, so the first byte
        // read is the new reply's.
        RawPty pty;
        QVERIFY(pty.open());
        SerialTransport line;
        QVERIFY(line.open(pty.slavePath, 9600));
        pty.write("STALE");
        QVERIFY(pty.waitUntilQueued(5));

        const QByteArray request = frame::buildRequest(0x21, 0x21, "482913;");
        QVERIFY(line.sendFrame(request));
        QCOMPARE(pty.readFromProgram(request.size()), request);
        pty.write("REPLY");
        QByteArray got;
        quint8 byte = 0;
        for (int i = 0; i < 50 && got.size() < 5; ++i)
            if (line.readByte(byte) == Transport::Read::Byte)
                got.append(char(byte));
        QCOMPARE(got, QByteArray("REPLY"));
    }

    void onlyAn8N1LineIsAnswered_data()
    {
        QTest::addColumn<int>("dataBits");
        QTest::addColumn<int>("parity");
        QTest::addColumn<int>("stopBits");
        QTest::newRow("8N1") << int(QSerialPort::Data8) << int(QSerialPort::NoParity) << int(QSerialPort::OneStop);
        QTest::newRow("8N2") << int(QSerialPort::Data8) << int(QSerialPort::NoParity) << int(QSerialPort::TwoStop);
        QTest::newRow("8E1") << int(QSerialPort::Data8) << int(QSerialPort::EvenParity) << int(QSerialPort::OneStop);
        QTest::newRow("7N1") << int(QSerialPort::Data7) << int(QSerialPort::NoParity) << int(QSerialPort::OneStop);
    }
    void onlyAn8N1LineIsAnswered()
    {
        // A registrar does not understand a frame sent with other line settings.
        QFETCH(int, dataBits);
        QFETCH(int, parity);
        QFETCH(int, stopBits);
        EmulatorProcess emu;
        QSerialPort port(emu.path());
        QVERIFY(port.open(QIODevice::ReadWrite));
        QVERIFY(port.setBaudRate(9600));
        // Linux pseudo-terminals keep only the stop bits as set: a parity or data bits they
        // cannot keep are refused here already (so a transport asking for them fails to open).
        if (!port.setDataBits(QSerialPort::DataBits(dataBits)) || !port.setParity(QSerialPort::Parity(parity))
            || !port.setStopBits(QSerialPort::StopBits(stopBits)))
            QSKIP("this system's pseudo-terminals do not take that setting");
        const bool is8N1 = dataBits == 8 && parity == QSerialPort::NoParity && stopBits == QSerialPort::OneStop;

        const QByteArray request = frame::buildRequest(0x21, 0x21, "482913;");
        auto answered = [&port](int waitMs) {
            QByteArray got;
            QElapsedTimer t;
            t.start();
            while (!got.endsWith('\x03') && t.elapsed() < waitMs)
                if (port.waitForReadyRead(50) || port.bytesAvailable() > 0)
                    got += port.readAll();
            return got;
        };
        port.write(request);
        QVERIFY(port.waitForBytesWritten(1000));
        if (is8N1) {
            QVERIFY(answered(20000).endsWith('\x03'));
            return;
        }
        // Nothing within a second; then, on a line set right, the same frame is answered.
        QCOMPARE(answered(1000), QByteArray());
        QVERIFY(port.setDataBits(QSerialPort::Data8) && port.setParity(QSerialPort::NoParity)
                && port.setStopBits(QSerialPort::OneStop));
        port.write(request);
        QVERIFY(port.waitForBytesWritten(1000));
        QVERIFY(answered(20000).endsWith('\x03'));
    }

    void staleReplyCopyIsNotTakenForTheNextReply()
    {
        // The first reply comes twice, the copy 50 ms later, after the exchange has ended.
        EmulatorProcess emu({QStringLiteral("--fault"), QStringLiteral("late:1:50")});
        // A second opening of the line, to see its input queue; made first, as the link
        // takes the line for itself (only root opens it again after that).
        const int fd = ::open(QFile::encodeName(emu.path()).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        QVERIFY(fd >= 0);
        DeviceLink link;
        link.SetReplyCount(0);
        QVERIFY(link.OpenSerial(emu.path(), 9600));
        const CommandResult *first = link.ExecuteCommand(0x21, "482913;");
        QCOMPARE(first->fieldCount, 2);
        const QByteArray copy = first->reply;
        // The copy is in the line's input queue before the next command goes out.
        const bool queued = waitUntilQueued(fd, int(copy.size()));
        ::close(fd);
        QVERIFY(queued);
        const CommandResult *r = link.ExecuteCommand(0x28, "482913;");
        QCOMPARE(r->flags, 0u);
        QCOMPARE(quint8(r->reply[3]), quint8(0x28));
        QCOMPARE(r->fieldCount, 7);
    }

    void silentRegistrarGivesUpAfterFiftyReads()
    {
        EmulatorProcess emu({QStringLiteral("--fault"), QStringLiteral("silence")});
        DeviceLink link;
        link.SetReplyCount(0);
        QVERIFY(link.OpenSerial(emu.path(), 9600));
        QElapsedTimer t;
        t.start();
        const CommandResult *r = link.ExecuteCommand(0x21, "482913;");
        const qint64 ms = t.elapsed();
        QVERIFY(r->noReply());
        // Fifty reads of 100 ms at least; the upper bound only catches a wait without end.
        QVERIFY2(ms >= 4900 && ms < 30000, qPrintable(QString::number(ms)));
    }

    void lateStartupAnswerIsDropped()
    {
        // The registrar answers the start-up frame after the 200 ms pause: that answer
        // arrives inside the next exchange and must not pass for its reply.
        EmulatorProcess emu({QStringLiteral("--fault"), QStringLiteral("88@delay:1:400")});
        DeviceLink link;
        link.SetReplyCount(0);
        QVERIFY(link.OpenSerial(emu.path(), 9600));
        QCOMPARE(link.SendStartupFrame(), 0);
        const CommandResult *r = link.ExecuteCommand(0x28, "482913;");
        QCOMPARE(r->flags, 0u);
        QCOMPARE(quint8(r->reply[3]), quint8(0x28));
        QCOMPARE(r->fieldCount, 7);
    }

    void silentExchangeIsRepeatedAndDoneOnce()
    {
        QTemporaryDir dir;
        const QString journal = dir.filePath(QStringLiteral("journal"));
        EmulatorProcess emu({QStringLiteral("--journal"), journal, QStringLiteral("--fault"), QStringLiteral("none"),
                             QStringLiteral("--fault"), QStringLiteral("silence")});
        DeviceLink link(clock);
        QVERIFY(link.OpenSerial(emu.path(), 115200));
        QCOMPARE(link.ExecuteCommand(0x60, "482913;")->flags & ~0xFFFFFFu, 0u);
        const CommandResult *r = link.ExecuteCommand(0x61, "482913;Once;");
        QString message;
        QVERIFY2(DecodeError(*r, message), qPrintable(message));
        QCOMPARE(link.RetryCount(), 1);
        emu.stop();
        QFile f(journal);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), QByteArray("60\t0000\t") + QByteArray("482913;").toHex() + "\n61\t0000\t"
                                  + QByteArray("482913;Once;").toHex() + "\n");
    }

    void noiseEndsTheWait()
    {
        // 30 s of noise: without the limit the wait would last as long, and its silence after.
        EmulatorProcess emu({QStringLiteral("--fault"), QStringLiteral("stream:1500:20")});
        DeviceLink link;
        link.SetReplyCount(0);
        link.setNoFrameLimitMs(1000);
        QVERIFY(link.OpenSerial(emu.path(), 115200));
        QElapsedTimer t;
        t.start();
        QVERIFY(link.ExecuteCommand(0x21, "482913;")->noReply());
        QCOMPARE(link.lastWaitEnd(), DeviceLink::WaitEnd::NoFrame);
        QVERIFY2(t.elapsed() < 15000, qPrintable(QString::number(t.elapsed())));
    }

    void cancelFromAnotherThreadEndsTheWait()
    {
        // 30 s of SYN after the command is carried out; the other thread cancels once the
        // registrar's journal shows the command, so the cancel comes inside the wait.
        QTemporaryDir dir;
        const QString journal = dir.filePath(QStringLiteral("journal"));
        EmulatorProcess emu({QStringLiteral("--journal"), journal, QStringLiteral("--fault"), QStringLiteral("syn:300:100")});
        DeviceLink link;
        QVERIFY(link.OpenSerial(emu.path(), 115200));
        std::atomic<bool> seen{false};
        QThread *canceller = QThread::create([&] {
            QElapsedTimer waited;
            waited.start();
            while (QFileInfo(journal).size() == 0 && waited.elapsed() < 20000)
                QThread::msleep(5);
            seen = QFileInfo(journal).size() > 0;
            link.requestCancel(); // what a SIGINT handler does
        });
        canceller->start();
        QElapsedTimer t;
        t.start();
        QVERIFY(link.ExecuteCommand(0x21, "482913;")->noReply());
        const qint64 ms = t.elapsed();
        canceller->wait();
        delete canceller;
        QVERIFY(seen);
        QCOMPARE(link.lastWaitEnd(), DeviceLink::WaitEnd::Cancelled);
        QVERIFY2(ms < 15000, qPrintable(QString::number(ms)));
    }

    void startupFrameReachesThePeerWholeAtLowSpeed()
    {
        // The purge after the start-up frame waits for its output to leave first.
        QTemporaryDir dir;
        const QString journal = dir.filePath(QStringLiteral("journal"));
        EmulatorProcess emu({QStringLiteral("--journal"), journal});
        DeviceLink link(clock);
        QVERIFY(link.OpenSerial(emu.path(), 110));
        QCOMPARE(link.SendStartupFrame(), 0);
        QCOMPARE(link.ExecuteCommand(0x21, "482913;")->fieldCount, 2);
        emu.stop();
        QFile f(journal);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QVERIFY(f.readAll().startsWith("88\t0000\t" + QByteArray("482913;20;0;").toHex() + '\n'));
        // The wait is bounded by what the bytes need at that speed.
        QCOMPARE(SerialTransport::drainBudgetMs(22, 110), qint64(500 + 22 * 10 * 1000 * 2 / 110));
    }

    void cliSendPrintsBlocks()
    {
        EmulatorProcess emu;
        const CliRun r = runCli({QStringLiteral("--port"), emu.path(), QStringLiteral("--startup"), QStringLiteral("send"),
                                 QStringLiteral("28"), QStringLiteral("482913;"), QStringLiteral("80"), QStringLiteral("482913;")});
        QCOMPARE(r.exitCode, 0);
        const QStringList blocks = r.out.split(QStringLiteral("\n\n"));
        QCOMPARE(blocks.size(), 2);
        QVERIFY(blocks[0].startsWith(QStringLiteral(
            "code=28\nname=Команда 28h: Получение параметров регистратора\nflags=00000000\nerror=0000\n"
            "status=00 00 00 00 00 00\nfields=7\nfield1=9600\n")));
        QVERIFY(blocks[1].contains(QStringLiteral("\nfield3=ЗН 4100012345\n")));
        QVERIFY(blocks[1].contains(QStringLiteral("\nfield11=0\n")));
    }

    void cliSendsTextInCodePage()
    {
        // Cyrillic typed on the command line travels as Windows-1251, byte for byte, as
        // the registrar's journal keeps it.
        QTemporaryDir dir;
        const QString journal = dir.filePath(QStringLiteral("journal"));
        EmulatorProcess emu({QStringLiteral("--journal"), journal});
        const CliRun r = runCli({QStringLiteral("--port"), emu.path(), QStringLiteral("--no-startup"), QStringLiteral("send"),
                                 QStringLiteral("60"), QStringLiteral("482913;"), QStringLiteral("61"),
                                 QStringLiteral("482913;Привет;"), QStringLiteral("62"), QStringLiteral("482913;")});
        QCOMPARE(r.exitCode, 0);
        emu.stop();
        QFile f(journal);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QList<QByteArray> lines = f.readAll().split('\n');
        QCOMPARE(lines.size(), 4);
        QCOMPARE(lines[1], "61\t0000\t" + QByteArray("482913;\xCF\xF0\xE8\xE2\xE5\xF2;").toHex());
    }

    void cliMessageKeepsLineBreaksEscaped()
    {
        EmulatorProcess emu;
        const CliRun r = runCli({QStringLiteral("--port"), emu.path(), QStringLiteral("--reply"), QStringLiteral("0"),
                                 QStringLiteral("send"), QStringLiteral("20"), QStringLiteral("482913;0101;1230;")});
        QCOMPARE(r.exitCode, 1);
        QVERIFY2(r.out.contains(QStringLiteral("error=0203\nmessage=Неправильный формат поля номер 2!\n")), qPrintable(r.out));
        QVERIFY(!r.out.contains(QStringLiteral("\n\n")));
    }

    void cliDecodeAndCommands()
    {
        CliRun r = runCli({QStringLiteral("decode"), QStringLiteral("0F03")});
        QCOMPARE(r.exitCode, 1);
        QCOMPARE(r.out, QStringLiteral("Неправильный формат поля номер 15!\n"));
        r = runCli({QStringLiteral("decode"), QStringLiteral("0000")});
        QCOMPARE(r.exitCode, 0);
        r = runCli({QStringLiteral("decode")});
        QCOMPARE(r.exitCode, 4);
        r = runCli({QStringLiteral("commands")});
        QCOMPARE(r.exitCode, 0);
        const QStringList lines = r.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        QCOMPARE(lines.first(), QStringLiteral("20\tКоманда 20h: Установка даты и времени\t<DDMMYY>;<HHMM>;"));
        for (const QString &line : lines)
            QCOMPARE(line.count(QLatin1Char('\t')), 2);
    }

    void cliExitCodes_data()
    {
        QTest::addColumn<QStringList>("emulatorArgs");
        QTest::addColumn<QStringList>("send");
        QTest::addColumn<int>("exitCode");
        QTest::newRow("registrar error") << QStringList{} << QStringList{QStringLiteral("99"), QStringLiteral("482913;")} << 1;
        // A corrupted reply is asked again; corrupted twice, it is a failure.
        QTest::newRow("check mismatch") << QStringList{QStringLiteral("--fault"), QStringLiteral("21@badcheck"),
                                                       QStringLiteral("--fault"), QStringLiteral("21@badcheck")}
                                        << QStringList{QStringLiteral("21"), QStringLiteral("482913;")} << 3;
        QTest::newRow("check mismatch once") << QStringList{QStringLiteral("--fault"), QStringLiteral("21@badcheck")}
                                             << QStringList{QStringLiteral("21"), QStringLiteral("482913;")} << 0;
        QTest::newRow("nak beats registrar error")
            << QStringList{QStringLiteral("--fault"), QStringLiteral("99@none"), QStringLiteral("--fault"), QStringLiteral("21@nak"),
                           QStringLiteral("--fault"), QStringLiteral("21@nak")}
            << QStringList{QStringLiteral("99"), QStringLiteral("482913;"), QStringLiteral("21"), QStringLiteral("482913;")} << 3;
    }
    void cliExitCodes()
    {
        QFETCH(QStringList, emulatorArgs);
        QFETCH(QStringList, send);
        QFETCH(int, exitCode);
        EmulatorProcess emu(emulatorArgs);
        const CliRun r = runCli(QStringList{QStringLiteral("--port"), emu.path(), QStringLiteral("send")} + send);
        QCOMPARE(r.exitCode, exitCode);
    }

    void cliUnknownPortAndUsage()
    {
        CliRun r = runCli({QStringLiteral("--port"), QStringLiteral("/nonexistent/tty"), QStringLiteral("send"), QStringLiteral("21")});
        QCOMPARE(r.exitCode, 4);
        QCOMPARE(r.err, QStringLiteral("Невозможно подключить порт\n"));
        r = runCli({QStringLiteral("--port"), QStringLiteral("/tmp/x"), QStringLiteral("send"), QStringLiteral("2G")});
        QCOMPARE(r.exitCode, 4);
        r = runCli({QStringLiteral("send"), QStringLiteral("21")});
        QCOMPARE(r.exitCode, 4);
        r = runCli({QStringLiteral("--reply"), QStringLiteral("x"), QStringLiteral("send"), QStringLiteral("21")});
        QCOMPARE(r.exitCode, 4);
    }

    void emulatorLinkIsCreatedAndRemoved()
    {
        QTemporaryDir dir;
        const QString link = dir.filePath(QStringLiteral("registrar"));
        EmulatorProcess emu({QStringLiteral("--link"), link});
        QVERIFY(QFileInfo(link).isSymLink());
        QCOMPARE(QFileInfo(link).symLinkTarget(), emu.path());
        const CliRun r = runCli({QStringLiteral("--port"), link, QStringLiteral("send"), QStringLiteral("21"), QStringLiteral("482913;")});
        QCOMPARE(r.exitCode, 0);
        emu.stop();
        QVERIFY(!QFileInfo::exists(link) && !QFileInfo(link).isSymLink());
    }
};

QTEST_GUILESS_MAIN(PtyTest)
#include "tst_pty.moc"
