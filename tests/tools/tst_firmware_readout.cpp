// Firmware read-out: the packet decoding, and the read-out against the emulator.
#include "emulator/registrar.h"
#include "tools/firmware_readout.h"

#include "support/emulated_app.h"
#include "support/sent_frames.h"

#include <QFile>
#include <QTest>

namespace {

struct Stopper : transfer::View {
    int events = 0;
    int stopAt = -1;
    QList<qint64> values;
    void processEvents() override { ++events; }
    bool stopRequested() const override { return stopAt >= 0 && events >= stopAt; }
    void progress(qint64 value, qint64) override { values << value; }
};

QByteArray everyByte(int n)
{
    QByteArray b(n, '\0');
    for (int i = 0; i < n; ++i)
        b[i] = char(i * 37 + i / 256);
    return b;
}

struct Bench : EmulatedApp {
    FirmwareReadout ops{app};
    Stopper view;
    // `announced`: the size the registrar gives for its image (-1: the image's own).
    explicit Bench(const QByteArray &image, int firstPacket = 0, int packetBytes = 203, qint64 announced = -1)
        : EmulatedApp(options(image, firstPacket, packetBytes, announced))
    {
    }
    static emu::RegistrarOptions options(const QByteArray &image, int firstPacket, int packetBytes, qint64 announced)
    {
        emu::RegistrarOptions o;
        o.memory.announcedSize = announced;
        o.memory.firmware = image;
        o.memory.firmwareSize = 0;
        o.memory.firstPacket = firstPacket;
        o.memory.packetBytes = packetBytes;
        return o;
    }
    QString path() const { return dir.filePath(QStringLiteral("fw.HEX")); }

    transfer::Result read()
    {
        prompter.files.push_back(path());
        return ops.read(QStringLiteral("482913"), view);
    }
    QByteArray file() const
    {
        QFile f(path());
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
    }
};

} // namespace

class FirmwareReadoutTest : public QObject {
    Q_OBJECT
private slots:
    void packetsDecode_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("decoded");
        QTest::newRow("A\\JB") << QByteArray("A\\JB") << QByteArray("A\nB") << int(FirmwareReadout::Decoded::Ok);
        QTest::newRow("escaped escape") << QByteArray("\\\x9C") << QByteArray("\\") << int(FirmwareReadout::Decoded::Ok);
        QTest::newRow("wraps below 40h") << QByteArray("\\ ") << QByteArray("\xE0") << int(FirmwareReadout::Decoded::Ok);
        QTest::newRow("203 bytes") << QByteArray(203, 'x') << QByteArray(203, 'x') << int(FirmwareReadout::Decoded::Ok);
        QTest::newRow("204 bytes") << QByteArray(204, 'x') << QByteArray() << int(FirmwareReadout::Decoded::TooLong);
        QTest::newRow("dangling escape") << QByteArray("AB\\") << QByteArray() << int(FirmwareReadout::Decoded::DanglingEscape);
    }
    void packetsDecode()
    {
        QFETCH(QByteArray, text);
        QFETCH(QByteArray, bytes);
        QFETCH(int, decoded);
        QByteArray out;
        QCOMPARE(int(FirmwareReadout::decodePacket(text, out)), decoded);
        if (decoded == int(FirmwareReadout::Decoded::Ok))
            QCOMPARE(out, bytes);
    }

    void wholeImageIsReadPacketByPacket()
    {
        const QByteArray image = everyByte(3000);
        Bench b(image);
        const transfer::Result r = b.read();
        QVERIFY2(r.ok(), qPrintable(b.prompter.messages().join(QLatin1Char('|'))));
        QCOMPARE(b.file(), image);
        QCOMPARE(b.prompter.messages(), QStringList{FirmwareReadout::kDone});
        QVERIFY(parametersSent(*b.line, 0xE8).size() > 3000 / 203);
        QCOMPARE(b.line->framesSent.first().mid(3, 12), QByteArray("\xE7" "482913;5;;;"));
        QCOMPARE(b.view.values.last(), 0);
    }

    void aFirstPacketNumberedOneStops()
    {
        Bench b(everyByte(500), 1);
        QCOMPARE(b.read().end, transfer::End::BadData);
        QCOMPARE(b.prompter.messages(), QStringList{FirmwareReadout::kPacketNumber});
        QCOMPARE(b.file(), QByteArray());
    }

    void anEarlyEmptyPacketIsIncomplete()
    {
        // The registrar announces more than it sends: the bytes that came stay in the
        // file, and the read-out is not reported as a success.
        const QByteArray image = everyByte(500);
        Bench b(image, 0, 203, 800);
        QCOMPARE(b.read().end, transfer::End::Incomplete);
        QCOMPARE(b.prompter.messages(), QStringList{FirmwareReadout::kIncomplete.arg(500).arg(800)});
        QCOMPARE(b.file(), image);

        Bench none(image, 0, 203, 0);
        QCOMPARE(none.read().end, transfer::End::Incomplete);
        QCOMPARE(none.prompter.messages(), QStringList{FirmwareReadout::kNoData});
        QVERIFY(!QFile::exists(none.path()));
    }

    void tooLongAPacketStops()
    {
        Bench b(QByteArray(400, 'z'), 0, 204);
        QCOMPARE(b.read().end, transfer::End::BadData);
        QCOMPARE(b.prompter.messages(), QStringList{FirmwareReadout::kPacketTooLong});
        QCOMPARE(b.file(), QByteArray());
    }

    void stopBeforeAPacket()
    {
        const QByteArray image = everyByte(2000);
        Bench b(image);
        b.view.stopAt = 3;
        QCOMPARE(b.read().end, transfer::End::Stopped);
        QCOMPARE(b.prompter.messages(), QStringList{FirmwareReadout::kStopped});
        const QByteArray got = b.file();
        QVERIFY(!got.isEmpty());
        QCOMPARE(got, image.left(got.size()));
    }

    void aFailedFileWriteStops()
    {
        if (!QFile::exists(QStringLiteral("/dev/full")))
            QSKIP("no /dev/full here");
        Bench b(everyByte(1000));
        b.prompter.files.push_back(QStringLiteral("/dev/full"));
        QCOMPARE(b.ops.read(QStringLiteral("482913"), b.view).end, transfer::End::FileFailed);
        QCOMPARE(b.prompter.messages(), QStringList{FirmwareReadout::kFileWrite.arg(QStringLiteral("/dev/full"))});
    }

    void sourceFailuresAndNoData()
    {
        Bench b(everyByte(100));
        b.registrar.injectFault({emu::Fault::Refuse, 1, 4});
        QCOMPARE(b.read().end, transfer::End::RegistrarError);
        QCOMPARE(b.prompter.messages(),
                 QStringList{FirmwareReadout::kSourceFailed + QStringLiteral("Ошибка оборудования!\n Ошибка Flash памяти!")});
        QVERIFY(!QFile::exists(b.path()));
    }
};

QTEST_GUILESS_MAIN(FirmwareReadoutTest)
#include "tst_firmware_readout.moc"
