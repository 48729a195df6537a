// The USB transport against a stand-in libusb whose registrar is the emulator: opening,
// the reply buffer, the two repeat budgets and their pauses in virtual time, and
// dizivu-cli --usb.
#include "cli/send_command.h"
#include "emulator/registrar.h"
#include "link/device_link.h"
#include "link/usb_transport.h"

#include <QFile>
#include <QLibrary>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <cstdio>
#include <dlfcn.h>

namespace {

const QByteArray kPw = "482913;";

// The stand-in's controls, resolved from the same file the transport loads. The stand-in
// is never really unloaded, so its state survives the transport's reloads.
struct Fake {
    QLibrary library;
    void (*reset)() = nullptr;
    void (*setPresent)(int) = nullptr;
    void (*setKernelDriver)(int) = nullptr;
    void (*failSetConfiguration)(int) = nullptr;
    void (*failClaim)(int) = nullptr;
    void (*failWrites)(int) = nullptr;
    void (*failReads)(int) = nullptr;
    void (*splitReply)(int) = nullptr;
    void (*zeroLengthAfter)(int) = nullptr;
    void (*zeroByteAt)(int) = nullptr;
    void (*leadingSyn)(int) = nullptr;
    void (*injectFault)(int, int, int) = nullptr;
    int (*counter)(const char *) = nullptr;

    explicit Fake(const char *path) : library(QString::fromLocal8Bit(path))
    {
        if (!library.load())
            qFatal("cannot load %s: %s", path, qPrintable(library.errorString()));
        get("fakeusb_reset", reset);
        get("fakeusb_set_present", setPresent);
        get("fakeusb_set_kernel_driver", setKernelDriver);
        get("fakeusb_fail_set_configuration", failSetConfiguration);
        get("fakeusb_fail_claim", failClaim);
        get("fakeusb_fail_writes", failWrites);
        get("fakeusb_fail_reads", failReads);
        get("fakeusb_split_reply", splitReply);
        get("fakeusb_zero_length_after", zeroLengthAfter);
        get("fakeusb_zero_byte_at", zeroByteAt);
        get("fakeusb_leading_syn", leadingSyn);
        get("fakeusb_inject_fault", injectFault);
        get("fakeusb_counter", counter);
    }
    template <typename Fn>
    void get(const char *name, Fn &fn)
    {
        fn = reinterpret_cast<Fn>(library.resolve(name));
        if (!fn)
            qFatal("%s lacks %s", qPrintable(library.fileName()), name);
    }
    int operator[](const char *name) const { return counter(name); }
    void fault(emu::Fault::Kind kind, int times = 1)
    {
        for (int i = 0; i < times; ++i)
            injectFault(kind, 3, 80);
    }
};

Fake &fake()
{
    static Fake f(FAKEUSB_PATH);
    return f;
}

struct Rig {
    VirtualClock clock;
    DeviceLink link{clock};
    UsbTransport *usb = nullptr;
    int connected = 0;

    explicit Rig(const QString &library = QStringLiteral(FAKEUSB_PATH))
    {
        auto t = std::make_unique<UsbTransport>(clock, library);
        usb = t.get();
        connected = usb->UsbConnect();
        link.attachTransport(std::move(t));
    }
};

enum Control { None, ZeroLength, ZeroByte, LeadingSyn, FailWrites, FailReads, Silence, Unplug };

void apply(Control control, int value)
{
    Fake &f = fake();
    switch (control) {
    case None: break;
    case ZeroLength: f.zeroLengthAfter(value); break;
    case ZeroByte: f.zeroByteAt(value); break;
    case LeadingSyn: f.leadingSyn(value); break;
    case FailWrites: f.failWrites(value); break;
    case FailReads: f.failReads(value); break;
    case Silence: f.fault(emu::Fault::Silence, value); break;
    case Unplug: f.setPresent(0); break;
    }
}

QByteArray runCli(const QStringList &args, int &status)
{
    FILE *out = std::tmpfile();
    FILE *err = std::tmpfile();
    status = cli::run(args, out, err);
    QByteArray text;
    for (FILE *f : {out, err}) {
        std::rewind(f);
        char buf[4096];
        size_t n = 0;
        while ((n = std::fread(buf, 1, sizeof buf, f)) > 0)
            text.append(buf, qsizetype(n));
        std::fclose(f);
    }
    return text;
}

} // namespace

