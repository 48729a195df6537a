// The script runner against the emulator behind a loopback link, on virtual time.
#include "app/application.h"
#include "link/code_page.h"
#include "emulator/registrar.h"
#include "scripts/script_runner.h"
#include "support/emulated_app.h"
#include "support/loopback_transport.h"
#include "support/recording_prompter.h"

#include <QDir>
#include <QFileInfo>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

using Outcome = ScriptRunner::Outcome;
Q_DECLARE_METATYPE(ScriptRunner::Outcome)

namespace {

const QDateTime kHostTime(QDate(2026, 12, 9), QTime(10, 0, 5));

class RecordingSink final : public ScriptSink {
public:
    void logLine(const QString &line) override { log << line; }
    void commandFields(const QString &code, const QString &, const QString &) override { codes << code; }
    void errorWord(const QString &word) override { errorWords << word; }
    void statusText(const QString &text) override { statuses << text; }
    void lineCounter(int line) override { counters << line; }
    void variablesCleared() override { rows.clear(); }
    void variableAdded(int number, const QString &name) override { rows[number] = {name, QString()}; }
    void variableChanged(int number, const QString &value) override { rows[number].second = value; }
    void speedSelected(qint32 rate) override { speeds << rate; }
    void connectionLost() override { ++lost; }
    void commandFailure(const QString &line) override { failures << line; }
    void processEvents() override
    {
        ++events;
        if (onEvents)
            onEvents();
    }

    QStringList log, codes, errorWords, statuses;
    QList<int> counters;
    QMap<int, QPair<QString, QString>> rows;
    QList<qint32> speeds;
    QStringList failures;
    int lost = 0;
    int events = 0;
    std::function<void()> onEvents;
};

// One runner with the emulator on the line.
struct Bench : EmulatedApp {
    RecordingSink sink;
    ScriptRunner runner{app, sink};

    Bench()
    {
        registrar.setHostTime(kHostTime);
        runner.setDateTimeSource([] { return kHostTime; });
    }
    QString write(const QByteArray &text, const QString &name = QStringLiteral("script.txt"))
    {
        const QString path = dir.filePath(name);
        QFile f(path);
        f.open(QIODevice::WriteOnly);
        f.write(text);
        return path;
    }
    Outcome run(const QByteArray &text)
    {
        runner.setScript(write(text));
        return runner.run();
    }
    // Commands the registrar carried out, as "CODE params".
    QStringList journal() const
    {
        QStringList out;
        for (const emu::Executed &e : registrar.journal())
            out << QString::asprintf("%02X ", e.code) + code_page::fromDevice(e.parameters);
        return out;
    }
    QString value(const char *name) const
    {
        for (const ScriptVariable &v : runner.variables())
            if (v.name == name)
                return code_page::fromDevice(v.value);
        return QStringLiteral("<none>");
    }
    QStringList printed() const
    {
        QStringList out;
        for (const QString &l : sink.log)
            if (l.startsWith(QLatin1Char(';')))
                out << l;
        return out;
    }
};

const QByteArray kDeclare = "%DeclareBeg\n%New a\n%New b\n%New n\n%DeclareEnd\n";
const QString kCodeRange = QStringLiteral("Неверный код команды: допустимы коды от 0x20 до 0xFF.");
const QString kNak = QStringLiteral("Ошибка выполнения команды. Регистратор отверг команду (NAK)");
const QString kChecksum = QStringLiteral("Неверная контрольная сумма");

} // namespace

class ScriptRunnerTest : public QObject {
    Q_OBJECT
private slots:
    void plainCommandLinesRunToTheEnd()
    {
        Bench b;
        const Outcome o = b.run("; reading\n"
                                "+ the clock\n"
                                "21482913;\n"
                                "\n"
                                "   \t\n"
                                "  28482913;  \n");
        QCOMPARE(o, Outcome::EndOfFile);
        QCOMPARE(b.journal(), (QStringList{"21 482913;", "28 482913;"}));
        QCOMPARE(b.prompter.messages(), QStringList{QStringLiteral("Конец файла!")});
        QCOMPARE(b.sink.log.size(), 5);
        QCOMPARE(b.sink.log[0], QStringLiteral("Комментарий::  the clock!!!"));
        // The frames without their SOH.
        QCOMPARE(b.sink.log[3], QStringLiteral("PC: ") + code_page::fromDevice(b.line->framesSent.last().mid(1)));
        QCOMPARE(b.sink.log[4], QStringLiteral("FP: ") + code_page::fromDevice(b.app.link().Result().reply.mid(1)));
        QVERIFY(b.sink.log[1].startsWith(QStringLiteral("PC: ")));
        QVERIFY(b.sink.log[2].startsWith(QStringLiteral("FP: ")));
        QVERIFY(b.sink.log[2].contains(QStringLiteral("0000;091226;1000;")));
        QCOMPARE(b.sink.errorWords.last(), QStringLiteral("0000"));
        QCOMPARE(b.sink.statuses.last(), QStringLiteral("00 00 00 00 00 00 "));
        QCOMPARE(b.sink.counters.last(), 0); // the end of the file resets the counter field
        QCOMPARE(b.sink.counters.mid(0, 7), (QList<int>{0, 1, 2, 3, 4, 5, 6}));
    }

