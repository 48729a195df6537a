// The line series of the step runner: line N said under "<heading> N: ", the first failed
// line stops the series and is the verdict, the last reply is what "Код ошибки:" shows.
#include "app/step_runner.h"
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
};

QTEST_GUILESS_MAIN(StepRunnerTest)
#include "tst_step_runner.moc"
