// The emulator's reports on its own state: what each report finds, prints and changes.
#include "emulator/domains.h"

#include <QStringDecoder>
#include <QTest>

namespace {

// The reports domain with the non-fiscal receipt it prints in, on one state.
struct Reports {
    emu::HandlerTable table;
    emu::State state;
    int documents = 0;

    Reports()
    {
        emu::registerReceipt(table);
        emu::registerReports(table);
        state.hostTime = QDateTime(QDate(2026, 12, 9), QTime(10, 0));
        state.onDocumentEnd = [this] { ++documents; };
    }
    QByteArray run(cmd::Code code, const QByteArray &parameters)
    {
        return table.find(code)(state, emu::fieldsOf("482913;" + parameters)).errorWord;
    }
    QByteArray data(cmd::Code code, const QByteArray &parameters = {})
    {
        return table.find(code)(state, emu::fieldsOf("482913;" + parameters)).data;
    }
    void sell(qint64 code, qint64 milli, qint64 cents, int operatorNumber = 1, bool isReturn = false)
    {
        state.daySales.append({code, milli, cents, isReturn, operatorNumber});
    }
    // Lines printed from `from` on, as text with runs of blanks made one.
    QStringList printed(qsizetype from = 0) const
    {
        QStringList out;
        for (qsizetype i = from; i < state.paperTape.size(); ++i) {
            QStringDecoder decoder("windows-1251");
            out << QString(decoder.decode(state.paperTape[i])).simplified();
        }
        return out;
    }
    bool printedLine(const QString &start, qsizetype from = 0) const
    {
        for (const QString &l : printed(from))
            if (l.startsWith(start))
                return true;
        return false;
    }
};

} // namespace

class ReportsDomainTest : public QObject {
    Q_OBJECT
private slots:
    void zReportClosesTheDay()
    {
        Reports r;
        r.sell(5, 2000, 1000);
        r.sell(6, 1000, 250, 2, true);
        r.state.dayPaymentsCents[0] = 750;
        r.state.cashInDrawerCents = 5000;
        r.state.lastReceiptNumber = 2;

        QCOMPARE(r.run(cmd::PrintReport, "1;"), QByteArray("0000"));
        QCOMPARE(r.state.daySales.size(), 2); // the X report keeps the day
        QVERIFY(r.printedLine(QStringLiteral("ПРОДАЖИ 10.00")));

        const qsizetype before = r.state.paperTape.size();
        QCOMPARE(r.run(cmd::PrintReport, "0;"), QByteArray("0000"));
        QCOMPARE(r.state.lastZReportNumber, 1);
        QCOMPARE(r.state.fiscalMemory.size(), 1);
        const emu::State::ZReport &z = r.state.fiscalMemory.first();
        QCOMPARE(z.number, 1);
        QCOMPARE(z.time.date(), QDate(2026, 12, 9));
        QCOMPARE(z.salesCents, 1000);
        QCOMPARE(z.returnsCents, 250);
        QCOMPARE(z.receipts, 2);
        QVERIFY(r.state.daySales.isEmpty());
        QVERIFY(r.state.dayPaymentsCents.isEmpty());
        QCOMPARE(r.state.cashInDrawerCents, 5000);
        QCOMPARE(r.printed(before).first(), QStringLiteral("Z-ОТЧЕТ № 1"));
        QCOMPARE(r.documents, 2);

        // The next day's receipts count from the Z report on.
        r.state.lastReceiptNumber = 3;
        QCOMPARE(r.run(cmd::PrintReport, "0;"), QByteArray("0000"));
        QCOMPARE(r.state.fiscalMemory.last().receipts, 1);
        QCOMPARE(r.state.fiscalMemory.last().number, 2);
    }

