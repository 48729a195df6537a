// The command wrappers: the parameter string that goes out on the line, the refusals that
// send nothing, and number formats that ignore the process locale.
#include "link/command_result.h"
#include "commands/command_wrappers.h"
#include "link/device_link.h"
#include "support/loopback_transport.h"
#include "support/sent_frames.h"

#include <QFile>
#include <QLocale>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <clocale>
#include <cstdio>
#include <cmath>
#include <functional>
#include <limits>

using Call = std::function<CommandResult *(DeviceLink &, int &)>;
Q_DECLARE_METATYPE(Call)

namespace {

const QString kPw = QStringLiteral("482913");

// A link with the emulator behind it on virtual time.
struct Bench {
    VirtualClock clock;
    emu::Registrar registrar;
    DeviceLink link{clock};
    LoopbackTransport *line = nullptr;

    Bench()
    {
        auto t = std::make_unique<LoopbackTransport>(registrar, clock);
        line = t.get();
        link.attachTransport(std::move(t));
    }
    // The command byte and parameters of the last frame on the line.
    int lastCode() const { return lastFrameSent(*line).code; }
    QByteArray lastParams() const { return lastFrameSent(*line).parameters; }
};

const double kNaN = std::numeric_limits<double>::quiet_NaN();
const double kInf = std::numeric_limits<double>::infinity();

} // namespace