class UsbTransportTest : public QObject {
    Q_OBJECT
private slots:
    void init() { fake().reset(); }

    void connectOpensTheRegistrar()
    {
        Rig rig;
        QCOMPARE(rig.connected, 1);
        QVERIFY(rig.usb->opened());
        QVERIFY(rig.usb->libraryLoaded());
        QVERIFY(rig.link.linkReady());
        // The ST-LINK with the same vendor id on the same bus is passed over.
        QCOMPARE(fake()["wrong_device_opens"], 0);
        QCOMPARE(fake()["last_configuration"], 1);
        QCOMPARE(fake()["last_interface"], 0);
        QCOMPARE(fake()["open_handles"], 1);
        // Every open loads the library afresh.
        QVERIFY(rig.usb->UsbOpen());
        QCOMPARE(fake()["inits"], 2);
        QCOMPARE(fake()["open_handles"], 1);
        QCOMPARE(rig.link.SendStartupFrame(), 1);
        QCOMPARE(fake()["writes"], 0);
    }

    void connectFailures_data()
    {
        QTest::addColumn<int>("what");
        QTest::addColumn<int>("expected");
        QTest::newRow("no device") << 0 << 0;
        QTest::newRow("set configuration fails") << 1 << 0;
        QTest::newRow("claim fails") << 2 << 0;
        QTest::newRow("kernel serial driver bound") << 3 << 1;
    }
    void connectFailures()
    {
        QFETCH(int, what);
        QFETCH(int, expected);
        switch (what) {
        case 0: fake().setPresent(0); break;
        case 1: fake().failSetConfiguration(1); break;
        case 2: fake().failClaim(1); break;
        case 3: fake().setKernelDriver(1); break;
        }
        Rig rig;
        QCOMPARE(rig.connected, expected);
        QCOMPARE(rig.usb->opened(), expected == 1);
        QCOMPARE(fake()["open_handles"], expected);
        QCOMPARE(fake()["bad_handle"], 0);
        QCOMPARE(openUsbTransport(rig.clock, QStringLiteral(FAKEUSB_PATH)) != nullptr, what >= 1);
    }

    void missingLibrary()
    {
        const QString path = QStringLiteral("/nonexistent/libusb-0.1.so.4");
        QString why;
        QVERIFY(!UsbTransport::libraryLoadable(path, &why));
        QVERIFY(!why.isEmpty());
        QVERIFY(UsbTransport::libraryLoadable(QStringLiteral(FAKEUSB_PATH)));
        QVERIFY(!openUsbTransport(SystemClock::instance(), path));

        Rig rig(path);
        QCOMPARE(rig.connected, 0);
        QVERIFY(!rig.usb->libraryLoaded());
        QVERIFY(!rig.usb->libraryError().isEmpty());
        // Every open finds no device: the write budget runs out, and nothing is reported
        // as a reply.
        const CommandResult *r = rig.link.ExecuteCommand(0x28, kPw);
        QVERIFY(r->noReply());
        QCOMPARE(r->fieldCount, 0);
        QCOMPARE(rig.clock.nowMs(), qint64(11 * 3000));
    }

    // Two transports on one library file: the one that lets go must not unload the
    // library under the other (nor must probing it); the last one does unload it.
    void libraryStaysWhileAnotherTransportHoldsIt()
    {
        const QByteArray path = FAKEUSB_NOBULK_PATH;
        auto loaded = [&] {
            void *h = dlopen(path.constData(), RTLD_LAZY | RTLD_NOLOAD);
            if (h)
                dlclose(h);
            return h != nullptr;
        };
        QVERIFY(!loaded());
        VirtualClock clock;
        {
            UsbTransport first(clock, QString::fromLocal8Bit(path));
            first.UsbOpen();
            QVERIFY(first.libraryLoaded());
            {
                UsbTransport second(clock, QString::fromLocal8Bit(path));
                second.UsbOpen();
                QVERIFY(UsbTransport::libraryLoadable(QString::fromLocal8Bit(path)));
            }
            QVERIFY(loaded());
            QVERIFY(first.UsbOpen());
        }
        QVERIFY(!loaded());
    }