    void dailyReportsAreRefusedInsideAReceiptOrWithABadType()
    {
        Reports r;
        QCOMPARE(r.run(cmd::OpenNonFiscalReceipt, {}), QByteArray("0000"));
        QCOMPARE(r.run(cmd::PrintReport, "0;"), QByteArray("000B"));
        QCOMPARE(r.run(cmd::PrintReport, "1;"), QByteArray("000B"));
        QVERIFY(r.state.fiscalMemory.isEmpty());
        // Reports printed inside a non-fiscal receipt are allowed there.
        QCOMPARE(r.run(cmd::GoodsReport, "0;9;"), QByteArray("0000"));
        r.state.receiptState = 1; // a fiscal receipt
        QCOMPARE(r.run(cmd::GoodsReport, "0;9;"), QByteArray("000B"));
        QCOMPARE(r.run(cmd::AdditionalReport, "0;;;"), QByteArray("000B"));
        r.state.receiptState = emu::State::kReceiptClosed;
        QCOMPARE(r.run(cmd::PrintReport, "3;"), QByteArray("0204"));
        QCOMPARE(r.run(cmd::PrintReport, "x;"), QByteArray("0203"));
        QCOMPARE(r.run(cmd::PrintReport, ""), QByteArray("0203"));
    }

    void periodicReportsSelectFromTheFiscalMemory()
    {
        Reports r;
        for (int day : {5, 6, 8}) {
            r.state.hostTime = QDateTime(QDate(2008, 10, day), QTime(21, 0));
            r.sell(1, 1000, day * 100);
            QCOMPARE(r.run(cmd::PrintReport, "0;"), QByteArray("0000"));
        }
        qsizetype from = r.state.paperTape.size();
        QCOMPARE(r.run(cmd::PeriodicReportByDate, "061008;081008;1;"), QByteArray("0000"));
        QVERIFY(r.printedLine(QStringLiteral("Z-ОТЧЕТ № 2 06.10.08"), from));
        QVERIFY(r.printedLine(QStringLiteral("Z-ОТЧЕТ № 3 08.10.08"), from));
        QVERIFY(!r.printedLine(QStringLiteral("Z-ОТЧЕТ № 1"), from));
        QVERIFY(r.printedLine(QStringLiteral("ИТОГО ПРОДАЖИ 14.00"), from));

        from = r.state.paperTape.size();
        QCOMPARE(r.run(cmd::PeriodicReport, "1;2;0;"), QByteArray("0000"));
        QVERIFY(!r.printedLine(QStringLiteral("Z-ОТЧЕТ"), from)); // short: totals only
        QVERIFY(r.printedLine(QStringLiteral("ИТОГО ПРОДАЖИ 11.00"), from));

        QCOMPARE(r.run(cmd::PeriodicReportByDate, "070108;070108;0;"), QByteArray("0204")); // none that day
        QCOMPARE(r.run(cmd::PeriodicReportByDate, "081008;061008;0;"), QByteArray("0304"));
        QCOMPARE(r.run(cmd::PeriodicReportByDate, "321008;061008;0;"), QByteArray("0203"));
        QCOMPARE(r.run(cmd::PeriodicReportByDate, "061008;061008;2;"), QByteArray("0404"));
        QCOMPARE(r.run(cmd::PeriodicReport, "0;2;0;"), QByteArray("0204"));
        QCOMPARE(r.run(cmd::PeriodicReport, "2;4;0;"), QByteArray("0304"));
        QCOMPARE(r.run(cmd::PeriodicReport, "2;1;0;"), QByteArray("0304"));
        QCOMPARE(r.run(cmd::PeriodicReport, "a;1;0;"), QByteArray("0203"));
    }

