// Service cash deposit and withdrawal (TForm9) against the emulator, in both modes.
#include "commands/command_codes.h"
#include "emulator/registrar.h"
#include "sales/cash_operations.h"
#include "sales/cash_operations_form.h"
#include "sales/sales_screens.h"

#include "support/emulated_app.h"
#include "support/executed_text.h"
#include "support/screen_rig.h"

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

namespace {

using Kind = CashOperations::Kind;

const QString kDepositDone = QStringLiteral("Служебный внос денег - Успешно!");
const QString kNotEnoughCash =
    QStringLiteral("Служебное изъятие денег:\n  Ошибка работы с продажами!\n В кассе недостаточно наличных денег для "
                   "выполнения операции!");

emu::Registrar::Options registrarOf(const QString &model, const QString &version)
{
    emu::Registrar::Options o;
    o.model = model;
    o.version = version;
    return o;
}

// The application as the connection leaves it: the model and version it identified.
struct Bench : EmulatedApp {
    CashOperations ops{app};

    explicit Bench(const QString &model = QStringLiteral("Korvan KV-44"), const QString &version = QStringLiteral("3.00"))
        : EmulatedApp(registrarOf(model, version))
    {
        app.state().modelName = model;
        app.state().softwareVersion = version;
    }
    QStringList executed() const { return executedText(registrar); }
    qint64 drawer() const { return registrar.state().cashInDrawerCents; }
};

} // namespace

class CashTest : public QObject {
    Q_OBJECT
private slots:
    void modeFollowsModelVersionAndPriority_data()
    {
        QTest::addColumn<QString>("model");
        QTest::addColumn<QString>("version");
        QTest::addColumn<QString>("level");
        QTest::addColumn<bool>("direct");
        QTest::newRow("VRK-7+") << "Korvan VRK-7+ N" << "3.00" << "high" << true;
        QTest::newRow("VRK-7 without plus") << "Korvan VRK-7" << "3.00" << "medium" << false;
        QTest::newRow("2.02") << "Korvan KV-44" << "2.02" << "medium" << true;
        QTest::newRow("2.02 high") << "Korvan KV-44" << "2.02" << "high" << false;
        QTest::newRow("2.03 low") << "Korvan KV-44" << "2.03" << "low" << true;
        QTest::newRow("2.04") << "Korvan KV-44" << "2.04" << "medium" << false;
        QTest::newRow("3.00") << "Korvan KV-44" << "3.00" << "medium" << false;
    }
    void modeFollowsModelVersionAndPriority()
    {
        QFETCH(QString, model);
        QFETCH(QString, version);
        QFETCH(QString, level);
        QFETCH(bool, direct);
        AppState s;
        s.modelName = model;
        s.softwareVersion = version;
        s.priorityLevel = level;
        QCOMPARE(CashOperations::directMode(s), direct);
    }

    void directMode()
    {
        Bench b(QStringLiteral("Korvan VRK-7+"));
        Outcome<CashOperations::Cash> out = b.ops.move(Kind::Deposit, "482913", "100", "2");
        QVERIFY(out.ok());
        QCOMPARE(out.shown.inDrawer, QStringLiteral("100.00"));
        out = b.ops.move(Kind::Withdrawal, "482913", "1.00", "2");
        QCOMPARE(out.shown.inDrawer, QStringLiteral("99.00"));
        QCOMPARE(b.executed(), (QStringList{"6e 482913;2;100.00; 0000", "6e 482913;2;-1.00; 0000"}));
        QCOMPARE(b.prompter.messages(),
                 (QStringList{kDepositDone, QStringLiteral("Служебное изъятие денег - Успешно!")}));

        b.prompter.clear();
        out = b.ops.move(Kind::Withdrawal, "482913", "99.01", "1");
        QVERIFY(!out.ok() && !out.shown.known);
        QCOMPARE(b.prompter.messages(), QStringList{kNotEnoughCash});
        QCOMPARE(b.drawer(), 9900);
    }

    void receiptMode()
    {
        Bench b;
        b.registrar.state().cashInDrawerCents = 1000;
        // The decimal comma, as a Russian cashier types it.
        const Outcome<CashOperations::Cash> out = b.ops.move(Kind::Withdrawal, "482913", "2,5", "3");
        QVERIFY(out.ok());
        QCOMPARE(out.shown.inDrawer, QStringLiteral("7.50"));
        QCOMPARE(b.executed(),
                 (QStringList{"63 482913;3;0;2; 0000", "77 482913;0;-2.50; 0000", "65 482913;0; 0000"}));
        QCOMPARE(b.drawer(), 750);
        QCOMPARE(b.prompter.messages(), QStringList{QStringLiteral("Служебное изъятие денег - Успешно!")});
    }

