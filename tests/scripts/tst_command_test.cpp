// The command test screen TForm14 against the emulator on virtual time.
#include "app/application.h"
#include "emulator/registrar.h"
#include "scripts/command_test.h"
#include "scripts/command_test_form.h"
#include "scripts/monitor.h"
#include "scripts/script_screens.h"
#include "ui/status_screen_form.h"
#include "ui/ui_screens.h"

#include "support/loopback_transport.h"
#include "support/recording_prompter.h"
#include "support/screen_rig.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <memory>

namespace {

const QDateTime kHostTime(QDate(2026, 12, 9), QTime(10, 0, 5));
const QString kBadCode = QStringLiteral("Неверный код команды");

// The screen as the program opens it: from the screen host, which also keeps the one
// status screen.
struct Bench : FormBench<TForm14> {
    TForm14 &form;

    Bench() : form(open()) { registrar.setHostTime(kHostTime); }
    void type(const char *field, const QString &text) { enter(field, text); }
    void execute(const QString &code, const QString &commandLine)
    {
        type("codeEdit", code);
        type("commandLineEdit", commandLine);
        QTest::mouseClick(w<QPushButton>("executeButton"), Qt::LeftButton);
    }
};

} // namespace

class CommandTestTest : public QObject {
    Q_OBJECT
private slots:
    void codes_data()
    {
        QTest::addColumn<QString>("code");
        QTest::addColumn<int>("sent"); // -1: refused as no code, -2: out of range
        QTest::newRow("2f") << "2f" << 0x2F;
        QTest::newRow("2F") << "2F" << 0x2F;
        QTest::newRow("only two read") << "21xyz" << 0x21;
        QTest::newRow("Aa") << "Aa" << 0xAA;
        QTest::newRow("2G") << "2G" << -1;
        QTest::newRow("G2") << "G2" << -1;
        QTest::newRow("one digit") << "2" << -1;
        QTest::newRow("empty") << "" << -1;
        QTest::newRow("Cyrillic") << QStringLiteral("2А") << -1;
        QTest::newRow("SOH") << "01" << -2;
        QTest::newRow("1f") << "1f" << -2;
        QTest::newRow("20") << "20" << 0x20;
    }
    void codes()
    {
        QFETCH(QString, code);
        QFETCH(int, sent);
        if (sent != -2)
            QCOMPARE(console::parseCode(code), sent);
        Bench b;
        b.execute(code, "");
        if (sent < 0) {
            QCOMPARE(b.prompter.messages(),
                     QStringList{sent == -1 ? kBadCode
                                            : QStringLiteral("Неверный код команды: допустимы коды от 0x20 до 0xFF.")});
            QVERIFY(b.line->framesSent.isEmpty());
            QVERIFY(!b.w<QPushButton>("statusButton")->isEnabled());
        } else {
            QCOMPARE(b.line->framesSent.size(), 1);
            QCOMPARE(b.lastCode(), sent);
            QCOMPARE(b.lastParameters(), QByteArray("482913;"));
        }
    }

    void barcodeCommand_data()
    {
        QTest::addColumn<QString>("commandLine");
        QTest::addColumn<QByteArray>("parameters"); // empty: nothing sent
        QTest::newRow("sixth field") << "1;2;3;4;5;6;" << QByteArray("482913;1;2;3;4;5\xA0" "6;");
        QTest::newRow("five fields") << "1;2;3;4;5;" << QByteArray("482913;1;2;3;4;5;");
        QTest::newRow("no closing separator") << "1;2;3;4;5;6" << QByteArray();
    }
    void barcodeCommand()
    {
        QFETCH(QString, commandLine);
        QFETCH(QByteArray, parameters);
        Bench b;
        b.execute("71", commandLine);
        if (parameters.isEmpty()) {
            QCOMPARE(b.prompter.messages(),
                     QStringList{QStringLiteral("Отсутствует последний разделитель - ;. Ошибка!")});
            QVERIFY(b.line->framesSent.isEmpty());
        } else {
            QCOMPARE(b.lastCode(), 0x71);
            QCOMPARE(b.lastParameters(), parameters);
        }
    }