    void commandFailuresEndTheRun_data()
    {
        QTest::addColumn<QByteArray>("script");
        QTest::addColumn<int>("fault"); // on the second command, none with None
        QTest::addColumn<Outcome>("outcome");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QStringList>("sent");
        QTest::newRow("wrong password") << QByteArray("21482913;\n21111111;\n28482913;\n") << int(emu::Fault::None)
                                        << Outcome::CommandFailed << QStringLiteral("Ошибка выполнения команды")
                                        << QStringList{"21 482913;", "21 111111;"};
        QTest::newRow("receipt not open") << QByteArray("61482913;text;\n60482913;\n") << int(emu::Fault::None)
                                          << Outcome::CommandFailed << QStringLiteral("Ошибка выполнения команды")
                                          << QStringList{"61 482913;text;"};
        QTest::newRow("no reply") << QByteArray("21482913;\n28482913;\n82482913;1;\n") << int(emu::Fault::Silence)
                                  << Outcome::NoReply << QStringLiteral("Ошибка выполнения команды. Таймаут")
                                  << QStringList{"21 482913;", "28 482913;"};
        // A refused frame and a reply that fails its check end a full run too.
        QTest::newRow("NAK") << QByteArray("21482913;\n28482913;\n82482913;1;\n") << int(emu::Fault::Nak)
                             << Outcome::Nak << kNak << QStringList{"21 482913;"};
        QTest::newRow("check mismatch") << QByteArray("21482913;\n28482913;\n82482913;1;\n")
                                        << int(emu::Fault::BadCheck) << Outcome::ChecksumError << kChecksum
                                        << QStringList{"21 482913;", "28 482913;"};
        QTest::newRow("no code: not sent under the previous one")
            << QByteArray("21482913;\nG1482913;\n") << int(emu::Fault::None) << Outcome::Refused << QStringLiteral("Неверный код команды!")
            << QStringList{"21 482913;"};
        QTest::newRow("unknown statement") << QByteArray("%Foo 1\n21482913;\n") << int(emu::Fault::None)
                                           << Outcome::Refused << QStringLiteral("Неверный код команды!") << QStringList{};
        // SOH and ETX in the command position would break the frame.
        QTest::newRow("code 01") << QByteArray("21482913;\n01482913;\n") << int(emu::Fault::None) << Outcome::Refused
                                 << kCodeRange << QStringList{"21 482913;"};
        QTest::newRow("code 1F") << QByteArray("1F482913;\n") << int(emu::Fault::None) << Outcome::Refused
                                 << kCodeRange << QStringList{};
    }
    void commandFailuresEndTheRun()
    {
        QFETCH(QByteArray, script);
        QFETCH(int, fault);
        Bench b;
        b.app.link().SetReplyCount(0);
        if (fault != emu::Fault::None) {
            emu::Fault f{emu::Fault::Kind(fault)};
            f.onlyCode = 0x28;
            b.registrar.injectFault(f);
        }
        QTEST(b.run(script), "outcome");
        QFETCH(QString, message);
        QCOMPARE(b.prompter.messages(), QStringList{message});
        QTEST(b.journal(), "sent");
    }

    void failedCommandShowsErrorWordAndStatus()
    {
        Bench b;
        QCOMPARE(b.run("60482913;\n60482913;\n"), Outcome::CommandFailed);
        QCOMPARE(b.sink.errorWords.last(), QStringLiteral("000B"));
        QCOMPARE(b.sink.statuses.last(), QStringLiteral("00 00 05 00 00 00 ")); // non-fiscal receipt open
        QCOMPARE(b.sink.counters.last(), 2);
    }

    void quietModeHidesFramesAndNeverSendsComments()
    {
        Bench b;
        b.runner.setQuiet(true);
        QCOMPARE(b.run("+1482913;\n; x\n21482913;\n"), Outcome::EndOfFile);
        QVERIFY(b.sink.log.isEmpty());
        QCOMPARE(b.journal(), QStringList{"21 482913;"});
        QCOMPARE(b.sink.errorWords, QStringList{"0000"});
    }

    void nakAndCheckMismatchEndContinueAndStep_data()
    {
        QTest::addColumn<int>("fault");
        QTest::addColumn<Outcome>("outcome");
        QTest::addColumn<QString>("message");
        QTest::newRow("NAK") << int(emu::Fault::Nak) << Outcome::Nak << kNak;
        QTest::newRow("check mismatch") << int(emu::Fault::BadCheck) << Outcome::ChecksumError << kChecksum;
    }
    void nakAndCheckMismatchEndContinueAndStep()
    {
        QFETCH(int, fault);
        for (const bool step : {false, true}) {
            Bench b;
            b.app.link().SetReplyCount(0);
            b.runner.setScript(b.write("21482913;\n28482913;\n"));
            b.registrar.injectFault({emu::Fault::Kind(fault)});
            QTEST(step ? b.runner.step(0) : b.runner.continueFrom(0), "outcome");
            QFETCH(QString, message);
            QCOMPARE(b.prompter.messages(), QStringList{message});
            QVERIFY(b.sink.log.isEmpty()); // no frame lines, no error word shown as this reply's
            QVERIFY(b.sink.errorWords.isEmpty());
            QCOMPARE(b.runner.lineCounter(), 1);
        }
    }

    void aLostReplyLeavesTheCounterOnItsLine_data()
    {
        QTest::addColumn<int>("mode"); // 0 "Выполнить", 1 "Продолжить", 2 "Шаг" over line 2
        QTest::newRow("run") << 0;
        QTest::newRow("continue") << 1;
        QTest::newRow("step") << 2;
    }
    void aLostReplyLeavesTheCounterOnItsLine()
    {
        // Line 2 was carried out, its reply lost: the counter stays on it, so "Продолжить"
        // goes on after it and never sends it again.
        QFETCH(int, mode);
        Bench b;
        b.runner.setScript(b.write("60482913;\n61482913;A;\n61482913;B;\n62482913;\n"));
        if (mode == 2)
            QCOMPARE(b.runner.step(0), Outcome::StepDone);
        b.registrar.injectFault({emu::Fault::Silence, 0, 0, 0x61});
        b.registrar.injectFault({emu::Fault::Silence, 0, 0, 0x61}); // the repeat's reply too
        const Outcome o = mode == 0 ? b.runner.run() : mode == 1 ? b.runner.continueFrom(0) : b.runner.step(1);
        QCOMPARE(o, Outcome::NoReply);
        QCOMPARE(b.runner.lineCounter(), 2);
        QCOMPARE(b.sink.counters.last(), 2);
        QCOMPARE(b.runner.continueFrom(b.runner.lineCounter()), Outcome::EndOfFile);
        QCOMPARE(b.journal(), (QStringList{"60 482913;", "61 482913;A;", "61 482913;B;", "62 482913;"}));
        QCOMPARE(b.registrar.receiptState(), 0);
    }

