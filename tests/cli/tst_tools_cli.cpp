// dizivu-cli's memory and firmware verbs against registrar-emulator on a pseudo-terminal.
#include "cli/transfer_progress.h"
#include "support/cli_run.h"
#include "support/emulator_process.h"

#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <QTest>

#include <cstdio>

namespace {

QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

struct Line {
    EmulatorProcess emulator;
    explicit Line(QStringList extra = {})
        : emulator(QStringList{QStringLiteral("--flash-size"), QStringLiteral("8192"), QStringLiteral("--seed"),
                               QStringLiteral("3")}
                   + extra)
    {
    }
    CliRun run(const QStringList &verb) const
    {
        return runCli(QStringList{QStringLiteral("--port"), emulator.path()} + verb);
    }
};

} // namespace

class ToolsCliTest : public QObject {
    Q_OBJECT
private slots:
    void progressIsRedrawnAtItsInterval_data()
    {
        // The figures at 0 ms, 50 ms (too soon), then one interval after the first draw
        // and once more just under the next one; then a message, which first brings the figures up to date.
        QTest::addColumn<bool>("terminal");
        QTest::addColumn<int>("intervalMs");
        QTest::addColumn<QString>("shown");
        QTest::newRow("terminal: a bar redrawn in place") << true << 100
            << QStringLiteral("\r[------------------------------] flash-read: 0% (0 of 200 bytes)"
                              "\r[###############---------------] flash-read: 50% (100 of 200 bytes)"
                              "\r[######################--------] flash-read: 75% (150 of 200 bytes)\n"
                              "Чтение данных остановлено пользователем.\n");
        QTest::newRow("file: a line a second") << false << 1000
            << QStringLiteral("flash-read: 0% (0 of 200 bytes)\n"
                              "flash-read: 50% (100 of 200 bytes)\n"
                              "flash-read: 75% (150 of 200 bytes)\n"
                              "Чтение данных остановлено пользователем.\n");
    }
    void progressIsRedrawnAtItsInterval()
    {
        QFETCH(bool, terminal);
        QFETCH(int, intervalMs);
        QFETCH(QString, shown);
        FILE *f = std::tmpfile();
        QVERIFY(f);
        {
            VirtualClock clock;
            cli::ProgressReporter p(f, QStringLiteral("flash-read"), terminal, clock);
            p.update(0, 200);
            clock.advance(50);
            p.update(50, 200); // too soon: not drawn
            clock.advance(intervalMs - 50);
            p.update(100, 200);
            clock.advance(intervalMs - 1);
            p.update(150, 200); // too soon again: left for the message or the end
            cli::TransferPrompter prompter(f, QString());
            prompter.setProgress(&p);
            // A message first brings the bar up to date and ends its line.
            prompter.showMessage(QStringLiteral("Чтение данных остановлено пользователем."));
            p.finish();
        }
        std::rewind(f);
        char buffer[1024] = {};
        const size_t n = std::fread(buffer, 1, sizeof buffer - 1, f);
        std::fclose(f);
        QCOMPARE(QString::fromUtf8(buffer, qsizetype(n)), shown);
    }

    void flashReadWriteRoundTrip()
    {
        QTemporaryDir dir;
        Line line;
        QVERIFY(!line.emulator.path().isEmpty());
        const QString first = dir.filePath(QStringLiteral("dump_1000_120.bin"));
        CliRun r = line.run({"flash-read", "--address", "1000", "--count", "120", first});
        QCOMPARE(r.exitCode, 0);
        QVERIFY(r.out.contains(QStringLiteral("bytes=120")));
        QVERIFY(r.err.contains(QStringLiteral("Успешно. Чтение данных завершено.")));
        QVERIFY(r.err.contains(QStringLiteral("flash-read: 100% (120 of 120 bytes)")));
        const QByteArray bytes = readAll(first);
        QCOMPARE(bytes.size(), 120);

        // Changed and written back where the name says, then read again.
        QByteArray changed = bytes;
        changed[7] = char(~changed[7]);
        writeFile(first, changed);
        r = line.run({"flash-write", first});
        QCOMPARE(r.exitCode, 0);
        const QString again = dir.filePath(QStringLiteral("again.bin"));
        QCOMPARE(line.run({"flash-read", "--address", "1000", "--count", "120", again}).exitCode, 0);
        QCOMPARE(readAll(again), changed);
        // Bounds given on the command line stand whatever the name says.
        QCOMPARE(line.run({"flash-write", "--address", "5000", "--count", "120", first}).exitCode, 0);
        QCOMPARE(line.run({"flash-read", "--address", "5000", "--count", "120", again}).exitCode, 0);
        QCOMPARE(readAll(again), changed);

        // The end of the memory ends a read successfully.
        const QString tail = dir.filePath(QStringLiteral("tail.bin"));
        QCOMPARE(line.run({"flash-read", "--address", "8170", "--count", "100", tail}).exitCode, 0);
        QCOMPARE(readAll(tail).size(), 22);
    }

