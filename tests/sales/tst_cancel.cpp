// Cancel and close (TForm35): the receipt state from status byte 2, closing and voiding.
#include "emulator/registrar.h"
#include "sales/receipt_cancel.h"
#include "sales/receipt_cancel_form.h"
#include "sales/sales_screens.h"

#include "support/screen_rig.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

namespace {

const QString kOpenFiscal = QStringLiteral("Открыт фискальный чек");
const QString kOpenReturn = QStringLiteral("Открыт чек возврата");
const QString kNoReceipt = QStringLiteral("Нет открытых чеков");

emu::Registrar::Options sixForms()
{
    emu::Registrar::Options o;
    o.paymentForms = 6;
    return o;
}

// The screen as the program opens it.
struct Bench : FormBench<TForm35> {
    Bench() : FormBench(sixForms()) { registerSalesScreens(host.registry); }
    template <typename T = QPushButton>
    T *w(const char *name)
    {
        return FormBench::w<T>(name);
    }
    QString statusLine() { return w<QLabel>("statusLineLabel")->text(); }
    bool canClose() { return w("closeReceiptButton")->isEnabled(); }
    bool canVoid() { return w("voidReceiptButton")->isEnabled(); }
    QByteArray lastRequest() const
    {
        const emu::Executed &e = registrar.journal().last();
        return QByteArray::number(e.code, 16) + ' ' + e.parameters;
    }
};

} // namespace

class CancelTest : public QObject {
    Q_OBJECT
private slots:
    void statusByte2_data()
    {
        QTest::addColumn<int>("s");
        QTest::addColumn<bool>("canClose");
        QTest::addColumn<bool>("canVoid");
        QTest::addColumn<QString>("line");
        QTest::newRow("none") << 0x00 << false << false << kNoReceipt;
        QTest::newRow("none, return bit") << 0x10 << false << false << kNoReceipt;
        QTest::newRow("non-fiscal") << 0x05 << true << false << QStringLiteral("Открыт нефискальный чек");
        QTest::newRow("return, stage 4") << 0x14 << true << true << kOpenReturn;
        QTest::newRow("return, stage 2") << 0x12 << false << true << kOpenReturn;
        QTest::newRow("fiscal, stage 4") << 0x04 << true << true << kOpenFiscal;
        QTest::newRow("fiscal, stage 1") << 0x01 << false << true << kOpenFiscal;
        QTest::newRow("fiscal, stage 9") << 0x09 << false << true << kOpenFiscal;
    }
    void statusByte2()
    {
        QFETCH(int, s);
        QFETCH(bool, canClose);
        QFETCH(bool, canVoid);
        QFETCH(QString, line);
        Bench b;
        b.registrar.setStatusOverride({0, 0, quint8(s), 0, 0, 0});
        b.open();
        QCOMPARE(b.lastRequest(), QByteArray("80 482913;"));
        QCOMPARE(b.canClose(), canClose);
        QCOMPARE(b.canVoid(), canVoid);
        QCOMPARE(b.statusLine(), line);
        QCOMPARE(b.w<QLineEdit>("errorWordEdit")->text(), QStringLiteral("0000"));
        QCOMPARE(b.app.state().paymentFormCount, 6);
    }

    void failedReadingLeavesTheButtons()
    {
        Bench b;
        b.registrar.setStatusOverride({0, 0, 0x05, 0, 0, 0});
        TForm35 &form = b.open();
        form.hide();
        b.silence();
        b.open();
        QCOMPARE(b.prompter.messages(),
                 QStringList{QStringLiteral("Проверка состояния регистратора:\n  Таймаут устройства! Ошибка!")});
        QVERIFY(b.canClose());
        QVERIFY(!b.canVoid());
        QCOMPARE(b.statusLine(), QStringLiteral("Открыт нефискальный чек"));
        // Closed only with "Выход", never by a stray Esc.
        QTest::keyClick(&form, Qt::Key_Escape);
        QVERIFY(form.isVisible());
    }

