// The emulator's memory across a restart: the state file read back whole, malformed files
// refused, and the file whole after the emulator is killed at a random moment.
#include "emulator/registrar.h"
#include "emulator/state_file.h"
#include "commands/command_codes.h"
#include "commands/verdict.h"
#include "link/command_result.h"

#include "link/code_page.h"
#include "link/device_link.h"
#include "link/frame.h"
#include "shell/emulator_child.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <thread>

namespace {

QByteArray send(emu::Registrar &reg, quint8 seq, const QString &params, quint8 code)
{
    reg.receive(frame::buildRequest(seq, code, code_page::toDevice(params)));
    return reg.journal().last().errorWord;
}

QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
}

QByteArray edited(const QByteArray &file, const QString &key, const QJsonValue &value)
{
    QJsonObject o = QJsonDocument::fromJson(file).object();
    if (value.isUndefined())
        o.remove(key);
    else
        o[key] = value;
    return QJsonDocument(o).toJson();
}

// An emulator on a pseudo-terminal with its memory in `statePath`, and a link to it.
struct Served {
    EmulatorChild child;
    DeviceLink link;
    explicit Served(const QString &statePath, const QStringList &more = {})
    {
        child.setProgram(QStringLiteral(EMULATOR_PATH));
        child.setArguments(QStringList{QStringLiteral("--state"), statePath} + more);
        QString error;
        const QString device = child.start(error);
        if (!device.isEmpty())
            link.OpenSerial(device, 115200);
    }
    // The reply's error word; "none" when no reply of this command came (the record then
    // still holds an earlier reply's word).
    QByteArray run(quint8 code, const QString &params)
    {
        const CommandResult *r = link.ExecuteCommand(code, code_page::toDevice(params));
        return Verdict::of(*r).replied() ? r->errorWord : QByteArray("none");
    }
};

} // namespace

class StateFileTest : public QObject {
    Q_OBJECT
private slots:
    // Everything a registrar keeps, after a day's work, reads back as it was written.
    void readsBackWhatItWrote()
    {
        emu::Registrar reg;
        QCOMPARE(send(reg, 0x21, QStringLiteral("482913;1;562.50;"), cmd::CashInOut), QByteArray("0000"));
        QCOMPARE(send(reg, 0x22, QStringLiteral("482913;0;Шапка;1;"), cmd::SetHeaderFooter), QByteArray("0000"));
        QCOMPARE(send(reg, 0x23, QStringLiteral("482913;"), cmd::OpenNonFiscalReceipt), QByteArray("0000"));
        QCOMPARE(send(reg, 0x24, QStringLiteral("482913;Текст;"), cmd::PrintText), QByteArray("0000"));
        emu::State &s = reg.state();
        s.fiscalMemory.append({7, QDateTime(QDate(2026, 12, 9), QTime(23, 0)), 123456, -789, 4});
        s.lastZReportNumber = 7;
        s.receiptJournal.append({3, QDateTime(QDate(2026, 12, 10), QTime(9, 1, 2, 345)), {"a", "b\x01"}});
        s.goods[42] = {42, "Хлеб", "42;Хлеб;1.00;"};
        s.daySales.append({42, 1500, 150, true, 3});
        s.dayPaymentsCents[4] = 150;
        s.cardPayments.append({4, 150, "TX-1"});
        s.fiscalPermissions[2] = false;
        s.serviceCounters[2] = 99;
        s.clockOffsetSecs = -3600;
        s.receipt.items.append({42, 1000, 100, 100, -10, 0x69, -10, 5, 0});
        s.receipt.paymentsCents[1] = 50;
        s.logo = QByteArray(48, '\x5A');
        s.flash = QByteArray(s.options.memory.flashSize, '\0');
        s.flash[777] = 'x';

        const QByteArray file = emu::StateFile::serialize(s);
        emu::Registrar restarted;
        QString error;
        QVERIFY2(emu::StateFile::deserialize(file, restarted.state(), error), qPrintable(error));
        const emu::State &r = restarted.state();
        QCOMPARE(r.cashInDrawerCents, 56250);
        QCOMPARE(r.receiptState, emu::State::kNonFiscalOpen);
        QCOMPARE(r.paperTape, s.paperTape);
        QCOMPARE(r.headerLines[0].text, s.headerLines[0].text);
        QCOMPARE(r.fiscalMemory.size(), 1);
        QCOMPARE(r.fiscalMemory[0].returnsCents, -789);
        QCOMPARE(r.fiscalMemory[0].time, s.fiscalMemory[0].time);
        QCOMPARE(r.receiptJournal[0].lines, s.receiptJournal[0].lines);
        QCOMPARE(r.receiptJournal[0].time, s.receiptJournal[0].time);
        QCOMPARE(r.goods.value(42).line, s.goods.value(42).line);
        QCOMPARE(r.daySales[0].operatorNumber, 3);
        QCOMPARE(r.cardPayments[0].transactionId, QByteArray("TX-1"));
        QVERIFY(r.fiscalPermissions == s.fiscalPermissions);
        QCOMPARE(r.receipt.items[0].discountCommand, 0x69);
        QVERIFY(r.receipt.paymentsCents == s.receipt.paymentsCents);
        QCOMPARE(r.flash, s.flash);
        // Written again, nothing lost or added on the way.
        QCOMPARE(emu::StateFile::serialize(r), file);

        // The restarted registrar goes on from there: the drawer pays out what went in.
        QCOMPARE(send(restarted, 0x25, QStringLiteral("482913;"), cmd::CloseNonFiscalReceipt), QByteArray("0000"));
        QCOMPARE(send(restarted, 0x26, QStringLiteral("482913;2;-562.50;"), cmd::CashInOut), QByteArray("0000"));
    }