    void flashRefusals_data()
    {
        QTest::addColumn<QStringList>("verb");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("said");
        QTest::newRow("read without count") << QStringList{"flash-read", "--address", "0", "@"} << 4 << "--count";
        QTest::newRow("read negative address") << QStringList{"flash-read", "--address", "-5", "--count", "1", "@"} << 4
                                               << "decimal";
        QTest::newRow("write without bounds") << QStringList{"flash-write", "@short"} << 4 << "name_A_N.bin";
        QTest::newRow("write short file") << QStringList{"flash-write", "--address", "0", "--count", "120", "@short"}
                                          << 5 << "Запись не начата";
        QTest::newRow("erase without --yes") << QStringList{"flash-erase"} << 4 << "--yes";
        QTest::newRow("block failing") << QStringList{"flash-read", "--address", "1000", "--count", "120", "@"} << 1
                                       << "ErrCode=0401";
        QTest::newRow("no retries") << QStringList{"flash-read", "--retries", "0", "--address", "950", "--count", "120", "@"}
                                    << 1 << "ErrCode=0401";
        QTest::newRow("not hexadecimal") << QStringList{"flash-read", "--address", "2000", "--count", "50", "@"} << 1
                                         << "Информация переданная регистратором неверна";
        // An existing file is left as it was by a read that brings nothing.
        QTest::newRow("read past the end") << QStringList{"flash-read", "--address", "8192", "--count", "100", "@short"}
                                           << 5 << "за концом флеш-памяти";
        QTest::newRow("first block failing") << QStringList{"flash-read", "--address", "1050", "--count", "100", "@short"}
                                             << 1 << "ErrCode=0401";
    }
    void flashRefusals()
    {
        QFETCH(QStringList, verb);
        QFETCH(int, exitCode);
        QFETCH(QString, said);
        QTemporaryDir dir;
        writeFile(dir.filePath(QStringLiteral("short")), QByteArray(100, 'a'));
        for (QString &a : verb)
            if (a.startsWith(QLatin1Char('@')))
                a = dir.filePath(a.mid(1).isEmpty() ? QStringLiteral("out.bin") : a.mid(1));
        Line line({"--flash-fault", "1050:3", "--flash-bad-data", "2000"});
        const CliRun r = line.run(verb);
        QCOMPARE(r.exitCode, exitCode);
        QVERIFY2(r.err.contains(said), qPrintable(r.err));
        QCOMPARE(readAll(dir.filePath(QStringLiteral("short"))), QByteArray(100, 'a'));
    }

    void eraseWithConsent()
    {
        Line line;
        const CliRun r = line.run({"flash-erase", "--yes"});
        QCOMPARE(r.exitCode, 0);
        QVERIFY(r.out.contains(QStringLiteral("error=0000")));
        QTemporaryDir dir;
        const QString f = dir.filePath(QStringLiteral("z.bin"));
        QCOMPARE(line.run({"flash-read", "--address", "0", "--count", "200", f}).exitCode, 0);
        QCOMPARE(readAll(f), QByteArray(200, '\0'));
    }

    void firmwareAndLogo()
    {
        QTemporaryDir dir;
        QByteArray image(5000, '\0');
        for (int i = 0; i < image.size(); ++i)
            image[i] = char(i * 131 + 7);
        writeFile(dir.filePath(QStringLiteral("image")), image);
        Line line({"--firmware", dir.filePath(QStringLiteral("image"))});
        const QString out = dir.filePath(QStringLiteral("fw.HEX"));
        CliRun r = line.run({"firmware", out});
        QCOMPARE(r.exitCode, 0);
        QCOMPARE(readAll(out), image);

        QImage logo(200, 40, QImage::Format_RGB32);
        logo.fill(Qt::white);
        QVERIFY(logo.save(dir.filePath(QStringLiteral("logo.bmp")), "BMP"));
        r = line.run({"logo", dir.filePath(QStringLiteral("logo.bmp"))});
        QCOMPARE(r.exitCode, 0);
        QVERIFY(r.out.contains(QStringLiteral("width=200\nheight=40\nlines=42")));
        QVERIFY(r.err.contains(QStringLiteral("Успешно!")));
    }
};

QTEST_GUILESS_MAIN(ToolsCliTest)
#include "tst_tools_cli.moc"