    void plainExchange()
    {
        Rig rig;
        const CommandResult *r = rig.link.ExecuteCommand(0x28, kPw);
        QCOMPARE(r->flags, 0u);
        QCOMPARE(r->errorWord, QByteArray("0000"));
        QCOMPARE(r->field(0), QByteArray("9600"));
        QCOMPARE(fake()["writes"], 1);
        QCOMPARE(fake()["reads"], 1);
        QCOMPARE(fake()["last_read_size"], UsbTransport::kBufferSize);
        QCOMPARE(fake()["bad_write_arguments"] + fake()["bad_read_arguments"], 0);
        QCOMPARE(rig.clock.nowMs(), qint64(0));
        QCOMPARE(rig.usb->bufferedReply(), r->reply);
    }

    void replyInThreePackets()
    {
        fake().splitReply(3);
        Rig rig;
        const CommandResult *r = rig.link.ExecuteCommand(0x80, kPw);
        QCOMPARE(r->flags, 0u);
        QCOMPARE(fake()["reads"], 3);
        // Each read is given the room left behind what came before.
        const int piece = (int(r->reply.size()) + 2) / 3;
        QCOMPARE(fake()["last_read_size"], UsbTransport::kBufferSize - 2 * piece);
        QCOMPARE(fake()["read_room"], 3 * UsbTransport::kBufferSize - 3 * piece);
    }

    void synBeforeTheReplyFitsTheBuffer()
    {
        fake().leadingSyn(400);
        Rig rig;
        const CommandResult *r = rig.link.ExecuteCommand(0x28, kPw);
        QCOMPARE(r->flags, 0u);
        QCOMPARE(rig.link.Receiver().synCount(), 400L);
        QCOMPARE(rig.clock.nowMs(), qint64(0));
    }

    // A buffered reply without its ETX is a missing reply; the transaction sends the
    // frame again after 2000 ms and the registrar answers the repeat.
    void incompleteBuffer_data()
    {
        QTest::addColumn<int>("control");
        QTest::addColumn<int>("value");
        QTest::addColumn<int>("delivered"); // bytes the receiver got the first time
        QTest::newRow("zero-length read before ETX") << int(ZeroLength) << 10 << 10;
        QTest::newRow("zero byte in the reply") << int(ZeroByte) << 12 << 12;
        QTest::newRow("reply larger than the buffer") << int(LeadingSyn) << 490 << 10;
    }
    void incompleteBuffer()
    {
        QFETCH(int, control);
        QFETCH(int, value);
        QFETCH(int, delivered);
        {
            apply(Control(control), value);
            Rig rig;
            rig.link.SetReplyCount(0);
            const CommandResult *r = rig.link.ExecuteCommand(0x28, kPw);
            QCOMPARE(r->flags, CommandResult::kNoReplyBit);
            QCOMPARE(r->fieldCount, 0);
            // The buffer went to the receiver once, not again and again from its start.
            QCOMPARE(r->reply.size(), qsizetype(delivered));
            QCOMPARE(rig.link.Receiver().synCount(), long(control == LeadingSyn ? value : 0));
            QCOMPARE(rig.link.Receiver().state(), int(ByteReceiver::Idle));
            if (control == LeadingSyn)
                QCOMPARE(fake()["bytes_read"], UsbTransport::kBufferSize);
        }
        fake().reset();
        apply(Control(control), value);
        Rig rig;
        const CommandResult *r = rig.link.ExecuteCommand(0x28, kPw);
        QCOMPARE(r->flags, 0u);
        QCOMPARE(r->field(0), QByteArray("9600"));
        QCOMPARE(rig.link.RetryCount(), 1);
        QCOMPARE(fake()["frames_written"], 2);
        QCOMPARE(rig.clock.nowMs(), qint64(2000));
    }

