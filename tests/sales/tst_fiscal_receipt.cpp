// The fiscal receipt's operations against the emulator: what goes on the wire, in which
// order, and what the operator is told.
#include "app/application.h"
#include "commands/command_wrappers.h"
#include "emulator/domains.h"
#include "emulator/registrar.h"
#include "sales/card_payment.h"
#include "sales/fiscal_receipt.h"

#include "support/card_terminal_process.h"
#include "support/emulated_app.h"

#include <QTest>

namespace {

const QString kPw = QStringLiteral("482913");
const QString kBread = QStringLiteral("1001;Хлеб;12.50;1;1;");
const QString kMilk = QStringLiteral("1002;Молоко;4.00;2;1;");
using Target = FiscalReceipt::DiscountTarget;

struct Bench : EmulatedApp {
    FiscalReceipt ops{app};
    explicit Bench(const emu::Registrar::Options &o = {}) : EmulatedApp(o) {}

    // The commands the registrar carried out, as "CC:parameters".
    QStringList sent() const
    {
        QStringList out;
        for (const emu::Executed &e : registrar.journal())
            out << QString::asprintf("%02X:", e.code) + QString::fromLatin1(e.parameters);
        return out;
    }
    QStringList codes() const
    {
        QStringList out;
        for (const QString &s : sent())
            out << s.left(2);
        return out;
    }
    FiscalReceipt::Payment payment(int type, const QString &amount) const
    {
        FiscalReceipt::Payment p;
        p.password = kPw;
        p.paymentType = type;
        p.amountText = amount;
        return p;
    }
};

} // namespace

class FiscalReceiptTest : public QObject {
    Q_OBJECT
private slots:
    void happyReceiptReachesTapeAndDrawer()
    {
        Bench b;
        QVERIFY(b.ops.openReceipt(kPw, QStringLiteral("1"), false).ok());
        QVERIFY(b.ops.sell(kPw, kBread, QStringLiteral("2.000"), QStringLiteral("12.50")).ok());
        QVERIFY(b.ops.sell(kPw, kMilk, QStringLiteral("1.5"), QStringLiteral("4")).ok());
        QVERIFY(b.ops.discount(kPw, true, Target::Item, QStringLiteral("-5.00"), QString()).ok());
        QVERIFY(b.ops.discount(kPw, true, Target::Subtotal, QStringLiteral("10.00"), QString()).ok());
        const Outcome<> total = b.ops.printTotal(kPw, true);
        QVERIFY(total.ok());
        QCOMPARE(total.shown.data, QStringLiteral("33.77"));
        QCOMPARE(total.shown.errorWord, QStringLiteral("0000"));
        QVERIFY(b.ops.pay(b.payment(0, QStringLiteral(" 40.00 ")), QString()).ok());
        QVERIFY(b.ops.closeReceipt(kPw, true).ok());

        QCOMPARE(b.codes(), (QStringList{"63", "24", "64", "24", "64", "68", "73", "6D", "67", "65"}));
        const QStringList s = b.sent();
        QCOMPARE(s[0], QStringLiteral("63:482913;1;1;0;"));
        QCOMPARE(s[2], QStringLiteral("64:482913;1001;2.000;12.50;"));
        QCOMPARE(s[4], QStringLiteral("64:482913;1002;1.500;4.00;"));
        QCOMPARE(s[8], QStringLiteral("67:482913;0;40.00;"));
        QCOMPARE(s[9], QStringLiteral("65:482913;1;"));
        const emu::State &st = b.registrar.state();
        QCOMPARE(st.receiptJournal.size(), 1);
        QCOMPARE(st.cashInDrawerCents, 3377);
        QVERIFY(st.paperTape.contains(emu::toCp1251(QStringLiteral("Хлеб"))));
        QVERIFY(st.paperTape.contains(emu::toCp1251(QStringLiteral("СДАЧА 6.23"))));
        QVERIFY(b.prompter.messages().isEmpty());
    }

