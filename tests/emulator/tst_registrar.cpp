// The emulator as a peer: its own framing, its state, repeated requests and faults.
#include "emulator/registrar.h"
#include "emulator/wire.h"
#include "link/frame.h"

#include <QTest>

namespace {

QByteArray request(quint8 seq, quint8 code, const QByteArray &params)
{
    return frame::buildRequest(seq, code, params);
}

QByteArray joined(const QList<emu::Chunk> &chunks)
{
    QByteArray out;
    for (const emu::Chunk &c : chunks)
        out += c.bytes;
    return out;
}

// Error word and data of one reply frame, read with the emulator's own layout.
struct Reply {
    QByteArray errorWord, data;
    QList<QByteArray> fields() const
    {
        QList<QByteArray> f = data.split(';');
        f.removeLast();
        return f;
    }
};
Reply decode(const QByteArray &frame)
{
    Reply r;
    r.errorWord = frame.mid(4, 4);
    r.data = frame.mid(9, quint8(frame[1]) - 0x30);
    return r;
}

} // namespace

class RegistrarTest : public QObject {
    Q_OBJECT
private slots:
    void repliesCarryStatusWithBit7AndValidCheck()
    {
        emu::Registrar reg;
        const QByteArray reply = joined(reg.receive(request(0x21, 0x28, "482913;")));
        QCOMPARE(reply.at(0), char(0x01));
        QCOMPARE(reply.at(reply.size() - 1), char(0x03));
        const int d = quint8(reply[1]) - 0x30;
        for (int i = 0; i < 6; ++i)
            QVERIFY(quint8(reply[10 + d + i]) & 0x80);
        QCOMPARE(reply.mid(17 + d, 4), emu::checkOf(reply.mid(1, 16 + d)));
        QCOMPARE(decode(reply).fields().size(), 7);
    }

    void aFieldTooManyIsAFormatError_data()
    {
        // A request as the program sends it, then the same with one field more: the
        // registrar names the first field too many (the password being field 1) and does
        // nothing.
        QTest::addColumn<int>("code");
        QTest::addColumn<QByteArray>("parameters");
        QTest::addColumn<QByteArray>("word"); // of the request with one field more
        QTest::newRow("no parameters (28h)") << 0x28 << QByteArray("482913;") << QByteArray("0203");
        QTest::newRow("date and time (20h)") << 0x20 << QByteArray("482913;091226;1230;") << QByteArray("0403");
        QTest::newRow("text (61h)") << 0x61 << QByteArray("482913;Строка;") << QByteArray("0303");
        QTest::newRow("receipt opening (63h)") << 0x63 << QByteArray("482913;1;1;0;") << QByteArray("0503");
        QTest::newRow("sale (64h)") << 0x64 << QByteArray("482913;1001;1.000;12.50;") << QByteArray("0503");
        QTest::newRow("additional report (A6h)") << 0xA6 << QByteArray("482913;2;;;") << QByteArray("0503");
        QTest::newRow("flash write (F2h)") << 0xF2 << QByteArray("482913;0;1;AB;") << QByteArray("0503");
    }
    void aFieldTooManyIsAFormatError()
    {
        QFETCH(int, code);
        QFETCH(QByteArray, parameters);
        QFETCH(QByteArray, word);
        emu::Registrar reg;
        const QByteArray surplus = parameters + "1;";
        const Reply refused = decode(joined(reg.receive(request(0x21, quint8(code), surplus))));
        QCOMPARE(refused.errorWord, word);
        QCOMPARE(reg.journal().size(), 1);
        QVERIFY(reg.paperTape().isEmpty());
        QCOMPARE(reg.receiptState(), 0);
        // Without the field too many, no format error on that field.
        const Reply taken = decode(joined(reg.receive(request(0x22, quint8(code), parameters))));
        QVERIFY2(taken.errorWord != word, taken.errorWord.constData());
    }

