// Exchange logs written by real exchanges with the emulator, read back and decoded; and
// the same logs damaged.
#include "commands/exchange_log_reader.h"

#include "support/exchange_log_rig.h"

#include <QBuffer>
#include <QTest>

using Outcome = LoggedExchange::Outcome;

namespace {

using Rig = ExchangeLogRig;

QList<LoggedExchange> readAll(QByteArray bytes)
{
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    ExchangeLogReader reader(buffer);
    QList<LoggedExchange> out;
    LoggedExchange x;
    while (reader.next(x))
        out << x;
    return out;
}

QByteArray mixedLog(QList<CommandResult> *results = nullptr)
{
    Rig rig;
    rig.runEveryKind(results);
    return rig.log();
}

} // namespace

class ExchangeLogReaderTest : public QObject {
    Q_OBJECT
private slots:
    void decodesEveryKindOfExchange()
    {
        QList<CommandResult> results;
        const QList<LoggedExchange> xs = readAll(mixedLog(&results));
        QCOMPARE(xs.size(), 9);

        const QList<Outcome> outcomes = {Outcome::Success, Outcome::RegistrarError, Outcome::Nak, Outcome::Success,
                                         Outcome::Success, Outcome::NoReply, Outcome::ChecksumMismatch,
                                         Outcome::RegistrarError, Outcome::Success};
        for (int i = 0; i < xs.size(); ++i) {
            QCOMPARE(xs[i].outcome, outcomes[i]);
            QCOMPARE(xs[i].failed(), outcomes[i] != Outcome::Success);
            QVERIFY(xs[i].time.isValid());
            QVERIFY(!xs[i].timeFromSession);
        }

        // The identification: name from the catalogue, fields and status as the link had them.
        const LoggedExchange &id = xs[0];
        QCOMPARE(id.sequence, 0x21);
        QCOMPARE(id.code, 0x28);
        QCOMPARE(id.commandText(), QStringLiteral("Команда 28h: Получение параметров регистратора"));
        QCOMPARE(id.parametersText(), QStringLiteral("482913;"));
        QCOMPARE(id.synCount, 3L);
        QCOMPARE(id.errorWord, QByteArray("0000"));
        QCOMPARE(id.fields.size(), results[0].fieldCount);
        for (int i = 0; i < id.fields.size(); ++i)
            QCOMPARE(id.fields[i], results[0].field(i));
        QCOMPARE(id.statusText() + QLatin1Char(' '), results[0].statusText());
        QCOMPARE(id.receiptStage(), QStringLiteral("0. Документ закрыт"));

        QCOMPARE(xs[1].errorWord, QByteArray("0006"));
        QCOMPARE(xs[1].verdictText(), QStringLiteral("0006 Неверный пароль доступа!"));

        // The NAK and its repeat with the same SEQ.
        QVERIFY(!xs[2].hasStatus);
        QCOMPARE(xs[2].message, QStringLiteral("Регистратор отверг команду (NAK)! Ошибка!"));
        QVERIFY(!xs[2].repeat);
        QVERIFY(xs[3].repeat);
        QCOMPARE(xs[3].sequence, xs[2].sequence);

        // Windows-1251 parameters, and the receipt stage the registrar reports.
        QCOMPARE(xs[4].parametersText(), QStringLiteral("482913;Привет;"));
        QCOMPARE(xs[4].receiptStage(), QStringLiteral("5. Произвольный текстовый документ открыт"));

        QCOMPARE(xs[5].message, QStringLiteral("Таймаут устройства! Ошибка!"));
        QVERIFY(!xs[5].hasStatus);
        QVERIFY(xs[6].errorWord.isEmpty());
        QCOMPARE(xs[7].verdictText(), QStringLiteral("020B Ошибка работы с продажами! Неизвестный тип продажи!"));
    }

