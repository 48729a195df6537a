// The line series of the step runner: line N said under "<heading> N: ", the first failed
// line stops the series and is the verdict, the last reply is what "Код ошибки:" shows.
#include "app/receipt_stage.h"
#include "app/step_runner.h"
#include "support/emulated_app.h"
#include "commands/command_wrappers.h"
#include "link/command_result.h"
#include "support/recording_prompter.h"

#include <QTest>

namespace {

// One line's exchange: "ok", an error word ("000B"), "nak", "timeout", or "-N" for a
// wrapper that refuses with code -N.
CommandResult replyFor(const QString &token)
{
    CommandResult r;
    if (token == QLatin1String("timeout")) {
        r.flags = CommandResult::kNoReplyBit;
    } else if (token == QLatin1String("nak")) {
        r.flags = CommandResult::kNakBit;
        r.errorWord = "0000"; // an earlier reply's word
    } else {
        r.errorWord = token == QLatin1String("ok") ? QByteArray("0000") : token.toLatin1();
    }
    return r;
}

} // namespace

class StepRunnerTest : public QObject {
    Q_OBJECT

private slots:
    void lineSeries_data()
    {
        QTest::addColumn<bool>("check");
        QTest::addColumn<QString>("heading");
        QTest::addColumn<QStringList>("lines");
        QTest::addColumn<int>("tried");       // lines judged or checked
        QTest::addColumn<int>("failedLine");  // from 1; 0: none failed
        QTest::addColumn<QString>("errorWord");
        const QString row = QStringLiteral("Строка");
        QTest::newRow("all lines go") << false << row << QStringList{"ok", "ok", "ok"} << 3 << 0 << "0000";
        QTest::newRow("no lines") << false << row << QStringList{} << 0 << 0 << "";
        QTest::newRow("registrar error stops") << false << row << QStringList{"ok", "000B", "ok"} << 2 << 2 << "000B";
        QTest::newRow("timeout: no word") << false << row << QStringList{"timeout", "ok"} << 1 << 1 << "";
        QTest::newRow("nak: no earlier word") << false << row << QStringList{"ok", "ok", "nak"} << 3 << 3 << "";
        QTest::newRow("wrapper refusal keeps the last reply")
            << false << row << QStringList{"ok", "-3"} << 2 << 2 << "0000";
        QTest::newRow("no heading: the message alone") << false << QString() << QStringList{"000B"} << 1 << 1 << "000B";
        QTest::newRow("check: all fit") << true << row << QStringList{"", "", ""} << 3 << 0 << "";
        QTest::newRow("check: first refusal") << true << row << QStringList{"", "too long", "bad"} << 2 << 2 << "";
    }
    void lineSeries()
    {
        QFETCH(bool, check);
        QFETCH(QString, heading);
        QFETCH(QStringList, lines);
        QFETCH(int, tried);
        QFETCH(int, failedLine);
        QFETCH(QString, errorWord);

        RecordingPrompter prompter;
        VirtualClock clock;
        Application app(prompter, clock);
        StepRunner steps(app);
        CommandResult result;
        int calls = 0;
        bool ok = false;
        if (check) {
            ok = steps.checkLines(heading, int(lines.size()), [&](int i, int &code) {
                ++calls;
                code = lines[i].isEmpty() ? 0 : -1;
                return lines[i];
            });
        } else {
            ok = steps.sendLines(heading, int(lines.size()), [&](int i, int &code) {
                ++calls;
                code = lines[i].startsWith(QLatin1Char('-')) ? lines[i].toInt() : 0;
                result = replyFor(lines[i]);
                return &result;
            });
        }
        QCOMPARE(calls, tried);
        QCOMPARE(ok, failedLine == 0);
        QCOMPARE(steps.failed(), failedLine != 0);
        if (failedLine == 0) {
            QVERIFY(prompter.messages().isEmpty());
            QCOMPARE(steps.outcome(0).errorWordText(), errorWord);
            return;
        }
        // One message, the failed line's, after its heading; the verdict is that line's.
        const QString token = lines[failedLine - 1];
        QString message;
        Verdict::Kind kind = Verdict::Kind::Refused;
        if (check) {
            message = token;
        } else if (token.startsWith(QLatin1Char('-'))) {
            message = wrapper_codes::refusalMessage(token.toInt());
        } else {
            const Verdict v = Verdict::of(replyFor(token));
            kind = v.kind;
            message = v.message;
        }
        const QString lineHeading =
            heading.isEmpty() ? QString() : heading + QStringLiteral(" %1: ").arg(failedLine);
        QCOMPARE(prompter.messages(), QStringList{lineHeading + message});
        QCOMPARE(steps.verdict().kind, kind);
        QCOMPARE(steps.outcome(0).sent(), kind != Verdict::Kind::Refused);
        QCOMPARE(steps.outcome(0).errorWordText(), errorWord);
    }

