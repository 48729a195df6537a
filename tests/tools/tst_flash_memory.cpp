// Flash memory read, write and erase against the emulator on virtual time.
#include "emulator/registrar.h"
#include "emulator/wire.h"
#include "link/frame.h"
#include "tools/flash_memory.h"

#include "support/sent_frames.h"
#include "support/emulated_app.h"

#include <QDir>
#include <QFile>
#include <QSet>
#include <QTest>

#include <functional>

namespace {

emu::RegistrarOptions smallFlash(qint64 size = 4096)
{
    emu::RegistrarOptions o;
    o.memory.flashSize = size;
    o.memory.seed = 7;
    return o;
}

// Keeps what a transfer showed; stops when asked to after so many blocks.
struct Shown : FlashMemory::View {
    QList<qint64> addresses;
    QList<int> repeatCounts;
    QList<QString> errorWords;
    QString boundAddress, boundCount;
    int events = 0;
    int stopAfterEvents = -1;
    void processEvents() override { ++events; }
    bool stopRequested() const override { return stopAfterEvents >= 0 && events >= stopAfterEvents; }
    void reply(const ReplyTexts &t) override { errorWords << t.errorWord; }
    std::function<void(qint64)> onAddress;
    void address(qint64 a) override
    {
        addresses << a;
        if (onAddress)
            onAddress(a);
    }
    void repetitions(int n) override { repeatCounts << n; }
    void bounds(const QString &a, const QString &n) override
    {
        boundAddress = a;
        boundCount = n;
    }
};

struct Bench : EmulatedApp {
    FlashMemory ops{app};
    Shown view;

    explicit Bench(const emu::RegistrarOptions &o = smallFlash()) : EmulatedApp(o) {}

    QString path(const QString &name) const { return dir.filePath(name); }
    QByteArray flash() const { return registrar.state().flash; }
    QList<QByteArray> sent(int code) const { return parametersSent(*line, code); }
    transfer::Result read(const QString &a, const QString &n, int retries = 2, const QString &file = {})
    {
        prompter.files.push_back(file.isEmpty() ? path(QStringLiteral("dump.bin")) : file);
        return ops.read(QStringLiteral("482913"), a, n, retries, view);
    }
    transfer::Result write(const QString &file, const QString &a = {}, const QString &n = {})
    {
        prompter.files.push_back(file);
        return ops.write(QStringLiteral("482913"), a, n, view);
    }
    QByteArray fileBytes(const QString &name = QStringLiteral("dump.bin")) const
    {
        QFile f(path(name));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
    }
    void makeFile(const QString &name, const QByteArray &bytes) const
    {
        QFile f(path(name));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }
};

QByteArray pattern(int n, int salt = 0)
{
    QByteArray b(n, '\0');
    for (int i = 0; i < n; ++i)
        b[i] = char((i * 7 + salt) & 0xFF);
    return b;
}

} // namespace

class FlashMemoryTest : public QObject {
    Q_OBJECT
private slots:
    void readsInBlocksOfFifty()
    {
        Bench b;
        const transfer::Result r = b.read(QStringLiteral("1000"), QStringLiteral("120"));
        QVERIFY(r.ok());
        QCOMPARE(b.sent(0xF1), (QList<QByteArray>{"482913;1000;", "482913;1050;", "482913;1100;"}));
        QCOMPARE(b.fileBytes(), b.flash().mid(1000, 120));
        QCOMPARE(r.bytes, 120);
        QCOMPARE(b.prompter.questions(), QStringList{FlashMemory::kReadQuestion});
        QCOMPARE(b.prompter.messages(), QStringList{FlashMemory::kReadDone});
        QCOMPARE(b.view.addresses, (QList<qint64>{1000, 1050, 1100, 1150}));
    }

    void aShortBlockEndsTheMemory()
    {
        Bench b(smallFlash(1030));
        const transfer::Result r = b.read(QStringLiteral("1000"), QStringLiteral("120"));
        QVERIFY(r.ok());
        QCOMPARE(b.sent(0xF1).size(), 1);
        QCOMPARE(b.fileBytes(), b.flash().mid(1000, 30));
        QCOMPARE(b.prompter.messages(), QStringList{FlashMemory::kReadDone});
    }

    void failedBlocksAreRepeatedPerBlock()
    {
        // Each block may be repeated twice; the count starts again at every block, and
        // "Повторов:" keeps the total.
        emu::RegistrarOptions o = smallFlash();
        o.memory.readFaults = {{1000, 2}, {1050, 2}};
        Bench b(o);
        QVERIFY(b.read(QStringLiteral("1000"), QStringLiteral("120")).ok());
        QCOMPARE(b.sent(0xF1).size(), 3 + 3 + 1);
        QCOMPARE(b.view.repeatCounts.last(), 4);
        QCOMPARE(b.fileBytes(), b.flash().mid(1000, 120));
    }

