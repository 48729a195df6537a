// The emulator's memory domain as the registrar's peer: flash blocks, the firmware
// packets' escaping, the logo limits, and the line paced at the wire speed.
#include "emulator/pty_server.h"
#include "emulator/registrar.h"
#include "emulator/wire.h"
#include "link/frame.h"

#include <QElapsedTimer>
#include <QTest>

#include <atomic>
#include <fcntl.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

namespace {

struct Reply {
    QByteArray errorWord;
    QList<QByteArray> fields;
};

// One command through the emulator's own framing.
Reply exchange(emu::Registrar &reg, quint8 code, const QByteArray &params)
{
    static quint8 seq = 0x20;
    seq = seq == 0x7E ? 0x20 : seq + 1;
    QByteArray frame;
    for (const emu::Chunk &c : reg.receive(frame::buildRequest(seq, code, params)))
        frame += c.bytes;
    Reply r;
    r.errorWord = frame.mid(4, 4);
    QByteArray data = frame.mid(9, quint8(frame[1]) - 0x30);
    r.fields = data.split(';');
    r.fields.removeLast();
    return r;
}

emu::RegistrarOptions memory(qint64 flashSize)
{
    emu::RegistrarOptions o;
    o.memory.flashSize = flashSize;
    o.memory.seed = 11;
    return o;
}

} // namespace

class MemoryTest : public QObject {
    Q_OBJECT
private slots:
    void flashBlocksEndWithTheMemory()
    {
        emu::Registrar reg(memory(120));
        Reply r = exchange(reg, 0xF1, "482913;0;");
        QCOMPARE(r.fields.value(0), QByteArray("50"));
        QCOMPARE(r.fields.value(1), reg.state().flash.left(50).toHex().toUpper());
        QCOMPARE(exchange(reg, 0xF1, "482913;100;").fields.value(0), QByteArray("20"));
        QCOMPARE(exchange(reg, 0xF1, "482913;120;").fields.value(0), QByteArray("0"));
        // The same seed, the same memory.
        emu::Registrar twin(memory(120));
        exchange(twin, 0xF1, "482913;0;");
        QCOMPARE(twin.state().flash, reg.state().flash);
    }

    void flashWritesAreChecked_data()
    {
        QTest::addColumn<QByteArray>("params");
        QTest::addColumn<QByteArray>("errorWord");
        QTest::newRow("fits") << QByteArray("482913;110;2;ABCD;") << QByteArray("0000");
        QTest::newRow("past the end") << QByteArray("482913;119;2;ABCD;") << QByteArray("0204");
        QTest::newRow("too many") << QByteArray("482913;0;51;") + QByteArray(102, 'A') + ';' << QByteArray("0304");
        QTest::newRow("length differs") << QByteArray("482913;0;2;ABC;") << QByteArray("0403");
        QTest::newRow("lower case") << QByteArray("482913;0;2;abcd;") << QByteArray("0403");
        QTest::newRow("address") << QByteArray("482913;x;2;ABCD;") << QByteArray("0203");
    }
    void flashWritesAreChecked()
    {
        QFETCH(QByteArray, params);
        QFETCH(QByteArray, errorWord);
        emu::Registrar reg(memory(120));
        QCOMPARE(exchange(reg, 0xF2, params).errorWord, errorWord);
        if (errorWord == "0000")
            QCOMPARE(reg.state().flash.mid(110, 2), QByteArray("\xAB\xCD"));
    }

    void blockFaultsCountDown()
    {
        emu::RegistrarOptions o = memory(200);
        o.memory.readFaults = {{50, 2}};
        emu::Registrar reg(o);
        QCOMPARE(exchange(reg, 0xF1, "482913;50;").errorWord, QByteArray("0401"));
        QCOMPARE(exchange(reg, 0xF1, "482913;0;").errorWord, QByteArray("0000"));
        QCOMPARE(exchange(reg, 0xF1, "482913;50;").errorWord, QByteArray("0401"));
        QCOMPARE(exchange(reg, 0xF1, "482913;50;").errorWord, QByteArray("0000"));
    }