    void closeAndVoid()
    {
        Bench b;
        // A real open receipt: the registrar closes what it has.
        b.registrar.state().receiptState = emu::State::kNonFiscalOpen;
        b.open();
        QVERIFY(b.canClose());
        QTest::mouseClick(b.w("closeReceiptButton"), Qt::LeftButton);
        QCOMPARE(b.lastRequest(), QByteArray("65 482913;0;"));
        QCOMPARE(b.registrar.receiptState(), 0);
        QCOMPARE(b.statusLine(), kNoReceipt);
        QVERIFY(!b.canClose() && !b.canVoid());
        QVERIFY(b.prompter.messages().isEmpty());

        b.registrar.state().receiptState = emu::State::kCashReceiptOpen;
        b.host.screen<TForm35>()->hide();
        b.open();
        QCOMPARE(b.statusLine(), kOpenFiscal);
        QTest::mouseClick(b.w("voidReceiptButton"), Qt::LeftButton);
        QCOMPARE(b.lastRequest(), QByteArray("6b 482913;0;"));
        QCOMPARE(b.registrar.receiptState(), 0);
        QCOMPARE(b.statusLine(), kNoReceipt);
    }

    void failures_data()
    {
        QTest::addColumn<bool>("close");
        QTest::addColumn<bool>("timeout");
        QTest::addColumn<QString>("message");
        QTest::newRow("close, timeout") << true << true << QStringLiteral("Таймаут устройства! Ошибка закрыиия чека!");
        QTest::newRow("close, refused") << true << false << QStringLiteral("Ошибка закрытия чека");
        QTest::newRow("void, timeout") << false << true << QStringLiteral("Таймаут устройства! Ошибка аннулирования!");
        QTest::newRow("void, refused") << false << false << QStringLiteral("Ошибка аннулирования");
    }
    void failures()
    {
        QFETCH(bool, close);
        QFETCH(bool, timeout);
        QFETCH(QString, message);
        Bench b;
        b.registrar.setStatusOverride({0, 0, 0x04, 0, 0, 0});
        b.open();
        // The emulator has no receipt open, so it refuses either command.
        if (timeout)
            b.silence();
        QTest::mouseClick(b.w(close ? "closeReceiptButton" : "voidReceiptButton"), Qt::LeftButton);
        // A refusal says the registrar's reason after the operation's word.
        if (!timeout)
            message += QStringLiteral("\n  ") + Verdict::of(*b.app.state().currentResult).message;
        QCOMPARE(b.prompter.messages(), QStringList{message});
        QVERIFY(message.size() > 30);
        QCOMPARE(b.statusLine(), kOpenFiscal);
        QVERIFY(b.canClose() && b.canVoid());
        // The word of a failed reply stays in view; after a timeout there is none to show.
        const QString word = close ? QStringLiteral("000B") : QStringLiteral("060B");
        QCOMPARE(b.w<QLineEdit>("errorWordEdit")->text(), timeout ? QString() : word);
    }

    // A NAK leaves the error word of an earlier reply, "0000": never a success.
    void nakIsNoSuccess()
    {
        Bench b;
        b.registrar.setStatusOverride({0, 0, 0x04, 0, 0, 0});
        b.open();
        for (int i = 0; i < 10; ++i)
            b.registrar.injectFault({emu::Fault::Nak});
        const Outcome<ReceiptCancel::View> out = ReceiptCancel(b.app).close();
        QCOMPARE(out.verdict.kind, Verdict::Kind::Nak);
        QVERIFY(!out.shown.buttonsKnown);
        QVERIFY(b.prompter.messages().value(0).startsWith(QStringLiteral("Ошибка закрытия чека\n")));
    }

    void registrarStateOpensTheStatusScreen()
    {
        Bench b;
        b.registrar.setStatusOverride({0, 0, 0x05, 0, 0, 0});
        b.open();
        QTest::mouseClick(b.w("registrarStateButton"), Qt::LeftButton);
        QCOMPARE(b.host.opened, (QStringList{"TForm35", "TForm5"}));
        QVERIFY(b.statusLine().startsWith(QStringLiteral("   Модель:Korvan KV-44,    Версия:")));
        QVERIFY(b.canClose());

        b.silence();
        QTest::mouseClick(b.w("registrarStateButton"), Qt::LeftButton);
        QCOMPARE(b.host.opened.size(), 2);
        QCOMPARE(b.prompter.messages().size(), 1);
    }
};

QTEST_MAIN(CancelTest)
#include "tst_cancel.moc"