    // How a lost reply is settled from the receipt stage before and after it: -1 is a
    // state that could not be read.
    void settlingFromTheReceiptStage_data()
    {
        using S = StepRunner::Settled;
        QTest::addColumn<QString>("command");
        QTest::addColumn<int>("before");
        QTest::addColumn<int>("after");
        QTest::addColumn<int>("expected"); // the open's document
        QTest::addColumn<int>("settled");
        const auto row = [](const char *name, const char *command, int before, int after, int expected, S settled) {
            QTest::newRow(name) << QString::fromLatin1(command) << before << after << expected << int(settled);
        };
        row("open: done", "open", 0x00, 0x01, 0x01, S::Done);
        row("open: not done", "open", 0x00, 0x00, 0x01, S::NotDone);
        row("open: state unread", "open", 0x00, -1, 0x01, S::Unknown);
        row("open: return asked, sale receipt open", "open", 0x00, 0x01, 0x11, S::Unknown);
        row("open: a receipt was open before", "open", 0x02, 0x02, 0x01, S::Unknown);
        row("open: non-fiscal done, before unknown", "open", -1, 0x05, 0x05, S::Done);
        row("payment: paid in full", "payment", 0x02, 0x04, 0, S::Done);
        row("payment: paid in part", "payment", 0x06, 0x03, 0, S::Done);
        row("payment: the rest paid", "payment", 0x03, 0x04, 0, S::Done);
        row("payment: stage stayed at the sale", "payment", 0x02, 0x02, 0, S::NotDone);
        row("payment: a part after a part", "payment", 0x03, 0x03, 0, S::Unknown);
        row("payment: already paid", "payment", 0x04, 0x04, 0, S::NotDone);
        row("payment: before unknown", "payment", -1, 0x04, 0, S::Unknown);
        row("close: closed", "close", 0x04, 0x00, 0, S::Done);
        row("close: still open", "close", 0x04, 0x04, 0, S::NotDone);
        row("close: state unread", "close", 0x04, -1, 0, S::Unknown);
    }
    void settlingFromTheReceiptStage()
    {
        QFETCH(QString, command);
        QFETCH(int, before);
        QFETCH(int, after);
        QFETCH(int, expected);
        QFETCH(int, settled);
        const auto known = [](int v) { return v < 0 ? std::nullopt : std::optional<int>(v); };
        StepRunner::Settled got = StepRunner::Settled::Unknown;
        if (command == QLatin1String("open"))
            got = receipt_stage::open(known(before), known(after), expected);
        else if (command == QLatin1String("payment"))
            got = receipt_stage::payment(known(before), known(after));
        else
            got = receipt_stage::close(known(after));
        QCOMPARE(int(got), settled);
    }

    // A non-fiscal receipt whose open was carried out but answered only by a NAK on the
    // repeat goes on as opened, and is closed once.
    void nonFiscalDocumentUnderLostReplies()
    {
        EmulatedApp env;
        const auto fault = [&](const char *text) {
            env.registrar.injectFault(emu::Fault::parse(QString::fromLatin1(text)));
        };
        fault("60@silence");
        fault("60@nak");
        StepRunner steps(env.app);
        int printed = 0;
        const bool ok = steps.document(steps.nonFiscalReceipt(QStringLiteral("482913"), StepTexts()), [&](StepRunner &) {
            ++printed;
            return true;
        });
        QVERIFY(ok);
        QCOMPARE(printed, 1);
        QCOMPARE(env.registrar.state().receiptState, 0);
        QVERIFY(env.prompter.messages().isEmpty());

        // A failed step, then a clean-up close that is refused twice: the receipt is still
        // open, and that is said.
        fault("65@nak");
        fault("65@nak");
        StepRunner failing(env.app);
        QVERIFY(!failing.document(failing.nonFiscalReceipt(QStringLiteral("482913"), StepTexts(), true),
                                  [&](StepRunner &) { return false; }));
        QCOMPARE(env.registrar.state().receiptState, 5);
        QCOMPARE(env.prompter.messages(), QStringList{StepRunner::kStillOpen});
    }
};

QTEST_GUILESS_MAIN(StepRunnerTest)
#include "tst_step_runner.moc"