    void refusesMalformedFiles_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QString>("reason");
        emu::State s;
        s.paperTape = {"one", "two"};
        const QByteArray good = emu::StateFile::serialize(s);
        QTest::newRow("not JSON") << QByteArray("{\"format\":1,") << QStringLiteral("not a state file");
        QTest::newRow("a list") << QByteArray("[1,2]") << QStringLiteral("not a state file");
        QTest::newRow("empty") << QByteArray() << QStringLiteral("not a state file");
        QTest::newRow("other format") << edited(good, QStringLiteral("format"), 2) << QStringLiteral("format");
        QTest::newRow("drawer missing") << edited(good, QStringLiteral("cashInDrawerCents"), QJsonValue::Undefined)
                                        << QStringLiteral("cashInDrawerCents");
        QTest::newRow("drawer a text") << edited(good, QStringLiteral("cashInDrawerCents"), QStringLiteral("5"))
                                       << QStringLiteral("cashInDrawerCents");
        QTest::newRow("drawer a fraction") << edited(good, QStringLiteral("cashInDrawerCents"), 1.5)
                                           << QStringLiteral("cashInDrawerCents");
        QTest::newRow("drawer beyond 2^53") << edited(good, QStringLiteral("cashInDrawerCents"), 1e300)
                                            << QStringLiteral("cashInDrawerCents");
        QTest::newRow("receipt state") << edited(good, QStringLiteral("receiptState"), 16) << QStringLiteral("receiptState");
        QTest::newRow("tape start beyond the tape") << edited(good, QStringLiteral("controlTapeStart"), 3)
                                                    << QStringLiteral("controlTapeStart");
        QTest::newRow("header lines short") << edited(good, QStringLiteral("headerLines"), QJsonArray{})
                                            << QStringLiteral("headerLines");
        QTest::newRow("tape line not base64") << edited(good, QStringLiteral("paperTape"), QJsonArray{QStringLiteral("@@")})
                                              << QStringLiteral("paperTape");
        QTest::newRow("negative receipt number") << edited(good, QStringLiteral("lastReceiptNumber"), -1)
                                                 << QStringLiteral("lastReceiptNumber");
        QTest::newRow("flash of another size") << edited(good, QStringLiteral("flash"), QStringLiteral("AAAA"))
                                               << QStringLiteral("flash");
        QTest::newRow("receipt not an object") << edited(good, QStringLiteral("receipt"), 5) << QStringLiteral("receipt");
        QTest::newRow("permissions short") << edited(good, QStringLiteral("fiscalPermissions"), QJsonArray{true})
                                           << QStringLiteral("fiscalPermissions");
    }

    // A refused file changes nothing and says which field is wrong.
    void refusesMalformedFiles()
    {
        QFETCH(QByteArray, file);
        QFETCH(QString, reason);
        emu::State s;
        s.cashInDrawerCents = 777;
        QString error;
        QVERIFY(!emu::StateFile::deserialize(file, s, error));
        QVERIFY2(error.contains(reason), qPrintable(error));
        QCOMPARE(s.cashInDrawerCents, 777);
    }

    // The issue of a power cycle: the drawer, the counters and the receipt numbers survive
    // a restart of the process; a malformed file stops it before it serves.
    void processKeepsItsMemoryAcrossARestart()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("state.json"));
        {
            Served first(path);
            QCOMPARE(first.run(cmd::CashInOut, QStringLiteral("482913;1;562.50;")), QByteArray("0000"));
            first.link.CloseSerial();
        }
        {
            Served second(path);
            QCOMPARE(second.run(cmd::CashInOut, QStringLiteral("482913;2;-562.50;")), QByteArray("0000"));
            QCOMPARE(second.run(cmd::CashInOut, QStringLiteral("482913;2;-0.01;")), QByteArray("080B"));
            second.link.CloseSerial();
        }
        writeFile(path, "{\"format\":1}");
        EmulatorChild refused;
        refused.setProgram(QStringLiteral(EMULATOR_PATH));
        refused.setArguments({QStringLiteral("--state"), path});
        QString error;
        QVERIFY(refused.start(error).isEmpty());
        // The refused file is left for the user to look at, not overwritten.
        QCOMPARE(readAll(path), QByteArray("{\"format\":1}"));
    }

    // Killed outright at random moments while it writes a large state, the emulator leaves
    // a whole file every time, holding every deposit it confirmed and at most the one it
    // carried out without answering.
    void fileStaysWholeWhenKilled()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("state.json"));
        emu::State big;
        for (int i = 0; i < 60000; ++i)
            big.paperTape.append("ТОВАР " + QByteArray::number(i) + "   1.000 X 10.00 = 10.00");
        writeFile(path, emu::StateFile::serialize(big));

        qint64 confirmed = 0;
        QRandomGenerator random(20261210);
        for (int round = 0; round < 4; ++round) {
            Served served(path);
            QVERIFY(served.child.running());
            const qint64 pid = served.child.processId();
            const int afterMs = 50 + int(random.bounded(400));
            std::thread killer([pid, afterMs] {
                std::this_thread::sleep_for(std::chrono::milliseconds(afterMs));
                ::kill(pid_t(pid), SIGKILL);
            });
            served.link.SetReplyCount(0);
            for (int i = 0; i < 200; ++i) {
                if (served.run(cmd::CashInOut, QStringLiteral("482913;1;1.00;")) != "0000")
                    break;
                confirmed += 100;
            }
            killer.join();
            served.link.CloseSerial();

            emu::State after;
            QString error;
            QVERIFY2(emu::StateFile::deserialize(readAll(path), after, error), qPrintable(error));
            QCOMPARE(after.paperTape.mid(0, big.paperTape.size()), big.paperTape);
            QVERIFY2(after.cashInDrawerCents >= confirmed && after.cashInDrawerCents <= confirmed + 100,
                     qPrintable(QStringLiteral("round %1: %2 in the file, %3 confirmed")
                                    .arg(round).arg(after.cashInDrawerCents).arg(confirmed)));
            confirmed = after.cashInDrawerCents;
            QVERIFY(QDir(dir.path()).entryList(QDir::Files).contains(QStringLiteral("state.json")));
        }
    }
};

QTEST_GUILESS_MAIN(StateFileTest)
#include "tst_state_file.moc"
