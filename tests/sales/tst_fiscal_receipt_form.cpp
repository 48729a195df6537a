// The fiscal receipt screen TForm21: its wiring to the operations and what it shows.
#include "app/application.h"
#include "emulator/domains.h"
#include "emulator/registrar.h"
#include "sales/card_payment.h"
#include "sales/cash_operations_form.h"
#include "sales/fiscal_receipt_form.h"
#include "sales/non_fiscal_receipt_form.h"
#include "sales/open_receipt_check.h"
#include "sales/receipt_cancel.h"
#include "sales/sales_screens.h"
#include "scripts/script_screens.h"
#include "ui/goods_list_source.h"

#include "support/screen_rig.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QPlainTextEdit>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

namespace {

struct Bench : FormBench<TForm21> {
    QString goodsFile = dir.filePath(QStringLiteral("goods.art"));

    explicit Bench(const emu::Registrar::Options &o = {}) : FormBench(o)
    {
        QFile f(goodsFile);
        if (f.open(QIODevice::WriteOnly))
            f.write(emu::toCp1251(QStringLiteral("1001;Хлеб;12.50;1;1;\r\n1002;Молоко;4.00;2;1;\r\n")));
        registerSalesScreens(host.registry);
    }
    QString errorWord() { return w("errorWordEdit")->text(); }
    // How many frames of `code` went out.
    int sentCount(int code) const { return int(sent(code).size()); }
    QStringList receiptRows()
    {
        QStringList rows;
        QListWidget *list = w<QListWidget>("receiptRowsList");
        for (int i = 0; i < list->count(); ++i)
            rows << list->item(i)->text();
        return rows;
    }
    QStringList figures()
    {
        return {w("receiptTotalEdit")->text(), w("receiptDueEdit")->text(), w("receiptChangeEdit")->text()};
    }
    // Brings the registrar's receipt state into the link's last reply, as any exchange does.
    void readState() { QVERIFY(ReceiptCancel(app).readState().ok()); }
};

} // namespace

class FiscalReceiptFormTest : public QObject {
    Q_OBJECT
private slots:
    void openingSetsModelControlsListsAndGoods()
    {
        Bench b;
        b.app.state().paymentFormCount = 4;
        b.prompter.files.push_back(b.goodsFile);
        b.open();
        QCOMPARE(b.prompter.shown.size(), 1); // the goods file dialog
        QCOMPARE(b.prompter.shown[0].caption, QStringLiteral("Product filse -  ART|*.ART|AllFiles (*.*)|*.*"));
        QVERIFY(!b.w<QPushButton>("vekrSellButton")->isVisible());
        QCOMPARE(b.w<QComboBox>("paymentTypeCombo")->count(), 4);
        QCOMPARE(b.w<QComboBox>("displayFunctionCombo")->currentText(), QStringLiteral("Верхняя строка"));
        QCOMPARE(b.w<QComboBox>("barcodeTypeCombo")->currentText(), QStringLiteral("EAN13"));
        QVERIFY(!b.w<QPushButton>("statusButton")->isEnabled());
        QListWidget *goods = b.w<QListWidget>("goodsList");
        QCOMPARE(goods->count(), 2);
        QCOMPARE(goods->item(1)->text(), QStringLiteral("1002;Молоко;4.00;2;1;"));
        QTest::mouseClick(goods->viewport(), Qt::LeftButton, {}, goods->visualItemRect(goods->item(1)).center());
        QCOMPARE(b.w("goodsLineEdit")->text(), QStringLiteral("1002;Молоко;4.00;2;1;"));

        // Opened again, the file is known: no dialog, the same list.
        b.host.screen<TForm21>()->hide();
        b.app.state().modelName = QStringLiteral("eKV-60");
        b.open();
        QCOMPARE(b.prompter.shown.size(), 1);
        QCOMPARE(goods->count(), 2);
        QVERIFY(b.w<QPushButton>("vekrSellButton")->isVisible());
        QVERIFY(b.w<QLineEdit>("vekrRecipientEdit")->isVisible());
    }

