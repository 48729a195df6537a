// The one reader of what the screens and dizivu-cli are typed: whole and decimal numbers
// in the forms the callers accept, and the registrar's DDMMYY date.
#include "app/screen_input.h"

#include <QTest>

using input::NumberForm;

Q_DECLARE_METATYPE(NumberForm)

class ScreenInputTest : public QObject {
    Q_OBJECT

private slots:
    void numbers_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<NumberForm>("form");
        QTest::addColumn<bool>("integer"); // read as a whole number (qint64), else a decimal
        QTest::addColumn<bool>("ok");
        QTest::addColumn<double>("value");
        const NumberForm screen;
        const NumberForm digitsOnly{.blanksAround = false, .signAllowed = false, .maxDigits = 4};
        QTest::newRow("integer with blanks") << " 42 " << screen << true << true << 42.0;
        QTest::newRow("negative integer") << "-7" << screen << true << true << -7.0;
        QTest::newRow("integer with a point") << "4.2" << screen << true << false << 0.0;
        QTest::newRow("empty integer") << "  " << screen << true << false << 0.0;
        QTest::newRow("64-bit code") << "99999999999999" << screen << true << true << 99999999999999.0;
        QTest::newRow("beyond 64 bits") << "99999999999999999999" << screen << true << false << 0.0;
        QTest::newRow("digits only") << "0123" << digitsOnly << true << true << 123.0;
        QTest::newRow("digits only: blank") << " 123" << digitsOnly << true << false << 0.0;
        QTest::newRow("digits only: sign") << "+123" << digitsOnly << true << false << 0.0;
        QTest::newRow("digits only: too many") << "12345" << digitsOnly << true << false << 0.0;
        QTest::newRow("decimal point") << " 1.5 " << screen << false << true << 1.5;
        QTest::newRow("decimal comma") << "1,5" << screen << false << false << 0.0;
        QTest::newRow("group separator") << "1,500" << screen << false << false << 0.0;
        QTest::newRow("exponent") << "1e2" << screen << false << true << 100.0;
        QTest::newRow("infinity") << "inf" << screen << false << false << 0.0;
        QTest::newRow("too large to be finite") << "1e400" << screen << false << false << 0.0;
        QTest::newRow("words") << "abc" << screen << false << false << 0.0;
    }
    void numbers()
    {
        QFETCH(QString, text);
        QFETCH(NumberForm, form);
        QFETCH(bool, integer);
        QFETCH(bool, ok);
        QFETCH(double, value);
        if (integer) {
            qint64 v = -1;
            QCOMPARE(input::readInteger(text, v, form), ok);
            QCOMPARE(v, ok ? qint64(value) : qint64(-1)); // untouched on failure
            int small = -1;
            const bool fits = ok && value >= std::numeric_limits<int>::min() && value <= std::numeric_limits<int>::max();
            QCOMPARE(input::readInteger(text, small, form), fits);
            QCOMPARE(small, fits ? int(value) : -1);
        } else {
            double v = -1;
            QCOMPARE(input::readDecimal(text, v, form), ok);
            QCOMPARE(v, ok ? value : -1.0);
        }
    }

    // Amounts and quantities as the cashier types them: the decimal comma as well as the
    // point, and never more decimals than go to the registrar.
    void fixedNumbers_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("decimals");
        QTest::addColumn<double>("value"); // NaN: refused
        QTest::addColumn<QString>("says");  // a part of the refusal
        const double no = qQNaN();
        QTest::newRow("point") << " 12.5 " << 2 << 12.5 << QString();
        QTest::newRow("comma") << "12,5" << 2 << 12.5 << QString();
        QTest::newRow("negative with comma") << "-5,00" << 2 << -5.0 << QString();
        QTest::newRow("whole") << "7" << 3 << 7.0 << QString();
        QTest::newRow("three places of a quantity") << "0,125" << 3 << 0.125 << QString();
        QTest::newRow("three places of money") << "1.005" << 2 << no << "не более двух знаков";
        QTest::newRow("trailing zero beyond") << "1.500" << 2 << no << "не более двух знаков";
        QTest::newRow("four places of a quantity") << "1,0005" << 3 << no << "не более трёх знаков";
        QTest::newRow("group separator") << "1 500,00" << 2 << no << "например 12.50 или 12,50";
        QTest::newRow("both marks") << "1.500,5" << 2 << no << "не является числом";
        QTest::newRow("exponent") << "1e2" << 2 << no << "не является числом";
        QTest::newRow("lone comma") << "12," << 2 << no << "не является числом";
        QTest::newRow("no whole part") << ",5" << 2 << no << "не является числом";
        QTest::newRow("empty") << "" << 2 << no << "не является числом";
        QTest::newRow("infinity") << "inf" << 2 << no << "не является числом";
        QTest::newRow("thirteen digits") << "1234567890123" << 2 << no << "слишком велико";
    }
    void fixedNumbers()
    {
        QFETCH(QString, text);
        QFETCH(int, decimals);
        QFETCH(double, value);
        QFETCH(QString, says);
        double v = -1;
        const QString refusal = input::readFixed(text, decimals, QStringLiteral("Цена за ед."), v);
        if (qIsNaN(value)) {
            QCOMPARE(v, -1.0); // untouched
            QVERIFY2(refusal.startsWith(QStringLiteral("Поле \"Цена за ед.\": ")), qPrintable(refusal));
            QVERIFY2(refusal.contains(says), qPrintable(refusal));
            QVERIFY(refusal.endsWith(QStringLiteral("Команда не отправлена.")));
        } else {
            QVERIFY2(refusal.isEmpty(), qPrintable(refusal));
            QCOMPARE(v, value);
        }
    }

    void deviceDates_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QDate>("date"); // invalid: not a date
        QTest::newRow("a day") << "061008" << QDate(2008, 10, 6);
        QTest::newRow("leap day") << "290224" << QDate(2024, 2, 29);
        QTest::newRow("no such day") << "290223" << QDate();
        QTest::newRow("five digits") << "06108" << QDate();
        QTest::newRow("shown with points") << "06.10.08" << QDate();
        QTest::newRow("a blank") << "0610 8" << QDate();
    }
    void deviceDates()
    {
        QFETCH(QString, text);
        QFETCH(QDate, date);
        QDate read;
        QCOMPARE(input::readDeviceDate(text, &read), date.isValid());
        if (!date.isValid())
            return;
        QCOMPARE(read, date);
        QCOMPARE(input::deviceDate(date), text); // the way back gives the same text
    }
};

QTEST_GUILESS_MAIN(ScreenInputTest)
#include "tst_screen_input.moc"