    void aBlockStillFailingStopsTheRead()
    {
        emu::RegistrarOptions o = smallFlash();
        o.memory.readFaults = {{1050, 3}};
        Bench b(o);
        const transfer::Result r = b.read(QStringLiteral("1000"), QStringLiteral("120"));
        QCOMPARE(r.end, transfer::End::RegistrarError);
        QCOMPARE(b.sent(0xF1).size(), 1 + 3);
        QCOMPARE(b.prompter.messages(), QStringList{FlashMemory::kReadFailed + QStringLiteral("0401")});
        QCOMPARE(b.fileBytes(), b.flash().mid(1000, 50));
        QCOMPARE(b.view.repeatCounts.last(), 2);
    }

    void readFailures_data()
    {
        QTest::addColumn<QString>("fault");      // emulator fault for the second block
        QTest::addColumn<bool>("badData");
        QTest::addColumn<int>("end");
        QTest::addColumn<QString>("message");
        QTest::newRow("no reply") << "silence" << false << int(transfer::End::LinkFailed) << FlashMemory::kReadTimeout;
        QTest::newRow("not hexadecimal") << "" << true << int(transfer::End::BadData) << FlashMemory::kBadData;
    }
    void readFailures()
    {
        QFETCH(QString, fault);
        QFETCH(bool, badData);
        QFETCH(int, end);
        QFETCH(QString, message);
        emu::RegistrarOptions o = smallFlash();
        if (badData)
            o.memory.badData = {1050};
        Bench b(o);
        b.app.link().SetReplyCount(0);
        if (!fault.isEmpty()) {
            b.registrar.injectFault({});
            b.registrar.injectFault(emu::Fault::parse(fault));
        }
        const transfer::Result r = b.read(QStringLiteral("1000"), QStringLiteral("120"));
        QCOMPARE(int(r.end), end);
        QCOMPARE(b.prompter.messages(), QStringList{message});
        // The file keeps exactly the bytes received before.
        QCOMPARE(b.fileBytes(), b.flash().mid(1000, 50));
    }

    void anExistingDumpIsReplacedOnlyByACompleteRead_data()
    {
        // An old dump of 9000 bytes is in place before every read.
        QTest::addColumn<QString>("address");
        QTest::addColumn<int>("failingBlock"); // its read answers a flash error every time; -1: none
        QTest::addColumn<int>("stopAfter");    // blocks before the stop button; -1: never
        QTest::addColumn<int>("end");
        QTest::addColumn<QString>("message");
        QTest::addColumn<int>("readsSent");
        QTest::addColumn<int>("newBytes"); // from the address; 0: the old dump stays
        const QString failed = FlashMemory::kReadFailed + QStringLiteral("0401");
        QTest::newRow("first block fails") << "1000" << 1000 << -1 << int(transfer::End::RegistrarError) << failed << 3 << 0;
        QTest::newRow("a later block fails") << "1000" << 1050 << -1 << int(transfer::End::RegistrarError) << failed << 4 << 0;
        QTest::newRow("stopped") << "1000" << -1 << 1 << int(transfer::End::Stopped) << FlashMemory::kReadStopped << 1 << 0;
        // The memory's size is known only from the registrar: its answer to the first
        // block, no bytes, refuses the range; nothing else is sent.
        QTest::newRow("past the end") << "5000" << -1 << -1 << int(transfer::End::Refused)
                                      << FlashMemory::kPastTheEnd.arg(5000) << 1 << 0;
        QTest::newRow("at the end") << "4096" << -1 << -1 << int(transfer::End::Refused)
                                    << FlashMemory::kPastTheEnd.arg(4096) << 1 << 0;
        QTest::newRow("complete") << "1000" << -1 << -1 << int(transfer::End::Done) << FlashMemory::kReadDone << 3 << 120;
        QTest::newRow("up to the end") << "4000" << -1 << -1 << int(transfer::End::Done) << FlashMemory::kReadDone << 2 << 96;
    }
    void anExistingDumpIsReplacedOnlyByACompleteRead()
    {
        QFETCH(QString, address);
        QFETCH(int, failingBlock);
        QFETCH(int, stopAfter);
        QFETCH(int, end);
        QFETCH(QString, message);
        QFETCH(int, readsSent);
        QFETCH(int, newBytes);
        emu::RegistrarOptions o = smallFlash();
        if (failingBlock >= 0)
            o.memory.readFaults = {{failingBlock, 3}};
        Bench b(o);
        b.view.stopAfterEvents = stopAfter;
        const QByteArray old = pattern(9000, 5);
        b.makeFile(QStringLiteral("dump.bin"), old);
        const transfer::Result r = b.read(address, QStringLiteral("120"));
        QCOMPARE(int(r.end), end);
        QCOMPARE(b.prompter.messages(), QStringList{message});
        QCOMPARE(b.sent(0xF1).size(), readsSent);
        QCOMPARE(b.fileBytes(), newBytes ? b.flash().mid(address.toInt(), newBytes) : old);
        // No temporary file is left beside it.
        QCOMPARE(QDir(b.dir.path()).entryList({QStringLiteral("dump*")}, QDir::Files | QDir::Hidden),
                 QStringList{QStringLiteral("dump.bin")});
    }

