// Receipt copies: by running numbers (TForm41) and from the electronic journal (TForm54).
#include "commands/command_codes.h"
#include "commands/command_wrappers.h"
#include "emulator/registrar.h"
#include "sales/receipt_copies.h"
#include "sales/receipt_copies_form.h"
#include "sales/sales_screens.h"

#include "support/executed_text.h"
#include "support/screen_rig.h"

#include <QCheckBox>
#include <QDateEdit>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

namespace {

const QDateTime kNoon(QDate(2026, 12, 9), QTime(12, 0));
const QString kTimeout = QStringLiteral("Ошибка! Таймаут устройства!");

struct Bench : FormBench<> {
    ReceiptCopies ops{app};

    Bench()
    {
        registerSalesScreens(host.registry);
        QList<emu::State::StoredReceipt> &journal = registrar.state().receiptJournal;
        journal.append({1, kNoon, {"ЧЕК 1"}});
        journal.append({2, kNoon.addSecs(300), {"ЧЕК 2"}});
    }
    QStringList executed() const { return executedText(registrar); }
};

template <typename T = QLineEdit>
T *w(QWidget &form, const char *name)
{
    return widget<T>(form, QLatin1String(name));
}

} // namespace

class CopiesTest : public QObject {
    Q_OBJECT
private slots:
    void copyByRunningNumbers()
    {
        Bench b;
        TForm41 &form = b.open<TForm41>();
        QCOMPARE(form.windowTitle(), QStringLiteral("Копия чека"));
        w(form, "passwordEdit")->setText(QStringLiteral("482913"));
        w(form, "lastNumberEdit")->setText(QStringLiteral("2"));
        QTest::mouseClick(w<QPushButton>(form, "copyButton"), Qt::LeftButton);
        QCOMPARE(b.executed(), (QStringList{"60 482913; 0000", "a5 482913;1;2; 0000", "65 482913;0; 0000"}));
        QVERIFY(b.registrar.paperTape().contains("ЧЕК 2"));
        QCOMPARE(w(form, "errorWordEdit")->text(), QStringLiteral("0000"));
        QVERIFY(b.prompter.messages().isEmpty());
    }

    // A receipt the registrar itself stored when it closed.
    void copyOfASoldReceipt()
    {
        Bench b;
        b.registrar.state().receiptJournal.clear();
        int code = 0;
        const QString pw = QStringLiteral("482913");
        b.app.execute(cmd::AddGoods, "482913;101;Bread;12.50;1;1;");
        b.app.execute(OpenFiscalReceipt, pw, 1, 0, 0, code);
        b.app.execute(SellItem, pw, qint64(101), 2.0, 12.5, code);
        b.app.execute(printTotal, pw, false, code);
        b.app.execute(payReceipt, pw, 0, 30.0, code);
        b.app.execute(closeReceipt, pw, code);
        QCOMPARE(b.executed().last(), QStringLiteral("65 482913;0; 0000"));
        const QList<QByteArray> receipt = b.registrar.state().receiptJournal.value(0).lines;
        QVERIFY(!receipt.isEmpty());

        b.registrar.state().paperTape.clear();
        QVERIFY(b.ops.copyByRunningNumbers(pw, "1", "1").ok());
        for (const QByteArray &line : receipt)
            QVERIFY(b.registrar.paperTape().contains(line));
    }

    // The copy failed with the non-fiscal receipt open: it is closed again, and the
    // copy's failure is what the screen reports and shows.
    void failedCopyClosesTheReceipt()
    {
        Bench b;
        TForm41 &form = b.open<TForm41>();
        w(form, "firstNumberEdit")->setText(QStringLiteral("2"));
        w(form, "lastNumberEdit")->setText(QStringLiteral("3"));
        QTest::mouseClick(w<QPushButton>(form, "copyButton"), Qt::LeftButton);
        QCOMPARE(b.executed(), (QStringList{"60 482913; 0000", "a5 482913;2;3; 070B", "65 482913;0; 0000"}));
        QCOMPARE(b.registrar.receiptState(), 0);
        QCOMPARE(b.prompter.messages(),
                 QStringList{QStringLiteral("Печать копии чека:\n  Ошибка работы с продажами!\n Копия чека недоступна!")});
        QCOMPARE(w(form, "errorWordEdit")->text(), QStringLiteral("070B"));

        // With the screen's password wrong only the copy fails; the fixed password opens
        // and closes.
        b.prompter.clear();
        w(form, "passwordEdit")->setText(QStringLiteral("1"));
        QTest::mouseClick(w<QPushButton>(form, "copyButton"), Qt::LeftButton);
        QCOMPARE(b.executed().mid(3), (QStringList{"60 482913; 0000", "a5 1;2;3; 0006", "65 482913;0; 0000"}));
        QCOMPARE(b.prompter.messages(), QStringList{QStringLiteral("Печать копии чека:\n  Неверный пароль доступа!")});
    }

    void failedOpeningSendsNothingFurther()
    {
        Bench b;
        b.registrar.state().receiptState = emu::State::kNonFiscalOpen;
        const Outcome<> out = b.ops.copyByRunningNumbers("482913", "1", "1");
        QCOMPARE(out.errorWordText(), QStringLiteral("000B"));
        QCOMPARE(b.executed(), QStringList{"60 482913; 000B"});
        QCOMPARE(b.prompter.messages(),
                 QStringList{QStringLiteral("Печать копии чека :\n  Ошибка работы с продажами!\n Неверное состояние документа!")});
    }

