// Script text: line reading, statement recognition, argument forms and Oper.
#include "scripts/script_parser.h"
#include "scripts/script_reader.h"

#include <QTemporaryDir>
#include <QTest>

using namespace script;

Q_DECLARE_METATYPE(script::Keyword)
Q_DECLARE_METATYPE(script::CompareOp)
Q_DECLARE_METATYPE(script::OperStatus)

class ScriptParserTest : public QObject {
    Q_OBJECT
private slots:
    void readerTakesWholeLinesAndMarksLongOnes()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("s.txt"));
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        // 350 characters, then CR LF; exactly 299 and LF; 299 followed by controls only;
        // trailing TAB; a last line without its end.
        f.write(QByteArray(350, 'a') + "\r\n" + QByteArray(299, 'b') + "\n" + QByteArray(299, 'c') + "\t\r\r\n"
                + "x\t \t\r\n" + "last");
        f.close();

        ScriptReader r;
        QVERIFY(r.open(path));
        QList<QByteArray> lines;
        QList<bool> tooLong;
        QList<qint64> starts;
        QByteArray line;
        for (;;) {
            starts << r.pos();
            if (!r.readLine(line))
                break;
            lines << line;
            tooLong << r.lineTooLong();
        }
        // The long line is one line (never a second one of its tail), marked too long.
        QCOMPARE(lines.size(), 5);
        QCOMPARE(tooLong, (QList<bool>{true, false, false, false, false}));
        QCOMPARE(lines[0], QByteArray(299, 'a'));
        QCOMPARE(lines[1], QByteArray(299, 'b'));
        QCOMPARE(lines[2], QByteArray(299, 'c'));
        QCOMPARE(lines[3], QByteArray("x\t ")); // only characters below 32 go at the end
        QCOMPARE(lines[4], QByteArray("last"));
        QCOMPARE(starts[1], qint64(352));

        // Back to the start of a line, and the search for a label.
        QVERIFY(r.seek(starts[3]));
        QVERIFY(r.readLine(line));
        QCOMPARE(line, QByteArray("x\t "));
        QVERIFY(r.seek(0));
        r.skipTo("las");
        QCOMPARE(r.pos(), starts[4]);
        r.skipTo("nowhere");
        QVERIFY(!r.readLine(line));
        QVERIFY(r.seek(0));
        QCOMPARE(r.skipLines(100), 5);
    }

    void readerKeepsLittleOfAnEndlessLine()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("s.txt"));
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(QByteArray(4 << 20, 'z') + "\n21482913;\n");
        f.close();
        ScriptReader r;
        QVERIFY(r.open(path));
        QByteArray line;
        QVERIFY(r.readLine(line));
        QVERIFY(r.lineTooLong());
        QCOMPARE(line.size(), 299);
        QVERIFY(r.readLine(line));
        QVERIFY(!r.lineTooLong());
        QCOMPARE(line, QByteArray("21482913;"));
    }

    void keywords_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<Keyword>("declaration");
        QTest::addColumn<Keyword>("control");
        QTest::newRow("SetSpeed before Set") << QByteArray("%SetSpeed 9600") << Keyword::SetSpeed << Keyword::None;
        QTest::newRow("Set") << QByteArray("%Set x = \"1\"") << Keyword::Set << Keyword::None;
        QTest::newRow("DeclareEnd") << QByteArray("%DeclareEnd") << Keyword::DeclareEnd << Keyword::None;
        QTest::newRow("New glued") << QByteArray("%Newx") << Keyword::New << Keyword::None;
        QTest::newRow("case counts") << QByteArray("%set x = 1") << Keyword::None << Keyword::None;
        QTest::newRow("declaration needs %") << QByteArray(";Set x") << Keyword::None << Keyword::None;
        QTest::newRow("Print behind ;") << QByteArray(";Print x") << Keyword::None << Keyword::Print;
        QTest::newRow("Print behind +") << QByteArray("+Print x") << Keyword::None << Keyword::Print;
        QTest::newRow("EndWhile is not While") << QByteArray("%EndWhile") << Keyword::None << Keyword::EndWhile;
        QTest::newRow("EndIf is not If") << QByteArray("%EndIf") << Keyword::None << Keyword::EndIf;
        QTest::newRow("RunCommand no blank") << QByteArray("%RunCommand(33)") << Keyword::None << Keyword::RunCommand;
        QTest::newRow("command line") << QByteArray("21482913;") << Keyword::None << Keyword::None;
        QTest::newRow("unknown %") << QByteArray("%Foo") << Keyword::None << Keyword::None;
        QTest::newRow("one character") << QByteArray("%") << Keyword::None << Keyword::None;
    }
    void keywords()
    {
        QFETCH(QByteArray, line);
        QFETCH(Keyword, declaration);
        QFETCH(Keyword, control);
        QCOMPARE(declarationKeyword(line), declaration);
        QCOMPARE(controlKeyword(line), control);
    }

    void fixedPositionArguments()
    {
        QCOMPARE(delayArgument("%Delay 250"), QByteArray("250"));
        QCOMPARE(delayArgument("%Delay250"), QByteArray("50")); // one character always skipped
        QCOMPARE(setSpeedArgument("%SetSpeed 9600 "), QByteArray("9600"));
        QCOMPARE(argumentOf("%DeclareBeg  cfg_ ", Keyword::DeclareBeg), QByteArray("cfg_"));
        QCOMPARE(argumentOf("%DeclareBeg", Keyword::DeclareBeg), QByteArray());
        QCOMPARE(argumentOf(";Print  x", Keyword::Print), QByteArray("x"));
    }

    void setStatements_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<QByteArray>("name");
        QTest::addColumn<QByteArray>("value");
        QTest::newRow("plain") << QByteArray("%Set x = \"5\"") << true << QByteArray("x") << QByteArray("\"5\"");
        QTest::newRow("no blanks") << QByteArray("%Set x=y") << true << QByteArray("x") << QByteArray("y");
        QTest::newRow("empty value") << QByteArray("%Set x =") << true << QByteArray("x") << QByteArray();
        QTest::newRow("no =") << QByteArray("%Set x \"5\"") << false << QByteArray() << QByteArray();
        QTest::newRow("= inside quotes") << QByteArray("%Set x = \"a=b\"") << false << QByteArray() << QByteArray();
        QTest::newRow("==") << QByteArray("%Set x == y") << false << QByteArray() << QByteArray();
    }
    void setStatements()
    {
        QFETCH(QByteArray, line);
        QFETCH(bool, ok);
        const std::optional<SetStatement> s = parseSet(line);
        QCOMPARE(s.has_value(), ok);
        if (ok) {
            QTEST(s->name, "name");
            QTEST(s->value, "value");
        }
    }

    void conditions_data()
    {
        QTest::addColumn<QByteArray>("argument");
        QTest::addColumn<QByteArray>("left");
        QTest::addColumn<CompareOp>("op");
        QTest::addColumn<QByteArray>("right");
        QTest::newRow("<") << QByteArray("(i < 3)") << QByteArray("i") << CompareOp::Less << QByteArray("3");
        QTest::newRow(">=") << QByteArray("(a>=b)") << QByteArray("a") << CompareOp::GreaterOrEqual << QByteArray("b");
        QTest::newRow("<= wins over <") << QByteArray("(a < b <= c)") << QByteArray("a < b") << CompareOp::LessOrEqual
                                        << QByteArray("c");
        QTest::newRow("single = is none") << QByteArray("(a=1)") << QByteArray() << CompareOp::None << QByteArray();
        QTest::newRow("brackets are just dropped") << QByteArray("xa==by") << QByteArray("a") << CompareOp::Equal
                                                   << QByteArray("b");
        QTest::newRow("too short") << QByteArray("<") << QByteArray() << CompareOp::None << QByteArray();
    }
    void conditions()
    {
        QFETCH(QByteArray, argument);
        const Condition c = parseCondition(argument);
        QTEST(c.left, "left");
        QTEST(c.op, "op");
        QTEST(c.right, "right");
    }

    void runCommandArguments()
    {
        RunCommandArguments r = parseRunCommand("(33)");
        QCOMPARE(r.code, QByteArray("33"));
        QVERIFY(r.parameters.isEmpty());
        r = parseRunCommand("(33, pw, 1)");
        QCOMPARE(r.code, QByteArray("33"));
        QCOMPARE(r.parameters, (QList<QByteArray>{"pw", "1"}));
        r = parseRunCommand("(97, \"a)b\", x) tail");
        QCOMPARE(r.parameters, (QList<QByteArray>{"\"a)b\"", "x"}));
        r = parseRunCommand("(34, \"a,b\")"); // a quoted parameter cannot hold ","
        QCOMPARE(r.parameters, (QList<QByteArray>{"\"a", "b\""}));
        QCOMPARE(parseRunCommand("33").code, QByteArray());
    }

    void operArguments()
    {
        OperArguments o = parseOper("(7, 3, 3, q)");
        QCOMPARE(o.a, QByteArray("7"));
        QCOMPARE(o.b, QByteArray("3"));
        QCOMPARE(o.op, QByteArray("3"));
        QCOMPARE(o.result, QByteArray("q"));
        o = parseOper("(1, 2)");
        QCOMPARE(o.b, QByteArray("2)"));
        QCOMPARE(o.op, QByteArray());
        QCOMPARE(o.result, QByteArray());
    }

    void operandForms()
    {
        QVERIFY(isDigits("007"));
        QVERIFY(!isDigits(""));
        QVERIFY(!isDigits("-1"));
        QVERIFY(!isDigits("1 "));
        QVERIFY(isQuoted("\"\""));
        QVERIFY(!isQuoted("\""));
        QCOMPARE(unquoted("\"ab\""), QByteArray("ab"));
        int n = -1;
        QVERIFY(parseReplyField("%Ret0", n));
        QCOMPARE(n, 0);
        QVERIFY(parseReplyField("%Ret19", n));
        QCOMPARE(n, 19);
        QVERIFY(parseReplyField("%Ret99999999999999", n));
        QCOMPARE(n, INT_MAX);
        QVERIFY(!parseReplyField("%Ret", n));
        QVERIFY(!parseReplyField("%ret1", n));
        QVERIFY(!parseReplyField("%Ret1x", n));
    }

    void integers_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<qint64>("value");
        QTest::newRow("digits") << QByteArray("250") << true << qint64(250);
        QTest::newRow("negative") << QByteArray("-7") << true << qint64(-7);
        QTest::newRow("plus") << QByteArray("+7") << true << qint64(7);
        QTest::newRow("lowest") << QByteArray("-9223372036854775808") << true << LLONG_MIN;
        QTest::newRow("beyond") << QByteArray("9223372036854775808") << false << qint64(0);
        QTest::newRow("below lowest") << QByteArray("-9223372036854775809") << false << qint64(0);
        // Beyond 64 bits a wrapped value would pass every check after it.
        QTest::newRow("2^64 + 96") << QByteArray("18446744073709551712") << false << qint64(0);
        QTest::newRow("2 * 10^19") << QByteArray("20000000000000000000") << false << qint64(0);
        QTest::newRow("-(2^64 + 1)") << QByteArray("-18446744073709551617") << false << qint64(0);
        QTest::newRow("empty") << QByteArray() << false << qint64(0);
        QTest::newRow("sign only") << QByteArray("-") << false << qint64(0);
        QTest::newRow("blank inside") << QByteArray("1 2") << false << qint64(0);
        QTest::newRow("letters") << QByteArray("abc") << false << qint64(0);
    }
    void integers()
    {
        QFETCH(QByteArray, text);
        QFETCH(bool, ok);
        qint64 v = 0;
        QCOMPARE(toInteger(text, v), ok);
        if (ok)
            QTEST(v, "value");
    }

    void commandLines()
    {
        CommandLine c = splitCommandLine("2F482913;1;2;");
        QCOMPARE(c.code, 0x2F);
        QCOMPARE(c.password, QByteArray("482913"));
        QCOMPARE(c.data, QByteArray("1;2;"));
        QCOMPARE(c.parameters, QByteArray("482913;1;2;"));
        QCOMPARE(splitCommandLine("2f482913;").code, 0x2F);
        QCOMPARE(splitCommandLine("G2482913;").code, -1);
        QCOMPARE(splitCommandLine("2G").code, -1);
        QCOMPARE(splitCommandLine("2").code, -1);
        QCOMPARE(splitCommandLine("21").parameters, QByteArray());
    }

    void oper_data()
    {
        QTest::addColumn<int>("op");
        QTest::addColumn<QByteArray>("a");
        QTest::addColumn<bool>("aQuoted");
        QTest::addColumn<QByteArray>("b");
        QTest::addColumn<OperStatus>("status");
        QTest::addColumn<QByteArray>("result");
        auto row = [](const char *tag, int op, const char *a, bool aq, const char *b, OperStatus s, const char *r) {
            QTest::newRow(tag) << op << QByteArray(a) << aq << QByteArray(b) << s << QByteArray(r);
        };
        const OperStatus done = OperStatus::Done;
        row("0 sum", 0, "2", false, "-5", done, "-3");
        row("1 difference", 1, "2", false, "5", done, "-3");
        row("2 product", 2, "-4", false, "5", done, "-20");
        row("3 quotient", 3, "7", false, "3", done, "2");
        row("3 toward zero", 3, "-7", false, "2", done, "-3");
        row("4 remainder", 4, "7", false, "3", done, "1");
        row("4 negative", 4, "-7", false, "3", done, "-1");
        row("5 text", 5, "ab", true, "12", done, "ab12");
        row("6 float", 6, "7", false, "2", done, "3.5");
        row("6 fifteen digits", 6, "1", false, "3", done, "0.333333333333333");
        row("6 whole", 6, "10", false, "5", done, "2");
        row("6 exponent", 6, "100000000000000000", false, "1", done, "1E17");
        row("7 single value", 7, "4", false, "4", done, "4");
        row("8 characters", 8, "65", false, "3", done, "AAA");
        row("8 none", 8, "65", false, "0", done, "");
        row("9 length", 9, "abcd", true, "0", done, "4");
        row("10 equal", 10, "ab", true, "ab", done, "1");
        row("10 case counts", 10, "ab", true, "AB", done, "0");
        row("12 date turned", 12, "311299", false, "0", done, "991231");
        row("12 short", 12, "3112", false, "0", done, "12" "31");
        row("13 nothing", 13, "1", false, "1", OperStatus::Unchanged, "");
        row("0 quoted refused", 0, "ab", true, "1", OperStatus::QuotedOperand, "");
        row("6 quoted refused", 6, "1", true, "1", OperStatus::QuotedOperand, "");
        row("0 not a number", 0, "ab", false, "1", OperStatus::NotInteger, "");
        row("3 by zero", 3, "5", false, "0", OperStatus::DivisionByZero, "");
        row("4 by zero", 4, "5", false, "0", OperStatus::DivisionByZero, "");
        row("6 by zero", 6, "5", false, "0", OperStatus::DivisionByZero, "");
        row("0 overflow", 0, "9223372036854775807", false, "1", OperStatus::Overflow, "");
        row("3 lowest by -1", 3, "-9223372036854775808", false, "-1", OperStatus::Overflow, "");
        row("8 too many", 8, "65", false, "100000000", OperStatus::TooLong, "");
        row("0 first beyond 64 bits", 0, "20000000000000000000", false, "0", OperStatus::FirstOutOfRange, "");
        row("7 second beyond 64 bits", 7, "1", false, "-18446744073709551617", OperStatus::SecondOutOfRange, "");
        row("5 long digits are text", 5, "20000000000000000000", false, "1", done, "200000000000000000001");
    }
    void oper()
    {
        QFETCH(int, op);
        QFETCH(QByteArray, a);
        QFETCH(bool, aQuoted);
        QFETCH(QByteArray, b);
        OperContext context;
        context.draw = [] { return 12345u; };
        QByteArray result, bad;
        QTEST(computeOper(op, {a, aQuoted}, {b, false}, context, result, bad), "status");
        QTEST(result, "result");
    }

    void operRandomStaysInRange()
    {
        OperContext context;
        quint32 draw = 0;
        context.draw = [&draw] { return draw++; };
        QByteArray result, bad;
        for (int i = 0; i < 20; ++i) {
            QCOMPARE(computeOper(7, {"10", false}, {"13", false}, context, result, bad), OperStatus::Done);
            QVERIFY(result.toInt() >= 10 && result.toInt() <= 13);
        }
        QCOMPARE(computeOper(7, {"5", false}, {"4", false}, context, result, bad), OperStatus::Done);
        QCOMPARE(result, QByteArray("5")); // n = 0: a
    }

    void dateFormats_data()
    {
        QTest::addColumn<QByteArray>("format");
        QTest::addColumn<QByteArray>("text");
        QTest::newRow("date") << QByteArray("dd.mm.yy") << QByteArray("05.03.26");
        QTest::newRow("time") << QByteArray("hh:nn:ss") << QByteArray("07:08:09");
        QTest::newRow("mm after hh is minutes") << QByteArray("hh:mm") << QByteArray("07:08");
        QTest::newRow("DDMMYY") << QByteArray("DDMMYY") << QByteArray("050326");
        QTest::newRow("short forms") << QByteArray("d/m/yyyy h") << QByteArray("5/3/2026 7");
        QTest::newRow("quoted text") << QByteArray("'dd' dd \"hh\"") << QByteArray("dd 05 hh");
        QTest::newRow("milliseconds") << QByteArray("zzz") << QByteArray("042");
    }
    void dateFormats()
    {
        QFETCH(QByteArray, format);
        const QDateTime t(QDate(2026, 3, 5), QTime(7, 8, 9, 42));
        QTEST(formatDateTime(format, t), "text");
    }
};

QTEST_APPLESS_MAIN(ScriptParserTest)
#include "tst_script_parser.moc"