    void commentsOffGiveRequestsTimedBySession()
    {
        Rig rig;
        rig.link.Log().setCommentsEnabled(false);
        rig.link.Log().writeSessionStart();
        rig.link.ExecuteCommand(0x21, "482913;");
        rig.link.ExecuteCommand(0x2A, QByteArray());
        const QList<LoggedExchange> xs = readAll(rig.log());
        QCOMPARE(xs.size(), 2);
        for (const LoggedExchange &x : xs) {
            QCOMPARE(x.outcome, Outcome::Unlogged);
            QVERIFY(!x.failed());
            QVERIFY(x.timeFromSession);
            QVERIFY(x.time.isValid());
        }
        QCOMPARE(xs[1].code, 0x2A);
        QCOMPARE(xs[1].commandText(), QStringLiteral("Команда 2Ah"));
        QVERIFY(xs[1].parameters.isEmpty());
    }

    void lineFeedsInsideFramesStayInTheirRecord()
    {
        Rig rig;
        rig.link.ExecuteCommand(0x22, "482913;1;AB\nCD;0;");
        const CommandResult back = *rig.link.ExecuteCommand(0x23, "482913;1;");
        rig.link.ExecuteCommand(0x21, "482913;");
        const QList<LoggedExchange> xs = readAll(rig.log());
        QCOMPARE(xs.size(), 3);
        QCOMPARE(xs[0].parameters, QByteArray("482913;1;AB\nCD;0;"));
        QCOMPARE(xs[0].outcome, Outcome::Success);
        QCOMPARE(xs[1].outcome, Outcome::Success);
        QCOMPARE(xs[1].fields.value(0), back.field(0));
        QVERIFY(xs[1].fields.value(0).contains('\n'));
        QCOMPARE(xs[2].outcome, Outcome::Success);
    }

    void truncatedAnywhereKeepsWhatCameBefore()
    {
        const QByteArray full = mixedLog();
        const QList<LoggedExchange> whole = readAll(full);
        for (int cut = 0; cut < full.size(); ++cut) {
            const QList<LoggedExchange> part = readAll(full.left(cut));
            // At most one more: a line cut off at the end of the file that fits no record.
            QVERIFY2(part.size() <= whole.size() + 1, qPrintable(QString::number(cut)));
            if (part.size() > whole.size())
                QCOMPARE(part.last().outcome, Outcome::Damaged);
            // Every record but the last one read is whole and as in the full log.
            for (int i = 0; i + 1 < part.size(); ++i) {
                QVERIFY2(part[i].outcome == whole[i].outcome, qPrintable(QStringLiteral("cut %1 record %2").arg(cut).arg(i)));
                QCOMPARE(part[i].reply, whole[i].reply);
            }
            // The last one is either whole or marked.
            if (!part.isEmpty() && part.size() <= whole.size()) {
                const LoggedExchange &last = part.last();
                const LoggedExchange &same = whole[part.size() - 1];
                QVERIFY2((last.outcome == same.outcome && last.reply == same.reply && last.parameters == same.parameters)
                             || last.failed(),
                         qPrintable(QString::number(cut)));
            }
        }
    }

    void garbageBecomesOneDamagedRecord()
    {
        const QByteArray full = mixedLog();
        int at = 0;
        for (int i = 0; i < 5; ++i) // the session line and the first record
            at = full.indexOf('\n', at) + 1;
        QByteArray junk;
        for (int i = 0; i < 3000; ++i)
            junk += char((i * 37) % 251 + 1); // binary, with line feeds among it
        junk += "\n;" + QByteArray(9000, 'x') + "\n"; // an over-long line
        const QList<LoggedExchange> xs = readAll(full.left(at) + junk + full.mid(at));
        const QList<LoggedExchange> whole = readAll(full);
        QCOMPARE(xs.size(), whole.size() + 1);
        QCOMPARE(xs[1].outcome, Outcome::Damaged);
        QVERIFY(xs[1].message.startsWith(QStringLiteral("Нераспознанная строка")));
        QVERIFY(xs[1].notes.value(0).size() <= 121);
        for (int i = 2; i < xs.size(); ++i)
            QCOMPARE(xs[i].outcome, whole[i - 1].outcome);
    }

