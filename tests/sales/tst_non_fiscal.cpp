// The non-fiscal receipt (TForm8) against the emulator.
#include "commands/command_codes.h"
#include "emulator/registrar.h"
#include "sales/non_fiscal_receipt.h"
#include "sales/non_fiscal_receipt_form.h"
#include "sales/sales_screens.h"

#include "support/executed_text.h"
#include "support/screen_rig.h"

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

namespace {

struct Bench : FormBench<TForm8> {
    NonFiscalReceipt ops{app};

    // The frames that went out, as "CC parameters" (a refused command never reaches the
    // registrar's journal).
    QStringList sent() const
    {
        QStringList out;
        for (const SentFrame &f : frames())
            out << f.text();
        return out;
    }
    QStringList executed() const { return executedText(registrar); }
};

} // namespace

class NonFiscalTest : public QObject {
    Q_OBJECT
private slots:
    void printsTheLinesWithoutSeparators()
    {
        Bench b;
        b.host.openScreen<TForm8>();
        TForm8 &form = *b.host.screen<TForm8>();
        QCOMPARE(form.windowTitle(), QStringLiteral("Нефискальный чек"));
        auto *lines = widget<QPlainTextEdit>(form, QStringLiteral("linesEdit"));
        // Typing ";" says nothing and the character stays: the warning comes on sending.
        lines->setFocus();
        QTest::keyClicks(lines, QStringLiteral("a;b"));
        QVERIFY(b.prompter.shown.isEmpty());
        QCOMPARE(lines->toPlainText(), QStringLiteral("a;b"));
        lines->setPlainText(QStringLiteral("a;b\nc\n"));
        QTest::mouseClick(widget<QPushButton>(form, QStringLiteral("printButton")), Qt::LeftButton);
        QCOMPARE(b.prompter.shown.size(), 1);
        QCOMPARE(b.prompter.shown[0].kind, RecordingPrompter::Shown::Question);
        QCOMPARE(b.prompter.shown[0].text, QStringLiteral("; - недопустимый символ, \n   будет удален при печати чека!"));
        QCOMPARE(b.prompter.shown[0].caption, QStringLiteral("Ввод текста"));
        QCOMPARE(b.executed(),
                 (QStringList{"60 482913; 0000", "61 482913;ab; 0000", "61 482913;c; 0000", "65 482913;0; 0000"}));
        QCOMPARE(b.registrar.paperTape(), (QList<QByteArray>{"ab", "c"}));
        QCOMPARE(b.prompter.shown.size(), 1);
    }

    // Nothing to print, or the ";" warning answered "Отмена": no receipt is opened.
    void nothingSentWithoutText_data()
    {
        QTest::addColumn<QStringList>("lines");
        QTest::addColumn<QString>("message"); // empty: the warning was cancelled
        const QString nothing = NonFiscalReceipt::kNothingToPrint;
        QTest::newRow("no lines") << QStringList{} << nothing;
        QTest::newRow("empty lines") << QStringList{"", "  "} << nothing;
        QTest::newRow("only separators") << QStringList{";", " ; "} << nothing;
        QTest::newRow("warning cancelled") << QStringList{"a;b"} << QString();
    }
    void nothingSentWithoutText()
    {
        QFETCH(QStringList, lines);
        QFETCH(QString, message);
        Bench b;
        b.prompter.answers.push_back(Prompter::Cancel);
        QCOMPARE(b.ops.print("482913", lines).verdict.kind, Verdict::Kind::Refused);
        QVERIFY(b.line->framesSent.isEmpty());
        QCOMPARE(b.prompter.messages(), message.isEmpty() ? QStringList{} : QStringList{message});
    }

    // A line that fails on the registrar closes the receipt it opened; that failure is
    // the one reported.
    void failedLineClosesTheReceipt()
    {
        Bench b;
        emu::Fault refused;
        refused.kind = emu::Fault::Refuse;
        refused.count = 0x01; // equipment: the printer
        refused.intervalMs = 1;
        refused.onlyCode = cmd::PrintText;
        b.registrar.injectFault(refused);
        QVERIFY(!b.ops.print("482913", {"one", "two"}).ok());
        QCOMPARE(b.sent(), (QStringList{"60 482913;", "61 482913;one;", "65 482913;0;"}));
        QCOMPARE(b.registrar.receiptState(), 0);
        QCOMPARE(b.prompter.messages(), QStringList{QStringLiteral("Ошибка оборудования!\n Ошибка принтера!")});
    }

    void failedOpeningStops()
    {
        Bench b;
        b.registrar.state().receiptState = emu::State::kCashReceiptOpen;
        QVERIFY(!b.ops.print("482913", {"one"}).ok());
        QCOMPARE(b.executed(), QStringList{"60 482913; 000B"});
        QCOMPARE(b.prompter.messages().size(), 1);
    }

    void linesCheckedBeforeOpening()
    {
        Bench b;
        Outcome<> out = b.ops.print("482913", {"fine", QStringLiteral("tab\there")});
        QCOMPARE(out.verdict.kind, Verdict::Kind::Refused);
        out = b.ops.print("482913", {QStringLiteral("✓ sign")});
        QCOMPARE(out.verdict.kind, Verdict::Kind::Refused);
        out = b.ops.print("482913", {QString(300, QLatin1Char('x'))});
        QCOMPARE(out.verdict.kind, Verdict::Kind::Refused);
        QVERIFY(b.line->framesSent.isEmpty());
        QCOMPARE(b.prompter.messages().size(), 3);
        QVERIFY(b.prompter.messages()[0].startsWith(QStringLiteral("Строка 2: ")));
    }
};

QTEST_MAIN(NonFiscalTest)
#include "tst_non_fiscal.moc"