    // With the goods loading screen in the program, the receipt sells from its list: the
    // file chosen here is loaded there, and that screen's edits are what is offered.
    void goodsComeFromTheLoadingScreen()
    {
        Bench b;
        registerScriptScreens(b.host.registry);
        b.prompter.files.push_back(b.goodsFile);
        b.open();
        GoodsListSource *source = b.host.provider<GoodsListSource>();
        QVERIFY(source);
        QCOMPARE(source->goodsFileName(), b.goodsFile);
        QListWidget *goods = b.w<QListWidget>("goodsList");
        QCOMPARE(goods->count(), 2);

        widget<QPlainTextEdit>(*b.host.screen(QStringLiteral("TForm20")), QStringLiteral("goodsLinesEdit"))
            ->setPlainText(QStringLiteral("1003;Сыр;9.00;1;1;"));
        b.host.screen<TForm21>()->hide();
        b.open();
        QCOMPARE(b.prompter.shown.size(), 1); // the one file dialog
        QCOMPARE(goods->count(), 1);
        QCOMPARE(goods->item(0)->text(), QStringLiteral("1003;Сыр;9.00;1;1;"));
    }

    void buttonsDriveAWholeReceipt()
    {
        Bench b;
        b.prompter.files.push_back(b.goodsFile);
        b.open();
        b.click("openReceiptButton");
        QVERIFY(b.w<QPushButton>("statusButton")->isEnabled());
        b.w("goodsLineEdit")->setText(QStringLiteral("1001;Хлеб;12.50;1;1;"));
        b.type("quantityEdit", QStringLiteral("2"));
        b.type("priceEdit", QStringLiteral("12.50"));
        b.click("sellButton");
        b.click("percentItemButton"); // -5.00 %: -1.25
        b.click("printTotalButton");
        QCOMPARE(b.w<QLabel>("sumLabel")->text(), QStringLiteral("23.75"));
        QTest::mouseClick(b.w<QLabel>("sumLabel"), Qt::LeftButton);
        QCOMPARE(b.w("amountEdit")->text(), QStringLiteral("23.75"));
        b.click("payButton");
        b.click("closeReceiptButton");
        QCOMPARE(b.errorWord(), QStringLiteral("0000"));
        QVERIFY(b.prompter.messages().isEmpty());
        QCOMPARE(b.registrar.state().receiptJournal.size(), 1);

        // The closed receipt's sum is gone, and a total that fails shows none and says so.
        QVERIFY(b.w<QLabel>("sumLabel")->text().isEmpty());
        b.click("printTotalButton");
        QCOMPARE(b.errorWord(), QStringLiteral("000B"));
        QVERIFY(b.w<QLabel>("sumLabel")->text().isEmpty());
        QCOMPARE(b.prompter.messages(), QStringList{QStringLiteral("Ошибка печати итога\n  Ошибка работы с продажами!\n "
                                                                   "Неверное состояние документа!")});

        b.click("closeButton");
        QVERIFY(!b.w<QPushButton>("statusButton")->isEnabled());
        QVERIFY(!b.host.screen<TForm21>()->isVisible());
    }

    // A chosen goods line brings its price: the sale goes at the price 0x24 programmed,
    // not at whatever the price input held; the cashier may still change it.
    void chosenLineSellsAtItsPrice()
    {
        Bench b;
        b.prompter.files.push_back(b.goodsFile);
        b.open();
        b.click("openReceiptButton");
        QListWidget *goods = b.w<QListWidget>("goodsList");
        QTest::mouseClick(goods->viewport(), Qt::LeftButton, {}, goods->visualItemRect(goods->item(0)).center());
        QCOMPARE(b.w("priceEdit")->text(), QStringLiteral("12.50"));
        b.click("sellButton");
        QCOMPARE(b.sent(0x64).last(), QByteArray("482913;1001;1.000;12.50;"));
        goods->setCurrentRow(1); // by the keyboard
        QCOMPARE(b.w("priceEdit")->text(), QStringLiteral("4.00"));
        b.type("priceEdit", QStringLiteral("3,90"));
        b.clock.advance(QApplication::doubleClickInterval());
        b.click("sellButton");
        QCOMPARE(b.sent(0x64).last(), QByteArray("482913;1002;1.000;3.90;"));
    }