    void saleProgramsGoodsExceptOnRgtAndSendsTheFixedPassword()
    {
        emu::Registrar::Options o;
        o.password = "111111";
        Bench b(o);
        QVERIFY(b.ops.openReceipt(QStringLiteral("111111"), QStringLiteral("1"), false).ok());
        const Outcome<> sale = b.ops.sell(QStringLiteral("111111"), kBread, QStringLiteral("1"), QStringLiteral("1"));
        QCOMPARE(b.codes(), (QStringList{"63", "24", "64"}));
        QCOMPARE(b.registrar.journal()[1].parameters, "111111;" + emu::toCp1251(kBread)); // the line unchanged
        QCOMPARE(b.sent()[2], QStringLiteral("64:482913;1001;1.000;1.00;"));
        QCOMPARE(sale.verdict.kind, Verdict::Kind::RegistrarError); // this registrar wants its own
        QCOMPARE(sale.shown.errorWord, QStringLiteral("0006"));
        QCOMPARE(b.prompter.messages(), QStringList{QStringLiteral("Ошибка продажи\n  Неверный пароль доступа!")});

        Bench rgt;
        rgt.app.state().rgtModel = true;
        QVERIFY(rgt.ops.openReceipt(kPw, QStringLiteral("1"), false).ok());
        rgt.ops.sell(kPw, kBread, QStringLiteral("1"), QStringLiteral("1"));
        QCOMPARE(rgt.codes(), (QStringList{"63", "64"}));
    }

    void failedGoodsProgrammingStopsTheSale()
    {
        Bench b;
        QVERIFY(b.ops.openReceipt(kPw, QStringLiteral("1"), false).ok());
        const Outcome<> sale = b.ops.sell(kPw, QStringLiteral("5;X;1.00;9;1;"), QStringLiteral("1"), QStringLiteral("1"));
        QCOMPARE(b.codes(), (QStringList{"63", "24"}));
        QCOMPARE(sale.shown.errorWord, QStringLiteral("0504"));
        // The registrar's own reason follows the operation's word.
        QCOMPARE(b.prompter.messages(),
                 QStringList{QStringLiteral("Ошибка\n  ") + Verdict::of(*b.app.state().currentResult).message});
        QVERIFY(b.prompter.messages()[0].size() > 12);

        b.prompter.clear();
        b.registrar.injectFault(emu::Fault{emu::Fault::Silence, 0, 0});
        b.registrar.injectFault(emu::Fault{emu::Fault::Silence, 0, 0});
        b.registrar.injectFault(emu::Fault{emu::Fault::Silence, 0, 0});
        b.registrar.injectFault(emu::Fault{emu::Fault::Silence, 0, 0});
        const Outcome<> lost = b.ops.sell(kPw, kBread, QStringLiteral("1"), QStringLiteral("1"));
        QCOMPARE(lost.verdict.kind, Verdict::Kind::NoReply);
        QVERIFY(lost.shown.errorWord.isEmpty()); // no earlier reply's word passed off as this one's
        QCOMPARE(b.prompter.messages().last(), QStringLiteral("Таймаут устройства! Ошибка!"));
        QVERIFY(!b.codes().contains("64"));
    }

