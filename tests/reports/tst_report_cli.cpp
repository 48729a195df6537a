// dizivu-cli's report verbs end to end: registrar-emulator on a pseudo-terminal, the CLI
// as a child process, and the emulator's journal of what it carried out.
#include "support/cli_run.h"
#include "support/emulator_process.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

namespace {

const QString kNoPort = QStringLiteral("/dev/null/no-port");

// One emulator for a test, with its journal: code and parameters of every command it
// carried out, and its error word when not "0000"; the start-up frame left out.
struct Registrar {
    QTemporaryDir dir;
    EmulatorProcess emulator;

    explicit Registrar(const QStringList &arguments = {})
        : emulator(QStringList{QStringLiteral("--journal"), dir.filePath(QStringLiteral("journal"))} + arguments)
    {
    }
    CliRun run(const QStringList &args, const QString &workingDirectory = QString())
    {
        return runCli(QStringList{QStringLiteral("--port"), emulator.path()} + args, workingDirectory);
    }
    QStringList journal() const
    {
        QFile f(dir.filePath(QStringLiteral("journal")));
        if (!f.open(QIODevice::ReadOnly))
            return {};
        QStringList out;
        for (const QByteArray &line : f.readAll().split('\n')) {
            const QList<QByteArray> parts = line.split('\t');
            if (parts.size() == 3 && parts[0] != "88")
                out << QString::fromLatin1(parts[0] + ' ' + QByteArray::fromHex(parts[2])
                                           + (parts[1] == "0000" ? QByteArray() : ' ' + parts[1]));
        }
        return out;
    }
};

QStringList args(const char *line)
{
    return QString::fromLatin1(line).split(QLatin1Char(' '));
}

} // namespace

