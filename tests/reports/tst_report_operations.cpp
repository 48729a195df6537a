// The report operations against the emulator on virtual time: what each sequence sends,
// where it stops, and that a receipt it opened never stays open.
#include "app/application.h"
#include "commands/command_codes.h"
#include "emulator/wire.h"
#include "link/code_page.h"
#include "reports/additional_reports.h"
#include "reports/daily_reports.h"
#include "reports/goods_report.h"
#include "reports/periodic_report.h"
#include "app/screen_input.h"
#include "commands/command_wrappers.h"
#include "reports/resource_info.h"

#include "support/emulated_app.h"
#include "support/sent_frames.h"

#include <QTest>

#include <algorithm>
#include <deque>

namespace {

using Sent = QList<QPair<int, QByteArray>>;

const QString kNoCommand = QStringLiteral("Нет команды с таким кодом!");
const QString kBadState = QStringLiteral("Ошибка работы с продажами!\n Неверное состояние документа!");
const QString kTimeout = QStringLiteral("Таймаут устройства! Ошибка!");

struct Bench : EmulatedApp {
    using EmulatedApp::EmulatedApp;

    // Every frame that went out, as code and parameters.
    Sent sent() const
    {
        Sent out;
        for (const SentFrame &f : framesSent(*line))
            out.append({f.code, f.parameters});
        return out;
    }
    QList<int> codes() const
    {
        QList<int> out;
        for (const auto &s : sent())
            out << s.first;
        return out;
    }
    // The registrar refuses the next command `code` with the sales class ("Неверное
    // состояние документа!") and does not carry it out.
    void refuseNext(int code) { registrar.injectFault({emu::Fault::Refuse, 0x0B, 0, code}); }
    void silenceNext(int code) { registrar.injectFault({emu::Fault::Silence, 0, 0, code}); }
};

QByteArray cp1251(const QString &s)
{
    return code_page::toDevice(s);
}

// A line that answers every command with one fixed reply: data the emulator would not send.
class FixedReplyTransport final : public Transport {
public:
    explicit FixedReplyTransport(QByteArray data) : m_data(std::move(data)) {}
    Kind kind() const override { return Kind::Serial; }
    bool sendFrame(const QByteArray &frame) override
    {
        const QByteArray reply =
            emu::replyFrame(quint8(frame.at(2)), quint8(frame.at(3)), "0000", m_data, {0x80, 0x80, 0x80, 0x80, 0x80, 0x80});
        m_pending.insert(m_pending.end(), reply.begin(), reply.end());
        return true;
    }
    Read readByte(quint8 &byte) override
    {
        if (m_pending.empty())
            return Read::None;
        byte = quint8(m_pending.front());
        m_pending.pop_front();
        return Read::Byte;
    }
    void purge() override { m_pending.clear(); }

private:
    QByteArray m_data;
    std::deque<char> m_pending;
};

} // namespace

