// dizivu-cli log: an exchange log decoded as lines, as a child process.
#include "support/cli_run.h"
#include "support/exchange_log_rig.h"

#include <QTest>

class LogVerbTest : public QObject {
    Q_OBJECT
private slots:
    void oneLinePerExchange()
    {
        ExchangeLogRig rig;
        rig.runEveryKind();
        const CliRun all = runCli({QStringLiteral("log"), rig.path()});
        QCOMPARE(all.exitCode, 0);
        const QStringList lines = all.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 9);
        QVERIFY2(lines[0].contains(QStringLiteral("\tseq=21\tcode=28\tname=Команда 28h: Получение параметров регистратора\t"
                                                  "params=482913;\toutcome=ok\terror=0000\t")),
                 qPrintable(lines[0]));
        QVERIFY(lines[0].contains(QStringLiteral("\tstage=0. Документ закрыт\tsyn=3\tfield1=")));
        QVERIFY(lines[1].contains(QStringLiteral("\toutcome=error\terror=0006\tmessage=Неверный пароль доступа!")));
        QVERIFY(lines[3].contains(QStringLiteral("\toutcome=ok\trepeat=1\t")));
        QVERIFY(lines[4].contains(QStringLiteral("\tparams=482913;Привет;\t")));
        QVERIFY(lines[5].contains(QStringLiteral("\toutcome=no-reply\t")));
        QVERIFY(lines[6].contains(QStringLiteral("\toutcome=checksum\t")));
        // Multi-line messages stay on their exchange's line.
        QVERIFY(lines[7].contains(QStringLiteral("message=Ошибка работы с продажами!\\n Неизвестный тип продажи!")));
        QVERIFY(all.err.contains(QStringLiteral("Записей: 9, неудачных: 5, поврежденных: 0")));

        const CliRun errors = runCli({QStringLiteral("log"), QStringLiteral("--errors"), rig.path()});
        QCOMPARE(errors.exitCode, 0);
        const QStringList failed = errors.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        QCOMPARE(failed.size(), 5);
        for (const QString &l : failed)
            QVERIFY(!l.contains(QStringLiteral("\toutcome=ok")));
    }

    void badArguments()
    {
        QCOMPARE(runCli({QStringLiteral("log")}).exitCode, 4);
        QCOMPARE(runCli({QStringLiteral("log"), QStringLiteral("/no/such/file.log")}).exitCode, 4);
        QCOMPARE(runCli({QStringLiteral("log"), QStringLiteral("a.log"), QStringLiteral("--all")}).exitCode, 4);
        QCOMPARE(runCli({QStringLiteral("log"), QStringLiteral("/tmp")}).exitCode, 4);
    }
};

QTEST_GUILESS_MAIN(LogVerbTest)
#include "tst_log_verb.moc"
