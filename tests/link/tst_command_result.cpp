// The reply record: field splitting, the flag word, the data adjustments.
#include "link/command_result.h"
#include "emulator/wire.h"
#include "link/byte_receiver.h"

#include <QTest>

namespace {

using Slots = std::array<QByteArray, CommandResult::kFieldSlots>;

// One receiver for the whole test program, as the link keeps one for its whole life.
ByteReceiver rx;

CommandResult parse(const QByteArray &bytes, int code = 0x21, CommandResult r = {})
{
    rx.resetForExchange();
    for (char c : bytes)
        rx.dispatch(static_cast<quint8>(c));
    r.commandCode = code;
    reply_parsing::parseReply(rx, r);
    return r;
}

QByteArray reply(const QByteArray &data, std::array<quint8, 6> status = {0x80, 0x80, 0x80, 0x80, 0x80, 0x80},
                 int code = 0x21, const QByteArray &errorWord = "0000")
{
    return emu::replyFrame(0x21, quint8(code), errorWord, data, status);
}

} // namespace

class CommandResultTest : public QObject {
    Q_OBJECT
private slots:
    void splitting_data()
    {
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<QList<QByteArray>>("fields");
        QTest::newRow("two fields") << QByteArray("12;ABC;") << QList<QByteArray>{"12", "ABC"};
        QTest::newRow("empty middle field") << QByteArray("12;;X;") << QList<QByteArray>{"12", "", "X"};
        QTest::newRow("single separator") << QByteArray(";") << QList<QByteArray>{""};
        QTest::newRow("double separator at end") << QByteArray("12;;") << QList<QByteArray>{"12;"};
        QTest::newRow("trailing double after two") << QByteArray("A;B;;") << QList<QByteArray>{"A", "B"};
        QTest::newRow("no final separator") << QByteArray("A;B") << QList<QByteArray>{"A", "B"};
        QTest::newRow("one field") << QByteArray("42;") << QList<QByteArray>{"42"};
        QTest::newRow("leading separator") << QByteArray(";X;") << QList<QByteArray>{"", "X"};
    }
    void splitting()
    {
        QFETCH(QByteArray, data);
        QFETCH(QList<QByteArray>, fields);
        Slots s;
        const int n = reply_parsing::splitFields(data, s);
        QCOMPARE(n, fields.size());
        for (int i = 0; i < n; ++i)
            QCOMPARE(s[i], fields[i]);
        for (int i = n; i < CommandResult::kFieldSlots; ++i)
            QVERIFY(s[i].isEmpty());
    }

    void neverMoreThanTwentyFields()
    {
        QByteArray data;
        for (int i = 1; i <= 30; ++i)
            data += QByteArray::number(i) + ';';
        Slots s;
        QCOMPARE(reply_parsing::splitFields(data, s), 20);
        QCOMPARE(s[0], QByteArray("1"));
        QCOMPARE(s[19], QByteArray("20"));
    }

    void emptyDataLeavesSlots()
    {
        Slots s;
        reply_parsing::splitFields("A;B;", s);
        QCOMPARE(reply_parsing::splitFields("", s), 0);
        QCOMPARE(s[1], QByteArray("B"));
    }

    void adjustments_data()
    {
        QTest::addColumn<int>("code");
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<QByteArray>("adjusted");
        QTest::newRow("0x32 comma after first") << 0x32 << QByteArray("512;") << QByteArray("5,12;");
        QTest::newRow("0x35 comma after first") << 0x35 << QByteArray("07;") << QByteArray("0,7;");
        QTest::newRow("0x3E ninth becomes comma") << 0x3E << QByteArray("01012027 1230;") << QByteArray("01012027,1230;");
        QTest::newRow("0x5A spaces in first 20") << 0x5A << QByteArray("A B C;") << QByteArray("A,B,C;");
        QTest::newRow("0x5A spaces after 20 kept")
            << 0x5A << QByteArray("0123456789012345678 X Y;") << QByteArray("0123456789012345678,X Y;");
        QTest::newRow("one character untouched") << 0x32 << QByteArray("5") << QByteArray("5");
        QTest::newRow("other command untouched") << 0x21 << QByteArray("A B;") << QByteArray("A B;");
        QTest::newRow("0x3E short data") << 0x3E << QByteArray("12 4;") << QByteArray("12 4;");
    }
    void adjustments()
    {
        QFETCH(int, code);
        QFETCH(QByteArray, data);
        QFETCH(QByteArray, adjusted);
        QCOMPARE(reply_parsing::adjustData(code, data), adjusted);
    }