    void orphanRepliesAndMissingRepliesAreMarked()
    {
        const QByteArray full = mixedLog();
        QList<QByteArray> lines = full.split('\n');
        // Drop the request of the first exchange (its comment and text), and the reply
        // record of the second.
        lines.removeAt(1);
        lines.removeAt(1);
        lines.removeAt(5);
        lines.removeAt(5);
        const QList<LoggedExchange> xs = readAll(lines.join('\n'));
        QCOMPARE(xs[0].outcome, Outcome::Damaged);
        QCOMPARE(xs[0].message, QStringLiteral("Ответ без запроса"));
        QCOMPARE(xs[0].fields.size(), 7); // still decoded
        QCOMPARE(xs[1].outcome, Outcome::Unlogged);
        QCOMPARE(xs[1].notes, QStringList{QStringLiteral("Нет записи ответа")});
        QCOMPARE(xs[2].outcome, Outcome::Nak);

        // A request that ends the file lost its reply with the rest of the log.
        const QList<LoggedExchange> cut = readAll(lines.mid(0, 5).join('\n') + '\n');
        QCOMPARE(cut.last().outcome, Outcome::Damaged);
        QCOMPARE(cut.last().message, QStringLiteral("Журнал обрывается: нет записи ответа"));
    }

    void startupFrameStandsAloneWithoutFailing()
    {
        // Its answer is awaited and logged like any other ...
        Rig rig;
        rig.link.SendStartupFrame();
        rig.link.ExecuteCommand(0x21, "482913;");
        const QList<LoggedExchange> xs = readAll(rig.log());
        QCOMPARE(xs.size(), 2);
        QCOMPARE(xs[0].code, 0x88);
        QCOMPARE(xs[0].outcome, Outcome::Success);
        QCOMPARE(xs[1].outcome, Outcome::Success);

        // ... and a log that holds only its request (its answer was once thrown away
        // unread) still reads without a failure.
        QList<QByteArray> lines = rig.log().split('\n');
        lines.remove(2, 2); // the start-up frame's reply record
        const QList<LoggedExchange> older = readAll(lines.join('\n'));
        QCOMPARE(older.size(), 2);
        QCOMPARE(older[0].code, 0x88);
        QCOMPARE(older[0].outcome, Outcome::Unlogged);
        QVERIFY(older[0].notes.isEmpty());
        QCOMPARE(older[1].outcome, Outcome::Success);
    }

    void seekReadsTheSameRecordAgain()
    {
        QByteArray bytes = mixedLog();
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::ReadOnly);
        ExchangeLogReader reader(buffer);
        QList<LoggedExchange> xs;
        QList<QDateTime> sessions;
        LoggedExchange x;
        while (reader.next(x)) {
            xs << x;
            sessions << reader.sessionStart();
        }
        for (int i = xs.size() - 1; i >= 0; --i) {
            reader.seek(xs[i].offset, xs[i].line, sessions[i]);
            QVERIFY(reader.next(x));
            QCOMPARE(x.line, xs[i].line);
            QCOMPARE(x.code, xs[i].code);
            QCOMPARE(x.outcome, xs[i].outcome);
            QCOMPARE(x.fields, xs[i].fields);
        }
    }

    void stamps()
    {
        using exchange_log_reading::parseStamp;
        QCOMPARE(parseStamp(" 9-12-2026  4:05:07"), QDateTime(QDate(2026, 12, 9), QTime(4, 5, 7), Qt::UTC));
        QCOMPARE(parseStamp("31-01-2025 23:59:59"), QDateTime(QDate(2025, 1, 31), QTime(23, 59, 59), Qt::UTC));
        QVERIFY(!parseStamp("31-02-2025 23:59:59").isValid());
        QVERIFY(!parseStamp(" 9-12-2026 24:05:07").isValid());
        QVERIFY(!parseStamp("x9-12-2026 14:05:07").isValid());
        QVERIFY(!parseStamp(" 9-12-2026 14:05:0").isValid());
    }
};

QTEST_GUILESS_MAIN(ExchangeLogReaderTest)
#include "tst_exchange_log_reader.moc"
