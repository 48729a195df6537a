// dizivu-cli as a user runs it: a child process on a real pseudo-terminal. What it
// refuses before opening the port, the start-up frame that opens every connection, the
// exchange log's path, and Ctrl-C in the middle of an exchange.
#include "emulator/pty_server.h"
#include "emulator/registrar.h"
#include "cli/send_command.h"
#include "link/device_link.h"
#include "support/cli_run.h"
#include "support/emulator_process.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <atomic>
#include <csignal>
#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

namespace {

const QString kNoPort = QStringLiteral("/nonexistent/tty");
const QString kPortMessage = QStringLiteral("Невозможно подключить порт");

// A line with nobody on it but the test: what the program writes can be read, and
// anything (noise) can be written back.
class BareLine {
public:
    BareLine()
    {
        m_master = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
        if (m_master < 0 || ::grantpt(m_master) != 0 || ::unlockpt(m_master) != 0)
            return;
        m_path = QString::fromLocal8Bit(::ptsname(m_master));
        // Kept open so the master never sees a hang-up between the program's opens.
        m_slave = ::open(::ptsname(m_master), O_RDWR | O_NOCTTY);
        termios t{};
        if (m_slave >= 0 && ::tcgetattr(m_slave, &t) == 0) {
            ::cfmakeraw(&t);
            ::tcsetattr(m_slave, TCSANOW, &t);
        }
    }
    ~BareLine()
    {
        if (m_slave >= 0)
            ::close(m_slave);
        if (m_master >= 0)
            ::close(m_master);
    }
    QString path() const { return m_path; }
    // Everything the program has written so far.
    QByteArray received()
    {
        char buffer[512];
        ssize_t n;
        while ((n = ::read(m_master, buffer, sizeof buffer)) > 0)
            m_received.append(buffer, n);
        return m_received;
    }
    void send(const QByteArray &bytes) { [[maybe_unused]] ssize_t n = ::write(m_master, bytes.constData(), size_t(bytes.size())); }

private:
    int m_master = -1;
    int m_slave = -1;
    QString m_path;
    QByteArray m_received;
};

// The emulator on a pseudo-terminal served from a thread of this process, so the test
// can read its paper tape and journal once it is stopped.
class InProcessRegistrar {
public:
    // `faults` in the syntax of registrar-emulator's --fault, in order.
    explicit InProcessRegistrar(const QStringList &faults = {}) : m_server(m_registrar)
    {
        for (const QString &f : faults)
            m_registrar.injectFault(emu::Fault::parse(f));
        if (m_server.open())
            m_thread = std::thread([this] { m_server.run(m_stop); });
    }
    ~InProcessRegistrar() { stop(); }
    QString path() const { return m_server.slavePath(); }
    // Stops serving; after this the registrar's state may be read.
    const emu::Registrar &stop()
    {
        m_stop.store(true);
        if (m_thread.joinable())
            m_thread.join();
        return m_registrar;
    }

private:
    emu::Registrar m_registrar;
    emu::PtyServer m_server;
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};

int count(const QList<emu::Executed> &journal, int code)
{
    return int(std::count_if(journal.begin(), journal.end(), [code](const emu::Executed &e) { return e.code == code; }));
}

} // namespace