    void showsTheReply()
    {
        Bench b;
        QCOMPARE(b.form.windowTitle(), QStringLiteral("Тест команд"));
        QCOMPARE(b.w<QLabel>("statusPanel")->text(), QStringLiteral("   Тест команд:  "));
        QCOMPARE(b.w("passwordEdit")->text(), QStringLiteral("482913"));
        QVERIFY(!b.w<QPushButton>("statusButton")->isEnabled());
        QVERIFY(b.w("resultEdit")->isReadOnly());

        b.registrar.setStatusOverride({0x01, 0, 0x05, 0, 0, 0x20});
        b.execute("21", "");
        QCOMPARE(b.w("resultEdit")->text(), QStringLiteral("091226;1000;"));
        QCOMPARE(b.w("errorWordEdit")->text(), QStringLiteral("0000"));
        QCOMPARE(b.w("statusEdit")->text(), QStringLiteral("01 00 05 00 00 20 "));
        QVERIFY(b.w<QPushButton>("statusButton")->isEnabled());
        QCOMPARE(b.app.state().currentResult, &b.app.link().Result());

        // A registrar error: its word, and the data of the error reply (none).
        b.type("passwordEdit", "111111");
        b.execute("28", "");
        QCOMPARE(b.w("errorWordEdit")->text(), QStringLiteral("0006"));
        QVERIFY(b.w("resultEdit")->text().isEmpty());
        QCOMPARE(b.lastParameters(), QByteArray("111111;"));
    }

    void enterInTheCommandLineExecutes()
    {
        Bench b;
        b.type("codeEdit", "22");
        b.type("commandLineEdit", QStringLiteral("0;Строка;0;"));
        QTest::keyClick(b.w("commandLineEdit"), Qt::Key_Return);
        QCOMPARE(b.line->framesSent.size(), 1);
        QCOMPARE(b.lastParameters(), QByteArray("482913;0;\xD1\xF2\xF0\xEE\xEA\xE0;0;"));
        QVERIFY(b.form.isVisible()); // Enter is not taken by a default button
    }

    void lostReplyIsNotShownAsTheLastOne()
    {
        Bench b;
        b.app.link().SetReplyCount(0);
        b.execute("21", "");
        QCOMPARE(b.w("errorWordEdit")->text(), QStringLiteral("0000"));
        b.registrar.injectFault({emu::Fault::Silence});
        b.execute("21", "");
        QCOMPARE(b.prompter.messages(), QStringList{QStringLiteral("Ошибка выполнения команды. Таймаут")});
        QVERIFY(b.w("errorWordEdit")->text().isEmpty());
        QVERIFY(b.w("resultEdit")->text().isEmpty());
        QVERIFY(b.w("statusEdit")->text().isEmpty());
    }

    void activationAndStatusScreen()
    {
        Bench b;
        b.execute("21", "");
        QTest::mouseClick(b.w<QPushButton>("statusButton"), Qt::LeftButton);
        QCOMPARE(b.host.opened.last(), QStringLiteral("TForm5"));
        QVERIFY(b.host.screen<TForm5>()->isVisible());
        b.host.screen<TForm5>()->reject();

        // Opening the screen again: "?" off, the reply fields emptied, the command line
        // ready for typing.
        QTest::mouseClick(b.w<QPushButton>("exitButton"), Qt::LeftButton);
        QVERIFY(!b.form.isVisible());
        b.form.show();
        QVERIFY(!b.w<QPushButton>("statusButton")->isEnabled());
        QVERIFY(b.w("errorWordEdit")->text().isEmpty());
        QVERIFY(b.w("statusEdit")->text().isEmpty());
        QCOMPARE(b.form.focusWidget(), b.w("commandLineEdit"));
    }

    // "Обновить" on the status screen opened from here reaches the main window's status
    // bar, as it does from the main window: there is one status screen, the host's.
    void statusRefreshReachesTheMainWindow()
    {
        Bench b;
        b.execute("21", "");
        QTest::mouseClick(b.w<QPushButton>("statusButton"), Qt::LeftButton);
        TForm5 *status = b.host.screen<TForm5>();
        QVERIFY(status->isVisible());
        QVERIFY(b.form.findChild<TForm5 *>() == nullptr); // no private copy
        QTest::mouseClick(widget<QPushButton>(*status, QStringLiteral("refreshButton")), Qt::LeftButton);
        QCOMPARE(b.lastCode(), 0x80);
        QCOMPARE(b.host.statusTexts, QStringList{StatusView::identityText(b.app.link().Result())});
        QVERIFY(b.host.statusTexts.first().startsWith(QStringLiteral("   Модель:")));
        QVERIFY(b.prompter.messages().isEmpty());
    }
};

QTEST_MAIN(CommandTestTest)
#include "tst_command_test.moc"
