// The emulator's paper tape as a text file: in-process, and fed by a real
// registrar-emulator process.
#include "emulator/registrar.h"
#include "emulator/tape_file.h"

#include "link/code_page.h"
#include "link/device_link.h"
#include "link/frame.h"
#include "support/emulator_process.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

namespace {

QStringList linesOf(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    QStringList lines = QString::fromUtf8(f.readAll()).split(QLatin1Char('\n'));
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

void send(emu::Registrar &reg, quint8 seq, quint8 code, const QString &params)
{
    reg.receive(frame::buildRequest(seq, code, code_page::toDevice(params)));
}

} // namespace

class TapeFileTest : public QObject {
    Q_OBJECT
private slots:
    void printsAsUtf8WithSeparatorsAfterDocuments()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("tape.txt"));
        {
            QFile earlier(path);
            QVERIFY(earlier.open(QIODevice::WriteOnly));
            earlier.write("earlier\n");
        }
        emu::Registrar reg;
        emu::TapeFile tape;
        QString error;
        QVERIFY(tape.open(path, error));
        tape.attach(reg);

        send(reg, 0x21, 0x62, QStringLiteral("482913;"));          // nothing open: refused, no separator
        send(reg, 0x22, 0x60, QStringLiteral("482913;"));
        send(reg, 0x23, 0x61, QStringLiteral("482913;Привет, мир;"));
        send(reg, 0x24, 0x61, QStringLiteral("482913;A\tB\rC;"));   // control characters stay on one line
        // Every line is in the file as soon as it is printed.
        QCOMPARE(linesOf(path).size(), 3);
        send(reg, 0x25, 0x62, QStringLiteral("482913;"));
        send(reg, 0x25, 0x62, QStringLiteral("482913;"));          // a repeat: answered from the cache
        send(reg, 0x26, 0x60, QStringLiteral("482913;"));
        send(reg, 0x27, 0x61, QStringLiteral("482913;Второй;"));
        send(reg, 0x28, 0x62, QStringLiteral("482913;"));

        const QString sep = QString::fromUtf8(emu::TapeFile::separator());
        QCOMPARE(linesOf(path), (QStringList{QStringLiteral("earlier"), QStringLiteral("Привет, мир"),
                                             QStringLiteral("A B C"), sep, QStringLiteral("Второй"), sep}));

        emu::TapeFile nowhere;
        QVERIFY(!nowhere.open(dir.filePath(QStringLiteral("no/such/folder/tape.txt")), error));
        QVERIFY(!error.isEmpty());
    }

    void realEmulatorPrintsIntoItsTape()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("lenta.txt"));
        EmulatorProcess emulator({QStringLiteral("--tape"), path});
        QVERIFY(!emulator.path().isEmpty());
        DeviceLink link;
        QVERIFY(link.OpenSerial(emulator.path(), 115200));
        QCOMPARE(link.ExecuteCommand(0x60, "482913;")->errorWord, QByteArray("0000"));
        QCOMPARE(link.ExecuteCommand(0x61, code_page::toDevice(QStringLiteral("482913;Чек № 1;")))->errorWord,
                 QByteArray("0000"));
        // The line is in the file by the time the reply is in.
        QCOMPARE(linesOf(path), QStringList{QStringLiteral("Чек № 1")});
        QCOMPARE(link.ExecuteCommand(0x62, "482913;")->errorWord, QByteArray("0000"));
        QCOMPARE(linesOf(path), (QStringList{QStringLiteral("Чек № 1"), QString::fromUtf8(emu::TapeFile::separator())}));
        link.CloseSerial();

        // A tape that cannot be written stops the emulator before it serves.
        EmulatorProcess refused({QStringLiteral("--tape"), dir.filePath(QStringLiteral("no/such/tape.txt"))});
        QVERIFY(refused.path().isEmpty());
    }
};

QTEST_GUILESS_MAIN(TapeFileTest)
#include "tst_tape_file.moc"