class CommandWrappersTest : public QObject {
    Q_OBJECT
private slots:
    void parameterStrings_data()
    {
        QTest::addColumn<Call>("call");
        QTest::addColumn<int>("command");
        QTest::addColumn<QByteArray>("params");
        QTest::addColumn<bool>("hasCode"); // the wrapper reports through `code`

        auto row = [](const char *tag, Call call, int command, const char *params,
                      bool hasCode = true) {
            QTest::newRow(tag) << call << command << QByteArray(params) << hasCode;
        };
        using L = DeviceLink;

        row("20 date and time", [](L &l, int &c) { return SetDateTime(l, kPw, "311224", "2359", c); },
            0x20, "482913;311224;2359;");
        row("21", [](L &l, int &c) { return GetDateTime(l, kPw, c); }, 0x21, "482913;");
        row("22 first line, Cyrillic in 1251",
            [](L &l, int &c) { return SetHeaderFooter(l, kPw, 0, "Привет", 1, c); }, 0x22,
            "482913;0;\xCF\xF0\xE8\xE2\xE5\xF2;1;");
        row("22 last line, empty text",
            [](L &l, int &c) { return SetHeaderFooter(l, kPw, 20, "", 0, c); }, 0x22,
            "482913;20;;0;");
        row("23", [](L &l, int &c) { return GetHeaderFooter(l, kPw, 20, c); }, 0x23,
            "482913;20;");
        row("27 hex and two-digit fields",
            [](L &l, int &c) { return SetRegistratorParams(l, kPw, 0, 3, 0x4A, 0xC, 0x1F, 0, 5, c); },
            0x27, "482913;0;3;004A;0C;1F;00;05;");
        row("27 wide values",
            [](L &l, int &c) { return SetRegistratorParams(l, kPw, 115200, 12, 0xFFFF, 0xAB, 0xCD, 0xEF, 42, c); },
            0x27, "482913;115200;12;FFFF;AB;CD;EF;42;");
        row("28", [](L &l, int &c) { return GetRegistratorParams(l, kPw, c); }, 0x28, "482913;");
        row("29 line 0 with 48 characters",
            [](L &l, int &c) { return SetUserLogo(l, kPw, 0, QString(48, 'F'), c); }, 0x29,
            "482913;0;FFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFF;");
        row("2B", [](L &l, int &c) { return SetModePsw(l, "000000", "111111", "222222", "333333", c); },
            0x2B, "000000;111111;222222;333333;");
        row("2C all operators", [](L &l, int &c) { return ClearOpetratorPsw(l, kPw, -1, c); }, 0x2C,
            "482913;-1;");
        row("2D", [](L &l, int &c) { return SetPaymentParams(l, kPw, 3, 0x1B, "Карта", c); }, 0x2D,
            "482913;3;1B;\xCA\xE0\xF0\xF2\xE0;");
        row("2E", [](L &l, int &c) { return GetPaymentParams(l, kPw, 9, c); }, 0x2E, "482913;9;");
        row("2F", [](L &l, int &c) { return SetOperatorParams(l, kPw, 2, "0002", "Ivan", c); }, 0x2F,
            "482913;2;0002;Ivan;");
        row("30", [](L &l, int &c) { return GetOperatorParams(l, kPw, 2, c); }, 0x30, "482913;2;");
        row("34", [](L &l, int &c) { return addMessageLine(l, kPw, 1, "B", c); }, 0x34,
            "482913;1;B;");
        row("35", [](L &l, int &c) { return setServiceReminder(l, "111", "222", "010125", 7, 0x1F, c); },
            0x35, "111;222;010125;7;1F;");
        row("36", [](L &l, int &c) { return getServiceReminder(l, kPw, c); }, 0x36, "482913;");
        row("40", [](L &l, int &c) { return Fiscalize(l, kPw, "4100012345", "777", c); }, 0x40,
            "482913;4100012345;777;");
        row("41", [](L &l, int &c) { return SetSerialNumber(l, kPw, "4100012345", c); }, 0x41,
            "482913;4100012345;");
        row("42", [](L &l, int &c) { return GetSerialNumber(l, kPw, c); }, 0x42, "482913;");
        row("43", [](L &l, int &c) { return SetFiscalNumber(l, kPw, "1234567890", c); }, 0x43,
            "482913;1234567890;");
        row("44", [](L &l, int &c) { return GetFiscalNumber(l, kPw, c); }, 0x44, "482913;");
        row("45", [](L &l, int &c) { return SetTaxIdNumber(l, kPw, "123456789012", "", c); }, 0x45,
            "482913;123456789012;;");
        row("46", [](L &l, int &c) { return GetTaxIdNumber(l, kPw, c); }, 0x46, "482913;");
        row("47 rate as typed, no linked group",
            [](L &l, int &c) { return SetTaxes(l, kPw, 1, 0, "20.00", "НДС", -1, c); }, 0x47,
            "482913;1;0;20.00;\xCD\xC4\xD1;-1;");
        row("48", [](L &l, int &c) { return GetTaxes(l, kPw, 4, c); }, 0x48, "482913;4;");
        row("49", [](L &l, int &c) { return setDecimalPoint(l, kPw, 2, c); }, 0x49, "482913;2;");
        row("4A", [](L &l, int &c) { return getDecimalPoint(l, kPw, c); }, 0x4A, "482913;");
        row("60", [](L &l, int &c) { return OpenNonFiscalReceipt(l, kPw, c); }, 0x60, "482913;");
        row("61 text with blanks kept", [](L &l, int &c) { return PrintText(l, kPw, "  a b  ", c); },
            0x61, "482913;  a b  ;");
        row("63", [](L &l, int &c) { return OpenFiscalReceipt(l, kPw, 1, 1, 0, c); }, 0x63,
            "482913;1;1;0;");
        row("64 quantity 1.5 price 10",
            [](L &l, int &c) { return SellItem(l, kPw, 1234, 1.5, 10, c); }, 0x64,
            "482913;1234;1.500;10.00;");
        row("64 free item, code beyond 2^31",
            [](L &l, int &c) { return SellItem(l, kPw, Q_INT64_C(9876543210123), 0.001, 0, c); },
            0x64, "482913;9876543210123;0.001;0.00;");
        row("64 rounding to the field's decimals",
            [](L &l, int &c) { return SellItem(l, kPw, 1, 2.0004, 1.999, c); }, 0x64,
            "482913;1;2.000;2.00;");
        row("65 close with 0", [](L &l, int &c) { return CloseFiscalReceipt(l, kPw, c); }, 0x65,
            "482913;0;");
        row("65 close with flag", [](L &l, int &c) { return CloseFiscalReceipt(l, kPw, 1, c); },
            0x65, "482913;1;");
        row("67 type 0", [](L &l, int &c) { return payReceipt(l, kPw, 0, 1234.5, c); }, 0x67,
            "482913;0;1234.50;");
        row("67 type 9", [](L &l, int &c) { return payReceipt(l, kPw, 9, 0.1, c); }, 0x67,
            "482913;9;0.10;");
        row("68 negative percent", [](L &l, int &c) { return applyItemDiscountPercent(l, kPw, -5, c); },
            0x68, "482913;-5.00;");
        row("69", [](L &l, int &c) { return applyItemDiscountAbsolute(l, kPw, 2.5, c); }, 0x69,
            "482913;2.50;");
        row("6A VEKR sale",
            [](L &l, int &c) { return sellItemVekr(l, kPw, Q_INT64_C(3000000000), 2, 99.99, 2147483647, c); },
            0x6A, "482913;3000000000;2.000;99.99;2147483647;");
        row("6A negative recipient widened",
            [](L &l, int &c) { return sellItemVekr(l, kPw, 1, 1, 1, -2, c); }, 0x6A,
            "482913;1;1.000;1.00;-2;");
        row("6B", [](L &l, int &c) { return voidReceipt(l, kPw, 3, c); }, 0x6B, "482913;3;");
        row("6D on display", [](L &l, int &c) { return printTotal(l, kPw, true, c); }, 0x6D,
            "482913;1;");
        row("6D printer only", [](L &l, int &c) { return printTotal(l, kPw, false, c); }, 0x6D,
            "482913;0;");
        row("6E withdrawal", [](L &l, int &c) { return moveCash(l, kPw, 1, -150.5, c); }, 0x6E,
            "482913;1;-150.50;");
        row("6E tiny negative is zero", [](L &l, int &c) { return moveCash(l, kPw, 1, -0.001, c); },
            0x6E, "482913;1;0.00;");
        row("73", [](L &l, int &c) { return applySubtotalDiscountPercent(l, kPw, 10, c); }, 0x73,
            "482913;10.00;");
        row("74", [](L &l, int &c) { return applySubtotalDiscountAbsolute(l, kPw, -1.25, c); }, 0x74,
            "482913;-1.25;");
        row("75", [](L &l, int &c) { return applyTaxGroupDiscountPercent(l, kPw, 3, 2, c); }, 0x75,
            "482913;3.00;2;");
        row("76", [](L &l, int &c) { return applyTaxGroupDiscountAbsolute(l, kPw, 0.5, 4, c); }, 0x76,
            "482913;0.50;4;");
        row("77", [](L &l, int &c) { return moveCashInReceipt(l, kPw, 0, 100, c); }, 0x77,
            "482913;0;100.00;");
        row("80", [](L &l, int &c) { return getDiagnosticInfo(l, kPw, c); }, 0x80, "482913;");
        row("81", [](L &l, int &c) { return showOnDisplay(l, kPw, 2, 0, "Итог", c); }, 0x81,
            "482913;2;0;\xC8\xF2\xEE\xE3;");
        row("84", [](L &l, int &c) { return printServiceReport(l, kPw, 3, c); }, 0x84, "482913;3;");
        row("88", [](L &l, int &c) { return setServiceCounter(l, kPw, 3, 0, c); }, 0x88,
            "482913;3;0;");
        row("89", [](L &l, int &c) { return getServiceCounter(l, kPw, 2, c); }, 0x89, "482913;2;");
        row("A0", [](L &l, int &c) { return getResourceInfo(l, kPw, c); }, 0xA0, "482913;");
        row("A1", [](L &l, int &c) { return printReport(l, kPw, 1, c); }, 0xA1, "482913;1;");
        row("A2", [](L &l, int &c) { return printPeriodicReportByDate(l, kPw, "010124", "311224", 1, c); },
            0xA2, "482913;010124;311224;1;");
        row("A3", [](L &l, int &c) { return printPeriodicReportByNumber(l, kPw, 1, 30, 0, c); }, 0xA3,
            "482913;1;30;0;");
        row("A4 codes beyond 2^31",
            [](L &l, int &c) {
                return printGoodsReport(l, kPw, Q_INT64_C(4294967296),
                                        std::numeric_limits<qint64>::max(), c);
            },
            0xA4, "482913;4294967296;9223372036854775807;");
        row("A4 lowest code",
            [](L &l, int &c) { return printGoodsReport(l, kPw, std::numeric_limits<qint64>::min(), 0, c); },
            0xA4, "482913;-9223372036854775808;0;");
        row("A5", [](L &l, int &c) { return printReceiptCopies(l, kPw, 5, 7, c); }, 0xA5,
            "482913;5;7;");
        row("A6", [](L &l, int &c) { return printAdditionalReport(l, kPw, 2, c); }, 0xA6,
            "482913;2;;;");
        row("F3", [](L &l, int &c) { return restartRegistrar(l, kPw, c); }, 0xF3, "482913;");

        // No out-parameter.
        row("E7 selector 0", [](L &l, int &) { return SetDataSource(l, kPw, 0, 17); }, 0xE7,
            "482913;0;;17;", false);
        row("E7 selector 1", [](L &l, int &) { return SetDataSource(l, kPw, 1, 2); }, 0xE7,
            "482913;1;;2;", false);
        row("E7 selector 2", [](L &l, int &) { return SetDataSource(l, kPw, 2, 99); }, 0xE7,
            "482913;2;;;", false);
        row("E7 selector 3", [](L &l, int &) { return SetDataSource(l, kPw, 3, -1); }, 0xE7,
            "482913;3;;-1;", false);
        row("E7 selector 5", [](L &l, int &) { return SetDataSource(l, kPw, 5, 99); }, 0xE7,
            "482913;5;;;", false);
        row("E8", [](L &l, int &) { return ReadDataFromBuf(l, kPw); }, 0xE8, "482913;", false);
        row("EB", [](L &l, int &) { return printCopiesByNumber(l, kPw, 10, 12); }, 0xEB,
            "482913;10;12;", false);
        row("EE", [](L &l, int &) { return searchControlTape(l, kPw, "010124", "0800", "020124", "2000", 1); },
            0xEE, "482913;010124;0800;020124;2000;1;", false);
    }
    void parameterStrings()
    {
        QFETCH(Call, call);
        QFETCH(int, command);
        QFETCH(QByteArray, params);
        QFETCH(bool, hasCode);

        Bench b;
        int code = 12345;
        CommandResult *r = call(b.link, code);
        QCOMPARE(r, &b.link.Result());
        QVERIFY(!b.line->framesSent.isEmpty());
        QCOMPARE(b.lastCode(), command);
        QCOMPARE(b.lastParams(), params);
        QCOMPARE(r->commandCode, command);
        QCOMPARE(code, hasCode ? 0 : 12345);
    }