    void identificationFieldsFollowOptions()
    {
        emu::Registrar::Options o;
        o.model = QStringLiteral("Korvan KM-1");
        o.version = QStringLiteral("2.02");
        o.taxGroups = 4;
        o.paymentForms = 10;
        emu::Registrar reg(o);
        const QList<QByteArray> f = decode(joined(reg.receive(request(0x21, 0x80, "482913;")))).fields();
        QVERIFY(f.size() >= 11);
        QCOMPARE(f[0], QByteArray("Korvan KM-1"));
        QCOMPARE(f[1], QByteArray("2.02"));
        QCOMPARE(f[9], QByteArray("4"));
        QCOMPARE(f[10], QByteArray("0")); // ten payment forms read as 0
        QCOMPARE(f[6].toInt(), o.logoMemory);
        QCOMPARE(f[7].toInt(), o.logoWidth);
    }

    void clockKeepsOffsetFromHost()
    {
        emu::Registrar reg;
        reg.setHostTime(QDateTime(QDate(2026, 12, 9), QTime(10, 0)));
        QCOMPARE(decode(joined(reg.receive(request(0x21, 0x20, "482913;311227;2359;")))).errorWord, QByteArray("0000"));
        reg.setHostTime(QDateTime(QDate(2026, 12, 9), QTime(10, 5)));
        const QList<QByteArray> f = decode(joined(reg.receive(request(0x22, 0x21, "482913;")))).fields();
        QCOMPARE(f, (QList<QByteArray>{"010128", "0004"}));
    }

    void refusals_data()
    {
        QTest::addColumn<int>("code");
        QTest::addColumn<QByteArray>("params");
        QTest::addColumn<QByteArray>("errorWord");
        QTest::newRow("unknown command") << 0x99 << QByteArray("482913;") << QByteArray("0002");
        QTest::newRow("wrong password") << 0x21 << QByteArray("111111;") << QByteArray("0006");
        QTest::newRow("no password") << 0x21 << QByteArray() << QByteArray("0006");
        QTest::newRow("date not digits") << 0x20 << QByteArray("482913;01AB27;1230;") << QByteArray("0203");
        QTest::newRow("time too short") << 0x20 << QByteArray("482913;010127;123;") << QByteArray("0303");
        QTest::newRow("impossible date") << 0x20 << QByteArray("482913;320127;1230;") << QByteArray("0204");
        QTest::newRow("impossible time") << 0x20 << QByteArray("482913;010127;2460;") << QByteArray("0304");
    }
    void refusals()
    {
        QFETCH(int, code);
        QFETCH(QByteArray, params);
        QFETCH(QByteArray, errorWord);
        emu::Registrar reg;
        QCOMPARE(decode(joined(reg.receive(request(0x21, quint8(code), params)))).errorWord, errorWord);
    }

    // Each domain registers its own handlers: one left out of the registration would answer
    // "no command with that code", and domains that kept their own state would not see
    // each other's (the receipt opened by one shows in the status of every reply).
    void domainsServeTheirCommandsOnSharedState()
    {
        emu::Registrar reg;
        quint8 seq = 0x20;
        auto send = [&](quint8 code, const QByteArray &params) {
            return joined(reg.receive(request(seq++, code, params)));
        };
        const QList<QPair<int, QByteArray>> commands = {
            {0x20, "482913;010127;1230;"}, {0x21, "482913;"}, {0x28, "482913;"}, {0x80, "482913;"},
            {0x82, "482913;1;"},           {0x88, "482913;3;7;"}, {0x22, "482913;13;Sale today;1;"},
            {0x23, "482913;13;"},          {0x60, "482913;"},  {0x61, "482913;line;"}, {0x62, "482913;"},
        };
        for (const auto &[code, params] : commands)
            QVERIFY2(decode(send(quint8(code), params)).errorWord == "0000", qPrintable(QString::number(code, 16)));
        QCOMPARE(decode(send(0x23, "482913;13;")).fields(), (QList<QByteArray>{"Sale today", "1"}));

        send(0x60, "482913;");
        const QByteArray reply = send(0x28, "482913;");
        const int d = quint8(reply[1]) - 0x30;
        QCOMPARE(quint8(reply[10 + d + 2]), quint8(0x85)); // non-fiscal receipt open
        QCOMPARE(reg.paperTape(), QList<QByteArray>{"line"});
    }