class DizivuCliTest : public QObject {
    Q_OBJECT

private slots:
    void refusedBeforeThePortIsOpened_data()
    {
        QTest::addColumn<QStringList>("send");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("message");
        auto row = [](const char *tag, const QStringList &send, int exitCode, const QString &message) {
            QTest::newRow(tag) << send << exitCode << message;
        };
        const QString range = QStringLiteral("20..FF");
        const QString refused = QStringLiteral("input refused before anything was sent");
        // SOH and ETX are the frame's own bytes; they never go in the command position.
        row("code 01", {QStringLiteral("01"), QStringLiteral("482913;")}, 4, range);
        row("code 03 alone", {QStringLiteral("03")}, 4, range);
        row("code 1F", {QStringLiteral("1F")}, 4, range);
        row("code 100", {QStringLiteral("100")}, 4, range);
        row("second code 00", {QStringLiteral("21"), QStringLiteral("482913;"), QStringLiteral("00")}, 4, range);
        row("not hexadecimal", {QStringLiteral("2G")}, 4, range);
        row("220 bytes", {QStringLiteral("21"), QStringLiteral("482913;") + QString(213, 'x')}, 4,
            QStringLiteral("at most 219"));
        row("220 bytes in 1251", {QStringLiteral("21"), QStringLiteral("482913;") + QString(213, u'ж')}, 4,
            QStringLiteral("at most 219"));
        row("ETX in the parameters", {QStringLiteral("61"), QStringLiteral("482913;a\x03;")}, 5, refused);
        row("line break in the parameters", {QStringLiteral("61"), QStringLiteral("482913;a\nb;")}, 5, refused);
        row("not in 1251", {QStringLiteral("61"), QStringLiteral("482913;合计;")}, 5, refused);
        // What passes goes on to the port, which is missing here.
        row("219 bytes", {QStringLiteral("21"), QStringLiteral("482913;") + QString(212, 'x')}, 4, kPortMessage);
        row("code FF, separators", {QStringLiteral("FF"), QStringLiteral("482913;a;b;;")}, 4, kPortMessage);
    }
    void refusedBeforeThePortIsOpened()
    {
        QFETCH(QStringList, send);
        QFETCH(int, exitCode);
        QFETCH(QString, message);
        const CliRun r = runCli(QStringList{QStringLiteral("--port"), kNoPort, QStringLiteral("send")} + send);
        QCOMPARE(r.exitCode, exitCode);
        QVERIFY2(r.err.contains(message), qPrintable(r.err));
        if (message != kPortMessage)
            QVERIFY2(!r.err.contains(kPortMessage), qPrintable(r.err));
    }