    // One click, one operation: every button that sells, pays, deposits, withdraws or
    // prints is disabled while its operation runs, and a second click within the
    // double-click interval does nothing; after the interval the button works again.
    void oneClickOneOperation_data()
    {
        QTest::addColumn<QString>("screen");
        QTest::addColumn<QString>("button");
        QTest::addColumn<int>("code"); // the command the click sends once
        QTest::newRow("sell") << "TForm21" << "sellButton" << 0x64;
        QTest::newRow("VEKR sale") << "TForm21" << "vekrSellButton" << 0x6A;
        QTest::newRow("pay") << "TForm21" << "payButton" << 0x67;
        QTest::newRow("deposit") << "TForm9" << "depositButton" << 0x77;
        QTest::newRow("withdraw") << "TForm9" << "withdrawButton" << 0x77;
        QTest::newRow("non-fiscal print") << "TForm8" << "printButton" << 0x61;
    }
    void oneClickOneOperation()
    {
        QFETCH(QString, screen);
        QFETCH(QString, button);
        QFETCH(int, code);
        emu::Registrar::Options o;
        o.model = QStringLiteral("eKV-60");
        Bench b(o);
        b.app.state().modelName = o.model;
        b.registrar.state().cashInDrawerCents = 100000;
        b.host.openScreen(screen);
        QDialog *form = b.host.screen(screen);
        if (screen == "TForm21") {
            b.screen().operations().openReceipt(QStringLiteral("482913"), 1, false);
            widget<QLineEdit>(*form, QStringLiteral("goodsLineEdit"))->setText(QStringLiteral("1001;Хлеб;12.50;1;1;"));
            widget<QLineEdit>(*form, QStringLiteral("vekrRecipientEdit"))->setText(QStringLiteral("7"));
            if (code == 0x67)
                b.screen().operations().sell(QStringLiteral("482913"), QStringLiteral("1001;Хлеб;12.50;1;1;"), 1, 12.5);
            widget<QLineEdit>(*form, QStringLiteral("amountEdit"))->setText(QStringLiteral("1,00"));
        } else if (screen == "TForm8") {
            widget<QPlainTextEdit>(*form, QStringLiteral("linesEdit"))->setPlainText(QStringLiteral("x"));
        }
        QPushButton *clicked = widget<QPushButton>(*form, button);
        QList<QPushButton *> enabledDuring;
        b.registrar.setJournalHook([&](const emu::Executed &) {
            for (QPushButton *p : form->findChildren<QPushButton *>())
                if (p->isEnabled() && p->objectName() != QStringLiteral("closeButton")
                    && p->objectName() != QStringLiteral("statusButton"))
                    enabledDuring << p;
        });
        QTest::mouseDClick(clicked, Qt::LeftButton); // press, release, press, release
        QTest::mouseClick(clicked, Qt::LeftButton);
        QCOMPARE(b.sentCount(code), 1);
        QVERIFY(enabledDuring.isEmpty());
        QVERIFY(clicked->isEnabled());
        b.clock.advance(QApplication::doubleClickInterval());
        QTest::mouseClick(clicked, Qt::LeftButton);
        QCOMPARE(b.sentCount(code), 2);
    }

    // Closing the screen over an open receipt asks: void it (the default), keep it open,
    // or stay; "Закрыть", Esc and the window's close button alike.
    void closingOverAnOpenReceipt_data()
    {
        QTest::addColumn<QString>("how");
        QTest::addColumn<bool>("receiptOpen");
        QTest::addColumn<int>("answer");
        QTest::addColumn<bool>("closed");
        QTest::addColumn<bool>("voided");
        QTest::newRow("Закрыть, void") << "button" << true << int(Prompter::Yes) << true << true;
        QTest::newRow("Esc, keep open") << "esc" << true << int(Prompter::No) << true << false;
        QTest::newRow("close button, stay") << "window" << true << int(Prompter::Cancel) << false << false;
        QTest::newRow("Esc, void") << "esc" << true << int(Prompter::Yes) << true << true;
        QTest::newRow("nothing open") << "button" << false << 0 << true << false;
    }
    void closingOverAnOpenReceipt()
    {
        QFETCH(QString, how);
        QFETCH(bool, receiptOpen);
        QFETCH(int, answer);
        QFETCH(bool, closed);
        QFETCH(bool, voided);
        Bench b;
        TForm21 &form = b.open();
        if (receiptOpen) {
            b.click("openReceiptButton");
            b.w("goodsLineEdit")->setText(QStringLiteral("1001;Хлеб;12.50;1;1;"));
            b.click("sellButton");
            b.prompter.answers.push_back(Prompter::Button(answer));
        }
        b.prompter.clear();
        if (how == "button")
            b.click("closeButton");
        else if (how == "esc")
            QTest::keyClick(&form, Qt::Key_Escape);
        else
            form.close();
        QCOMPARE(b.prompter.questions().size(), receiptOpen ? 1 : 0);
        if (receiptOpen) {
            QVERIFY(b.prompter.questions()[0].startsWith(QStringLiteral("На регистраторе открыт фискальный чек.")));
            QCOMPARE(b.prompter.defaults, QList<Prompter::Button>{Prompter::Yes});
        }
        QCOMPARE(form.isVisible(), !closed);
        QCOMPARE(b.registrar.receiptState() == 0, !receiptOpen || voided);
        // The void is on the registrar's journal and its tape.
        QCOMPARE(b.sent(0x6B), voided ? QList<QByteArray>{"482913;0;"} : QList<QByteArray>{});
        QCOMPARE(b.registrar.paperTape().contains(emu::toCp1251(QStringLiteral("ЧЕК АННУЛИРОВАН"))), voided);
        QVERIFY(b.prompter.messages().isEmpty());
    }