    void refusalsSendNothing_data()
    {
        QTest::addColumn<Call>("call");
        QTest::addColumn<int>("expected");
        using L = DeviceLink;
        auto row = [](const char *tag, Call call, int expected) {
            QTest::newRow(tag) << call << expected;
        };
        const QString line48(48, '0');

        row("29 line below 0", [=](L &l, int &c) { return SetUserLogo(l, kPw, -1, line48, c); }, -110);
        row("29 47 characters", [](L &l, int &c) { return SetUserLogo(l, kPw, 0, QString(47, '0'), c); }, -111);
        row("29 49 characters", [](L &l, int &c) { return SetUserLogo(l, kPw, 0, QString(49, '0'), c); }, -111);
        row("29 empty line data", [](L &l, int &c) { return SetUserLogo(l, kPw, 3, "", c); }, -111);
        row("22 line -1", [](L &l, int &c) { return SetHeaderFooter(l, kPw, -1, "x", 0, c); }, -121);
        row("22 line 21", [](L &l, int &c) { return SetHeaderFooter(l, kPw, 21, "x", 0, c); }, -121);
        row("23 line -1", [](L &l, int &c) { return GetHeaderFooter(l, kPw, -1, c); }, -131);
        row("23 line 21", [](L &l, int &c) { return GetHeaderFooter(l, kPw, 21, c); }, -131);
        row("64 quantity 0", [](L &l, int &c) { return SellItem(l, kPw, 1, 0, 1, c); }, -151);
        row("64 quantity negative", [](L &l, int &c) { return SellItem(l, kPw, 1, -1, 1, c); }, -151);
        row("64 quantity NaN", [](L &l, int &c) { return SellItem(l, kPw, 1, kNaN, 1, c); }, -151);
        row("64 quantity infinite", [](L &l, int &c) { return SellItem(l, kPw, 1, kInf, 1, c); }, -151);
        row("64 both bad: quantity first", [](L &l, int &c) { return SellItem(l, kPw, 1, 0, -1, c); }, -151);
        row("64 price below 0", [](L &l, int &c) { return SellItem(l, kPw, 1, 1, -0.01, c); }, -152);
        row("64 price NaN", [](L &l, int &c) { return SellItem(l, kPw, 1, 1, kNaN, c); }, -152);
        row("64 price infinite", [](L &l, int &c) { return SellItem(l, kPw, 1, 1, kInf, c); }, -152);
        row("6A quantity 0", [](L &l, int &c) { return sellItemVekr(l, kPw, 1, 0, 1, 5, c); }, -151);
        row("6A price below 0", [](L &l, int &c) { return sellItemVekr(l, kPw, 1, 1, -1, 5, c); }, -152);
        row("67 type -1", [](L &l, int &c) { return payReceipt(l, kPw, -1, 1, c); }, -151);
        row("67 type 10", [](L &l, int &c) { return payReceipt(l, kPw, 10, 1, c); }, -151);

        // Text fields: ";" would shift every later field, SOH or ETX would land inside
        // the frame, a character outside Windows-1251 would go out as a substitute.
        row("61 separator", [](L &l, int &c) { return PrintText(l, kPw, "Total;9.99", c); }, -161);
        row("61 ETX", [](L &l, int &c) { return PrintText(l, kPw, QStringLiteral("a\x03" "b"), c); }, -162);
        row("61 SOH", [](L &l, int &c) { return PrintText(l, kPw, QStringLiteral("\x01"), c); }, -162);
        row("61 line break", [](L &l, int &c) { return PrintText(l, kPw, "a\nb", c); }, -162);
        row("61 control beats separator", [](L &l, int &c) { return PrintText(l, kPw, "a;\tb", c); }, -162);
        row("61 not in 1251", [](L &l, int &c) { return PrintText(l, kPw, QStringLiteral("Grüße"), c); }, -163);
        row("61 CJK", [](L &l, int &c) { return PrintText(l, kPw, QStringLiteral("合计"), c); }, -163);
        row("password with separator", [](L &l, int &c) { return GetDateTime(l, "48;2913", c); }, -161);
        row("2F operator name", [](L &l, int &c) { return SetOperatorParams(l, kPw, 1, "0000", "Ив;ан", c); }, -161);
        row("2D payment name", [](L &l, int &c) { return SetPaymentParams(l, kPw, 1, 3, QStringLiteral("\x1f"), c); }, -162);
        row("22 header text", [](L &l, int &c) { return SetHeaderFooter(l, kPw, 1, QStringLiteral("€ ок ✓"), 0, c); }, -163);
        row("29 logo data", [](L &l, int &c) { return SetUserLogo(l, kPw, 0, QString(47, '0') + ';', c); }, -161);
        row("81 display", [](L &l, int &c) { return showOnDisplay(l, kPw, 0, 0, "1;2", c); }, -161);
    }
    void refusalsSendNothing()
    {
        QFETCH(Call, call);
        QFETCH(int, expected);

        Bench b;
        int code = 0;
        GetDateTime(b.link, kPw, code);
        const int framesBefore = b.line->framesSent.size();
        const CommandResult before = b.link.Result();

        CommandResult *r = call(b.link, code);
        QCOMPARE(code, expected);
        QCOMPARE(b.line->framesSent.size(), framesBefore);
        QCOMPARE(r, &b.link.Result());
        // The previous reply is left as it was.
        QCOMPARE(r->commandCode, before.commandCode);
        QCOMPARE(r->request, before.request);
        QCOMPARE(r->parameters, before.parameters);
        QCOMPARE(r->errorWord, before.errorWord);
        QCOMPARE(r->flags, before.flags);
    }