    void goodsAndAdditionalReportsGroupTheDaysSales()
    {
        Reports r;
        r.state.goods[10] = {10, "BREAD", "10;BREAD;5.00;1;3;"};
        r.state.goods[20] = {20, "MILK", "20;MILK;2.50;1;4;"};
        r.sell(10, 2000, 1000, 1);
        r.sell(20, 1000, 250, 2);
        r.sell(10, 1000, 500, 2);
        r.sell(30, 1000, 100, 2, true);

        qsizetype from = r.state.paperTape.size();
        QCOMPARE(r.run(cmd::GoodsReport, "10;20;"), QByteArray("0000"));
        QVERIFY(r.printedLine(QStringLiteral("10 BREAD"), from));
        QVERIFY(r.printedLine(QStringLiteral("ПРОДАНО 3.000 / 15.00"), from));
        QVERIFY(r.printedLine(QStringLiteral("20 MILK"), from));
        QVERIFY(!r.printedLine(QStringLiteral("30"), from));
        QCOMPARE(r.run(cmd::GoodsReport, "20;10;"), QByteArray("0304"));
        QCOMPARE(r.run(cmd::GoodsReport, "0;99999999999999999999;"), QByteArray("0303"));

        from = r.state.paperTape.size();
        QCOMPARE(r.run(cmd::AdditionalReport, "0;;;"), QByteArray("0000"));
        QVERIFY(r.printedLine(QStringLiteral("ОТДЕЛ 3"), from));
        QVERIFY(r.printedLine(QStringLiteral("ОТДЕЛ 4"), from));
        QVERIFY(r.printedLine(QStringLiteral("ОТДЕЛ 0"), from)); // goods not in the base
        from = r.state.paperTape.size();
        QCOMPARE(r.run(cmd::AdditionalReport, "1;;;"), QByteArray("0000"));
        QVERIFY(r.printedLine(QStringLiteral("ОПЕРАТОР 2"), from));
        QVERIFY(r.printedLine(QStringLiteral("ВОЗВРАТ 1.000 / 1.00"), from));
        QCOMPARE(r.run(cmd::AdditionalReport, "3;;;"), QByteArray("0204"));
    }

    void controlTapeIsPrintedUnloadedAndCleared()
    {
        Reports r;
        r.state.print("SALE 1");
        r.state.print("SALE 2");
        qsizetype from = r.state.paperTape.size();
        QCOMPARE(r.run(cmd::AdditionalReport, "2;;;"), QByteArray("0000"));
        QCOMPARE(r.printed(from).mid(1, 2), (QStringList{"SALE 1", "SALE 2"}));
        from = r.state.paperTape.size();
        QCOMPARE(r.run(cmd::PrintReport, "5;"), QByteArray("0000"));
        QVERIFY(r.printed(from).contains(QStringLiteral("SALE 2")));

        QCOMPARE(r.run(cmd::PrintReport, "2;"), QByteArray("0000"));
        r.state.print("SALE 3");
        from = r.state.paperTape.size();
        QCOMPARE(r.run(cmd::AdditionalReport, "2;;;"), QByteArray("0000"));
        QCOMPARE(r.printed(from).mid(1), (QStringList{"SALE 3", QStringLiteral("СТРОК 1")}));
    }

    void goodsBaseIsClearedOnlyAfterTheDay()
    {
        Reports r;
        r.state.goods[1] = {1, "A", "1;A;1.00;1;1;"};
        r.sell(1, 1000, 100);
        QCOMPARE(r.run(cmd::ClearGoodsBase, {}), QByteArray("000B"));
        QCOMPARE(r.state.goods.size(), 1);
        QCOMPARE(r.run(cmd::PrintReport, "0;"), QByteArray("0000"));
        QCOMPARE(r.run(cmd::ClearGoodsBase, {}), QByteArray("0000"));
        QVERIFY(r.state.goods.isEmpty());
    }

    void freeResourcesFollowTheState()
    {
        Reports r;
        QCOMPARE(r.data(cmd::FreeResources), QByteArray("1;1;1;1;1;1;0;2190;;;10000;5000;"));
        r.state.goods[1] = {};
        r.state.fiscalPermissions[0] = false;
        r.state.receiptJournal.append({1, QDateTime(QDate(2026, 12, 9), QTime(8, 5)), {}});
        r.state.lastReceiptNumber = 1;
        QCOMPARE(r.data(cmd::FreeResources), QByteArray("0;1;1;1;1;1;0;2190;091226;0805;9999;4999;"));
        QCOMPARE(r.run(cmd::PrintReport, "0;"), QByteArray("0000"));
        // After the Z report no shift is open until the next receipt.
        QCOMPARE(r.data(cmd::FreeResources), QByteArray("0;1;1;1;1;1;0;2189;;;9999;4999;"));
    }
};

QTEST_GUILESS_MAIN(ReportsDomainTest)
#include "tst_reports.moc"