    void aFailedFileWriteStops()
    {
        if (!QFile::exists(QStringLiteral("/dev/full")))
            QSKIP("no /dev/full here");
        Bench b;
        const transfer::Result r = b.read(QStringLiteral("0"), QStringLiteral("120"), 2, QStringLiteral("/dev/full"));
        QCOMPARE(r.end, transfer::End::FileFailed);
        QCOMPARE(b.sent(0xF1).size(), 1);
        QCOMPARE(b.prompter.messages(), QStringList{FlashMemory::kFileWrite.arg(QStringLiteral("/dev/full"))});
    }

    void stopBetweenBlocks()
    {
        Bench b;
        b.view.stopAfterEvents = 2;
        const transfer::Result r = b.read(QStringLiteral("0"), QStringLiteral("500"));
        QCOMPARE(r.end, transfer::End::Stopped);
        QCOMPARE(b.sent(0xF1).size(), 2);
        QCOMPARE(b.prompter.messages(), QStringList{FlashMemory::kReadStopped});
        QCOMPARE(b.fileBytes(), b.flash().left(100));
    }

    void cancelledOrRefusedReadsSendNothing()
    {
        Bench b;
        b.prompter.answers.push_back(Prompter::Cancel);
        QCOMPARE(b.read(QStringLiteral("0"), QStringLiteral("100")).end, transfer::End::Cancelled);
        QCOMPARE(b.prompter.messages(), QStringList{FlashMemory::kReadCancelled});
        b.prompter.clear();
        QCOMPARE(b.read(QStringLiteral("-1"), QStringLiteral("100")).end, transfer::End::Refused);
        QCOMPARE(b.prompter.messages(), QStringList{FlashMemory::kDecimalOnly});
        QVERIFY(b.sent(0xF1).isEmpty());
        QVERIFY(!QFile::exists(b.path(QStringLiteral("dump.bin"))));
    }