    void overLongLinesAreRefusedWhole_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<bool>("refused");
        // Read in pieces, the tail of this ignored line would open a receipt.
        QTest::newRow("ignored line with a command behind") << ';' + QByteArray(298, 'x') + "60482913;" << true;
        QTest::newRow("300 characters") << "82482913;" + QByteArray(291, '7') << true;
        QTest::newRow("299 characters") << "+" + QByteArray(298, 'a') << false;
        QTest::newRow("299 and trailing controls") << "+" + QByteArray(298, 'a') + "\t\r" << false;
    }
    void overLongLinesAreRefusedWhole()
    {
        QFETCH(QByteArray, line);
        QFETCH(bool, refused);
        const QByteArray script = "21482913;\n" + line + "\r\n28482913;\n";
        for (int mode = 0; mode < 3; ++mode) {
            Bench b;
            b.runner.setScript(b.write(script));
            const Outcome o = mode == 0 ? b.runner.run() : mode == 1 ? b.runner.continueFrom(0) : b.runner.step(1);
            if (!refused) {
                QCOMPARE(o, mode == 2 ? Outcome::StepDone : Outcome::EndOfFile);
                QCOMPARE(b.sink.log.filter(QStringLiteral("Комментарий")).value(0),
                         QStringLiteral("Комментарий:: ") + QString(298, QLatin1Char('a')) + "!!!");
                continue;
            }
            QCOMPARE(o, Outcome::Refused);
            QCOMPARE(b.prompter.messages(),
                     QStringList{QStringLiteral("Ошибка - строка 2 скрипта длиннее 299 символов, она не выполняется.")});
            QCOMPARE(b.journal(), mode == 2 ? QStringList{} : QStringList{"21 482913;"});
            QCOMPARE(b.registrar.receiptState(), 0);
        }
    }

    void declarationPrefix()
    {
        Bench b;
        QCOMPARE(b.run("%DeclareBeg cfg_\n%New count\n%DeclareEnd\n%Set cfg_count = \"7\"\n%Set count = \"1\"\n"),
                 Outcome::Refused);
        QCOMPARE(b.prompter.messages(), QStringList{QStringLiteral("Ошибка - присвоение несуществующей переменной.")});
        QCOMPARE(b.value("cfg_count"), QStringLiteral("7"));
        QCOMPARE(b.sink.rows.value(1), qMakePair(QStringLiteral("cfg_count"), QStringLiteral("7")));
        QCOMPARE(b.runner.declarationState(), DeclarationState::Failed);
    }

    void setValueForms_data()
    {
        QTest::addColumn<QByteArray>("statement");
        QTest::addColumn<QString>("value");
        QTest::newRow("bare number leaves it") << QByteArray("%Set a = 5") << QStringLiteral("old");
        QTest::newRow("quoted") << QByteArray("%Set a = \"5\"") << QStringLiteral("5");
        QTest::newRow("empty quotes") << QByteArray("%Set a = \"\"") << QString();
        QTest::newRow("variable") << QByteArray("%Set a = b") << QStringLiteral("bee");
        QTest::newRow("unknown name leaves it") << QByteArray("%Set a = zz") << QStringLiteral("old");
        QTest::newRow("reply field 1") << QByteArray("%Set a = %Ret1") << QStringLiteral("1000");
        QTest::newRow("reply field beyond the reply") << QByteArray("%Set a = %Ret7") << QString();
    }
    void setValueForms()
    {
        QFETCH(QByteArray, statement);
        Bench b;
        QCOMPARE(b.run(kDeclare + "%Set a = \"old\"\n%Set b = \"bee\"\n21482913;\n" + statement + "\n"),
                 Outcome::EndOfFile);
        QTEST(b.value("a"), "value");
        QTEST(b.sink.rows.value(1).second, "value");
    }

    void statementRefusals_data()
    {
        QTest::addColumn<QByteArray>("script");
        QTest::addColumn<QString>("message");
        QTest::addColumn<bool>("echoed");
        QTest::newRow("second DeclareBeg") << QByteArray("%DeclareBeg\n%New a\n%DeclareBeg\n")
                                           << QStringLiteral("Ошибка - ошибка в описаниях. DeclareBeg уже был ранее.")
                                           << false;
        QTest::newRow("New outside") << QByteArray("%New a\n")
                                     << QStringLiteral("Ошибка - ошибка в описаниях. Оператор New расположен вне секции описаний.")
                                     << false;
        QTest::newRow("New after DeclareEnd") << QByteArray("%DeclareBeg\n%New a\n%DeclareEnd\n%Print a\n%New b\n")
                                              << QStringLiteral("Ошибка - ошибка в описаниях. Оператор New расположен вне секции описаний.")
                                              << false;
        QTest::newRow("DeclareEnd outside") << QByteArray("%DeclareEnd\n")
                                            << QStringLiteral("Ошибка - ошибка в описаниях. Ошибочное расположение DeclareEnd.")
                                            << false;
        QTest::newRow("Set before DeclareEnd") << QByteArray("%DeclareBeg\n%New a\n%Set a = \"1\"\n")
                                               << QStringLiteral("Ошибка - ошибка в описаниях. Секция определений неверна.")
                                               << false;
        QTest::newRow("Set with = in quotes") << kDeclare + "%Set a = \"x=y\"\n"
                                              << QStringLiteral("Ошибка - ошибка в операторе Set.") << false;
        QTest::newRow("Set without =") << kDeclare + "%Set a \"1\"\n" << QStringLiteral("Ошибка - ошибка в операторе Set.")
                                       << false;
        QTest::newRow("While before New") << QByteArray("%DeclareBeg\n%While (1 < 2)\n")
                                          << QStringLiteral("Ошибка - ошибка в описаниях. Оператор New расположен вне секции описаний.")
                                          << false;
        QTest::newRow("RunCommand before New") << QByteArray("%RunCommand(33)\n")
                                               << QStringLiteral("Ошибка - ошибка в описаниях. Оператор New расположен вне секции описаний.")
                                               << false;
        QTest::newRow("If before New") << QByteArray("%If (1 < 2)\n")
                                       << QStringLiteral("Ошибка - ошибка в If-Then. Оператор New расположен вне секции описаний.")
                                       << false;
        QTest::newRow("Print before New") << QByteArray("%DeclareBeg\n%Print a\n") << QStringLiteral("Ошибка - ошибка в описаниях.")
                                          << false;
        QTest::newRow("If single =") << kDeclare + "%If (a=1)\n"
                                     << QStringLiteral("Некорректная операция в операторе If - ошибка!") << true;
        QTest::newRow("While no operator") << kDeclare + "%While (a)\n"
                                           << QStringLiteral("Некорректная операция в операторе While - ошибка!") << true;
        QTest::newRow("operand neither") << kDeclare + "%While (a < x1)\n" << QStringLiteral("Ошибка переменной!") << true;
        QTest::newRow("operand not a number") << kDeclare + "%If (a < 1)\n"
                                              << QStringLiteral("Ошибка - \"\" не является целым числом.") << true;
        QTest::newRow("EndWhile alone") << kDeclare + "%EndWhile\n" << QStringLiteral("Ошибка цикла While!") << true;
        QTest::newRow("Else alone") << kDeclare + "%Else\n" << QStringLiteral("Ошибка цикла If!") << true;
        QTest::newRow("Delay not a number") << QByteArray("%Delay 1s\n") << QStringLiteral("Ошибка - \"1s\" не является целым числом.")
                                            << true;
        QTest::newRow("Print %Ret20") << kDeclare + "%Print %Ret20\n" << QStringLiteral("Ошибка - номер поля %Ret больше 19.")
                                      << true;
        QTest::newRow("Set %Ret20") << kDeclare + "%Set a = %Ret20\n" << QStringLiteral("Ошибка - номер поля %Ret больше 19.")
                                    << true;
        // Numbers beyond 64 bits are refused, never wrapped round.
        QTest::newRow("While operand beyond 64 bits") << kDeclare + "%While (a < 18446744073709551617)\n"
                                                      << QStringLiteral("Ошибка переменной!") << true;
        QTest::newRow("Delay beyond 64 bits")
            << QByteArray("%Delay 18446744073709551716\n")
            << QStringLiteral("Ошибка - \"18446744073709551716\" не является целым числом.") << true;
        QTest::newRow("SetSpeed of no rate") << QByteArray("%SetSpeed 0\n") << QStringLiteral("Ошибка - неверная скорость порта: 0.")
                                             << true;
    }
    void statementRefusals()
    {
        QFETCH(QByteArray, script);
        Bench b;
        QCOMPARE(b.run(script + "21482913;\n"), Outcome::Refused);
        QFETCH(QString, message);
        QCOMPARE(b.prompter.messages(), QStringList{message});
        QFETCH(bool, echoed);
        const QByteArray last = script.trimmed().split('\n').last();
        QCOMPARE(!b.sink.log.isEmpty() && b.sink.log.last() == QString::fromLatin1(last), echoed);
        QVERIFY(b.registrar.journal().isEmpty());
    }

    void closedDeclarationsHoldWithinOneRunOnly()
    {
        // A script that ends right after its declarations runs again in the same session.
        const QByteArray script = "%DeclareBeg\n%New a\n%DeclareEnd\n%Set a = \"1\"\n";
        Bench b;
        QCOMPARE(b.run(script), Outcome::EndOfFile);
        QVERIFY(b.runner.declarationClosed());
        QCOMPARE(b.runner.run(), Outcome::EndOfFile);
        QCOMPARE(b.prompter.messages(), (QStringList{QStringLiteral("Конец файла!"), QStringLiteral("Конец файла!")}));
        QCOMPARE(b.value("a"), QStringLiteral("1"));

        // Inside one run a second section right after the first is misplaced.
        b.prompter.clear();
        QCOMPARE(b.run(script + "%DeclareBeg\n%New z\n"), Outcome::Refused);
        QCOMPARE(b.prompter.messages(), QStringList{QStringLiteral("Ошибка - неверное расположение описания данных.")});
        QCOMPARE(b.runner.declarationState(), DeclarationState::Failed);
        // ...and the refused run leaves nothing behind for the next one.
        QCOMPARE(b.run(script + "%Print a\n"), Outcome::EndOfFile);
        QCOMPARE(b.printed(), QStringList{";a=1"});
    }

    void countingLoop()
    {
        Bench b;
        QCOMPARE(b.run(kDeclare + "%Set a = \"0\"\n"
                                  "%While (a < 3)\n"
                                  "%Oper(a, 1, 0, a)\n"
                                  "%RunCommand(130, \"482913\", a)\n"
                                  "%EndWhile\n"
                                  "%Print a\n"),
                 Outcome::EndOfFile);
        QCOMPARE(b.journal(), (QStringList{"82 482913;1;", "82 482913;2;", "82 482913;3;"}));
        QCOMPARE(b.printed(), QStringList{";a=3"});
        QCOMPARE(b.sink.rows.value(1).second, QStringLiteral("0")); // Oper leaves the grid alone
        QCOMPARE(b.runner.whileBlocks().size(), 1);
        QCOMPARE(b.runner.whileBlocks()[0].status, WhileBlock::Status::Finished);
    }

    void falseFirstWhileRunsItsBodyOnceOnly()
    {
        Bench b;
        QCOMPARE(b.run("%DeclareBeg\n%New a\n%New b\n%New n\n%New m\n%DeclareEnd\n"
                       "%Set a = \"0\"\n%Set n = \"0\"\n%Set m = \"0\"\n"
                       "%While (a < 3)\n"
                       "%Oper(a, 1, 0, a)\n"
                       "%Set b = \"5\"\n"
                       "%While (b < 3)\n"
                       "%Oper(n, 1, 0, n)\n"
                       "%EndWhile\n"
                       "%Oper(m, 1, 0, m)\n"
                       "%EndWhile\n"
                       "%Print n\n%Print m\n"),
                 Outcome::EndOfFile);
        // First time round the inner condition is false but its end is unknown: the
        // body runs once; later it skips to its EndWhile and the outer body goes on.
        QCOMPARE(b.printed(), (QStringList{";n=1", ";m=3"}));
    }

    void ifBranches_data()
    {
        QTest::addColumn<QByteArray>("condition");
        QTest::addColumn<QString>("branch");
        QTest::newRow("a > b, equal") << QByteArray("(a > b)") << QStringLiteral(";n=else");
        QTest::newRow("a >= b, equal") << QByteArray("(a >= b)") << QStringLiteral(";n=then");
        QTest::newRow("a == 4") << QByteArray("(a == 4)") << QStringLiteral(";n=then");
        QTest::newRow("a < 4") << QByteArray("(a < 4)") << QStringLiteral(";n=else");
        QTest::newRow("3 <= a") << QByteArray("(3 <= a)") << QStringLiteral(";n=then");
    }
    void ifBranches()
    {
        QFETCH(QByteArray, condition);
        Bench b;
        QCOMPARE(b.run(kDeclare + "%Set a = \"4\"\n%Set b = \"4\"\n"
                                  "%If " + condition + "\n"
                                  "%Then\n%Set n = \"then\"\n"
                                  "%Else\n%Set n = \"else\"\n"
                                  "%EndIf\n%Print n\n"),
                 Outcome::EndOfFile);
        QFETCH(QString, branch);
        QCOMPARE(b.printed(), QStringList{branch});
    }

    void ifInsideLoopJumpsToItsBranches()
    {
        Bench b;
        QCOMPARE(b.run(kDeclare + "%Set a = \"0\"\n"
                                  "%While (a < 4)\n"
                                  "%Oper(a, 1, 0, a)\n"
                                  "%If (a <= 2)\n%Then\n;Print a\n%Else\n%Set n = a\n%Print n\n%EndIf\n"
                                  "%EndWhile\n"),
                 Outcome::EndOfFile);
        QCOMPARE(b.printed(), (QStringList{";a=1", ";a=2", ";n=3", ";n=4"}));
        QCOMPARE(b.runner.ifBlocks().size(), 1);
        QVERIFY(b.runner.ifBlocks()[0].thenSeen && b.runner.ifBlocks()[0].elseSeen);
    }

    void falseIfWithoutElseSearchesToTheEnd()
    {
        Bench b;
        QCOMPARE(b.run(kDeclare + "%If (1 > 2)\n%Then\n21482913;\n%EndIf\n28482913;\n"), Outcome::EndOfFile);
        QVERIFY(b.registrar.journal().isEmpty());
        QCOMPARE(b.prompter.messages(), QStringList{QStringLiteral("Конец файла!")});
    }

    void printReplyField()
    {
        Bench b;
        QCOMPARE(b.run(kDeclare + code_page::toDevice(QStringLiteral("22482913;3;Заголовок;1;\n"))
                       + "23482913;3;\n%Print %Ret0\n%Print %Ret1\n%Print %Ret5\n"),
                 Outcome::EndOfFile);
        QCOMPARE(b.printed(), (QStringList{QStringLiteral(";%Ret0=Заголовок"), ";%Ret1=1", ";%Ret5="}));
    }

    void runCommandBuildsParameters_data()
    {
        QTest::addColumn<QByteArray>("statement");
        QTest::addColumn<QByteArray>("sent"); // code byte then parameters
        QTest::newRow("code only") << QByteArray("%RunCommand(33)") << QByteArray("\x21");
        QTest::newRow("variable and digits") << QByteArray("%RunCommand(33, a, 1)") << QByteArray("\x21" "482913;1;");
        QTest::newRow("quotes of a value go") << QByteArray("%RunCommand(97,b,\"x y\")")
                                              << QByteArray("\x61" "q;x y;");
    }
    void runCommandBuildsParameters()
    {
        QFETCH(QByteArray, statement);
        Bench b;
        QCOMPARE(b.run(kDeclare + "%Set a = \"482913\"\n%Set b = \"\"q\"\"\n" + statement + "\n"),
                 Outcome::EndOfFile);
        QCOMPARE(b.line->framesSent.size(), 1);
        const QByteArray f = b.line->framesSent.last();
        QTEST(f.mid(3, f.size() - 9), "sent");
        QVERIFY(b.sink.log.isEmpty()); // nothing written, error word not judged
    }

    void runCommandRefusals_data()
    {
        QTest::addColumn<QByteArray>("statement");
        QTest::addColumn<QString>("message");
        QTest::newRow("unknown parameter") << QByteArray("%RunCommand(33, zz)") << QStringLiteral("Ошибка первого параметра!");
        QTest::newRow("empty parameter") << QByteArray("%RunCommand(33, a, )") << QStringLiteral("Ошибка первого параметра!");
        QTest::newRow("code not decimal") << QByteArray("%RunCommand(0x21)")
                                          << QStringLiteral("Ошибка - \"0x21\" не является целым числом.");
        QTest::newRow("code beyond a byte") << QByteArray("%RunCommand(289)") << kCodeRange;
        QTest::newRow("code of a control byte") << QByteArray("%RunCommand(1, a)") << kCodeRange;
        QTest::newRow("code 31") << QByteArray("%RunCommand(31)") << kCodeRange;
        // 2^64 + 96 wrapped round would send 0x60 and open a receipt.
        QTest::newRow("code beyond 64 bits") << QByteArray("%RunCommand(18446744073709551712, a)") << kCodeRange;
        QTest::newRow("21 parameters") << QByteArray("%RunCommand(33" + QByteArray(",1").repeated(21) + ")")
                                       << QStringLiteral("Ошибка - больше 20 параметров RunCommand.");
    }
    void runCommandRefusals()
    {
        QFETCH(QByteArray, statement);
        Bench b;
        QCOMPARE(b.run(kDeclare + statement + "\n"), Outcome::Refused);
        QTEST(b.prompter.messages().value(0), "message");
        QCOMPARE(b.sink.log.value(0), QString::fromLatin1(statement));
        QVERIFY(b.line->framesSent.isEmpty());
    }

    void operStatements_data()
    {
        QTest::addColumn<QByteArray>("statement");
        QTest::addColumn<QString>("message"); // empty: the run goes on
        QTest::addColumn<QString>("value");   // of n afterwards
        QTest::newRow("7 / 3") << QByteArray("%Oper(7, 3, 3, n)") << QString() << QStringLiteral("2");
        QTest::newRow("date turned") << QByteArray("%Oper(311299, 0, 12, n)") << QString() << QStringLiteral("991231");
        QTest::newRow("variables") << QByteArray("%Oper(a, b, 2, n)") << QString() << QStringLiteral("-24");
        QTest::newRow("concatenation") << QByteArray("%Oper(\"x\", a, 5, n)") << QString() << QStringLiteral("x-6");
        QTest::newRow("the clock") << QByteArray("%Oper(\"dd.mm.yy hh:nn:ss\", 0, 11, n)") << QString()
                                   << QStringLiteral("09.12.26 10:00:05");
        QTest::newRow("operation 13 leaves it") << QByteArray("%Oper(1, 1, 13, n)") << QString() << QStringLiteral("old");
        QTest::newRow("quoted into a sum") << QByteArray("%Oper(\"ab\", 1, 0, n)") << QStringLiteral("Ошибка операции!")
                                           << QStringLiteral("old");
        QTest::newRow("first unknown") << QByteArray("%Oper(zz, 1, 0, n)") << QStringLiteral("Ошибка первого параметра!")
                                       << QStringLiteral("old");
        QTest::newRow("second unknown") << QByteArray("%Oper(1, zz, 0, n)") << QStringLiteral("Ошибка второго параметра!")
                                        << QStringLiteral("old");
        QTest::newRow("operation a name") << QByteArray("%Oper(1, 1, a, n)") << QStringLiteral("Ошибка операции!")
                                          << QStringLiteral("old");
        QTest::newRow("result unknown") << QByteArray("%Oper(1, 1, 0, zz)") << QStringLiteral("Ошибка результата операции!")
                                        << QStringLiteral("old");
        QTest::newRow("division by zero") << QByteArray("%Oper(5, 0, 3, n)") << QStringLiteral("Ошибка - деление на ноль.")
                                          << QStringLiteral("old");
        QTest::newRow("remainder by zero") << QByteArray("%Oper(5, 0, 4, n)") << QStringLiteral("Ошибка - деление на ноль.")
                                           << QStringLiteral("old");
        QTest::newRow("first beyond 64 bits") << QByteArray("%Oper(20000000000000000000, 0, 0, n)")
                                              << QStringLiteral("Ошибка первого параметра!") << QStringLiteral("old");
        QTest::newRow("second beyond 64 bits") << QByteArray("%Oper(1, 18446744073709551617, 2, n)")
                                               << QStringLiteral("Ошибка второго параметра!") << QStringLiteral("old");
        QTest::newRow("operation beyond 64 bits") << QByteArray("%Oper(1, 1, 18446744073709551616, n)")
                                                  << QStringLiteral("Ошибка операции!") << QStringLiteral("old");
        QTest::newRow("long digits as text") << QByteArray("%Oper(20000000000000000000, 1, 5, n)") << QString()
                                             << QStringLiteral("200000000000000000001");
        QTest::newRow("text into a product") << QByteArray("%Oper(n, 2, 2, n)")
                                             << QStringLiteral("Ошибка - \"old\" не является целым числом.")
                                             << QStringLiteral("old");
    }
    void operStatements()
    {
        QFETCH(QByteArray, statement);
        QFETCH(QString, message);
        Bench b;
        const Outcome o = b.run(kDeclare + "%Set a = \"-6\"\n%Set b = \"4\"\n%Set n = \"old\"\n" + statement + "\n");
        QCOMPARE(o, message.isEmpty() ? Outcome::EndOfFile : Outcome::Refused);
        if (!message.isEmpty()) {
            QCOMPARE(b.prompter.messages(), QStringList{message});
            QCOMPARE(b.sink.log.last(), QString::fromLatin1(statement));
        }
        QTEST(b.value("n"), "value");
    }

    void operRandomIsInRangeAndReseededEachRun()
    {
        Bench b;
        b.runner.setSeedSource([] { return 2026u; });
        QByteArray script = kDeclare + "%Set a = \"0\"\n%While (a < 40)\n%Oper(a, 1, 0, a)\n%Oper(3, 5, 7, n)\n"
                                       "%Print n\n%EndWhile\n";
        QCOMPARE(b.run(script), Outcome::EndOfFile);
        const QStringList first = b.printed();
        QCOMPARE(first.size(), 40);
        QSet<QString> seen;
        for (const QString &p : first) {
            QVERIFY2(p == ";n=3" || p == ";n=4" || p == ";n=5", qPrintable(p));
            seen.insert(p);
        }
        QCOMPARE(seen.size(), 3);
        QCOMPARE(b.runner.run(), Outcome::EndOfFile);
        QCOMPARE(b.printed().mid(40), first); // the same seed at the start of every run
    }

    void delayWaitsOnTheClock()
    {
        Bench b;
        const qint64 t0 = b.clock.nowMs();
        QCOMPARE(b.run("%Delay 250\n%Delay250\n"), Outcome::EndOfFile);
        QCOMPARE(b.clock.nowMs() - t0, qint64(300)); // the second reads "50"
    }

    void setSpeedReopensThePort()
    {
        Bench b;
        QList<QPair<QString, qint32>> reopened;
        bool succeed = true;
        b.runner.setPortName(QStringLiteral("ttyS3"));
        b.runner.setPortReopener([&](const QString &port, qint32 rate) {
            reopened << qMakePair(port, rate);
            return succeed;
        });
        QCOMPARE(b.run("%SetSpeed 9600\n%SetSpeed 14400\n"), Outcome::EndOfFile);
        QCOMPARE(reopened.size(), 2);
        QCOMPARE(reopened[0], qMakePair(QStringLiteral("ttyS3"), qint32(9600)));
        QCOMPARE(b.sink.speeds, QList<qint32>{9600}); // 14400 is not in the baud list
        QCOMPARE(b.sink.log, (QStringList{"SetSpeed Port=ttyS3  Speed=9600", QStringLiteral("Подключение порта - успешно!"),
                                          "SetSpeed Port=ttyS3  Speed=14400", QStringLiteral("Подключение порта - успешно!")}));

        QCOMPARE(b.sink.lost, 0);
    }

    void setSpeedThatCannotReopenEndsTheRunDisconnected()
    {
        // The link's own reopening: the port it closed does not open again.
        Bench b;
        b.runner.setPortName(QStringLiteral("/nonexistent/ttyS9"));
        const qint64 t0 = b.clock.nowMs();
        QCOMPARE(b.run("%SetSpeed 4800\n21482913;\n"), Outcome::PortLost);
        QCOMPARE(b.sink.log, (QStringList{"SetSpeed Port=/nonexistent/ttyS9  Speed=4800",
                                          QStringLiteral("Ошибка подключения порта!")}));
        QVERIFY(b.clock.nowMs() - t0 >= ScriptRunner::kPortFailurePauseMs);
        QCOMPARE(b.sink.lost, 1);
        QCOMPARE(b.prompter.messages(),
                 QStringList{QStringLiteral("Порт не открылся на новой скорости: регистратор отключён, скрипт остановлен.")});
        QVERIFY(b.app.link().activeTransport() == nullptr);
        QVERIFY(b.registrar.journal().isEmpty()); // the line after it never ran
    }

    void setSpeedOverUsbLeavesTheConnection()
    {
        Bench b;
        b.app.state().serialConnected = false;
        b.app.state().usbConnected = true;
        int reopened = 0;
        b.runner.setPortReopener([&](const QString &, qint32) { return ++reopened > 0; });
        QCOMPARE(b.run("%SetSpeed 9600\n21482913;\n"), Outcome::EndOfFile);
        QCOMPARE(reopened, 0);
        QCOMPARE(b.sink.log.mid(0, 2),
                 (QStringList{"SetSpeed Port=USB  Speed=9600",
                              QStringLiteral("Подключение по USB: скорость порта компьютера не меняется, SetSpeed ничего не делает.")}));
        QVERIFY(b.sink.speeds.isEmpty());
        QCOMPARE(b.journal(), QStringList{"21 482913;"}); // the same link still answers
    }

    void runCommandFailuresAreLoggedAndTheRunGoesOn()
    {
        Bench b;
        b.app.link().SetReplyCount(0);
        emu::Fault nak{emu::Fault::Nak};
        nak.onlyCode = 0x28;
        b.registrar.injectFault(nak);
        QCOMPARE(b.run(kDeclare + "%Set a = \"482913\"\n"
                                  "%RunCommand(96, a)\n"  // opens a receipt
                                  "%RunCommand(96, a)\n"  // refused: one is open
                                  "%RunCommand(40, a)\n"  // NAK
                                  "%RunCommand(33, a)\n"  // fine
                                  "%Print %Ret0\n"),
                 Outcome::EndOfFile);
        QCOMPARE(b.sink.failures.size(), 2);
        QVERIFY2(b.sink.failures[0].startsWith(QStringLiteral("RunCommand(96): Ошибка выполнения команды, код ошибки 000B")),
                 qPrintable(b.sink.failures[0]));
        QCOMPARE(b.sink.failures[1], QStringLiteral("RunCommand(40): ") + kNak);
        QCOMPARE(b.printed(), QStringList{";%Ret0=091226"});
        QVERIFY(b.prompter.messages() == QStringList{QStringLiteral("Конец файла!")});

        // A reply that fails its check: logged, and its fields are not read as data.
        Bench c;
        c.app.link().SetReplyCount(0);
        c.registrar.injectFault({emu::Fault::BadCheck});
        QCOMPARE(c.run(kDeclare + "%Set a = \"x\"\n%RunCommand(33, \"482913\")\n%Print %Ret0\n%Set a = %Ret1\n"),
                 Outcome::EndOfFile);
        QCOMPARE(c.sink.failures, QStringList{QStringLiteral("RunCommand(33): ") + kChecksum});
        QCOMPARE(c.printed(), QStringList{";%Ret0="});
        QCOMPARE(c.value("a"), QString());
    }

    void limits_data()
    {
        QTest::addColumn<QByteArray>("script");
        QTest::addColumn<QString>("message");
        QByteArray many = "%DeclareBeg\n";
        for (int i = 0; i <= ScriptRunner::kMaxVariables; ++i)
            many += "%New v" + QByteArray::number(i) + "\n";
        QTest::newRow("101 variables") << many << QStringLiteral("Ошибка - больше 100 переменных.");
        QByteArray deep = kDeclare;
        for (int i = 0; i <= ScriptRunner::kMaxDepth; ++i)
            deep += "%While (1 < 2)\n";
        QTest::newRow("101 nested loops") << deep << QStringLiteral("Ошибка - больше 100 циклов While.");
        QByteArray ifs = kDeclare;
        for (int i = 0; i <= ScriptRunner::kMaxBlocks; ++i)
            ifs += "%If (1 < 2)\n%Then\n%Else\n%EndIf\n";
        QTest::newRow("101 If blocks") << ifs << QStringLiteral("Ошибка - больше 100 операторов If.");
        QTest::newRow("a value too long") << kDeclare + "%Oper(65, 70000, 8, a)\n"
                                          << QStringLiteral("Ошибка - значение длиннее 65535 символов.");
    }
    void limits()
    {
        QFETCH(QByteArray, script);
        Bench b;
        QCOMPARE(b.run(script), Outcome::Refused);
        QTEST(b.prompter.messages().value(0), "message");
    }

    void stopEndsALoopOfStatements()
    {
        Bench b;
        b.sink.onEvents = [&b] {
            if (b.sink.events == 500)
                b.runner.requestStop();
        };
        QCOMPARE(b.run(kDeclare + "%While (1 < 2)\n%Oper(a, 1, 5, a)\n%EndWhile\n"), Outcome::Stopped);
        QVERIFY(b.prompter.messages().isEmpty());
        QVERIFY(!b.runner.running());
        QCOMPARE(b.runner.lineCounter(), 500);
    }

    void noRestartWhileRunning()
    {
        Bench b;
        QList<Outcome> nested;
        b.sink.onEvents = [&] {
            if (nested.isEmpty()) {
                nested << b.runner.run() << b.runner.continueFrom(0) << b.runner.step(0);
            }
        };
        QCOMPARE(b.run("21482913;\n28482913;\n"), Outcome::EndOfFile);
        QCOMPARE(nested, (QList<Outcome>{Outcome::Busy, Outcome::Busy, Outcome::Busy}));
        QCOMPARE(b.registrar.journal().size(), 2);
    }

    void continueFromLineFive()
    {
        Bench b;
        QByteArray script;
        for (int i = 1; i <= 8; ++i)
            script += "82482913;" + QByteArray::number(i) + ";\n";
        b.runner.setScript(b.write(script));
        QCOMPARE(b.runner.continueFrom(5), Outcome::EndOfFile);
        QCOMPARE(b.journal(), (QStringList{"82 482913;6;", "82 482913;7;", "82 482913;8;"}));
        QCOMPARE(b.sink.counters.mid(0, 3), (QList<int>{6, 7, 8}));
    }

    void continueTakesLinesAsTheyStand()
    {
        Bench b;
        b.runner.setScript(b.write("; skipped\n+ shown\n\n21482913;\n%Set a = \"1\"\n28482913;\n"));
        QCOMPARE(b.runner.continueFrom(0), Outcome::Refused); // no statements here
        QCOMPARE(b.journal(), QStringList{"21 482913;"});
        QCOMPARE(b.prompter.messages(), QStringList{QStringLiteral("Неверный код команды!")});
        QCOMPARE(b.sink.log.first(), QStringLiteral("Комментарий::  shown!!!"));

        // A reply with a wrong check value stops Continue.
        b.prompter.clear();
        b.app.link().SetReplyCount(0); // a corrupted reply is otherwise asked again
        b.registrar.injectFault({emu::Fault::BadCheck});
        b.runner.setScript(b.write("28482913;\n21482913;\n"));
        QCOMPARE(b.runner.continueFrom(0), Outcome::ChecksumError);
        QCOMPARE(b.prompter.messages(), QStringList{QStringLiteral("Неверная контрольная сумма")});
    }

    void stepRunsOneLine()
    {
        Bench b;
        b.runner.setScript(b.write("; c\n\nx\n   \n21482913;\n+ note\n"));
        QCOMPARE(b.runner.step(0), Outcome::StepDone); // a ";" line ends the step
        QCOMPARE(b.runner.lineCounter(), 1);
        QVERIFY(b.registrar.journal().isEmpty());
        QCOMPARE(b.runner.step(1), Outcome::StepDone); // short and blank lines passed over
        QCOMPARE(b.runner.lineCounter(), 5);
        QCOMPARE(b.journal(), QStringList{"21 482913;"});
        QCOMPARE(b.runner.step(5), Outcome::StepDone);
        QCOMPARE(b.sink.log.last(), QStringLiteral("Комментарий::  note!!!"));
        QCOMPARE(b.runner.step(6), Outcome::EndOfFile);
        QCOMPARE(b.runner.lineCounter(), 0);
        QCOMPARE(b.prompter.messages(), QStringList{QStringLiteral("Конец файла!")});
    }

    void noScriptChosen()
    {
        Bench b;
        QCOMPARE(b.runner.run(), Outcome::NoFile);
        QCOMPARE(b.prompter.messages(), QStringList{QStringLiteral("Внимание! Файл не выбран!")});
        b.runner.setScript(b.dir.filePath(QStringLiteral("missing.txt")));
        QCOMPARE(b.runner.run(), Outcome::NoFile);
        QCOMPARE(b.prompter.messages().size(), 2);
    }

    void exampleScriptsRunCleanly_data()
    {
        QTest::addColumn<QString>("path");
        const QDir examples(QStringLiteral(EXAMPLES_DIR));
        const QStringList names = examples.entryList({QStringLiteral("*.txt")}, QDir::Files, QDir::Name);
        QVERIFY(names.size() >= 2);
        for (const QString &n : names)
            QTest::newRow(qPrintable(n)) << examples.filePath(n);
    }
    void exampleScriptsRunCleanly()
    {
        QFETCH(QString, path);
        Bench b;
        b.runner.setScript(path);
        QCOMPARE(b.runner.run(), Outcome::EndOfFile);
        QCOMPARE(b.prompter.messages(), QStringList{QStringLiteral("Конец файла!")});
        QVERIFY(!b.registrar.journal().isEmpty());
        QCOMPARE(b.registrar.receiptState(), 0);
    }
};

QTEST_GUILESS_MAIN(ScriptRunnerTest)
#include "tst_script_runner.moc"