    void firmwarePacketsEscapeWhatWouldBreakTheFrame()
    {
        emu::RegistrarOptions o;
        o.memory.firmware = QByteArray("A\nB;\\\x01\x03\xFF", 8);
        emu::Registrar reg(o);
        QCOMPARE(exchange(reg, 0xE8, "482913;").errorWord, QByteArray("0007")); // no source yet
        QCOMPARE(exchange(reg, 0xE7, "482913;5;;;").fields.value(0), QByteArray("8"));
        const Reply first = exchange(reg, 0xE8, "482913;");
        QCOMPARE(first.fields.value(0), QByteArray("0"));
        QCOMPARE(first.fields.value(1), QByteArray("A\\JB\\{\\\x9C\\A\\C\xFF"));
        const Reply last = exchange(reg, 0xE8, "482913;");
        QCOMPARE(last.fields.value(0), QByteArray("1"));
        QCOMPARE(last.fields.value(1), QByteArray());
    }

    void firmwarePacketsFitTheFrame()
    {
        // Escapes double a byte's text: a packet holds fewer bytes, never a longer frame.
        emu::RegistrarOptions o;
        o.memory.firmware = QByteArray(1000, '\x02');
        emu::Registrar reg(o);
        exchange(reg, 0xE7, "482913;5;;;");
        qsizetype total = 0;
        for (int i = 0; i < 20; ++i) {
            const Reply r = exchange(reg, 0xE8, "482913;");
            QCOMPARE(r.errorWord, QByteArray("0000"));
            total += r.fields.value(1).size() / 2;
            if (r.fields.value(1).isEmpty())
                break;
        }
        QCOMPARE(total, 1000);
    }

    void logoWithinItsMemory()
    {
        emu::RegistrarOptions o;
        o.logoMemory = 48;
        o.logoWidth = 192;
        emu::Registrar reg(o);
        const QByteArray line(48, 'F');
        QCOMPARE(exchange(reg, 0x29, "482913;1;" + line + ';').errorWord, QByteArray("0000"));
        QCOMPARE(exchange(reg, 0x29, "482913;2;" + line + ';').errorWord, QByteArray("0204"));
        QCOMPARE(exchange(reg, 0x31, "482913;192;2;").errorWord, QByteArray("0000"));
        QCOMPARE(exchange(reg, 0x31, "482913;193;1;").errorWord, QByteArray("0204"));
        QCOMPARE(exchange(reg, 0x31, "482913;192;3;").errorWord, QByteArray("0304"));
        QCOMPARE(reg.state().logo.mid(24), QByteArray(24, '\xFF'));
    }

    void pacedLineTakesTheWireTime()
    {
        // 1200 baud: a byte every 8.33 ms. A reply of about 30 bytes after a request of
        // about 16 cannot come in under (16 + 30) × 8.33 ms.
        emu::Registrar reg;
        emu::PtyServer server(reg);
        QVERIFY(server.open());
        server.setPacing(true);
        const int fd = ::open(server.slavePath().toLocal8Bit().constData(), O_RDWR | O_NOCTTY);
        QVERIFY(fd >= 0);
        termios t{};
        ::tcgetattr(fd, &t);
        ::cfmakeraw(&t);
        ::cfsetspeed(&t, B1200);
        ::tcsetattr(fd, TCSANOW, &t);
        QCOMPARE(server.lineBaud(), 1200);
        std::atomic<bool> stop{false};
        std::thread serving([&] { server.run(stop); });
        const QByteArray request = frame::buildRequest(0x21, 0x21, "482913;");
        QElapsedTimer timer;
        timer.start();
        QCOMPARE(::write(fd, request.constData(), size_t(request.size())), ssize_t(request.size()));
        QByteArray reply;
        while (!reply.endsWith('\x03') && timer.elapsed() < 5000) {
            char buffer[64];
            const ssize_t n = ::read(fd, buffer, sizeof buffer);
            if (n > 0)
                reply.append(buffer, n);
        }
        const double wireMs = (request.size() + reply.size()) * 10 * 1000.0 / 1200;
        const qint64 took = timer.elapsed();
        stop = true;
        serving.join();
        ::close(fd);
        QVERIFY(reply.endsWith('\x03'));
        // Never faster than the wire; the upper bound only catches a pace several times too
        // slow, whatever else the machine is busy with.
        QVERIFY2(took >= wireMs - 1 && took < 3 * wireMs + 2000, qPrintable(QString::number(took)));
    }
};

QTEST_GUILESS_MAIN(MemoryTest)
#include "tst_memory.moc"
