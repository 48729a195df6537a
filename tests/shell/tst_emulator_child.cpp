// The built-in emulator never outlives the program: not when the program is killed
// outright, and not when it is asked to end by a signal.
#include "shell/emulator_child.h"
#include "shell/quit_signals.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QProcess>
#include <QTest>
#include <QThread>

#include <csignal>
#include <cstdio>
#include <cstring>

namespace {

// The program's stand-in: starts the emulator as the desktop program does, prints its
// process id, and runs until a signal ends it.
int holdEmulator(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    EmulatorChild child;
    child.setProgram(QStringLiteral(EMULATOR_PATH));
    QString error;
    if (child.start(error).isEmpty())
        return 3;
    quitOnSignals([&child] {
        child.stop();
        QCoreApplication::quit();
    });
    std::printf("%lld\n", static_cast<long long>(child.processId()));
    std::fflush(stdout);
    return app.exec();
}

// Gone, or a zombie waiting for whoever adopted it.
bool processEnded(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return true;
    const QByteArray line = stat.readAll();
    const int close = line.lastIndexOf(')');
    return close > 0 && close + 2 < line.size() && (line[close + 2] == 'Z' || line[close + 2] == 'X');
}

bool endsWithin(qint64 pid, int ms)
{
    QDeadlineTimer deadline(ms);
    while (!deadline.hasExpired()) {
        if (processEnded(pid))
            return true;
        QThread::msleep(20);
    }
    return processEnded(pid);
}

} // namespace

class EmulatorChildTest : public QObject {
    Q_OBJECT

    QProcess holder;
    qint64 emulatorPid = 0;

    void startHolder()
    {
        holder.setProgram(QCoreApplication::applicationFilePath());
        holder.setArguments({QStringLiteral("--hold-emulator")});
        // The stand-in's own exit status is what is checked; a sanitizer build's leak report
        // of the stand-in (Qt's one-time allocations of a second process) must not decide it.
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        if (env.contains(QStringLiteral("ASAN_OPTIONS")))
            env.insert(QStringLiteral("ASAN_OPTIONS"), env.value(QStringLiteral("ASAN_OPTIONS")) + QStringLiteral(":detect_leaks=0"));
        holder.setProcessEnvironment(env);
        holder.start();
        QVERIFY(holder.waitForStarted(5000));
        QVERIFY(holder.waitForReadyRead(10000));
        emulatorPid = holder.readLine().trimmed().toLongLong();
        QVERIFY(emulatorPid > 0);
        QVERIFY(!processEnded(emulatorPid));
    }

private slots:
    void killedProgramTakesTheEmulatorWithIt()
    {
        startHolder();
        ::kill(pid_t(holder.processId()), SIGKILL);
        QVERIFY(holder.waitForFinished(5000));
        QVERIFY2(endsWithin(emulatorPid, 5000), "the emulator outlived its killed parent");
    }

    void quitSignalsEndTheEmulatorFirst_data()
    {
        QTest::addColumn<int>("signal");
        QTest::newRow("SIGTERM") << int(SIGTERM);
        QTest::newRow("SIGINT") << int(SIGINT);
        QTest::newRow("SIGHUP") << int(SIGHUP);
    }
    void quitSignalsEndTheEmulatorFirst()
    {
        QFETCH(int, signal);
        startHolder();
        ::kill(pid_t(holder.processId()), signal);
        QVERIFY(holder.waitForFinished(5000));
        // An orderly end: the handler ran, the program was not killed by the signal.
        QCOMPARE(holder.exitStatus(), QProcess::NormalExit);
        QVERIFY2(holder.exitCode() == 0, holder.readAllStandardError().constData());
        QVERIFY(endsWithin(emulatorPid, 5000));
    }
};

int main(int argc, char **argv)
{
    if (argc > 1 && std::strcmp(argv[1], "--hold-emulator") == 0)
        return holdEmulator(argc, argv);
    QCoreApplication app(argc, argv);
    EmulatorChildTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_emulator_child.moc"
