// dizivu-cli --help, from which the manual page is made: every verb and every global
// option, on standard output, exit 0, wherever it stands among the global options.
#include "cli/verbs.h"
#include "support/cli_run.h"

#include <QTest>

class CliHelpTest : public QObject {
    Q_OBJECT

private slots:
    void listsEveryVerbAndOption()
    {
        const CliRun r = runCli({QStringLiteral("--help")});
        QCOMPARE(r.exitCode, 0);
        QVERIFY(r.err.isEmpty());
        QVERIFY(r.out.startsWith(QStringLiteral("dizivu-cli - ")));
        for (const cli::Verb &v : cli::extraVerbs())
            for (const QString &line : QString::fromUtf8(v.usage).split(QLatin1Char('\n')))
                QVERIFY2(r.out.contains(QStringLiteral("\n  ") + line + QLatin1Char('\n')), qPrintable(line));
        for (const QString &o : {QStringLiteral("--port"), QStringLiteral("--usb"), QStringLiteral("--usb-library"),
                                 QStringLiteral("--speed"), QStringLiteral("--reply"), QStringLiteral("--password"),
                                 QStringLiteral("--log"), QStringLiteral("--no-comments"), QStringLiteral("--no-startup")})
            QVERIFY2(r.out.contains(QStringLiteral("\n  ") + o + QLatin1Char(' ')), qPrintable(o));
        for (const QString &verb : {QStringLiteral("send CODE"), QStringLiteral("run SCRIPT"), QStringLiteral("ports"),
                                    QStringLiteral("commands"), QStringLiteral("decode WORD")})
            QVERIFY2(r.out.contains(QStringLiteral("\n  ") + verb), qPrintable(verb));
    }

    void helpAmongTheGlobalOptions()
    {
        CliRun r = runCli({QStringLiteral("--port"), QStringLiteral("/dev/null"), QStringLiteral("-h")});
        QCOMPARE(r.exitCode, 0);
        QVERIFY(r.out.startsWith(QStringLiteral("dizivu-cli - ")));
        // After the verb it is the verb's argument, not a request for help.
        r = runCli({QStringLiteral("decode"), QStringLiteral("--help")});
        QCOMPARE(r.exitCode, 4);
        QVERIFY(r.out.isEmpty());
    }
};

QTEST_GUILESS_MAIN(CliHelpTest)
#include "tst_cli_help.moc"