    void numbersRefusedBeforeSending()
    {
        Bench b;
        QCOMPARE(b.ops.copyByRunningNumbers("482913", "1a", "2").verdict.kind, Verdict::Kind::Refused);
        QCOMPARE(b.ops.copyByRunningNumbers("482913", "1", "").verdict.kind, Verdict::Kind::Refused);
        QCOMPARE(b.ops.copyByDocumentNumbers("x", "2").verdict.kind, Verdict::Kind::Refused);
        QCOMPARE(b.ops.search(QDate(2026, 12, 9), "12;0", QDate(2026, 12, 9), "1300", false).verdict.kind,
                 Verdict::Kind::Refused);
        QVERIFY(b.line->framesSent.isEmpty());
        QCOMPARE(b.prompter.messages().size(), 4);
    }

    void journalSearchAndCopies()
    {
        Bench b;
        const QDate before = QDate::currentDate();
        TForm54 &form = b.open<TForm54>();
        const QDate after = QDate::currentDate(); // the day may change while the form opens
        QCOMPARE(form.windowTitle(), QStringLiteral("Копия чека (\"КСЕФ\")"));
        const QDate shown = w<QDateEdit>(form, "startDateEdit")->date();
        QVERIFY2(shown == before || shown == after, qPrintable(shown.toString(Qt::ISODate)));
        QCOMPARE(w(form, "startTimeEdit")->text(), QStringLiteral("1200"));
        w<QDateEdit>(form, "startDateEdit")->setDate(QDate(2026, 12, 9));
        w<QDateEdit>(form, "endDateEdit")->setDate(QDate(2026, 12, 9));
        w(form, "endTimeEdit")->setText(QStringLiteral("1230"));
        w<QCheckBox>(form, "printDocumentsCheckBox")->setChecked(true);
        QTest::mouseClick(w<QPushButton>(form, "searchButton"), Qt::LeftButton);
        QCOMPARE(b.executed(), QStringList{"ee 482913;091226;1200;091226;1230;1; 0000"});
        auto *first = w<QLabel>(form, "firstFoundLabel");
        auto *last = w<QLabel>(form, "lastFoundLabel");
        QCOMPARE(first->text(), QStringLiteral("1"));
        QCOMPARE(last->text(), QStringLiteral("2"));
        QCOMPARE(w(form, "errorWordEdit")->text(), QStringLiteral("0000"));

        // A span with nothing in it: the labels keep what they show.
        w(form, "startTimeEdit")->setText(QStringLiteral("1300"));
        w(form, "endTimeEdit")->setText(QStringLiteral("1400"));
        w<QCheckBox>(form, "printDocumentsCheckBox")->setChecked(false);
        QTest::mouseClick(w<QPushButton>(form, "searchButton"), Qt::LeftButton);
        QCOMPARE(b.executed().last(), QStringLiteral("ee 482913;091226;1300;091226;1400;0; 070B"));
        QCOMPARE(b.prompter.messages(),
                 QStringList{QStringLiteral("Печать копии чека :\n  Ошибка работы с продажами!\n Копия чека недоступна!")});
        QCOMPARE(first->text(), QStringLiteral("1"));

        b.prompter.clear();
        w(form, "startNumberEdit")->setText(QStringLiteral("2"));
        w(form, "endNumberEdit")->setText(QStringLiteral("2"));
        QTest::mouseClick(w<QPushButton>(form, "copyByNumbersButton"), Qt::LeftButton);
        QCOMPARE(b.executed().last(), QStringLiteral("eb 482913;2;2; 0000"));
        QCOMPARE(b.registrar.paperTape().last(), QByteArray("ЧЕК 2"));

        b.silence();
        QTest::mouseClick(w<QPushButton>(form, "copyByNumbersButton"), Qt::LeftButton);
        b.silence();
        QTest::mouseClick(w<QPushButton>(form, "searchButton"), Qt::LeftButton);
        QCOMPARE(b.prompter.messages(), (QStringList{kTimeout, kTimeout}));
        // No reply of these commands: no word to show.
        QVERIFY(w(form, "errorWordEdit")->text().isEmpty());
    }

    void labelClicks()
    {
        Bench b;
        TForm54 &form = b.open<TForm54>();
        auto *first = w<QLabel>(form, "firstFoundLabel");
        auto *last = w<QLabel>(form, "lastFoundLabel");
        QLineEdit *start = w(form, "startNumberEdit");
        QLineEdit *end = w(form, "endNumberEdit");

        // Blank labels copy nothing.
        QTest::mouseClick(first, Qt::LeftButton);
        QTest::mouseDClick(last, Qt::LeftButton);
        QCOMPARE(start->text(), QStringLiteral("1"));
        QCOMPARE(end->text(), QStringLiteral("1"));

        first->setText(QStringLiteral("7"));
        last->setText(QStringLiteral("9"));
        QTest::mouseClick(first, Qt::LeftButton);
        QCOMPARE(start->text(), QStringLiteral("7"));
        QCOMPARE(end->text(), QStringLiteral("1"));
        QTest::mouseClick(last, Qt::LeftButton);
        QCOMPARE(end->text(), QStringLiteral("9"));
        QTest::mouseDClick(last, Qt::LeftButton);
        QCOMPARE(start->text(), QStringLiteral("9"));
        QTest::mouseDClick(first, Qt::LeftButton);
        QCOMPARE(end->text(), QStringLiteral("7"));
    }
};

QTEST_MAIN(CopiesTest)
#include "tst_copies.moc"