    void repeatedRequestIsAnsweredFromCache()
    {
        emu::Registrar reg;
        const QByteArray set = request(0x30, 0x88, "482913;3;100;");
        const QByteArray first = joined(reg.receive(set));
        QCOMPARE(joined(reg.receive(set)), first);
        QCOMPARE(reg.journal().size(), 1);
        QCOMPARE(reg.repeatsAnswered(), 1);
        // A new SEQ does the work again.
        reg.receive(request(0x31, 0x88, "482913;3;100;"));
        QCOMPARE(reg.journal().size(), 2);
    }

    void journalKeepsOutcomeAndReportsEachExecution()
    {
        emu::Registrar reg;
        QList<emu::Executed> hooked;
        reg.setJournalHook([&](const emu::Executed &e) { hooked << e; });
        reg.receive(request(0x21, 0x61, "482913;A;"));          // no receipt open: refused
        reg.receive(request(0x22, 0x60, "482913;"));
        const QByteArray line = request(0x23, 0x61, "482913;B;");
        reg.receive(line);
        reg.receive(line);                                       // a repeat: not carried out again
        QCOMPARE(hooked, reg.journal());
        QCOMPARE(hooked.size(), 3);
        QCOMPARE(hooked[0].errorWord, QByteArray("000B"));
        QVERIFY(!hooked[0].done());
        QVERIFY(hooked[1].done() && hooked[2].done());
        QCOMPARE(reg.paperTape(), QList<QByteArray>{"B"});
    }

    void framesArriveInPiecesAndWithNoise()
    {
        emu::Registrar reg;
        const QByteArray f = request(0x21, 0x21, "482913;");
        QVERIFY(reg.receive("noise" + f.left(5)).isEmpty());
        QVERIFY(!joined(reg.receive(f.mid(5))).isEmpty());
        QCOMPARE(reg.framesReceived(), 1);
    }

    void badRequestFrameGetsNak()
    {
        emu::Registrar reg;
        QByteArray f = request(0x21, 0x21, "482913;");
        f[f.size() - 2] = f[f.size() - 2] == '0' ? '1' : '0';
        QCOMPARE(joined(reg.receive(f)), QByteArray(1, 0x15));
        QVERIFY(reg.journal().isEmpty());
    }