class ReportCliTest : public QObject {
    Q_OBJECT
private slots:
    // Bad input is refused before the port is even opened (there is none here).
    void refusedBeforeAnythingIsSent_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("exitCode");
        QTest::newRow("no report") << args("report") << 4;
        QTest::newRow("unknown report") << args("report y") << 4;
        QTest::newRow("goods option") << args("report goods --from 1") << 4;
        QTest::newRow("goods code") << args("report goods --first 1x") << 5;
        QTest::newRow("periodic without range") << args("report periodic --full") << 4;
        QTest::newRow("periodic both ranges") << args("report periodic --dates 061008 071008 --numbers 1 2") << 4;
        QTest::newRow("periodic date") << args("report periodic --dates 061008 320108") << 5;
        QTest::newRow("periodic number") << args("report periodic --numbers 1 b") << 5;
        QTest::newRow("password") << args("--password 48;2913 report x") << 5;
        QTest::newRow("resources with arguments") << args("resources 1") << 4;
    }
    void refusedBeforeAnythingIsSent()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, exitCode);
        const CliRun r = runCli(QStringList{QStringLiteral("--port"), kNoPort} + arguments);
        QCOMPARE(r.exitCode, exitCode);
        QVERIFY(r.out.isEmpty());
        QVERIFY(!r.err.isEmpty());
    }

    void dailyReportsAndTheZReportInThePeriodicReport()
    {
        Registrar reg;
        QVERIFY(!reg.emulator.path().isEmpty());
        CliRun r = reg.run(args("report x"));
        QCOMPARE(r.exitCode, 0);
        QCOMPARE(r.out, QStringLiteral("result=ok\nerror=0000\n"));
        // No Z report yet: number 1 is not found, and the receipt is closed all the same.
        r = reg.run(args("report periodic --numbers 1 1"));
        QCOMPARE(r.exitCode, 1);
        QVERIFY(r.err.contains(QStringLiteral("Печать периодического отчета :\n  Значение поля \"Номер первого отчета\"")));
        // The reports that cannot be undone run only with --yes; without it nothing is sent.
        for (const char *unconfirmed : {"report z", "report clear-tape", "report z --full"}) {
            r = reg.run(args(unconfirmed));
            QCOMPARE(r.exitCode, 4);
            QVERIFY2(r.err.contains(QStringLiteral("--yes")), qPrintable(r.err));
        }
        QCOMPARE(reg.run(args("report z --yes")).exitCode, 0);
        QCOMPARE(reg.run(args("report periodic --numbers 1 1 --full")).exitCode, 0);
        QCOMPARE(reg.run(args("report clear-tape --yes")).exitCode, 0);
        QCOMPARE(reg.journal(), (QStringList{"A1 482913;1;", "60 482913;", "A3 482913;1;1;0; 0204", "65 482913;0;", "A0 482913;",
                                             "A1 482913;0;", "60 482913;", "A3 482913;1;1;1;", "65 482913;0;", "A1 482913;2;"}));
    }

    // A Z report closes the day once. When its replies are lost, the count of free fiscal
    // reports read before and after tells whether it ran; a retry is never needed after
    // a Z that ran, and the operator is told plainly when the registrar cannot tell.
    void zReportWithLostReplySettledFromTheRegistrar_data()
    {
        QTest::addColumn<QStringList>("faults");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("out");
        QTest::addColumn<int>("zReports"); // carried out, by the emulator's journal
        QTest::addColumn<bool>("unknownSaid");
        QTest::newRow("replies lost, it ran") << args("--fault A1@silence --fault A1@silence") << 0
                                              << QStringLiteral("result=ok\nerror=settled\n") << 1 << false;
        QTest::newRow("refused on the line, it did not run")
            << args("--fault A1@nak --fault A1@nak") << 3 << QStringLiteral("result=failed\nerror=nak\n") << 0 << false;
        QTest::newRow("replies lost, the state unreadable")
            << args("--fault A1@silence --fault A1@silence --fault A0@silence --fault A0@silence") << 6
            << QStringLiteral("result=failed\nerror=no-reply\n") << 1 << true;
    }
    void zReportWithLostReplySettledFromTheRegistrar()
    {
        QFETCH(QStringList, faults);
        QFETCH(int, exitCode);
        QFETCH(QString, out);
        QFETCH(int, zReports);
        QFETCH(bool, unknownSaid);
        Registrar reg(faults);
        const CliRun r = reg.run(args("report z --yes"));
        QCOMPARE(r.exitCode, exitCode);
        QCOMPARE(r.out, out);
        QCOMPARE(reg.journal().count(QStringLiteral("A1 482913;0;")), zReports);
        QCOMPARE(r.err.contains(QStringLiteral("Неизвестно, выполнен ли Z-отчет")), unknownSaid);
    }

    void goodsReportLastCodeByVersionAndLevel()
    {
        {
            Registrar reg;
            QCOMPARE(reg.run(args("report goods")).exitCode, 0);
            QCOMPARE(reg.journal(), (QStringList{"80 482913;", "60 482913;", "A4 482913;0;999999999;", "65 482913;0;"}));
        }
        {
            Registrar reg(args("--version 2.02"));
            QCOMPARE(reg.run(args("--password 482913 report goods --first 5")).exitCode, 0);
            QCOMPARE(reg.journal().mid(2, 1), QStringList{"A4 482913;5;99999999999999;"});
        }
        {
            // With the priority level "high" the version does not matter and is not read.
            Registrar reg;
            QTemporaryDir work;
            QFile ini(work.filePath(QStringLiteral("dizivu.ini")));
            QVERIFY(ini.open(QIODevice::WriteOnly));
            ini.write("[Priority]\r\nLevel=high\r\n");
            ini.close();
            QCOMPARE(reg.run(args("report goods --last 7"), work.path()).exitCode, 0);
            QCOMPARE(reg.run(args("report goods"), work.path()).exitCode, 0);
            QCOMPARE(reg.journal(), (QStringList{"60 482913;", "A4 482913;0;7;", "65 482913;0;", "60 482913;",
                                                 "A4 482913;0;99999999999999;", "65 482913;0;"}));
        }
    }

    void controlTapeAndAdditionalReportsCloseTheirReceipt()
    {
        Registrar reg(args("--fault 61@refuse:11:0 --fault A6@refuse:11:0"));
        CliRun r = reg.run(args("report control-tape"));
        QCOMPARE(r.exitCode, 1);
        QCOMPARE(r.err.trimmed(), QStringLiteral("Ошибка работы с продажами!\n Неверное состояние документа!"));
        r = reg.run(args("report tape"));
        QCOMPARE(r.exitCode, 1);
        QVERIFY(r.err.startsWith(QStringLiteral("Печать дополнительных дневных отчетов:\n  ")));
        QCOMPARE(reg.run(args("report operators")).exitCode, 0);
        QCOMPARE(reg.run(args("report departments")).exitCode, 0);
        QCOMPARE(reg.journal(), (QStringList{"60 482913;", "65 482913;0;", "60 482913;", "65 482913;0;",
                                             "60 482913;", "A6 482913;1;;;", "65 482913;0;", "60 482913;",
                                             "A6 482913;0;;;", "65 482913;0;"}));
    }

    void resourcesPrintOneLineAField()
    {
        Registrar reg;
        const CliRun r = reg.run(args("resources"));
        QCOMPARE(r.exitCode, 0);
        const QStringList lines = r.out.trimmed().split(QLatin1Char('\n'));
        QCOMPARE(lines.size(), 12);
        QCOMPARE(lines.first(), QStringLiteral("Разрешение фискализации=1"));
        QCOMPARE(lines.value(1), QStringLiteral("Разрешение записи заводского номера=1"));
        QCOMPARE(lines.value(7), QStringLiteral("Свободно фискальных отчетов=2190"));
        QCOMPARE(lines.last(), QStringLiteral("Свободно чеков=5000"));
        QCOMPARE(reg.journal(), QStringList{"A0 482913;"});
    }
};

QTEST_GUILESS_MAIN(ReportCliTest)
#include "tst_report_cli.moc"