    // A cash receipt whose movement failed is voided, not left open to block the sales;
    // the movement's failure is the one reported.
    void failedMovementVoidsItsReceipt()
    {
        Bench b;
        Outcome<CashOperations::Cash> out = b.ops.move(Kind::Withdrawal, "482913", "1.00", "1");
        QVERIFY(!out.ok() && !out.shown.known);
        QCOMPARE(b.executed(),
                 (QStringList{"63 482913;1;0;2; 0000", "77 482913;0;-1.00; 080B", "6b 482913;0; 0000"}));
        QCOMPARE(b.prompter.messages(), QStringList{kNotEnoughCash});
        QCOMPARE(b.registrar.receiptState(), 0);

        // Carried out, but the reply was lost: the void takes the movement back.
        b.prompter.clear();
        emu::Fault lost;
        lost.kind = emu::Fault::Silence;
        lost.onlyCode = cmd::CashInOutVariant;
        for (int i = 0; i < 5; ++i) // every try of the exchange
            b.registrar.injectFault(lost);
        out = b.ops.move(Kind::Deposit, "482913", "5.00", "1");
        QCOMPARE(out.verdict.kind, Verdict::Kind::NoReply);
        QCOMPARE(b.executed().last(), QStringLiteral("6b 482913;0; 0000"));
        QCOMPARE(b.drawer(), 0);
        QCOMPARE(b.registrar.receiptState(), 0);
        QCOMPARE(b.prompter.messages(), QStringList{QStringLiteral("Служебный внос денег:\n  Таймаут устройства! Ошибка!")});
    }

    // A movement whose replies were lost: the cash receipt's open and close are settled
    // from its stage, and a direct movement, which leaves nothing to read back, is said
    // as unknown. The drawer moves once at most.
    void lostRepliesOfAMovement_data()
    {
        QTest::addColumn<QString>("model");
        QTest::addColumn<QString>("faults");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<bool>("uncertain");
        QTest::addColumn<int>("drawer");
        QTest::newRow("receipt opened, reply lost then NAK")
            << "Korvan KV-44" << "63@silence 63@nak" << true << false << 500;
        QTest::newRow("receipt closed, replies lost") << "Korvan KV-44" << "65@silence 65@silence" << true << false << 500;
        QTest::newRow("direct movement, replies lost") << "Korvan VRK-7+ N" << "6E@silence 6E@silence" << false << true
                                                       << 500;
        // The link cannot tell a NAK of a repeat from a NAK of the first try: said as unknown too.
        QTest::newRow("direct movement refused twice") << "Korvan VRK-7+ N" << "6E@nak 6E@nak" << false << true << 0;
    }
    void lostRepliesOfAMovement()
    {
        QFETCH(QString, model);
        QFETCH(QString, faults);
        QFETCH(bool, ok);
        QFETCH(bool, uncertain);
        QFETCH(int, drawer);
        Bench b(model);
        for (const QString &f : faults.split(u' '))
            b.registrar.injectFault(emu::Fault::parse(f));
        const Outcome<CashOperations::Cash> out = b.ops.move(Kind::Deposit, "482913", "5.00", "1");
        QCOMPARE(out.ok(), ok);
        QCOMPARE(out.uncertain, uncertain);
        QCOMPARE(b.drawer(), qint64(drawer));
        QCOMPARE(b.registrar.receiptState(), 0);
        if (uncertain)
            QVERIFY(b.prompter.messages().last().contains(QStringLiteral("Проверьте ленту регистратора")));
        if (ok)
            QCOMPARE(b.prompter.messages(), QStringList{kDepositDone});
    }

    // The void after a failed movement goes with the password typed: under the default
    // one this registrar would refuse it and the cash receipt would stay open.
    void voidAfterFailureUsesTheTypedPassword()
    {
        emu::Registrar::Options o = registrarOf(QStringLiteral("Korvan KV-44"), QStringLiteral("3.00"));
        o.password = "111111";
        EmulatedApp e(o);
        e.app.state().modelName = o.model;
        e.app.state().softwareVersion = o.version;
        CashOperations ops(e.app);
        QVERIFY(!ops.move(Kind::Withdrawal, "111111", "1.00", "1").ok());
        QCOMPARE(executedText(e.registrar),
                 (QStringList{"63 111111;1;0;2; 0000", "77 111111;0;-1.00; 080B", "6b 111111;0; 0000"}));
        QCOMPARE(e.registrar.receiptState(), 0);
    }