    // "Открыть чек" over an open receipt says so: void it and open a new one, or go on
    // with it; a non-fiscal receipt left open is closed instead.
    void openingOverAnOpenReceipt()
    {
        Bench b;
        b.open();
        b.click("openReceiptButton");
        b.clock.advance(QApplication::doubleClickInterval());
        b.prompter.answers.push_back(Prompter::No);
        b.click("openReceiptButton");
        QCOMPARE(b.prompter.questions().size(), 1);
        QVERIFY(b.prompter.questions()[0].startsWith(QStringLiteral("На регистраторе уже открыт фискальный чек.")));
        QCOMPARE(b.sentCount(0x63), 1);
        QCOMPARE(b.sentCount(0x6B), 0);

        b.clock.advance(QApplication::doubleClickInterval());
        b.click("openReceiptButton"); // the default: void it
        QCOMPARE(b.sent(0x6B), QList<QByteArray>{"482913;0;"});
        QCOMPARE(b.sentCount(0x63), 2);
        QCOMPARE(b.registrar.receiptState(), int(emu::State::kReceiptHeader));
        QCOMPARE(b.errorWord(), QStringLiteral("0000"));

        b.registrar.state().receiptState = emu::State::kNonFiscalOpen;
        b.readState();
        b.clock.advance(QApplication::doubleClickInterval());
        b.click("openReceiptButton");
        QVERIFY(b.prompter.questions().last().startsWith(QStringLiteral("На регистраторе уже открыт нефискальный чек.")));
        QCOMPARE(b.sent(0x65).last(), QByteArray("482913;0;"));
        QCOMPARE(b.registrar.receiptState(), int(emu::State::kReceiptHeader));
        QVERIFY(b.prompter.messages().isEmpty());
    }

    // The receipt as the registrar accepted it: refused operations leave no row, the
    // figures come from the replies, and the change stays after the close.
    void receiptViewShowsWhatTheRegistrarAccepted()
    {
        Bench b;
        b.app.state().softwareVersion = QStringLiteral("4.00");
        TForm21 &form = b.open();
        b.click("openReceiptButton");
        b.w("goodsLineEdit")->setText(QStringLiteral("1001;Хлеб;12.50;1;1;"));
        b.type("quantityEdit", QStringLiteral("2"));
        b.type("priceEdit", QStringLiteral("12,50"));
        b.click("sellButton");
        b.type("quantityEdit", QStringLiteral("0"));
        b.clock.advance(QApplication::doubleClickInterval());
        b.click("sellButton"); // refused: no row
        b.click("percentItemButton");
        b.click("printTotalButton");
        QCOMPARE(b.receiptRows(), (QStringList{"Открыт фискальный чек", "Хлеб  2.000 x 12.50",
                                               "Скидка на товар: -5.00 %"}));
        QCOMPARE(b.figures(), (QStringList{"23.75", "23.75", ""}));
        b.type("amountEdit", QStringLiteral("10"));
        b.click("payButton");
        QCOMPARE(b.figures(), (QStringList{"23.75", "13.75", "0.00"}));

        // A card payment recorded with the terminal's identifier.
        form.operations().setCardPayer([](const CardPaymentRequest &) {
            CardPaymentResult r;
            r.charged = r.recorded = true;
            r.transactionId = QStringLiteral("TX-58-0002");
            return r;
        });
        b.w<QComboBox>("paymentTypeCombo")->setCurrentIndex(1);
        b.type("amountEdit", QStringLiteral("3.75"));
        b.clock.advance(QApplication::doubleClickInterval());
        b.click("payButton");
        QCOMPARE(b.receiptRows().last(), QStringLiteral("Оплата картой, тип 1: 3.75, транзакция TX-58-0002"));
        QCOMPARE(b.figures(), (QStringList{"23.75", "10.00", "0.00"}));

        b.w<QComboBox>("paymentTypeCombo")->setCurrentIndex(0);
        b.type("amountEdit", QStringLiteral("20"));
        b.clock.advance(QApplication::doubleClickInterval());
        b.click("payButton");
        // The stand-in terminal above never reached this registrar: its figures are the
        // ones shown.
        QCOMPARE(b.figures(), (QStringList{"23.75", "0.00", "6.25"}));
        b.click("closeReceiptButton");
        QCOMPARE(b.receiptRows().mid(3), (QStringList{"Оплата наличными: 10.00",
                                                      "Оплата картой, тип 1: 3.75, транзакция TX-58-0002",
                                                      "Оплата наличными: 20.00", "Чек закрыт"}));
        QCOMPARE(b.figures(), (QStringList{"23.75", "0.00", "6.25"}));
    }