    void nakEndsTheReadAtOnce()
    {
        fake().fault(emu::Fault::Nak);
        Rig rig;
        rig.link.SetReplyCount(0);
        const CommandResult *r = rig.link.ExecuteCommand(0x28, kPw);
        QCOMPARE(r->flags, CommandResult::kNakBit);
        QCOMPARE(fake()["reads"], 1);
        QCOMPARE(rig.clock.nowMs(), qint64(0));

        fake().fault(emu::Fault::Nak);
        rig.link.SetReplyCount(1);
        r = rig.link.ExecuteCommand(0x28, kPw);
        QCOMPARE(r->flags, 0u);
        QCOMPARE(rig.clock.nowMs(), qint64(2000));
    }

    // Each failed call waits 2000 ms, resets, closes, waits 1000 ms and reopens (writes),
    // or resets, closes, waits 1000 ms, reopens and sends the frame again (reads); the
    // eleventh failure of a kind ends the exchange.
    void failureBudgets_data()
    {
        QTest::addColumn<int>("control");
        QTest::addColumn<int>("value");
        QTest::addColumn<bool>("answered");
        QTest::addColumn<int>("elapsed");
        QTest::addColumn<int>("frames");  // frames the registrar received
        QTest::addColumn<int>("resets");
        QTest::newRow("write fails once: the call's own retry") << int(FailWrites) << 1 << true << 0 << 1 << 0;
        QTest::newRow("one failed write call") << int(FailWrites) << 2 << true << 3000 << 1 << 1;
        QTest::newRow("ten failed write calls") << int(FailWrites) << 20 << true << 30000 << 1 << 10;
        QTest::newRow("eleven failed write calls") << int(FailWrites) << 22 << false << 33000 << 0 << 11;
        QTest::newRow("read fails once: the call's own retry") << int(FailReads) << 1 << true << 0 << 1 << 0;
        QTest::newRow("one failed read call") << int(FailReads) << 2 << true << 1000 << 2 << 1;
        QTest::newRow("ten failed read calls") << int(FailReads) << 20 << true << 10000 << 11 << 10;
        QTest::newRow("eleven failed read calls") << int(FailReads) << 22 << false << 11000 << 11 << 11;
        QTest::newRow("silent once") << int(Silence) << 1 << true << 1000 << 2 << 1;
        QTest::newRow("silent registrar") << int(Silence) << 11 << false << 11000 << 11 << 11;
        QTest::newRow("unplugged") << int(Unplug) << 0 << false << 33000 << 0 << 0;
    }
    void failureBudgets()
    {
        QFETCH(int, control);
        QFETCH(int, value);
        QFETCH(bool, answered);
        QFETCH(int, elapsed);
        QFETCH(int, frames);
        QFETCH(int, resets);
        Rig rig;
        QCOMPARE(rig.connected, 1);
        const qint64 start = rig.clock.nowMs();
        apply(Control(control), value);

        const CommandResult *r = rig.link.ExecuteCommand(0x28, kPw);
        QCOMPARE(rig.clock.nowMs() - start, qint64(elapsed));
        QCOMPARE(fake()["frames_received"], frames);
        QCOMPARE(fake()["resets"], resets);
        QCOMPARE(fake()["bad_handle"], 0);
        QVERIFY(rig.link.linkReady());
        if (answered) {
            QCOMPARE(r->flags, 0u);
            QCOMPARE(r->field(0), QByteArray("9600"));
            QCOMPARE(rig.link.RetryCount(), 0); // repeats of the transport, not of the transaction
        } else {
            QCOMPARE(r->flags, CommandResult::kNoReplyBit);
            QCOMPARE(r->fieldCount, 0);
        }
        // The device comes back: the next command reopens it by itself.
        fake().setPresent(1);
        r = rig.link.ExecuteCommand(0x28, kPw);
        QCOMPARE(r->flags, 0u);
    }

    void missingBulkFunctions()
    {
        Rig rig(QStringLiteral(FAKEUSB_NOBULK_PATH));
        QCOMPARE(rig.connected, 1);
        const CommandResult *r = rig.link.ExecuteCommand(0x28, kPw);
        QCOMPARE(r->flags, CommandResult::kNoReplyBit);
        QCOMPARE(rig.clock.nowMs(), qint64(33000));
        QCOMPARE(rig.usb->UsbRead(nullptr, 0), -1);
    }