class ReportOperationsTest : public QObject {
    Q_OBJECT
private slots:
    void dailyReportsSendTheirType_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<QByteArray>("parameters");
        QTest::addColumn<QString>("heading");
        QTest::addColumn<QString>("question"); // asked first, Cancel the default; empty: none
        QTest::newRow("X") << int(DailyReports::XReport) << QByteArray("1111;1;") << DailyReports::kReportsHeading
                           << QString();
        QTest::newRow("Z") << int(DailyReports::ZReport) << QByteArray("1111;0;") << DailyReports::kReportsHeading
                           << DailyReports::kZQuestion;
        QTest::newRow("clear tape") << int(DailyReports::ClearControlTape) << QByteArray("1111;2;")
                                    << DailyReports::kClearTapeHeading << DailyReports::kClearTapeQuestion;
    }
    void dailyReportsSendTheirType()
    {
        QFETCH(int, type);
        QFETCH(QByteArray, parameters);
        QFETCH(QString, heading);
        QFETCH(QString, question);
        emu::RegistrarOptions options;
        options.password = "1111";
        Bench b(options);
        DailyReports ops(b.app);
        // Cancelled at the question: nothing goes out.
        b.prompter.answers = {Prompter::Cancel};
        const Outcome<> cancelled = ops.printReport(QStringLiteral("1111"), DailyReports::ReportType(type));
        if (!question.isEmpty()) {
            QVERIFY(!cancelled.sent());
            QVERIFY(b.sent().isEmpty());
            QCOMPARE(b.prompter.questions(), QStringList{question});
            QCOMPARE(b.prompter.defaults, QList<Prompter::Button>{Prompter::Cancel});
            b.prompter.clear();
        } else {
            QVERIFY(cancelled.ok());
            QVERIFY(b.prompter.questions().isEmpty());
            b.prompter.answers.clear();
            b.line->framesSent.clear();
        }
        const Outcome<> done = ops.printReport(QStringLiteral("1111"), DailyReports::ReportType(type));
        QVERIFY(done.ok());
        QCOMPARE(done.errorWordText(), QStringLiteral("0000"));
        // A Z report reads the count of free fiscal reports first, to settle a lost reply.
        Sent expected{{cmd::PrintReport, parameters}};
        if (type == DailyReports::ZReport)
            expected.prepend({cmd::FreeResources, QByteArray("1111;")});
        QCOMPARE(b.sent(), expected);
        QVERIFY(b.app.state().sharedMark);
        QVERIFY(b.prompter.messages().isEmpty());

        // The same report refused: the heading names the operation, the word is shown.
        b.app.state().sharedMark = false;
        b.refuseNext(cmd::PrintReport);
        const Outcome<> refused = ops.printReport(QStringLiteral("1111"), DailyReports::ReportType(type));
        QCOMPARE(refused.verdict.kind, Verdict::Kind::RegistrarError);
        QCOMPARE(refused.errorWordText(), QStringLiteral("000B"));
        QCOMPARE(b.prompter.messages(), QStringList{heading + kBadState});
        // Only the Z report marks a reply for the status screen before it is sent.
        QCOMPARE(b.app.state().sharedMark, type == DailyReports::ZReport);
    }

    void zReportIsRefusedWithAReceiptOpenAndIsFoundByNumber()
    {
        Bench b;
        DailyReports daily(b.app);
        PeriodicReport periodic(b.app);
        int code = 0;
        b.app.execute(OpenNonFiscalReceipt, QStringLiteral("482913"), code);
        QVERIFY(!daily.printReport(QStringLiteral("482913"), DailyReports::ZReport).ok());
        b.app.execute(closeReceipt, QStringLiteral("482913"), code);

        // No Z report yet: report number 1 is not there.
        // The refused field is named by its caption, and "Код ошибки:" keeps the report's
        // word, not the "0000" of the closing that followed.
        b.prompter.clear();
        const Outcome<> missing = periodic.byNumbers(QStringLiteral("482913"), QStringLiteral("1"), QStringLiteral("1"), false);
        QVERIFY(!missing.ok());
        QCOMPARE(missing.errorWordText(), QStringLiteral("0204"));
        QCOMPARE(b.prompter.messages(),
                 QStringList{PeriodicReport::kHeading
                             + QStringLiteral("Значение поля \"Номер первого отчета\" выходит за допустимый диапазон!")});
        QCOMPARE(b.registrar.receiptState(), 0);
        QVERIFY(daily.printReport(QStringLiteral("482913"), DailyReports::ZReport).ok());
        b.prompter.clear();
        QVERIFY(periodic.byNumbers(QStringLiteral("482913"), QStringLiteral("1"), QStringLiteral("1"), true).ok());
        QVERIFY(b.prompter.messages().isEmpty());
        // The full periodic report lists the Z report with its date.
        const QByteArray listed = cp1251(QStringLiteral("Z-ОТЧЕТ № 1 "))
            + b.registrar.now().toString(QStringLiteral("dd.MM.yy")).toLatin1();
        QVERIFY(std::any_of(b.registrar.paperTape().cbegin(), b.registrar.paperTape().cend(),
                            [&](const QByteArray &line) { return line.startsWith(listed); }));
    }

    // A day with a sale: the goods report and the Z report count it, the next periodic
    // report finds the Z report by its number, and the shift's opening goes with it.
    void reportsCountTheDaysSales()
    {
        Bench b;
        b.registrar.setHostTime(QDateTime(QDate(2026, 12, 9), QTime(9, 30)));
        for (const auto &[code, parameters] : Sent{{cmd::AddGoods, cp1251(QStringLiteral("482913;1001;Хлеб;12.50;1;3;"))},
                                                   {cmd::OpenFiscalReceipt, "482913;1;1;0;"},
                                                   {cmd::SellItem, "482913;1001;2.000;12.50;"},
                                                   {cmd::Payment, "482913;0;25.00;"},
                                                   {cmd::CloseFiscalReceipt, "482913;0;"}})
            QVERIFY(Verdict::of(*b.app.execute(code, parameters)).ok());
        const QList<QByteArray> &tape = b.registrar.paperTape();
        auto printed = [&](const QString &text, qsizetype from) {
            return std::any_of(tape.cbegin() + from, tape.cend(),
                               [&](const QByteArray &line) { return code_page::fromDevice(line).simplified() == text; });
        };
        const QString pw = QStringLiteral("482913");

        qsizetype from = tape.size();
        QVERIFY(GoodsReport(b.app).print(pw, QStringLiteral("1000"), QStringLiteral("1001")).ok());
        QVERIFY(printed(QStringLiteral("1001 Хлеб"), from));
        QVERIFY(printed(QStringLiteral("ПРОДАНО 2.000 / 25.00"), from));
        from = tape.size();
        QVERIFY(AdditionalReports(b.app).print(pw, AdditionalReports::Departments).ok());
        QVERIFY(printed(QStringLiteral("ОТДЕЛ 3"), from));

        const Outcome<ResourceInfo::Resources> open = ResourceInfo(b.app).read(pw);
        QCOMPARE(open.shown.values[2], QStringLiteral("091226"));
        QCOMPARE(open.shown.values[3], QStringLiteral("0930"));

        QVERIFY(DailyReports(b.app).printReport(pw, DailyReports::ZReport).ok());
        from = tape.size();
        QVERIFY(PeriodicReport(b.app).byNumbers(pw, QStringLiteral("1"), QStringLiteral("1"), false).ok());
        QVERIFY(printed(QStringLiteral("ИТОГО ПРОДАЖИ 25.00"), from));
        from = tape.size();
        QVERIFY(GoodsReport(b.app).print(pw, QStringLiteral("0"), QStringLiteral("999999999")).ok());
        QVERIFY(!printed(QStringLiteral("1001 Хлеб"), from)); // a new day
        QVERIFY(ResourceInfo(b.app).read(pw).shown.values[2].isEmpty());
    }

    void controlTapeIsPrintedInsideItsReceipt()
    {
        Bench b;
        QVERIFY(DailyReports(b.app).printControlTape(QStringLiteral("482913")).ok());
        QCOMPARE(b.sent(), (Sent{{cmd::OpenNonFiscalReceipt, "482913;"},
                                 {cmd::PrintText, "482913;" + cp1251(QStringLiteral("%MHJc*** Контрольная лента ***;"))},
                                 {cmd::AdditionalReport, "482913;2;;;"},
                                 {cmd::CloseFiscalReceipt, "482913;0;"}}));
        QVERIFY(b.app.state().sharedMark);
        QCOMPARE(b.registrar.receiptState(), 0);
    }

    // The control tape stops at its first failure; a receipt it opened is closed with the
    // same password, and the first failure is the one reported.
    void controlTapeStopsAtItsFirstFailure_data()
    {
        QTest::addColumn<int>("failing");
        QTest::addColumn<QList<int>>("codes");
        QTest::addColumn<QString>("heading");
        QTest::newRow("open") << int(cmd::OpenNonFiscalReceipt) << QList<int>{cmd::OpenNonFiscalReceipt} << QString();
        QTest::newRow("heading") << int(cmd::PrintText)
                                 << QList<int>{cmd::OpenNonFiscalReceipt, cmd::PrintText, cmd::CloseFiscalReceipt}
                                 << QString();
        QTest::newRow("tape") << int(cmd::AdditionalReport)
                              << QList<int>{cmd::OpenNonFiscalReceipt, cmd::PrintText, cmd::AdditionalReport,
                                            cmd::CloseFiscalReceipt}
                              << DailyReports::kStatusHeading;
        QTest::newRow("close") << int(cmd::CloseFiscalReceipt)
                               << QList<int>{cmd::OpenNonFiscalReceipt, cmd::PrintText, cmd::AdditionalReport,
                                             cmd::CloseFiscalReceipt}
                               << QString();
    }
    void controlTapeStopsAtItsFirstFailure()
    {
        QFETCH(int, failing);
        QFETCH(QList<int>, codes);
        QFETCH(QString, heading);
        Bench b;
        b.refuseNext(failing);
        const Outcome<> out = DailyReports(b.app).printControlTape(QStringLiteral("482913"));
        QCOMPARE(out.verdict.kind, Verdict::Kind::RegistrarError);
        QCOMPARE(b.codes(), codes);
        QCOMPARE(b.prompter.messages(), QStringList{heading + kBadState});
        QVERIFY(!b.app.state().sharedMark);
        if (failing != cmd::CloseFiscalReceipt)
            QCOMPARE(b.registrar.receiptState(), 0);
    }

    // The heading always goes with the fixed password; the receipt is closed with the
    // password it was opened with.
    void controlTapeClosesWithThePasswordItOpenedWith()
    {
        emu::RegistrarOptions options;
        options.password = "777";
        Bench b(options);
        const Outcome<> out = DailyReports(b.app).printControlTape(QStringLiteral("777"));
        QCOMPARE(out.verdict.message, QStringLiteral("Неверный пароль доступа!"));
        QCOMPARE(b.sent().first(), (QPair<int, QByteArray>{cmd::OpenNonFiscalReceipt, "777;"}));
        QCOMPARE(b.sent().last(), (QPair<int, QByteArray>{cmd::CloseFiscalReceipt, "777;0;"}));
        QCOMPARE(b.sent().size(), 3);
        QCOMPARE(b.registrar.receiptState(), 0);
    }

    void goodsReportLastCodeFollowsVersionAndLevel_data()
    {
        QTest::addColumn<QString>("version");
        QTest::addColumn<QString>("level");
        QTest::addColumn<QString>("lastCode");
        const QString nine(9, QLatin1Char('9')), fourteen(14, QLatin1Char('9'));
        QTest::newRow("2.02") << "2.02" << "medium" << fourteen;
        QTest::newRow("2.03") << "2.03" << "medium" << fourteen;
        QTest::newRow("3.00") << "3.00" << "low" << fourteen;
        QTest::newRow("3.01") << "3.01" << "medium" << nine;
        QTest::newRow("3.01 high") << "3.01" << "high" << fourteen;
        QTest::newRow("2.01 High") << "2.01" << "High" << nine;
    }
    void goodsReportLastCodeFollowsVersionAndLevel()
    {
        QFETCH(QString, version);
        QFETCH(QString, level);
        QFETCH(QString, lastCode);
        AppState s;
        s.softwareVersion = version;
        s.priorityLevel = level;
        QCOMPARE(GoodsReport::defaultLastCode(s), lastCode);
    }

    void goodsReportClosesItsReceiptEvenAfterAFailedReport()
    {
        emu::RegistrarOptions options;
        options.password = "482913";
        Bench b(options);
        GoodsReport ops(b.app);
        QVERIFY(ops.print(QStringLiteral("482913"), QStringLiteral("0"), QStringLiteral("99999999999999")).ok());
        const Sent done{{cmd::OpenNonFiscalReceipt, "482913;"},
                        {cmd::GoodsReport, "482913;0;99999999999999;"},
                        {cmd::CloseFiscalReceipt, "482913;0;"}};
        QCOMPARE(b.sent(), done);

        b.line->framesSent.clear();
        b.refuseNext(cmd::GoodsReport);
        const Outcome<> out = ops.print(QStringLiteral("482913"), QStringLiteral("5"), QStringLiteral("7"));
        QCOMPARE(out.verdict.kind, Verdict::Kind::RegistrarError);
        // The failed report's word, not the "0000" of the closing that followed it.
        QCOMPARE(out.errorWordText(), QStringLiteral("000B"));
        QCOMPARE(b.codes(), (QList<int>{cmd::OpenNonFiscalReceipt, cmd::GoodsReport, cmd::CloseFiscalReceipt}));
        QCOMPARE(b.prompter.messages(), QStringList{GoodsReport::kHeading + kBadState});
        QCOMPARE(b.registrar.receiptState(), 0);
    }

    void aReportWhoseReplyWasLostStillClosesItsReceipt()
    {
        // The report was printed, its replies lost: the receipt around it is closed all
        // the same, so the registrar is not left with a document open, and the report is
        // not printed twice.
        Bench b;
        b.silenceNext(cmd::GoodsReport);
        b.silenceNext(cmd::GoodsReport); // the repeat's reply too
        const Outcome<> out = GoodsReport(b.app).print(QStringLiteral("482913"), QStringLiteral("5"), QStringLiteral("7"));
        QCOMPARE(out.verdict.kind, Verdict::Kind::NoReply);
        QCOMPARE(b.prompter.messages(), QStringList{GoodsReport::kHeading + kTimeout});
        QCOMPARE(b.codes(), (QList<int>{cmd::OpenNonFiscalReceipt, cmd::GoodsReport, cmd::GoodsReport,
                                        cmd::CloseFiscalReceipt}));
        QCOMPARE(b.registrar.receiptState(), 0);
        QCOMPARE(b.registrar.journal().last().code, quint8(cmd::CloseFiscalReceipt));
        QCOMPARE(b.registrar.journal().last().errorWord, QByteArray("0000"));
        QCOMPARE(int(std::count_if(b.registrar.journal().cbegin(), b.registrar.journal().cend(),
                                   [](const emu::Executed &e) { return e.code == cmd::GoodsReport; })),
                 1);
    }

    void goodsReportWithTheWrongPasswordUsesTheFixedOneForItsReceipt()
    {
        Bench b;
        GoodsReport(b.app).print(QStringLiteral("1"), QStringLiteral("0"), QStringLiteral("9"));
        QCOMPARE(b.sent(), (Sent{{cmd::OpenNonFiscalReceipt, "482913;"},
                                 {cmd::GoodsReport, "1;0;9;"},
                                 {cmd::CloseFiscalReceipt, "482913;0;"}}));
        QCOMPARE(b.prompter.messages(),
                 QStringList{GoodsReport::kHeading + QStringLiteral("Неверный пароль доступа!")});
        QCOMPARE(b.registrar.receiptState(), 0);
    }

    // Inputs that cannot go out stop the operation before the receipt is opened.
    void badInputsSendNothing()
    {
        Bench b;
        GoodsReport goods(b.app);
        PeriodicReport periodic(b.app);
        const QString pw = QStringLiteral("482913");
        QCOMPARE(goods.print(pw, QStringLiteral("12a"), QStringLiteral("9")).verdict.kind, Verdict::Kind::Refused);
        QCOMPARE(goods.print(pw, QStringLiteral("1"), QString()).verdict.kind, Verdict::Kind::Refused);
        QCOMPARE(goods.print(pw, QStringLiteral("1"), QStringLiteral("99999999999999999999")).verdict.kind,
                 Verdict::Kind::Refused);
        QCOMPARE(goods.print(QStringLiteral("48;2913"), QStringLiteral("1"), QStringLiteral("2")).verdict.kind,
                 Verdict::Kind::Refused);
        QCOMPARE(periodic.byNumbers(pw, QString(), QStringLiteral("2"), false).verdict.kind, Verdict::Kind::Refused);
        QCOMPARE(periodic.byNumbers(pw, QStringLiteral("1"), QStringLiteral("3000000000"), false).verdict.kind,
                 Verdict::Kind::Refused);
        QCOMPARE(periodic.byDates(pw, QStringLiteral("320108"), QStringLiteral("010208"), false).verdict.kind,
                 Verdict::Kind::Refused);
        QCOMPARE(AdditionalReports(b.app).print(QStringLiteral("48\x01"), AdditionalReports::Departments).verdict.kind,
                 Verdict::Kind::Refused);
        QCOMPARE(DailyReports(b.app).printControlTape(QStringLiteral("4;")).verdict.kind, Verdict::Kind::Refused);
        QVERIFY(b.line->framesSent.isEmpty());
        QCOMPARE(b.prompter.messages().value(0),
                 GoodsReport::kHeading + QStringLiteral("'12a' не является целым числом."));
        QCOMPARE(b.prompter.messages().value(4),
                 PeriodicReport::kHeading + QStringLiteral("Поле \"Номер первого отчета\" не заполнено."));
        QCOMPARE(b.prompter.messages().value(5),
                 PeriodicReport::kHeading + QStringLiteral("Номер последнего отчета: '3000000000' не является целым числом."));
        QCOMPARE(b.prompter.messages().size(), 9);
    }

    void periodicReportSendsDatesAndDetail()
    {
        Bench b;
        b.refuseNext(cmd::PeriodicReportByDate);
        const QString from = input::deviceDate(QDate(2008, 10, 6));
        const QString to = input::deviceDate(QDate(2008, 10, 7));
        QCOMPARE(from, QStringLiteral("061008"));
        const Outcome<> out = PeriodicReport(b.app).byDates(QStringLiteral("482913"), from, to, true);
        QVERIFY(!out.ok());
        QCOMPARE(b.sent(), (Sent{{cmd::OpenNonFiscalReceipt, "482913;"},
                                 {cmd::PeriodicReportByDate, "482913;061008;071008;1;"},
                                 {cmd::CloseFiscalReceipt, "482913;0;"}}));
        QCOMPARE(b.prompter.messages(), QStringList{PeriodicReport::kHeading + kBadState});
        QCOMPARE(b.registrar.receiptState(), 0);
    }

    void noReportWhenTheReceiptDoesNotOpen()
    {
        Bench b;
        b.refuseNext(cmd::OpenNonFiscalReceipt);
        PeriodicReport(b.app).byNumbers(QStringLiteral("482913"), QStringLiteral("1"), QStringLiteral("2"), false);
        b.refuseNext(cmd::OpenNonFiscalReceipt);
        GoodsReport(b.app).print(QStringLiteral("482913"), QStringLiteral("1"), QStringLiteral("2"));
        QVERIFY(!b.codes().contains(cmd::GoodsReport) && !b.codes().contains(cmd::PeriodicReport)
                && !b.codes().contains(cmd::CloseFiscalReceipt));
        QCOMPARE(b.prompter.messages(),
                 (QStringList{PeriodicReport::kHeading + kBadState, GoodsReport::kHeading + kBadState}));

        // The open was carried out and every reply of it lost: the receipt stage shows it
        // open, so the report goes on and the receipt is closed, never left behind.
        for (int i = 0; i < 5; ++i)
            b.silenceNext(cmd::OpenNonFiscalReceipt);
        const Outcome<> out = AdditionalReports(b.app).print(QStringLiteral("482913"), AdditionalReports::Operators);
        QVERIFY(out.ok());
        QVERIFY(b.codes().contains(cmd::AdditionalReport) && b.codes().contains(cmd::CloseFiscalReceipt));
        QCOMPARE(b.registrar.receiptState(), 0);
        QCOMPARE(b.prompter.messages().size(), 2);
    }

    void additionalReportClosesItsReceiptAfterAFailure_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<bool>("reportFails");
        QTest::newRow("departments") << int(AdditionalReports::Departments) << false;
        QTest::newRow("operators") << int(AdditionalReports::Operators) << false;
        QTest::newRow("tape") << int(AdditionalReports::ControlTape) << false;
        QTest::newRow("tape refused") << int(AdditionalReports::ControlTape) << true;
    }
    void additionalReportClosesItsReceiptAfterAFailure()
    {
        QFETCH(int, type);
        QFETCH(bool, reportFails);
        Bench d;
        if (reportFails)
            d.refuseNext(cmd::AdditionalReport);
        const Outcome<> done =
            AdditionalReports(d.app).print(QStringLiteral("482913"), AdditionalReports::ReportType(type));
        QCOMPARE(d.sent(), (Sent{{cmd::OpenNonFiscalReceipt, "482913;"},
                                 {cmd::AdditionalReport, "482913;" + QByteArray::number(type) + ";;;"},
                                 {cmd::CloseFiscalReceipt, "482913;0;"}}));
        QCOMPARE(done.ok(), !reportFails);
        QCOMPARE(d.registrar.receiptState(), 0);
        QCOMPARE(d.prompter.messages(),
                 reportFails ? QStringList{AdditionalReports::kReportHeading + kBadState} : QStringList{});
    }

    void rgt9UnloadSendsItsStepsInOrder_data()
    {
        QTest::addColumn<bool>("clearGoods");
        QTest::addColumn<int>("failing"); // -1: none; else the index of the failing step
        QTest::addColumn<int>("stepsSent");
        QTest::addColumn<QString>("message");
        QTest::newRow("without goods") << false << -1 << 2 << QString();
        QTest::newRow("with goods") << true << -1 << 3 << QString();
        QTest::newRow("unload fails") << true << 0 << 1 << DailyReports::kReportsHeading + kBadState;
        QTest::newRow("clearing fails") << true << 1 << 2 << DailyReports::kReportsHeading + kBadState;
        QTest::newRow("goods base fails") << true << 2 << 3 << QStringLiteral("Ошибка ");
    }
    void rgt9UnloadSendsItsStepsInOrder()
    {
        QFETCH(bool, clearGoods);
        QFETCH(int, failing);
        QFETCH(int, stepsSent);
        QFETCH(QString, message);
        Bench b;
        // The goods base is cleared by command 3Bh, pinned here by its value.
        const Sent steps{{cmd::PrintReport, "482913;5;"}, {cmd::PrintReport, "482913;2;"}, {0x3B, "482913;"}};
        if (failing == 1) // the first 0xA1 passes, the second is refused
            b.registrar.injectFault({emu::Fault::None, 0, 0, cmd::PrintReport});
        if (failing >= 0)
            b.refuseNext(failing == 2 ? cmd::ClearGoodsBase : cmd::PrintReport);
        b.app.state().sharedMark = false;
        const Outcome<> out = DailyReports(b.app).unloadControlTape(QStringLiteral("482913"), clearGoods);
        QCOMPARE(b.sent(), steps.mid(0, stepsSent));
        QCOMPARE(out.ok(), failing < 0);
        QCOMPARE(b.prompter.messages(), message.isEmpty() ? QStringList{} : QStringList{message});
        // The mark is set when the sequence starts, whatever follows.
        QVERIFY(b.app.state().sharedMark);
    }

    // The unloading ends in the clearing: asked first (Cancel sends nothing), and a
    // clearing whose replies were lost is said as unknown, with nothing sent after it.
    void rgt9UnloadAsksAndSettlesTheClearing()
    {
        Bench b;
        b.prompter.answers.push_back(Prompter::Cancel);
        QVERIFY(!DailyReports(b.app).unloadControlTape(QStringLiteral("482913"), true).sent());
        QVERIFY(b.sent().isEmpty());

        b.registrar.injectFault({emu::Fault::None, 0, 0, cmd::PrintReport}); // the unloading passes
        b.silenceNext(cmd::PrintReport);
        b.silenceNext(cmd::PrintReport);
        const Outcome<> out = DailyReports(b.app).unloadControlTape(QStringLiteral("482913"), true);
        QVERIFY(out.uncertain);
        QVERIFY(!b.codes().contains(cmd::ClearGoodsBase));
        QVERIFY(b.prompter.messages().last().endsWith(DailyReports::kClearTapeUnknown));
    }

    void resourcesAreTakenFromACompleteReply_data()
    {
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<bool>("read");
        QTest::addColumn<bool>("fiscalization");
        QTest::newRow("1") << QByteArray("1;0;1;0;1;0;3;2189;091226;1005;9990;4999;") << true << true;
        QTest::newRow("0") << QByteArray("0;1;1;1;1;1;0;5;;;1;2;") << true << false;
        QTest::newRow("2") << QByteArray("2;1;1;1;1;1;0;5;;;1;2;") << true << false;
        QTest::newRow("eleven fields") << QByteArray("1;1;1;1;1;1;0;5;;;1;") << false << false;
        QTest::newRow("no data") << QByteArray() << false << false;
    }
    void resourcesAreTakenFromACompleteReply()
    {
        QFETCH(QByteArray, data);
        QFETCH(bool, read);
        QFETCH(bool, fiscalization);
        Bench b({}, false);
        b.app.link().attachTransport(std::make_unique<FixedReplyTransport>(data));
        const Outcome<ResourceInfo::Resources> out = ResourceInfo(b.app).read(QStringLiteral("482913"));
        QVERIFY(out.ok());
        QCOMPARE(out.shown.read, read);
        QCOMPARE(out.errorWordText(), QStringLiteral("0000"));
        QCOMPARE(b.prompter.messages(), QStringList{read ? ResourceInfo::kSuccess : ResourceInfo::kIncomplete});
        QCOMPARE(out.shown.permissions[0], fiscalization);
        if (read)
            QCOMPARE(out.shown.values[0], QString::fromLatin1(data.split(';').value(6)));
    }

    void resourcesFromTheEmulator()
    {
        Bench b;
        const Outcome<ResourceInfo::Resources> out = ResourceInfo(b.app).read(QStringLiteral("482913"));
        QVERIFY(out.shown.read);
        QCOMPARE(out.shown.permissions, (std::array<bool, 6>{true, true, true, true, true, true}));
        QCOMPARE(out.shown.values[1], QStringLiteral("2190"));

        b.prompter.clear();
        b.refuseNext(cmd::FreeResources);
        const Outcome<ResourceInfo::Resources> refused = ResourceInfo(b.app).read(QStringLiteral("482913"));
        QVERIFY(!refused.shown.read);
        QCOMPARE(b.prompter.messages(), QStringList{ResourceInfo::kHeading + kBadState});
    }
};

QTEST_GUILESS_MAIN(ReportOperationsTest)
#include "tst_report_operations.moc"