    void returnCheckOpensAReturnReceipt_data()
    {
        QTest::addColumn<bool>("isReturn");
        QTest::addColumn<QByteArray>("opening");
        QTest::newRow("sale") << false << QByteArray("482913;1;1;0;");
        QTest::newRow("return") << true << QByteArray("482913;1;1;1;");
    }
    void returnCheckOpensAReturnReceipt()
    {
        QFETCH(bool, isReturn);
        QFETCH(QByteArray, opening);
        Bench b;
        b.prompter.files.push_back(b.goodsFile);
        b.open();
        b.w<QCheckBox>("returnCheck")->setChecked(isReturn);
        b.click("openReceiptButton");
        QCOMPARE(b.errorWord(), QStringLiteral("0000"));
        QCOMPARE(b.registrar.journal().last().code, quint8(0x63));
        QCOMPARE(b.registrar.journal().last().parameters, opening);
    }

    void refusedInputLeavesTheErrorWord()
    {
        Bench b;
        b.app.state().rgtModel = true;
        b.open();
        b.click("closeReceiptButton");
        QCOMPARE(b.errorWord(), QStringLiteral("000B"));
        const int sent = int(b.registrar.journal().size());
        b.w("goodsLineEdit")->setText(QStringLiteral("1001;Хлеб;12.50;1;1;"));
        b.type("quantityEdit", QStringLiteral("0"));
        b.click("sellButton");
        b.type("quantityEdit", QStringLiteral("abc"));
        b.clock.advance(QApplication::doubleClickInterval()); // not the second half of a double click
        b.click("sellButton");
        QCOMPARE(int(b.registrar.journal().size()), sent);
        QCOMPARE(b.errorWord(), QStringLiteral("000B"));
        QCOMPARE(b.prompter.messages().size(), 3);
    }

    void barcodeTypeRenamesItsButton()
    {
        Bench b;
        b.open();
        QPushButton *button = b.w<QPushButton>("barcodeButton");
        QCOMPARE(button->text(), QStringLiteral("Штрих-код EAN-13"));
        QComboBox *type = b.w<QComboBox>("barcodeTypeCombo");
        type->setFocus();
        QTest::keyClick(type, Qt::Key_Down); // CODE128C, as the user picks it
        QCOMPARE(button->text(), QStringLiteral("Штрих-код CODE128C"));
        b.click("barcodeButton"); // no receipt open: the registrar says so
        QCOMPARE(b.errorWord(), QStringLiteral("000B"));
        QVERIFY(!b.w<QPushButton>("statusButton")->isEnabled());
    }

