// The fiscal receipt screen TForm21: its wiring to the operations and what it shows.
#include "app/application.h"
#include "emulator/domains.h"
#include "emulator/registrar.h"
#include "sales/card_payment.h"
#include "sales/fiscal_receipt_form.h"
#include "sales/sales_screens.h"
#include "scripts/script_screens.h"
#include "ui/goods_list_source.h"

#include "support/screen_rig.h"

#include <QCheckBox>
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

        // A total that fails keeps the sum it showed and says so.
        b.click("printTotalButton");
        QCOMPARE(b.errorWord(), QStringLiteral("000B"));
        QCOMPARE(b.w<QLabel>("sumLabel")->text(), QStringLiteral("23.75"));
        QCOMPARE(b.prompter.messages(), QStringList{QStringLiteral("Ошибка печати итога")});

        b.click("closeButton");
        QVERIFY(!b.w<QPushButton>("statusButton")->isEnabled());
        QVERIFY(!b.host.screen<TForm21>()->isVisible());
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