    void dumpFileNames_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("address"); // empty: not a dump name
        QTest::addColumn<QString>("count");
        QTest::newRow("plain") << "/x/flash_4096_256.bin" << "4096" << "256";
        QTest::newRow("underscores in name") << "my_flash_0_50.BIN" << "0" << "50";
        QTest::newRow("folder with underscores") << "/a_1_2/dump.bin" << "" << "";
        QTest::newRow("no extension") << "flash_4096_256" << "" << "";
        QTest::newRow("not decimal") << "flash_40x6_256.bin" << "" << "";
        QTest::newRow("one number") << "flash_256.bin" << "" << "";
        QTest::newRow("empty count") << "flash_4096_.bin" << "" << "";
        QTest::newRow("count too long") << "f_1_1234567890.bin" << "" << "";
    }
    void dumpFileNames()
    {
        QFETCH(QString, path);
        QFETCH(QString, address);
        QFETCH(QString, count);
        QString a = QStringLiteral("keep"), n = QStringLiteral("keep");
        QCOMPARE(FlashMemory::boundsFromName(path, a, n), !address.isEmpty());
        QCOMPARE(a, address.isEmpty() ? QStringLiteral("keep") : address);
        QCOMPARE(n, count.isEmpty() ? QStringLiteral("keep") : count);
    }

    void writesInBlocksWithBoundsFromTheName()
    {
        Bench b;
        const QByteArray data = pattern(120, 3);
        b.makeFile(QStringLiteral("flash_100_120.bin"), data);
        // The name's bounds replace the typed ones before the question, which names them.
        const transfer::Result r = b.write(b.path(QStringLiteral("flash_100_120.bin")), QStringLiteral("7"),
                                           QStringLiteral("9"));
        QVERIFY(r.ok());
        QCOMPARE(b.view.boundAddress, QStringLiteral("100"));
        QCOMPARE(b.view.boundCount, QStringLiteral("120"));
        QCOMPARE(b.prompter.questions().size(), 1);
        QVERIFY(b.prompter.questions()[0].startsWith(FlashMemory::kWriteQuestion));
        QVERIFY(b.prompter.questions()[0].contains(QStringLiteral("100")));
        QVERIFY(b.prompter.questions()[0].contains(QStringLiteral("120")));
        const QList<QByteArray> sent = b.sent(0xF2);
        QCOMPARE(sent.size(), 3);
        QCOMPARE(sent[0], "482913;100;50;" + data.left(50).toHex().toUpper() + ';');
        QCOMPARE(sent[1], "482913;150;50;" + data.mid(50, 50).toHex().toUpper() + ';');
        QCOMPARE(sent[2], "482913;200;20;" + data.mid(100).toHex().toUpper() + ';');
        QCOMPARE(b.flash().mid(100, 120), data);
        QCOMPARE(b.prompter.messages(), QStringList{FlashMemory::kWriteDone});
    }

    void aShortFileIsRefusedBeforeWriting()
    {
        Bench b;
        b.makeFile(QStringLiteral("dump.bin"), pattern(100));
        const transfer::Result r = b.write(b.path(QStringLiteral("dump.bin")), QStringLiteral("0"),
                                           QStringLiteral("120"));
        QCOMPARE(r.end, transfer::End::Refused);
        QVERIFY(b.sent(0xF2).isEmpty());
        QVERIFY(b.prompter.questions().isEmpty());
        QCOMPARE(b.prompter.messages(), QStringList{FlashMemory::kFileTooShort.arg(100).arg(120)});
    }

    void writeWithoutBoundsOrCancelledSendsNothing()
    {
        Bench b;
        b.makeFile(QStringLiteral("dump.bin"), pattern(100));
        QCOMPARE(b.write(b.path(QStringLiteral("dump.bin"))).end, transfer::End::Refused);
        QCOMPARE(b.prompter.messages(), QStringList{FlashMemory::kNoBounds});
        b.prompter.clear();
        b.prompter.answers.push_back(Prompter::Cancel);
        QCOMPARE(b.write(b.path(QStringLiteral("dump.bin")), QStringLiteral("0"), QStringLiteral("100")).end,
                 transfer::End::Cancelled);
        QCOMPARE(b.prompter.messages(), QStringList{FlashMemory::kWriteCancelled});
        QVERIFY(b.sent(0xF2).isEmpty());
    }

    void aRefusedBlockStopsTheWrite()
    {
        Bench b(smallFlash(150));
        b.makeFile(QStringLiteral("dump.bin"), pattern(120));
        const transfer::Result r = b.write(b.path(QStringLiteral("dump.bin")), QStringLiteral("100"),
                                           QStringLiteral("120"));
        QCOMPARE(r.end, transfer::End::RegistrarError);
        QCOMPARE(b.sent(0xF2).size(), 2);
        QCOMPARE(b.prompter.messages(),
                 QStringList{FlashMemory::kWriteError
                             + QStringLiteral("Значение поля номер 2 выходит за допустимый диапазон!")});
        QCOMPARE(b.view.errorWords.last(), QStringLiteral("0204"));
    }

    // A write that ends partway: the registrar holds what was written before (the block
    // whose reply was lost too), the screen says why, and nothing more is sent.
    void aWriteEndedPartway_data()
    {
        QTest::addColumn<QString>("how");
        QTest::addColumn<int>("end");
        QTest::addColumn<QString>("message");
        QTest::addColumn<int>("size");          // of the file, all of it to be written
        QTest::addColumn<int>("blocksSent");    // -1: as many as the file's bytes lasted
        QTest::addColumn<int>("bytesInFlash");  // written into the registrar's flash
        QTest::newRow("stopped by the user")
            << "stop" << int(transfer::End::Stopped) << FlashMemory::kWriteStopped << 150 << 1 << 50;
        QTest::newRow("no reply to the second block")
            << "silence" << int(transfer::End::LinkFailed)
            << FlashMemory::kWriteError + QStringLiteral("Таймаут устройства! Ошибка!") << 150 << 2 << 100;
        QTest::newRow("a reply that is not 0000")
            << "word" << int(transfer::End::RegistrarError) << FlashMemory::kWriteWordError << 150 << 2 << 100;
        // Another program cuts the file short: the bytes already read ahead are written,
        // then the transfer finds the end.
        QTest::newRow("the file cut short while written")
            << "shrink" << int(transfer::End::FileFailed) << FlashMemory::kUnexpectedEnd << 40000 << -1 << -1;
    }
    void aWriteEndedPartway()
    {
        QFETCH(QString, how);
        QFETCH(int, end);
        QFETCH(QString, message);
        QFETCH(int, size);
        QFETCH(int, blocksSent);
        QFETCH(int, bytesInFlash);
        Bench b(smallFlash(1 << 16));
        const QByteArray data = pattern(size, 5);
        b.makeFile(QStringLiteral("dump.bin"), data);
        bool armed = false;
        b.view.onAddress = [&](qint64 at) {
            if (at != 1000 + 50)
                return;
            if (how == QLatin1String("stop"))
                b.view.stopAfterEvents = 1;
            for (int i = 0; how == QLatin1String("silence") && i < 5; ++i)
                b.registrar.injectFault({emu::Fault::Silence, 0, 0, 0xF2});
            if (how == QLatin1String("word")) {
                // The registrar's reply is lost; one with a word the link reads as no
                // error, though it is not "0000", comes in its place.
                b.registrar.injectFault({emu::Fault::Silence, 0, 0, 0xF2});
                armed = true;
            }
            if (how == QLatin1String("shrink"))
                QVERIFY(QFile::resize(b.path(QStringLiteral("dump.bin")), 60));
        };
        b.line->onRead = [&] {
            if (!armed || b.line->framesSent.size() != 2)
                return;
            armed = false;
            const quint8 seq = quint8(b.line->framesSent.last()[2]);
            b.line->injectLine(emu::replyFrame(seq, 0xF2, "00G0", {}, {0x80, 0x80, 0x80, 0x80, 0x80, 0x80}),
                               b.clock.nowMs());
        };
        const transfer::Result r =
            b.write(b.path(QStringLiteral("dump.bin")), QStringLiteral("1000"), QString::number(size));
        QCOMPARE(int(r.end), end);
        QCOMPARE(b.prompter.messages(), QStringList{message});
        QSet<QByteArray> blocks;
        for (const QByteArray &p : b.sent(0xF2))
            blocks << p;
        if (blocksSent < 0) {
            QVERIFY(r.bytes >= 50 && r.bytes < size);
            blocksSent = int(r.bytes / 50);
            bytesInFlash = int(r.bytes);
        }
        QCOMPARE(blocks.size(), blocksSent); // a repeat of the same block is one block
        QCOMPARE(b.flash().mid(1000, bytesInFlash), data.left(bytesInFlash));
        QVERIFY(b.flash().mid(1000 + bytesInFlash, 50) != data.mid(bytesInFlash, 50));
    }

    void roundTripIsByteExact()
    {
        Bench b(smallFlash(1 << 14));
        QVERIFY(b.read(QStringLiteral("333"), QStringLiteral("4321"), 2, b.path(QStringLiteral("a.bin"))).ok());
        const QByteArray first = b.fileBytes(QStringLiteral("a.bin"));
        QCOMPARE(first.size(), 4321);
        // Somewhere else, then back, then compare what reads there.
        QVERIFY(b.write(b.path(QStringLiteral("a.bin")), QStringLiteral("9000"), QStringLiteral("4321")).ok());
        QVERIFY(b.read(QStringLiteral("9000"), QStringLiteral("4321"), 2, b.path(QStringLiteral("b.bin"))).ok());
        QCOMPARE(b.fileBytes(QStringLiteral("b.bin")), first);
        QCOMPARE(b.flash().mid(9000, 4321), b.flash().mid(333, 4321));
    }

    void eraseAsksWithCancelAsTheDefault()
    {
        Bench b;
        b.prompter.answers.push_back(Prompter::Cancel);
        QCOMPARE(b.ops.erase(QStringLiteral("482913"), b.view).end, transfer::End::Cancelled);
        QCOMPARE(b.prompter.defaults, QList<Prompter::Button>{Prompter::Cancel});
        QVERIFY(b.sent(0xF0).isEmpty());
        b.prompter.clear();
        QVERIFY(b.ops.erase(QStringLiteral("482913"), b.view).ok());
        QCOMPARE(b.sent(0xF0), QList<QByteArray>{"482913;"});
        QCOMPARE(b.prompter.messages(), QStringList{FlashMemory::kSuccess});
        QCOMPARE(b.flash(), QByteArray(4096, '\0'));
        b.prompter.clear();
        QCOMPARE(b.ops.erase(QStringLiteral("111111"), b.view).end, transfer::End::RegistrarError);
        QCOMPARE(b.prompter.messages(), QStringList{FlashMemory::kEraseFailed + QStringLiteral("Неверный пароль доступа!")});
    }
};

QTEST_GUILESS_MAIN(FlashMemoryTest)
#include "tst_flash_memory.moc"
