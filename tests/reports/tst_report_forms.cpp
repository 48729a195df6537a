// The report screens' wiring: their inputs reach the commands, and what comes back is
// shown where it belongs.
#include "app/application.h"
#include "commands/command_codes.h"
#include "reports/additional_reports_form.h"
#include "reports/daily_reports_form.h"
#include "reports/goods_report_form.h"
#include "reports/reports_screens.h"
#include "ui/status_screen_form.h"

#include "support/screen_rig.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

namespace {

struct Bench : FormBench<> {
    Bench() { registerReportScreens(host.registry); }
    void click(QWidget &form, const char *button)
    {
        QTest::mouseClick(widget<QPushButton>(form, QLatin1String(button)), Qt::LeftButton);
    }
    static void type(QWidget &form, const char *edit, const QString &text)
    {
        QLineEdit *e = widget<QLineEdit>(form, QLatin1String(edit));
        e->clear();
        e->insert(text);
    }
    static QString text(QWidget &form, const char *edit) { return widget<QLineEdit>(form, QLatin1String(edit))->text(); }
    static bool enabled(QWidget &form, const char *button)
    {
        return widget<QPushButton>(form, QLatin1String(button))->isEnabled();
    }
};

} // namespace

class ReportFormsTest : public QObject {
    Q_OBJECT
private slots:
    void dailyReportsTakeThePasswordInput()
    {
        Bench b;
        TForm23 &f = b.open<TForm23>();
        QVERIFY(!Bench::enabled(f, "registrarStateButton"));
        Bench::type(f, "passwordEdit", QStringLiteral("1"));
        b.click(f, "xReportButton");
        QCOMPARE(b.sent(cmd::PrintReport), QList<QByteArray>{"1;1;"});
        QCOMPARE(Bench::text(f, "errorWordEdit"), QStringLiteral("0006"));
        QVERIFY(Bench::enabled(f, "registrarStateButton"));
        Bench::type(f, "passwordEdit", QStringLiteral("482913"));
        // Cancelled at their question, the Z report and the clearing send nothing.
        b.prompter.answers = {Prompter::Cancel, Prompter::Cancel};
        b.click(f, "zReportButton");
        b.click(f, "clearControlTapeButton");
        QCOMPARE(b.sent(cmd::PrintReport), QList<QByteArray>{"1;1;"});
        QCOMPARE(Bench::text(f, "errorWordEdit"), QStringLiteral("0006"));
        b.click(f, "zReportButton");
        b.click(f, "clearControlTapeButton");
        QCOMPARE(b.sent(cmd::PrintReport), (QList<QByteArray>{"1;1;", "482913;0;", "482913;2;"}));
        QCOMPARE(Bench::text(f, "errorWordEdit"), QStringLiteral("0000"));

        // The control tape shows the word of its last reply like every report.
        Bench::type(f, "passwordEdit", QStringLiteral("2"));
        b.click(f, "controlTapeButton");
        QCOMPARE(b.sent(cmd::OpenNonFiscalReceipt), QList<QByteArray>{"2;"});
        QCOMPARE(Bench::text(f, "errorWordEdit"), QStringLiteral("0006"));

        b.click(f, "registrarStateButton");
        QCOMPARE(b.host.opened.last(), QStringLiteral("TForm5"));
        b.host.screen<TForm5>()->reject();

        b.app.state().sharedMark = false;
        b.click(f, "closeButton");
        QVERIFY(!f.isVisible());
        QVERIFY(Bench::text(f, "errorWordEdit").isEmpty());
        QVERIFY(!Bench::enabled(f, "registrarStateButton"));
        QVERIFY(b.app.state().sharedMark);
    }

