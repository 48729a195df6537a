// dizivu-cli detect end to end: registrar-emulator children on pseudo-terminals.
#include "support/cli_run.h"
#include "support/emulator_process.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QProcess>
#include <QTest>

#include <grp.h>
#include <unistd.h>

class RegistrarSearchCliTest : public QObject {
    Q_OBJECT

private slots:
    void printsTheRegistrarFoundAndTheReasonsForPortsNotOpened()
    {
        EmulatorProcess registrar({QStringLiteral("--line-speed"), QStringLiteral("9600"), QStringLiteral("--model"),
                                   QStringLiteral("Korvan KM-1"), QStringLiteral("--version"), QStringLiteral("5.00")});
        QVERIFY(!registrar.path().isEmpty());
        const QString missing = QStringLiteral("/dev/ttyDIZIVU-none");
        const CliRun r = runCli({QStringLiteral("detect"), QStringLiteral("--ports"), missing + QLatin1Char(',') + registrar.path(),
                                 QStringLiteral("--speeds"), QStringLiteral("115200,9600")});
        QCOMPARE(r.exitCode, 0);
        QCOMPARE(r.out, QStringLiteral("port=%1\nspeed=9600\nmodel=Korvan KM-1\nversion=5.00\nserial=ЗН 4100012345\n")
                            .arg(registrar.path()));
        QVERIFY2(r.err.contains(QStringLiteral("Порт %1 не найден.").arg(missing)), qPrintable(r.err));
    }

    void nothingFoundAndBadArguments_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("error");
        QTest::newRow("wrong speed only") << QStringList{QStringLiteral("--speeds"), QStringLiteral("115200")} << 2
                                          << QStringLiteral("no registrar answered on");
        QTest::newRow("speed not offered") << QStringList{QStringLiteral("--speeds"), QStringLiteral("14400")} << 4
                                           << QStringLiteral("speed '14400' is not one of");
        QTest::newRow("empty item") << QStringList{QStringLiteral("--speeds"), QStringLiteral("9600,,115200")} << 4
                                    << QStringLiteral("without empty items");
        QTest::newRow("unknown argument") << QStringList{QStringLiteral("--fast")} << 4
                                          << QStringLiteral("unexpected argument '--fast'");
    }
    void nothingFoundAndBadArguments()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, exitCode);
        QFETCH(QString, error);
        EmulatorProcess registrar({QStringLiteral("--line-speed"), QStringLiteral("9600")});
        QVERIFY(!registrar.path().isEmpty());
        const CliRun r = runCli(QStringList{QStringLiteral("detect"), QStringLiteral("--ports"), registrar.path()} + arguments);
        QCOMPARE(r.exitCode, exitCode);
        QVERIFY(r.out.isEmpty());
        QVERIFY2(r.err.contains(error), qPrintable(r.err));
    }

    void aUserWithoutAccessIsToldTheGroupToJoin_data()
    {
        QTest::addColumn<bool>("asNobody");
        // An ordinary user: its own pseudo-terminal, closed to it by the mode bits.
        QTest::newRow("this user, port closed to it") << false;
        // Root runs the program as "nobody", whom the pseudo-terminal's owner and group
        // keep out; nobody may not enter the build folder, so it runs a copy.
        QTest::newRow("nobody, as root starts it") << true;
    }
    void aUserWithoutAccessIsToldTheGroupToJoin()
    {
        QFETCH(bool, asNobody);
        const bool root = ::geteuid() == 0;
        if (asNobody && !root)
            QSKIP("only root can run dizivu-cli as another user; the other row checks the message");
        if (!asNobody && root)
            QSKIP("root opens a port whatever its mode; the other row checks the message");
        EmulatorProcess registrar;
        QVERIFY(!registrar.path().isEmpty());
        const QString group = QFileInfo(registrar.path()).group();
        QVERIFY(!group.isEmpty());

        QTemporaryDir copyDir;
        QString program = QStringLiteral(CLI_PATH);
        QProcess p;
        if (asNobody) {
            QVERIFY(QFile::setPermissions(copyDir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner
                                                              | QFile::ReadOther | QFile::ExeOther));
            program = copyDir.filePath(QStringLiteral("dizivu-cli"));
            QVERIFY(QFile::copy(QStringLiteral(CLI_PATH), program));
            QVERIFY(QFile::setPermissions(program, QFile::ReadOwner | QFile::ExeOwner | QFile::ReadOther
                                                       | QFile::ExeOther));
            p.setChildProcessModifier([] {
                // "nobody", in no group: the pseudo-terminal is its owner's and its group's.
                if (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0)
                    ::_exit(99);
            });
        } else {
            QVERIFY(QFile::setPermissions(registrar.path(), QFileDevice::Permissions()));
        }
        p.setWorkingDirectory(copyDir.path());
        p.start(program, {QStringLiteral("detect"), QStringLiteral("--ports"), registrar.path(), QStringLiteral("--speeds"),
                          QStringLiteral("115200")});
        QVERIFY(p.waitForFinished(60000));
        const QString err = QString::fromUtf8(p.readAllStandardError());
        QVERIFY2(p.exitStatus() == QProcess::NormalExit && p.exitCode() == 2,
                 qPrintable(QString::number(p.exitCode()) + QLatin1Char(' ') + err));
        QVERIFY2(err.contains(QStringLiteral("Нет прав доступа к порту %1: пользователь должен входить в группу %2 ")
                                  .arg(registrar.path(), group)),
                 qPrintable(err));
        QVERIFY2(err.contains(QStringLiteral("no port could be opened")), qPrintable(err));
    }
};

QTEST_GUILESS_MAIN(RegistrarSearchCliTest)
#include "tst_registrar_search_cli.moc"