    void textAtTheEdgesOfTheCodePageGoesOut()
    {
        // Everything Windows-1251 holds passes, the euro sign and 0x7F included.
        Bench b;
        int code = 1;
        const QString text = QStringLiteral("Ёё €№ ~\x7f");
        PrintText(b.link, kPw, text, code);
        QCOMPARE(code, 0);
        QCOMPARE(b.lastParams(), QByteArray("482913;\xA8\xB8 \x88\xB9 ~\x7f;"));
        QCOMPARE(param_format::textRefusal(QStringLiteral("1;2;3;"), true), 0);
        QCOMPARE(param_format::textRefusal(QStringLiteral("1;\x03;"), true), wrapper_codes::kTextControl);
        QVERIFY(!wrapper_codes::refusalMessage(wrapper_codes::kTextSeparator).isEmpty());
    }

    void refusedTextWithoutCodeReadsAsNotRun_data()
    {
        QTest::addColumn<Call>("call");
        using L = DeviceLink;
        QTest::newRow("EE") << Call([](L &l, int &) {
            return searchControlTape(l, kPw, "010124;", "0800", "020124", "2000", 1);
        });
        QTest::newRow("EB password") << Call([](L &l, int &) { return printCopiesByNumber(l, "4829\x03", 1, 2); });
        QTest::newRow("E8 password") << Call([](L &l, int &) { return ReadDataFromBuf(l, "48;"); });
    }
    void refusedTextWithoutCodeReadsAsNotRun()
    {
        // These wrappers have no `code`: left as it was, the previous good reply would
        // read as this command's success.
        QFETCH(Call, call);
        Bench b;
        int code = 0;
        GetDateTime(b.link, kPw, code);
        QCOMPARE(b.link.Result().errorWord, QByteArray("0000"));
        const int framesBefore = b.line->framesSent.size();
        CommandResult *r = call(b.link, code);
        QCOMPARE(b.line->framesSent.size(), framesBefore);
        QVERIFY(r->noReply());
        QCOMPARE(r->fieldCount, 0);
    }