    void goodsReportDefaultsAndStatusRefresh()
    {
        Bench b;
        b.app.state().softwareVersion = QStringLiteral("2.02");
        TForm24 &f = b.open<TForm24>();
        QCOMPARE(Bench::text(f, "firstCodeEdit"), QStringLiteral("0"));
        QCOMPARE(Bench::text(f, "lastCodeEdit"), QStringLiteral("99999999999999"));
        QCOMPARE(widget<QLineEdit>(f, QStringLiteral("firstCodeEdit"))->maxLength(), 9);
        b.click(f, "makeReportButton");
        QCOMPARE(b.sent(cmd::GoodsReport), QList<QByteArray>{"482913;0;99999999999999;"});
        QCOMPARE(Bench::text(f, "errorWordEdit"), QStringLiteral("0000"));

        b.app.state().paymentFormCount = 3;
        b.click(f, "registrarStateButton");
        QCOMPARE(b.sent(cmd::Diagnostics), QList<QByteArray>{"482913;"});
        QCOMPARE(b.app.state().paymentFormCount, 10);
        QVERIFY(b.host.statusTexts.last().startsWith(QStringLiteral("   Модель:Korvan KV-44,    Версия:3.01")));
        QCOMPARE(b.host.opened.last(), QStringLiteral("TForm5"));
        b.host.screen<TForm5>()->reject();

        // A new opening follows the version again and starts without a word or the button.
        f.reject();
        b.app.state().softwareVersion = QStringLiteral("3.01");
        b.open<TForm24>();
        QCOMPARE(Bench::text(f, "lastCodeEdit"), QStringLiteral("999999999"));
        QVERIFY(Bench::text(f, "errorWordEdit").isEmpty());
        QVERIFY(!Bench::enabled(f, "registrarStateButton"));
    }

    void periodicReportShowsOneGroupAndSendsItsRange()
    {
        Bench b;
        const QDate before = QDate::currentDate();
        TForm25 &f = b.open<TForm25>();
        const QDate after = QDate::currentDate(); // the day may change while the form opens
        auto *dates = widget<QGroupBox>(f, QStringLiteral("dateGroup"));
        auto *numbers = widget<QGroupBox>(f, QStringLiteral("numberGroup"));
        const QDate shown = widget<QDateEdit>(f, QStringLiteral("firstDateEdit"))->date();
        QVERIFY2(shown == before || shown == after, qPrintable(shown.toString(Qt::ISODate)));
        QVERIFY(dates->isVisible() && !numbers->isVisible());

        widget<QDateEdit>(f, QStringLiteral("firstDateEdit"))->setDate(QDate(2008, 10, 6));
        widget<QDateEdit>(f, QStringLiteral("lastDateEdit"))->setDate(QDate(2008, 10, 7));
        QCOMPARE(widget<QDateEdit>(f, QStringLiteral("firstDateEdit"))->text(), QStringLiteral("06.10.08"));
        widget<QRadioButton>(f, QStringLiteral("fullRadio"))->setChecked(true);
        b.click(f, "makeReportButton");
        QCOMPARE(b.sent(cmd::PeriodicReportByDate), QList<QByteArray>{"482913;061008;071008;1;"});
        QCOMPARE(b.sent(cmd::CloseFiscalReceipt), QList<QByteArray>{"482913;0;"});

        widget<QRadioButton>(f, QStringLiteral("byNumberRadio"))->setChecked(true);
        QVERIFY(!dates->isVisible() && numbers->isVisible());
        widget<QRadioButton>(f, QStringLiteral("shortRadio"))->setChecked(true);
        Bench::type(f, "firstNumberEdit", QStringLiteral("3"));
        Bench::type(f, "lastNumberEdit", QStringLiteral("4"));
        b.click(f, "makeReportButton");
        QCOMPARE(b.sent(cmd::PeriodicReport), QList<QByteArray>{"482913;3;4;0;"});
        // The failed report's word, not the closing's "0000".
        QCOMPARE(Bench::text(f, "errorWordEdit"), QStringLiteral("0204"));
        QCOMPARE(b.prompter.messages().size(), 2); // no Z report on either range
    }