    void adjustedFieldButOriginalCopy()
    {
        const CommandResult r = parse(reply("01012027 1230;", {0x80, 0x80, 0x80, 0x80, 0x80, 0x80}, 0x3E), 0x3E);
        QCOMPARE(r.data, QByteArray("01012027 1230;"));
        QCOMPARE(r.fieldCount, 1);
        QCOMPARE(r.field(0), QByteArray("01012027,1230"));
    }

    void statusBitsMapToFlagWord_data()
    {
        QTest::addColumn<int>("byte");
        QTest::addColumn<int>("bit");
        QTest::addColumn<int>("flag");
        const int map[][3] = {{0, 0, 0}, {0, 1, 1}, {0, 2, 2}, {0, 4, 3}, {1, 0, 4}, {1, 1, 5}, {1, 2, 6},
                              {1, 3, 7}, {1, 4, 8}, {2, 0, 9}, {2, 3, 10}, {2, 5, 11}, {1, 5, 12}, {4, 2, 13},
                              {5, 5, 14}, {4, 0, 16}, {4, 4, 17}, {5, 0, 18}, {5, 2, 19}, {4, 3, 20},
                              {5, 1, 21}, {5, 3, 22}, {5, 4, 23}, {0, 5, 27}, {4, 5, 28}};
        for (const auto &m : map)
            QTest::addRow("byte %d bit %d", m[0], m[1]) << m[0] << m[1] << m[2];
        QTest::newRow("byte 3 feeds nothing") << 3 << 0 << -1;
        QTest::newRow("byte 0 bit 3 feeds nothing") << 0 << 3 << -1;
        QTest::newRow("byte 2 bit 1 feeds nothing") << 2 << 1 << -1;
    }
    void statusBitsMapToFlagWord()
    {
        QFETCH(int, byte);
        QFETCH(int, bit);
        QFETCH(int, flag);
        std::array<quint8, 6> s = {0x80, 0x80, 0x80, 0x80, 0x80, 0x80};
        s[byte] |= quint8(1 << bit);
        const CommandResult r = parse(reply("", s));
        QCOMPARE(r.flags, flag < 0 ? 0u : (1u << flag));
        QCOMPARE(r.status[byte], quint8(1 << bit)); // bit 7 cleared
    }

    void linkBitsExcludeEachOther()
    {
        const std::array<quint8, 6> busy = {0xBF, 0xBF, 0xBF, 0xBF, 0xBF, 0xBF};
        // Check mismatch: only bit 24, status bits not mapped.
        QByteArray bad = reply("1;", busy);
        bad[bad.size() - 2] = bad[bad.size() - 2] == '0' ? '1' : '0';
        CommandResult r = parse(bad);
        QCOMPARE(r.flags, CommandResult::kChecksumBit);
        QCOMPARE(r.checksumError, quint8(1));
        QCOMPARE(r.fieldCount, 1);
        // NAK: only bit 25, no fields.
        r = parse(QByteArray(1, 0x15), 0x21, r);
        QCOMPARE(r.flags, CommandResult::kNakBit);
        QCOMPARE(r.checksumError, quint8(0));
        QCOMPARE(r.fieldCount, 0);
        // Nothing: only bit 26.
        r = parse({}, 0x21, r);
        QCOMPARE(r.flags, CommandResult::kNoReplyBit);
        QVERIFY(r.noReply());
    }

    void missingReplyKeepsPreviousErrorWordAndSlots()
    {
        CommandResult r = parse(reply("A;B;", {0x80, 0x80, 0x80, 0x80, 0x80, 0x80}, 0x21, "0306"));
        QCOMPARE(r.fieldCount, 2);
        r = parse({}, 0x21, r);
        QCOMPARE(r.fieldCount, 0);
        QCOMPARE(r.errorWord, QByteArray("0306"));
        QCOMPARE(r.fields[1], QByteArray("B"));
        QVERIFY(r.field(1).isEmpty()); // not valid past fieldCount
    }

    void freshRecordReadsEmpty()
    {
        const CommandResult r;
        QCOMPARE(r.fieldCount, 0);
        for (int i = 0; i < CommandResult::kFieldSlots; ++i)
            QVERIFY(r.fields[i].isEmpty());
        QVERIFY(r.field(-1).isEmpty());
        QVERIFY(r.field(25).isEmpty());
    }

    void statusText()
    {
        CommandResult r;
        r.status = {0x00, 0x0A, 0x7F, 0x10, 0x01, 0x3C};
        QCOMPARE(r.statusText(), QStringLiteral("00 0A 7F 10 01 3C "));
    }
};

QTEST_GUILESS_MAIN(CommandResultTest)
#include "tst_command_result.moc"