    void openingRefusedStopsThere()
    {
        Bench b;
        b.registrar.state().receiptState = emu::State::kNonFiscalOpen;
        QVERIFY(!b.ops.move(Kind::Deposit, "482913", "1.00", "1").ok());
        QCOMPARE(b.executed(), QStringList{"63 482913;1;0;2; 000B"});
        QCOMPARE(b.prompter.messages(),
                 QStringList{QStringLiteral("Ошибка работы с продажами!\n Неверное состояние документа!")});
    }

    void inputsRefusedBeforeSending_data()
    {
        QTest::addColumn<QString>("amount");
        QTest::addColumn<QString>("operatorNumber");
        QTest::addColumn<QString>("password");
        QTest::newRow("negative deposit") << "-100" << "1" << "482913";
        QTest::newRow("zero") << "0.00" << "1" << "482913";
        QTest::newRow("rounds to zero") << "0.004" << "1" << "482913";
        QTest::newRow("not a number") << "1.0a" << "1" << "482913";
        QTest::newRow("empty") << "" << "1" << "482913";
        QTest::newRow("group separator") << "1 500" << "1" << "482913";
        QTest::newRow("three places") << "1,005" << "1" << "482913";
        QTest::newRow("infinite") << "inf" << "1" << "482913";
        QTest::newRow("huge") << "1e30" << "1" << "482913";
        QTest::newRow("operator not a number") << "1.00" << "x" << "482913";
        QTest::newRow("password with separator") << "1.00" << "1" << "48;2913";
    }
    void inputsRefusedBeforeSending()
    {
        QFETCH(QString, amount);
        QFETCH(QString, operatorNumber);
        QFETCH(QString, password);
        for (const QString &model : {QStringLiteral("Korvan VRK-7+"), QStringLiteral("Korvan KV-44")}) {
            Bench b(model);
            const Outcome<CashOperations::Cash> out = b.ops.move(Kind::Deposit, password, amount, operatorNumber);
            QCOMPARE(out.verdict.kind, Verdict::Kind::Refused);
            QVERIFY(b.line->framesSent.isEmpty());
            QCOMPARE(b.prompter.messages().size(), 1);
        }
    }

    void formWiring()
    {
        Bench b(QStringLiteral("Korvan VRK-7+"));
        TestScreenHost host(b.app);
        registerSalesScreens(host.registry);
        host.openScreen<TForm9>();
        TForm9 &form = *host.screen<TForm9>();
        QCOMPARE(form.windowTitle(), CashOperations::kCaption);
        auto *amount = widget<QLineEdit>(form, QStringLiteral("amountEdit"));
        auto *cash = widget<QLineEdit>(form, QStringLiteral("cashEdit"));
        QCOMPARE(amount->text(), QStringLiteral("1.00"));
        QCOMPARE(widget<QLineEdit>(form, QStringLiteral("operatorEdit"))->text(), QStringLiteral("1"));
        QVERIFY(cash->isReadOnly());

        amount->setText(QStringLiteral("12.34"));
        QTest::mouseClick(widget<QPushButton>(form, QStringLiteral("depositButton")), Qt::LeftButton);
        QCOMPARE(cash->text(), QStringLiteral("12.34"));
        amount->setText(QStringLiteral("0.34"));
        b.clock.advance(QApplication::doubleClickInterval()); // not a double click
        QTest::mouseClick(widget<QPushButton>(form, QStringLiteral("withdrawButton")), Qt::LeftButton);
        QCOMPARE(cash->text(), QStringLiteral("12.00"));
        // A failed withdrawal leaves the last figure.
        amount->setText(QStringLiteral("50"));
        b.clock.advance(QApplication::doubleClickInterval());
        QTest::mouseClick(widget<QPushButton>(form, QStringLiteral("withdrawButton")), Qt::LeftButton);
        QCOMPARE(cash->text(), QStringLiteral("12.00"));
        QCOMPARE(b.executed().size(), 3);
    }
};

QTEST_MAIN(CashTest)
#include "tst_cash.moc"