    void decodeTakesOneWord_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("out");
        QTest::newRow("empty") << QStringList{QString()} << 4 << QString();
        QTest::newRow("not hexadecimal") << QStringList{QStringLiteral("ZZZZ")} << 4 << QString();
        QTest::newRow("five digits") << QStringList{QStringLiteral("0F030")} << 4 << QString();
        QTest::newRow("two words") << QStringList{QStringLiteral("0000"), QStringLiteral("0000")} << 4 << QString();
        QTest::newRow("lower case") << QStringList{QStringLiteral("0f03")} << 1
                                    << QStringLiteral("Неправильный формат поля номер 15!\n");
        QTest::newRow("success") << QStringList{QStringLiteral("0000")} << 0 << QString();
    }
    void decodeTakesOneWord()
    {
        QFETCH(QStringList, args);
        QFETCH(int, exitCode);
        QFETCH(QString, out);
        const CliRun r = runCli(QStringList{QStringLiteral("decode")} + args);
        QCOMPARE(r.exitCode, exitCode);
        QCOMPARE(r.out, out);
        if (exitCode == 4)
            QVERIFY2(r.err.contains(QStringLiteral("four hexadecimal digits")) && r.err.contains(QStringLiteral("usage:")),
                     qPrintable(r.err));
    }

    void runTakesOnlyRegularFiles_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::newRow("endless device") << QStringLiteral("/dev/zero");
        QTest::newRow("folder") << QStringLiteral("folder");
        QTest::newRow("named pipe") << QStringLiteral("fifo");
    }
    void runTakesOnlyRegularFiles()
    {
        QFETCH(QString, kind);
        QTemporaryDir dir;
        QString script = kind;
        if (kind == QLatin1String("folder")) {
            script = dir.path();
        } else if (kind == QLatin1String("fifo")) {
            script = dir.filePath(QStringLiteral("script.txt"));
            QCOMPARE(::mkfifo(QFile::encodeName(script).constData(), 0644), 0);
        }
        // A real registrar behind the port, so nothing but the script stands in the way.
        // A pipe without a writer that were opened would hold the program until runCli
        // gives up on it (exit status -1).
        EmulatorProcess emu;
        const CliRun r = runCli({QStringLiteral("--port"), emu.path(), QStringLiteral("run"), script});
        QCOMPARE(r.exitCode, 4);
        QVERIFY2(r.err.contains(QStringLiteral("is not a regular file")), qPrintable(r.err));
    }

    void everyProcessStartsWithTheStartupFrame()
    {
        // Each process counts its sequence from the same start. Without the start-up
        // frame first, a command identical to the previous process's first one is taken
        // for a repeat and answered from the registrar's cache without being done.
        InProcessRegistrar registrar;
        QVERIFY(!registrar.path().isEmpty());
        const QStringList port{QStringLiteral("--port"), registrar.path()};
        QCOMPARE(runCli(port + QStringList{QStringLiteral("send"), QStringLiteral("60"), QStringLiteral("482913;")}).exitCode, 0);
        for (int i = 0; i < 3; ++i) {
            const CliRun r = runCli(port + QStringList{QStringLiteral("send"), QStringLiteral("61"), QStringLiteral("482913;Total;")});
            QCOMPARE(r.exitCode, 0);
        }
        // --startup is still taken; it is the default.
        QCOMPARE(runCli(port + QStringList{QStringLiteral("--startup"), QStringLiteral("send"), QStringLiteral("61"),
                                           QStringLiteral("482913;Total;")}).exitCode, 0);
        const emu::Registrar &done = registrar.stop();
        QCOMPARE(done.paperTape(), QList<QByteArray>(4, QByteArray("Total")));
        QCOMPARE(count(done.journal(), 0x88), 5);
    }

    void aNewConnectionIsNeverTakenForTheLastOnesRepeat_data()
    {
        // Two runs of one verb, in this process so that the test fixes where each
        // connection's SEQ starts (the default start is random; see the link's tests).
        QTest::addColumn<QList<quint8>>("starts"); // drawn by the first and the second run
        QTest::addColumn<QStringList>("faults");
        QTest::addColumn<QStringList>("verb");
        QTest::addColumn<int>("code");
        QTest::addColumn<int>("carriedOut"); // of the two runs' `code`
        const QStringList cashIn{QStringLiteral("--no-startup"), QStringLiteral("send"), QStringLiteral("6E"),
                                 QStringLiteral("482913;1;100.00;")};
        const QStringList reportZ{QStringLiteral("report"), QStringLiteral("z"), QStringLiteral("--yes")};
        QTest::newRow("no start-up frame, starts differ") << QList<quint8>{10, 50} << QStringList() << cashIn << 0x6E << 2;
        // What --no-startup still risks, once in 95 connections.
        QTest::newRow("no start-up frame, same start") << QList<quint8>{10, 10} << QStringList() << cashIn << 0x6E << 1;
        QTest::newRow("start-up frame, same start") << QList<quint8>{10, 10} << QStringList() << reportZ << 0xA1 << 2;
        QTest::newRow("start-up answer lost") << QList<quint8>{10, 10}
                                              << QStringList{QStringLiteral("88@none"), QStringLiteral("88@silence")}
                                              << reportZ << 0xA1 << 2;
        QTest::newRow("start-up frame refused") << QList<quint8>{10, 10}
                                                << QStringList{QStringLiteral("88@none"), QStringLiteral("88@nak")}
                                                << reportZ << 0xA1 << 2;
    }
    void aNewConnectionIsNeverTakenForTheLastOnesRepeat()
    {
        QFETCH(QList<quint8>, starts);
        QFETCH(QStringList, faults);
        QFETCH(QStringList, verb);
        QFETCH(int, code);
        QFETCH(int, carriedOut);
        InProcessRegistrar registrar(faults);
        QVERIFY(!registrar.path().isEmpty());
        DeviceLink::setSequenceStart([&starts] { return starts.takeFirst(); });
        for (int i = 0; i < 2; ++i) {
            FILE *out = std::tmpfile();
            FILE *err = std::tmpfile();
            const int status = cli::run(QStringList{QStringLiteral("--port"), registrar.path()} + verb, out, err);
            std::fclose(out);
            std::fclose(err);
            QCOMPARE(status, 0); // the second run says success in every case
        }
        DeviceLink::setSequenceStart({});
        QVERIFY(starts.isEmpty());
        const emu::Registrar &done = registrar.stop();
        QCOMPARE(count(done.journal(), code), carriedOut);
        if (code == 0x6E)
            QCOMPARE(done.state().cashInDrawerCents, 100 * 100 * carriedOut);
    }

    void noStartupSendsTheBareFrame()
    {
        InProcessRegistrar registrar;
        QVERIFY(!registrar.path().isEmpty());
        const CliRun r = runCli({QStringLiteral("--port"), registrar.path(), QStringLiteral("--no-startup"),
                                 QStringLiteral("send"), QStringLiteral("21"), QStringLiteral("482913;")});
        QCOMPARE(r.exitCode, 0);
        const emu::Registrar &done = registrar.stop();
        QCOMPARE(done.framesReceived(), 1);
        QCOMPARE(count(done.journal(), 0x88), 0);
    }

    void logTakesAbsoluteAndRelativeNames()
    {
        EmulatorProcess emu;
        QTemporaryDir logs, work;
        const QString absolute = logs.filePath(QStringLiteral("abs.log"));
        CliRun r = runCli({QStringLiteral("--port"), emu.path(), QStringLiteral("--log"), absolute, QStringLiteral("send"),
                           QStringLiteral("21"), QStringLiteral("482913;")},
                          work.path());
        QCOMPARE(r.exitCode, 0);
        QFile log(absolute);
        QVERIFY(log.open(QIODevice::ReadOnly));
        QVERIFY(log.readAll().contains("21482913;"));
        QCOMPARE(QDir(work.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList());

        r = runCli({QStringLiteral("--port"), emu.path(), QStringLiteral("--log"), QStringLiteral("rel.log"),
                    QStringLiteral("send"), QStringLiteral("21"), QStringLiteral("482913;")},
                   work.path());
        QCOMPARE(r.exitCode, 0);
        QVERIFY(QFileInfo(work.filePath(QStringLiteral("rel.log"))).size() > 0);
    }

    void interruptEndsAtOnce_data()
    {
        QTest::addColumn<QString>("verb");
        QTest::addColumn<bool>("noise");
        QTest::addColumn<int>("signal");
        QTest::newRow("send, silent line") << QStringLiteral("send") << false << int(SIGINT);
        QTest::newRow("send, noisy line") << QStringLiteral("send") << true << int(SIGINT);
        QTest::newRow("run, silent line") << QStringLiteral("run") << false << int(SIGINT);
        QTest::newRow("run, noisy line") << QStringLiteral("run") << true << int(SIGINT);
        QTest::newRow("send, terminated") << QStringLiteral("send") << false << int(SIGTERM);
    }
    void interruptEndsAtOnce()
    {
        QFETCH(QString, verb);
        QFETCH(bool, noise);
        QFETCH(int, signal);
        BareLine line;
        QVERIFY(!line.path().isEmpty());
        QTemporaryDir dir;
        const QString script = dir.filePath(QStringLiteral("s.txt"));
        {
            QFile f(script);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("21482913;\n21482913;\n");
        }
        QProcess p;
        p.setWorkingDirectory(dir.path());
        // Without the start-up frame, which would wait out its own silence first.
        QStringList args{QStringLiteral("--port"), line.path(), QStringLiteral("--no-startup"), verb};
        args += verb == QLatin1String("send") ? QStringList{QStringLiteral("21"), QStringLiteral("482913;")}
                                              : QStringList{script};
        p.start(QStringLiteral(CLI_PATH), args);
        QVERIFY(p.waitForStarted());

        // Inside the exchange: command 21 is out, the program waits for a reply that does
        // not come (or is only noise).
        QElapsedTimer t;
        t.start();
        while (!line.received().contains("!482913;") && t.elapsed() < 10000)
            QTest::qWait(10);
        QVERIFY(line.received().contains("!482913;"));
        if (noise)
            line.send("noise \x16 noise ");
        QCOMPARE(p.state(), QProcess::Running);

        t.restart();
        ::kill(pid_t(p.processId()), signal);
        while (!p.waitForFinished(10)) {
            if (noise)
                line.send("noise \x16 noise ");
            if (t.elapsed() > 20000)
                break;
        }
        const qint64 ms = t.elapsed();
        QCOMPARE(p.state(), QProcess::NotRunning);
        QCOMPARE(p.exitStatus(), QProcess::NormalExit);
        QCOMPARE(p.exitCode(), 130);
        // Without the interrupt the exchange would wait out its 5 s of silence (forever
        // on the noisy line): ending well before that is ending at once.
        QVERIFY2(ms < 4000, qPrintable(QString::number(ms)));
        qInfo("ended %lld ms after the signal", ms);
    }
};

QTEST_GUILESS_MAIN(DizivuCliTest)
#include "tst_dizivu_cli.moc"