    // A receipt holding the customer's money is never voided on leaving: paid in full it
    // is closed (the default), with a card charged only kept open or stayed with.
    void receiptsHoldingMoneyAreNotVoidedOnLeaving()
    {
        Bench b;
        b.app.state().softwareVersion = QStringLiteral("4.00");
        TForm21 &form = b.open();
        b.click("openReceiptButton");
        b.w("goodsLineEdit")->setText(QStringLiteral("1001;Хлеб;12.50;1;1;"));
        b.clock.advance(QApplication::doubleClickInterval());
        b.click("sellButton");
        form.operations().setCardPayer([](const CardPaymentRequest &) {
            return CardPaymentResult{Verdict(), ReplyTexts(), true, QStringLiteral("TX-1"), true};
        });
        b.w<QComboBox>("paymentTypeCombo")->setCurrentIndex(1);
        b.type("amountEdit", QStringLiteral("5.00"));
        b.clock.advance(QApplication::doubleClickInterval());
        b.click("payButton");
        b.prompter.clear();
        b.prompter.answers.push_back(Prompter::Cancel);
        b.click("closeButton");
        QVERIFY(form.isVisible());
        QVERIFY(b.prompter.questions()[0].contains(QStringLiteral("аннулировать его нельзя")));
        QCOMPARE(b.prompter.defaults, QList<Prompter::Button>{Prompter::Cancel});
        QCOMPARE(b.sentCount(0x6B), 0);

        // Paid in full in cash: the question closes the receipt.
        b.w<QComboBox>("paymentTypeCombo")->setCurrentIndex(0);
        b.type("amountEdit", QStringLiteral("20.00"));
        b.clock.advance(QApplication::doubleClickInterval());
        b.click("payButton");
        QCOMPARE(b.registrar.receiptState(), int(emu::State::kReceiptComplete));
        b.prompter.clear();
        b.prompter.answers.push_back(Prompter::Yes);
        b.click("closeButton");
        QVERIFY(b.prompter.questions()[0].contains(QStringLiteral("Да — закрыть чек")));
        QVERIFY(!form.isVisible());
        QCOMPARE(b.sentCount(0x65), 1);
        QCOMPARE(b.sentCount(0x6B), 0);
        QCOMPARE(b.registrar.receiptState(), 0);
    }

    // A typed transaction identifier serves one payment: cleared once a payment used it,
    // and with the receipt's sum when the receipt ends or the screen opens.
    void typedIdentifierIsUsedOnce()
    {
        Bench b;
        b.app.state().softwareVersion = QStringLiteral("4.00");
        TForm21 &form = b.open();
        int payments = 0;
        form.operations().setCardPayer([&](const CardPaymentRequest &r) {
            ++payments;
            return CardPaymentResult{Verdict(), ReplyTexts(), false, r.typedTransaction, true};
        });
        auto *use = b.w<QCheckBox>("useTransactionCheck");
        use->setChecked(true);
        b.type("transactionEdit", QStringLiteral("TX-OLD"));
        b.w<QComboBox>("paymentTypeCombo")->setCurrentIndex(1);
        b.type("amountEdit", QStringLiteral("5.00"));
        b.click("payButton");
        QCOMPARE(payments, 1);
        QVERIFY(!use->isChecked());
        QVERIFY(b.w("transactionEdit")->text().isEmpty());

        use->setChecked(true);
        b.type("transactionEdit", QStringLiteral("TX-2"));
        form.close();
        b.open();
        QVERIFY(!use->isChecked());
        QVERIFY(b.w("transactionEdit")->text().isEmpty());
        QVERIFY(b.w<QLabel>("sumLabel")->text().isEmpty());
    }

    void chargedCardPaymentPreparesTheTypedIdentifier()
    {
        Bench b;
        b.app.state().softwareVersion = QStringLiteral("4.00");
        TForm21 &form = b.open();
        form.operations().setCardPayer([](const CardPaymentRequest &) {
            Verdict v;
            v.kind = Verdict::Kind::RegistrarError;
            ReplyTexts shown;
            shown.errorWord = QStringLiteral("000B");
            return CardPaymentResult{v, shown, true, QStringLiteral("TX-58-0001")};
        });
        b.w<QComboBox>("paymentTypeCombo")->setCurrentIndex(1);
        b.type("amountEdit", QStringLiteral("10.00"));
        b.click("payButton");
        QCOMPARE(b.errorWord(), QStringLiteral("000B"));
        QVERIFY(b.w<QCheckBox>("useTransactionCheck")->isChecked());
        QCOMPARE(b.w("transactionEdit")->text(), QStringLiteral("TX-58-0001"));
    }
};

QTEST_MAIN(FiscalReceiptFormTest)
#include "tst_fiscal_receipt_form.moc"