    void faults_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<bool>("executed");
        QTest::newRow("silence") << "silence" << true;
        QTest::newRow("nak") << "nak" << false;
        QTest::newRow("garbage") << "garbage" << true;
        QTest::newRow("badcheck") << "badcheck" << true;
        QTest::newRow("cut") << "cut" << true;
        QTest::newRow("syn") << "syn:4:250" << true;
        QTest::newRow("bursts") << "bursts:3:80" << true;
        QTest::newRow("late") << "late:1:50" << true;
        QTest::newRow("delay") << "delay:1:6000" << true;
        QTest::newRow("noise closed by ETX") << "noise-etx" << true;
        QTest::newRow("stream") << "stream:40:50" << true;
    }
    void faults()
    {
        QFETCH(QString, fault);
        QFETCH(bool, executed);
        bool ok = false;
        const emu::Fault f = emu::Fault::parse(fault, &ok);
        QVERIFY(ok);
        emu::Registrar clean, faulty;
        const QByteArray req = request(0x21, 0x28, "482913;");
        const QByteArray good = joined(clean.receive(req));
        faulty.injectFault(f);
        const QList<emu::Chunk> out = faulty.receive(req);
        const QByteArray bytes = joined(out);
        QCOMPARE(faulty.journal().size(), executed ? 1 : 0);
        switch (f.kind) {
        case emu::Fault::Silence: QVERIFY(bytes.isEmpty()); break;
        case emu::Fault::Nak: QCOMPARE(bytes, QByteArray(1, 0x15)); break;
        case emu::Fault::Garbage:
            QVERIFY(!bytes.contains(char(0x01)) && !bytes.contains(char(0x03)));
            break;
        case emu::Fault::BadCheck:
            QCOMPARE(bytes.size(), good.size());
            QVERIFY(bytes != good);
            QCOMPARE(bytes.left(bytes.size() - 5), good.left(good.size() - 5));
            break;
        case emu::Fault::CutShort:
            QVERIFY(bytes.size() < good.size());
            QCOMPARE(bytes.at(bytes.size() - 1), char(0x03));
            break;
        case emu::Fault::SynBefore:
            QCOMPARE(bytes, QByteArray(4, 0x16) + good);
            QCOMPARE(out.size(), 5);
            QCOMPARE(out.last().delayMs, 250);
            break;
        case emu::Fault::Bursts:
            QCOMPARE(bytes, good);
            QCOMPARE(out.size(), 3);
            QCOMPARE(out[1].delayMs, 80);
            break;
        case emu::Fault::Late:
            QCOMPARE(bytes, good + good);
            QCOMPARE(out[1].delayMs, 50);
            break;
        case emu::Fault::Delayed:
            QCOMPARE(bytes, good);
            QCOMPARE(out.size(), 1);
            QCOMPARE(out[0].delayMs, 6000);
            break;
        case emu::Fault::NoiseEtx:
            QVERIFY(!bytes.contains(char(0x01)));
            QCOMPARE(bytes.indexOf(char(0x03)), bytes.size() - 1);
            break;
        case emu::Fault::Stream:
            QCOMPARE(out.size(), 40);
            QCOMPARE(out[1].delayMs, 50);
            for (char c : bytes)
                QVERIFY(quint8(c) >= 0x20 && quint8(c) < 0x7F);
            break;
        default: QFAIL("unexpected fault");
        }
        // The fault was for one exchange only.
        QCOMPARE(joined(faulty.receive(request(0x22, 0x28, "482913;"))).size(), good.size());
    }

    void faultNamesAreChecked()
    {
        bool ok = true;
        emu::Fault::parse(QStringLiteral("sometimes"), &ok);
        QVERIFY(!ok);
        emu::Fault::parse(QStringLiteral("syn:x"), &ok);
        QVERIFY(!ok);
        emu::Fault::parse(QStringLiteral("syn:-3"), &ok);
        QVERIFY(!ok);
        emu::Fault::parse(QStringLiteral("8@nak"), &ok);
        QVERIFY(!ok);
        emu::Fault::parse(QStringLiteral("zz@nak"), &ok);
        QVERIFY(!ok);
    }

    void faultCanWaitForItsCommand()
    {
        bool ok = false;
        emu::Registrar reg;
        reg.injectFault(emu::Fault::parse(QStringLiteral("80@refuse:7:1"), &ok));
        QVERIFY(ok);
        QCOMPARE(decode(joined(reg.receive(request(0x21, 0x88, "482913;20;0;")))).errorWord, QByteArray("0000"));
        QCOMPARE(decode(joined(reg.receive(request(0x22, 0x28, "482913;")))).errorWord, QByteArray("0000"));
        QCOMPARE(decode(joined(reg.receive(request(0x23, 0x80, "482913;")))).errorWord, QByteArray("0107"));
        QCOMPARE(reg.journal().size(), 2); // the refused command was not carried out
        QCOMPARE(decode(joined(reg.receive(request(0x24, 0x80, "482913;")))).errorWord, QByteArray("0000"));
    }
};

QTEST_GUILESS_MAIN(RegistrarTest)
#include "tst_registrar.moc"