    void additionalReportTypeIsResetOnOpening()
    {
        Bench b;
        TForm31 &f = b.open<TForm31>();
        auto *type = widget<QComboBox>(f, QStringLiteral("reportTypeCombo"));
        QCOMPARE(type->count(), 3);
        type->setCurrentIndex(2);
        b.click(f, "reportButton");
        QCOMPARE(b.sent(cmd::AdditionalReport), QList<QByteArray>{"482913;2;;;"});
        QCOMPARE(Bench::text(f, "errorWordEdit"), QStringLiteral("0000"));
        // Closed only with its button, and its caption whole.
        QTest::keyClick(&f, Qt::Key_Escape);
        QVERIFY(f.isVisible());
        QVERIFY(f.width() > f.fontMetrics().horizontalAdvance(f.windowTitle()) + 100);
        b.click(f, "closeButton");
        QVERIFY(!f.isVisible());
        b.open<TForm31>();
        QCOMPARE(type->currentIndex(), 0);
    }

    void rgt9StateButtonDecidesTheUnloading()
    {
        Bench b;
        b.app.state().softwareVersion = QStringLiteral("3.01");
        b.app.state().priorityLevel = QStringLiteral("medium");
        TForm48 &f = b.open<TForm48>();
        auto *unload = widget<QPushButton>(f, QStringLiteral("unloadButton"));
        QVERIFY(unload->isVisible());
        widget<QCheckBox>(f, QStringLiteral("clearGoodsCheck"))->setChecked(true);
        b.click(f, "unloadButton");
        QCOMPARE(b.sent(cmd::PrintReport), (QList<QByteArray>{"482913;5;", "482913;2;"}));
        QCOMPARE(b.sent(0x3B), QList<QByteArray>{"482913;"}); // the goods base cleared, by the code's value
        QVERIFY(Bench::enabled(f, "registrarStateButton"));

        b.app.state().sharedMark = false;
        b.click(f, "registrarStateButton");
        QVERIFY(!unload->isVisible());
        QVERIFY(!Bench::enabled(f, "registrarStateButton"));
        QVERIFY(Bench::text(f, "errorWordEdit").isEmpty());
        QVERIFY(b.host.opened.size() == 1); // no status screen

        b.click(f, "xReportButton");
        b.app.state().softwareVersion = QStringLiteral("3.02");
        b.click(f, "registrarStateButton");
        QVERIFY(unload->isVisible());
        QVERIFY(Bench::enabled(f, "registrarStateButton"));
    }

    void resourcesKeepTheLastReading()
    {
        Bench b;
        TForm10 &f = b.open<TForm10>();
        // What the screen shows while its message is up: filled first, then "- Успешно!".
        QStringList whileShown;
        b.prompter.onMessage = [&](const QString &text) {
            whileShown << text + u'|' + Bench::text(f, "freeReportsEdit") + u'|' + Bench::text(f, "errorWordEdit");
        };
        b.click(f, "makeReportButton");
        QCOMPARE(whileShown, QStringList{ResourceInfo::kSuccess + QStringLiteral("|2190|0000")});
        QVERIFY(widget<QCheckBox>(f, QStringLiteral("fiscalizationCheck"))->isChecked());
        QCOMPARE(Bench::text(f, "freeReportsEdit"), QStringLiteral("2190"));
        QCOMPARE(Bench::text(f, "freeGoodsEdit"), QStringLiteral("10000"));
        QCOMPARE(Bench::text(f, "errorWordEdit"), QStringLiteral("0000"));

        b.registrar.injectFault({emu::Fault::Refuse, 0x0B, 0, cmd::FreeResources});
        b.click(f, "makeReportButton");
        QCOMPARE(whileShown.last(), ResourceInfo::kHeading + QStringLiteral("Ошибка работы с продажами!\n Неверное состояние документа!|2190|000B"));
        b.prompter.onMessage = {};
        QCOMPARE(Bench::text(f, "errorWordEdit"), QStringLiteral("000B"));
        QCOMPARE(Bench::text(f, "freeReportsEdit"), QStringLiteral("2190"));
        QVERIFY(widget<QCheckBox>(f, QStringLiteral("fiscalizationCheck"))->isChecked());

        b.click(f, "closeButton");
        b.open<TForm10>();
        QVERIFY(Bench::text(f, "errorWordEdit").isEmpty());
        QVERIFY(!Bench::enabled(f, "registrarStateButton"));
        QCOMPARE(Bench::text(f, "freeReportsEdit"), QStringLiteral("2190"));
    }
};

QTEST_MAIN(ReportFormsTest)
#include "tst_report_forms.moc"