    void refusedInputSendsNothing_data()
    {
        QTest::addColumn<QString>("operation");
        QTest::addColumn<QString>("goods");
        QTest::addColumn<QString>("value"); // quantity, amount or operator
        QTest::addColumn<QStringList>("codes");
        QTest::addColumn<QString>("message");
        const QString bad = QStringLiteral("Поле \"%1\" должно содержать число: команда не отправлена.");
        const QString notNumber =
            QStringLiteral("Поле \"%1\": \"%2\" не является числом; введите число, например %3. Команда не отправлена.");
        const QString places = QStringLiteral(
            "Поле \"%1\": не более %2 знаков после запятой, введено \"%3\"; число не округляется. Команда не отправлена.");
        QTest::newRow("no goods") << "sell" << QString() << "1" << QStringList{} << "Не выбран товар!";
        QTest::newRow("quantity not a number") << "sell" << kBread << "1.5x" << QStringList{}
                                               << notNumber.arg("Кол-во", "1.5x", "1.5 или 1,5");
        QTest::newRow("quantity of four places") << "sell" << kBread << "1,0005" << QStringList{}
                                                 << places.arg("Кол-во", "трёх", "1,0005");
        QTest::newRow("price of three places") << "price" << kBread << "1.005" << QStringList{}
                                               << places.arg("Цена за ед.", "двух", "1.005");
        QTest::newRow("goods code not a number") << "sell" << "A1;X;1.00;1;1;" << "1" << QStringList{}
                                                 << "Код товара (текст до первого \";\" в строке товара) не является целым числом: команда не отправлена.";
        QTest::newRow("goods line without separator") << "sell" << "1001" << "1" << QStringList{}
                                                      << "Код товара (текст до первого \";\" в строке товара) не является целым числом: команда не отправлена.";
        QTest::newRow("quantity 0") << "sell" << kBread << "0" << QStringList{"24"}
                                    << "Ошибка продажи\n  " + wrapper_codes::refusalMessage(wrapper_codes::kQuantity);
        QTest::newRow("VEKR recipient not a number") << "vekr" << kBread << "1" << QStringList{} << bad.arg("Номер получателя ВЕКР");
        QTest::newRow("operator not a number") << "open" << QString() << "x" << QStringList{} << bad.arg("Номер оператора");
        QTest::newRow("payment amount not a number") << "pay" << QString() << "12.5.0" << QStringList{}
                                                     << notNumber.arg("Величина оплаты", "12.5.0", "12.50 или 12,50");
        QTest::newRow("payment amount of three places") << "pay" << QString() << "12,505" << QStringList{}
                                                        << places.arg("Величина оплаты", "двух", "12,505");
        QTest::newRow("payment type") << "pay-1" << QString() << "1.00" << QStringList{} << "Ошибочный тип оплаты";
        QTest::newRow("payment type 10") << "pay10" << QString() << "1.00" << QStringList{}
                                         << "Ошибка оплаты чека\n  " + wrapper_codes::refusalMessage(wrapper_codes::kPaymentType);
        QTest::newRow("comment with separator") << "comment" << QString() << "a;b" << QStringList{}
                                                << "Ошибка печати комментария\n  "
                                                       + wrapper_codes::refusalMessage(wrapper_codes::kTextSeparator);
        QTest::newRow("discount not a number") << "discount" << QString() << "five" << QStringList{}
                                               << notNumber.arg("Скидка процентная", "five", "12.50 или 12,50");
    }

    void refusedInputSendsNothing()
    {
        QFETCH(QString, operation);
        QFETCH(QString, goods);
        QFETCH(QString, value);
        QFETCH(QStringList, codes);
        QFETCH(QString, message);
        Bench b;
        Outcome<> out;
        if (operation == "sell")
            out = b.ops.sell(kPw, goods, value, QStringLiteral("1.00"));
        else if (operation == "price")
            out = b.ops.sell(kPw, goods, QStringLiteral("1"), value);
        else if (operation == "vekr")
            out = b.ops.sellVekr(kPw, goods, value, QStringLiteral("1.00"), QStringLiteral("x"));
        else if (operation == "open")
            out = b.ops.openReceipt(kPw, value, false);
        else if (operation == "pay")
            out.verdict = b.ops.pay(b.payment(0, value), QString()).verdict;
        else if (operation == "pay10")
            out.verdict = b.ops.pay(b.payment(10, value), QString()).verdict;
        else if (operation == "pay-1")
            out.verdict = b.ops.pay(b.payment(-1, value), QString()).verdict;
        else if (operation == "comment")
            out = b.ops.printComment(kPw, value);
        else
            out = b.ops.discount(kPw, true, Target::Item, value, QString());
        QVERIFY(!out.sent());
        QCOMPARE(b.codes(), codes);
        QCOMPARE(b.prompter.messages(), QStringList{message});
    }

    // Typed with the decimal comma or the point, a number goes to the registrar with the
    // point and the places of its field.
    void typedNumbersOnTheWire_data()
    {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("sent");
        QTest::newRow("price with comma") << "price" << "12,5" << "64:482913;1001;1.000;12.50;";
        QTest::newRow("quantity with comma") << "quantity" << "0,125" << "64:482913;1001;0.125;1.00;";
        QTest::newRow("payment with comma") << "payment" << " 30,5 " << "67:482913;0;30.50;";
        QTest::newRow("discount with comma") << "discount" << "-2,5" << "68:482913;-2.50;";
    }
    void typedNumbersOnTheWire()
    {
        QFETCH(QString, field);
        QFETCH(QString, typed);
        QFETCH(QString, sent);
        Bench b;
        QVERIFY(b.ops.openReceipt(kPw, QStringLiteral("1"), false).ok());
        Outcome<> out = b.ops.sell(kPw, kBread, field == "quantity" ? typed : QStringLiteral("1"),
                                   field == "price" ? typed : QStringLiteral("1.00"));
        QVERIFY(out.ok());
        if (field == "payment")
            out.verdict = b.ops.pay(b.payment(0, typed), QString()).verdict;
        else if (field == "discount")
            out = b.ops.discount(kPw, true, Target::Item, typed, QString());
        QVERIFY(out.ok());
        QCOMPARE(b.sent().last(), sent);
    }