    void disconnectResetsAndCloses()
    {
        Rig rig;
        QCOMPARE(rig.usb->UsbDisconnect(), 1);
        QCOMPARE(fake()["resets"], 1);
        QCOMPARE(fake()["open_handles"], 0);
        QVERIFY(!rig.usb->handle());
        QCOMPARE(rig.usb->UsbDisconnect(), 1); // nothing left to reset
        QCOMPARE(fake()["resets"], 1);
        QCOMPARE(fake()["bad_handle"], 0);

        QCOMPARE(rig.link.ExecuteCommand(0x28, kPw)->flags, 0u); // reopened on demand
        rig.link.detachTransport();
        QCOMPARE(fake()["open_handles"], 0);
    }

    // Every verb that talks to the registrar reaches it over USB as well: the same one way
    // of opening the connection. FILE in the arguments is a file the row writes first.
    void cliVerbsOverUsb_data()
    {
        QTest::addColumn<QStringList>("verb");
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QByteArray>("said"); // on standard output or error
        const QByteArray none;
        QTest::newRow("send") << QStringList{QStringLiteral("send"), QStringLiteral("28"), QString::fromLatin1(kPw)}
                              << none << QByteArray("field1=9600\n");
        QTest::newRow("report") << QStringList{QStringLiteral("report"), QStringLiteral("x")} << none
                                << QByteArray("result=ok\nerror=0000\n");
        QTest::newRow("goods report, version read first")
            << QStringList{QStringLiteral("report"), QStringLiteral("goods")} << none << QByteArray("result=ok\n");
        QTest::newRow("resources") << QStringList{QStringLiteral("resources")} << none << QByteArray("=");
        QTest::newRow("load-goods") << QStringList{QStringLiteral("load-goods"), QStringLiteral("FILE")}
                                    << QByteArray("1001;Bread;12.50;1;1;\r\n") << QByteArray("sent=1 refused=0");
        QTest::newRow("receipt")
            << QStringList{QStringLiteral("receipt"), QStringLiteral("FILE")}
            << QByteArray(R"({"items": [{"goods": "1001;Bread;12.50;1;1;", "quantity": 1, "price": 12.5}],
                             "payments": [{"type": 0, "amount": 12.5}]})")
            << QByteArray("identify.error=0000\nmodel=");
        QTest::newRow("run") << QStringList{QStringLiteral("run"), QStringLiteral("FILE")}
                             << QByteArray("28482913;\r\n80482913;\r\n") << QByteArray("Конец файла!");
        QTest::newRow("cancel") << QStringList{QStringLiteral("cancel"), QStringLiteral("--yes")} << none
                                << QByteArray("receipt=none\nresult=ok\n");
        QTest::newRow("flash-erase") << QStringList{QStringLiteral("flash-erase"), QStringLiteral("--yes")} << none
                                     << QByteArray("error=0000\n");
    }
    void cliVerbsOverUsb()
    {
        QFETCH(QStringList, verb);
        QFETCH(QByteArray, file);
        QFETCH(QByteArray, said);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("input"));
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(file);
        f.close();
        verb.replaceInStrings(QRegularExpression(QStringLiteral("^FILE$")), path);
        int status = -1;
        const QByteArray text = runCli(
            QStringList{QStringLiteral("--usb"), QStringLiteral("--usb-library"), QStringLiteral(FAKEUSB_PATH)} + verb,
            status);
        QVERIFY2(status == 0, text.constData());
        QVERIFY2(text.contains(said), text.constData());
        QVERIFY(fake()["frames_received"] > 0);
        QCOMPARE(fake()["open_handles"], 0);
    }

    void cliOverUsbRefused()
    {
        int status = -1;
        fake().setPresent(0);
        QByteArray text = runCli({QStringLiteral("--usb"), QStringLiteral("--usb-library"), QStringLiteral(FAKEUSB_PATH),
                                  QStringLiteral("send"), QStringLiteral("28")},
                                 status);
        QCOMPARE(status, int(cli::Usage));
        QVERIFY(text.contains("0483:5740"));

        text = runCli({QStringLiteral("--usb"), QStringLiteral("--port"), QStringLiteral("ttyS0"),
                       QStringLiteral("send"), QStringLiteral("28")},
                      status);
        QCOMPARE(status, int(cli::Usage));
    }
};

QTEST_GUILESS_MAIN(UsbTransportTest)
#include "tst_usb_transport.moc"
