// dizivu-cli run against registrar-emulator over a pseudo-terminal.
#include "link/code_page.h"
#include "support/cli_run.h"
#include "support/emulator_process.h"

#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

namespace {


QString examples()
{
    return QStringLiteral(EXAMPLES_DIR "/");
}

} // namespace

class CliRunTest : public QObject {
    Q_OBJECT
private slots:
    void runsScriptsOverThePort()
    {
        EmulatorProcess emu;
        QVERIFY(!emu.path().isEmpty());
        QTemporaryDir dir;
        const QString script = dir.filePath(QStringLiteral("s.txt"));
        QFile f(script);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(code_page::toDevice(QStringLiteral("+ проверка\n21482913;\n%SetSpeed 115200\n28482913;\n")));
        f.close();
        const QStringList port{QStringLiteral("--port"), emu.path(), QStringLiteral("run")};

        // A full run: log on standard output, the box messages on standard error; the
        // port reopened at the new rate goes on answering.
        CliRun r = runCli(port + QStringList{script});
        QCOMPARE(r.exitCode, 0);
        const QStringList lines = r.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        QCOMPARE(lines.value(0), QStringLiteral("Комментарий::  проверка!!!"));
        QVERIFY(lines.value(1).startsWith(QStringLiteral("PC: ")));
        QVERIFY(lines.value(2).startsWith(QStringLiteral("FP: ")));
        QCOMPARE(lines.value(3), QStringLiteral("SetSpeed Port=") + emu.path() + QStringLiteral("  Speed=115200"));
        QCOMPARE(lines.value(4), QStringLiteral("Подключение порта - успешно!"));
        QVERIFY(lines.value(6).startsWith(QStringLiteral("FP: ")));
        QCOMPARE(r.err.trimmed(), QStringLiteral("Конец файла!"));

        // Quiet, from line 3: only the last command, nothing logged.
        r = runCli(port + QStringList{script, QStringLiteral("--quiet"), QStringLiteral("--from"), QStringLiteral("3")});
        QCOMPARE(r.exitCode, 0);
        QCOMPARE(r.out, QString());

        // One step after line 1.
        r = runCli(port + QStringList{script, QStringLiteral("--step"), QStringLiteral("--from"), QStringLiteral("1")});
        QCOMPARE(r.exitCode, 0);
        QCOMPARE(r.out.count(QStringLiteral("PC: ")), 1);
        QVERIFY(r.err.contains(QStringLiteral("Ном. стр. скрипта: 2")));

        // The example with variables, a loop and a branch.
        r = runCli(port + QStringList{examples() + QStringLiteral("variables_loop.txt")});
        QCOMPARE(r.exitCode, 0);
        QVERIFY(r.out.contains(QStringLiteral(";i=3")));
        QVERIFY(r.out.contains(QStringLiteral("Комментарий::  Напечатано три строки!!!")));
        QVERIFY(!r.out.contains(QStringLiteral("неверно")));
    }

    void failuresGiveTheirExitStatus()
    {
        EmulatorProcess emu;
        QVERIFY(!emu.path().isEmpty());
        QTemporaryDir dir;
        auto script = [&](const QByteArray &text) {
            const QString path = dir.filePath(QStringLiteral("f.txt"));
            QFile f(path);
            f.open(QIODevice::WriteOnly);
            f.write(text);
            return path;
        };
        const QStringList port{QStringLiteral("--port"), emu.path(), QStringLiteral("run")};

        CliRun r = runCli(port + QStringList{script("21482913;\n21000000;\n21482913;\n")});
        QCOMPARE(r.exitCode, 1);
        QVERIFY(r.err.contains(QStringLiteral("Ошибка выполнения команды")));
        QVERIFY(r.err.contains(QStringLiteral("Код ошибки: 0006")));
        QVERIFY(r.err.contains(QStringLiteral("Ном. стр. скрипта: 2")));

        r = runCli(port + QStringList{script("%DeclareBeg\n%New a\n%Oper(1, 0, 3, a)\n")});
        QCOMPARE(r.exitCode, 5);
        QVERIFY(r.err.contains(QStringLiteral("Ошибка - деление на ноль.")));

        // A code that would put a control byte in the command position goes nowhere.
        r = runCli(port + QStringList{script("21482913;\n01482913;\n")});
        QCOMPARE(r.exitCode, 5);
        QVERIFY(r.err.contains(QStringLiteral("Неверный код команды: допустимы коды от 0x20 до 0xFF.")));
        QCOMPARE(r.out.count(QStringLiteral("PC: ")), 1);

        // RunCommand does not judge its reply and the run goes on, but the failure is
        // told on standard error.
        r = runCli(port + QStringList{script("%DeclareBeg\n%New a\n%RunCommand(33, \"000000\")\n"
                                             "%RunCommand(33, \"482913\")\n")});
        QCOMPARE(r.exitCode, 0);
        QVERIFY2(r.err.contains(QStringLiteral("RunCommand(33): Ошибка выполнения команды, код ошибки 0006")),
                 qPrintable(r.err));
        QVERIFY(!r.out.contains(QStringLiteral("RunCommand")));

        r = runCli(port + QStringList{dir.filePath(QStringLiteral("missing.txt"))});
        QCOMPARE(r.exitCode, 4);
        r = runCli(port);
        QCOMPARE(r.exitCode, 4);
    }
};

QTEST_GUILESS_MAIN(CliRunTest)
#include "tst_cli_run.moc"