    void dataSourceUnknownSelectorSendsNothing_data()
    {
        QTest::addColumn<int>("selector");
        QTest::newRow("4") << 4;
        QTest::newRow("6") << 6;
        QTest::newRow("-1") << -1;
    }
    void dataSourceUnknownSelectorSendsNothing()
    {
        QFETCH(int, selector);
        Bench b;
        CommandResult *r = SetDataSource(b.link, kPw, selector, 1);
        QCOMPARE(r, &b.link.Result());
        QVERIFY(b.line->framesSent.isEmpty());
        QVERIFY(b.registrar.journal().isEmpty());
    }

    void decimalPointIgnoresLocale()
    {
        // Both locales a formatting could consult say ",": Qt's default, and the C
        // library's, from a locale of our own with a comma as its decimal point (compiled
        // here, so the check holds where no such locale is installed).
        const QLocale savedDefault;
        const QByteArray savedC = std::setlocale(LC_NUMERIC, nullptr);
        const QByteArray savedPath = qgetenv("LOCPATH");
        QTemporaryDir locales;
        {
            QFile source(locales.filePath(QStringLiteral("comma.src")));
            QVERIFY(source.open(QIODevice::WriteOnly));
            source.write("LC_NUMERIC\ndecimal_point \"<U002C>\"\nthousands_sep \"<U0020>\"\ngrouping 3;3\n"
                         "END LC_NUMERIC\n");
        }
        QProcess localedef;
        localedef.setProcessChannelMode(QProcess::MergedChannels);
        localedef.start(QStringLiteral("localedef"), {QStringLiteral("-c"), QStringLiteral("-i"),
                                                      locales.filePath(QStringLiteral("comma.src")),
                                                      locales.filePath(QStringLiteral("comma"))});
        QVERIFY2(localedef.waitForFinished(60000), "localedef (Debian's libc-bin) did not run");
        qputenv("LOCPATH", QFile::encodeName(locales.path()));
        const bool cLocaleSet = std::setlocale(LC_NUMERIC, "comma") != nullptr;
        QVERIFY2(cLocaleSet, localedef.readAll().constData());
        char printed[16];
        std::snprintf(printed, sizeof printed, "%.1f", 1.5);
        QCOMPARE(QByteArray(printed), QByteArray("1,5"));
        QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
        QCOMPARE(QLocale().decimalPoint(), QStringLiteral(","));

        Bench b;
        int code = -1;
        SellItem(b.link, kPw, 1234, 1.5, 10, code);
        const QByteArray sale = b.lastParams();
        payReceipt(b.link, kPw, 0, 12345.67, code);
        const QByteArray payment = b.lastParams();
        applyItemDiscountPercent(b.link, kPw, -2.5, code);
        const QByteArray discount = b.lastParams();

        std::setlocale(LC_NUMERIC, savedC.constData());
        if (savedPath.isNull())
            qunsetenv("LOCPATH");
        else
            qputenv("LOCPATH", savedPath);
        QLocale::setDefault(savedDefault);

        QCOMPARE(sale, QByteArray("482913;1234;1.500;10.00;"));
        QCOMPARE(payment, QByteArray("482913;0;12345.67;")); // no group separator either
        QCOMPARE(discount, QByteArray("482913;-2.50;"));
    }

    void registrarReceivesEachRequestOnce()
    {
        // What the registrar's own journal records, not only what left the link.
        Bench b;
        int code = -1;
        OpenFiscalReceipt(b.link, kPw, 1, 1, 0, code);
        QCOMPARE(code, 0);
        const int before = b.registrar.journal().size();
        CommandResult *r = SellItem(b.link, kPw, 77, 1.5, 10, code);
        QCOMPARE(code, 0);
        QVERIFY(!r->noReply());
        QCOMPARE(b.registrar.journal().size(), before + 1);
        QCOMPARE(b.registrar.journal().last().code, quint8(0x64));
        QCOMPARE(b.registrar.journal().last().parameters, QByteArray("482913;77;1.500;10.00;"));
    }
};

QTEST_GUILESS_MAIN(CommandWrappersTest)
#include "tst_command_wrappers.moc"