    void cardPathFollowsVersionAndJournalSetting_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<QString>("version");
        QTest::addColumn<QString>("elJournal");
        QTest::addColumn<bool>("card");
        QTest::newRow("cash on 4.00") << 0 << "4.00" << "КСЕФ" << false;
        QTest::newRow("type 1 on 4.00") << 1 << "4.00" << "" << true;
        QTest::newRow("type 1 on 5.00") << 1 << "5.00" << "" << true;
        QTest::newRow("type 1 on 3.01") << 1 << "3.01" << "" << false;
        QTest::newRow("type 1 with КСЕФ") << 1 << "3.01" << "КСЕФ" << true;
        QTest::newRow("type 2 with other journal") << 2 << "3.01" << "КСЕФ2" << false;
    }

    void cardPathFollowsVersionAndJournalSetting()
    {
        QFETCH(int, type);
        QFETCH(QString, version);
        QFETCH(QString, elJournal);
        QFETCH(bool, card);
        Bench b;
        b.app.state().softwareVersion = version;
        b.app.state().elJournal = elJournal;
        QList<CardPaymentRequest> asked;
        b.ops.setCardPayer([&](const CardPaymentRequest &r) {
            asked << r;
            return CardPaymentResult{Verdict::refused(0), {}, false, {}};
        });
        b.app.state().cardTerminalPort = QStringLiteral("/dev/terminal");
        const auto out = b.ops.pay(b.payment(type, QStringLiteral(" 12,5 ")), QStringLiteral("/dev/terminal"));
        QCOMPARE(asked.size(), card ? 1 : 0);
        QCOMPARE(out.shown.cardPath, card);
        QCOMPARE(b.codes().contains("67"), !card);
        if (card) {
            QCOMPARE(asked[0].amountText, QStringLiteral("12.5"));
            QCOMPARE(asked[0].paymentType, type);
            QCOMPARE(asked[0].terminalPort, QStringLiteral("/dev/terminal"));
        }
    }

    // The receipt's own payment step with the real card payment: the card-terminal
    // emulator on a pseudo-terminal charges, the registrar records and closes.
    void wholeReceiptPaidByCard()
    {
        CardTerminalProcess terminal;
        QVERIFY(!terminal.path().isEmpty());
        Bench b;
        b.app.state().softwareVersion = QStringLiteral("4.00");
        QVERIFY(b.ops.openReceipt(kPw, QStringLiteral("1"), false).ok());
        QVERIFY(b.ops.sell(kPw, kBread, QStringLiteral("2"), QStringLiteral("12.50")).ok());
        QCOMPARE(b.ops.printTotal(kPw, false).shown.data, QStringLiteral("25.00"));
        const auto paid = b.ops.pay(b.payment(1, QStringLiteral("25")), terminal.path());
        QVERIFY2(paid.ok(), qPrintable(b.prompter.messages().join(u'|')));
        QVERIFY(paid.shown.cardPath && !paid.shown.chargedNotRecorded);
        QVERIFY(b.ops.closeReceipt(kPw, false).ok());

        QCOMPARE(b.codes(), (QStringList{"63", "24", "64", "6D", "61", "61", "61", "78", "61", "61", "61", "61", "65"}));
        QVERIFY(b.sent()[7].startsWith(QStringLiteral("78:482913;1;25.00;")));
        const emu::State &st = b.registrar.state();
        QCOMPARE(st.cardPayments.size(), 1);
        QCOMPARE(st.cardPayments[0].amountCents, 2500);
        QCOMPARE(st.receiptJournal.size(), 1);
        QCOMPARE(st.cashInDrawerCents, 0);
    }

    void chargedButNotRecordedHandsBackTheTransaction()
    {
        Bench b;
        b.app.state().softwareVersion = QStringLiteral("4.00");
        b.ops.setCardPayer([](const CardPaymentRequest &) {
            Verdict v;
            v.kind = Verdict::Kind::NoReply;
            return CardPaymentResult{v, {}, true, QStringLiteral("58TX0001")};
        });
        const auto out = b.ops.pay(b.payment(1, QStringLiteral("10.00")), QString());
        QVERIFY(out.shown.chargedNotRecorded);
        QCOMPARE(out.shown.transactionId, QStringLiteral("58TX0001"));
    }

    void barcodeRules()
    {
        Bench b;
        QVERIFY(b.ops.openReceipt(kPw, QStringLiteral("1"), false).ok());
        FiscalReceipt::Barcode bc;
        bc.password = kPw;
        bc.data = QStringLiteral("012345678901");
        QVERIFY(b.ops.printBarcode(bc).ok());
        QCOMPARE(b.sent().last(), QStringLiteral("71:482913;50;2;1;0;012345678901;"));

        bc.data = QStringLiteral("0123456789012");
        QVERIFY(!b.ops.printBarcode(bc).sent());
        QCOMPARE(b.prompter.messages().last(), FiscalReceipt::kBarcodeTooLong);
        bc.typeIndex = 2; // CODE128C takes 13 characters; this registrar wants pairs of digits
        const Outcome<> odd = b.ops.printBarcode(bc);
        QCOMPARE(odd.shown.errorWord, QStringLiteral("0603"));
        QCOMPARE(b.prompter.messages().last(),
                 QStringLiteral("Ошибка печати штрих-кода:\n  Неправильный формат поля номер 6!"));

        bc.typeIndex = 0;
        bc.data = QStringLiteral("12;34");
        b.ops.printBarcode(bc);
        QCOMPARE(b.registrar.journal().last().parameters, QByteArray("482913;50;2;0;0;12\xA0" "34;"));

        const int before = int(b.registrar.journal().size());
        bc.height = QStringLiteral("5x");
        QVERIFY(!b.ops.printBarcode(bc).sent());
        QCOMPARE(b.prompter.messages().last(), FiscalReceipt::kBadBarcodeHeight);
        QCOMPARE(int(b.registrar.journal().size()), before);
    }

    void fixedParameterStrings()
    {
        Bench b;
        b.ops.closeReceipt(kPw, false);
        b.ops.showOnDisplay(1, QStringLiteral("Comment for printing"));
        b.ops.voidOperation(kPw, 2);
        b.ops.printTotal(kPw, false);
        b.ops.discount(kPw, false, Target::TaxGroup, QStringLiteral("-5"), QStringLiteral("3"));
        QCOMPARE(b.sent(), (QStringList{"65:482913;0;", "81:482913;1;0;Comment for printing;", "6B:482913;2;",
                                        "6D:482913;0;", "76:482913;-5.00;3;"}));
        // Only the display keeps quiet about its failure; the others say the registrar's reason.
        const QString wrongState = QStringLiteral("\n  Ошибка работы с продажами!\n Неверное состояние документа!");
        QCOMPARE(b.prompter.messages(), (QStringList{"Ошибка закрытия чека" + wrongState, "Ошибка аннулирования" + wrongState,
                                                     "Ошибка печати итога" + wrongState,
                                                     "Ошибка надбавки-скидки" + wrongState}));
    }

    void vekrSaleOnEkv60()
    {
        emu::Registrar::Options o;
        o.model = QStringLiteral("eKV-60");
        Bench b(o);
        QVERIFY(b.ops.openReceipt(kPw, QStringLiteral("1"), false).ok());
        QVERIFY(b.ops.sellVekr(QStringLiteral("482913"), kBread, QStringLiteral("1"), QStringLiteral("2"),
                               QStringLiteral("42")).ok());
        QCOMPARE(b.sent().last(), QStringLiteral("6A:482913;1001;1.000;2.00;42;"));
    }
};

QTEST_GUILESS_MAIN(FiscalReceiptTest)
#include "tst_fiscal_receipt.moc"
