// The status-bytes screen: what it shows for a reply, its captions by model and
// connection, "Обновить" against the emulator, and the form's wiring.
#include "app/application.h"
#include "link/command_result.h"
#include "ui/status_screen_form.h"
#include "ui/status_view.h"

#include "support/loopback_transport.h"
#include "support/recording_prompter.h"
#include "support/screen_rig.h"

#include <QApplication>
#include <QCheckBox>
#include <QGroupBox>
#include <QListWidget>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <array>
#include <memory>

using Status = std::array<quint8, 6>;
Q_DECLARE_METATYPE(Status)

namespace {

const QString kDrawerClosed = QStringLiteral("(1) Денежный ящик закрыт");
const QString kReserved0 = QStringLiteral("(1) Резерв");
const QString kReserved1 = QStringLiteral("(2) Резерв");
const QString kLock72 = QStringLiteral("(1)Блокировка 72 часа, данные не переданы");
const QString kNotTransferred = QStringLiteral("(2)Не все чеки переданы в модем, база товаров не обнулена");
const QString kTimeoutMessage = QStringLiteral("Проверка состояния регистратора:\n  Таймаут устройства! Ошибка!");

emu::Registrar::Options registrarOptions(const QString &model = QStringLiteral("Korvan KV-44"),
                                         int paymentForms = 10)
{
    emu::Registrar::Options o;
    o.model = model;
    o.paymentForms = paymentForms;
    return o;
}

// The application with the emulator behind its link on virtual time.
struct Bench : FormBench<> {
    explicit Bench(const emu::Registrar::Options &options = registrarOptions()) : FormBench(options) {}
    // Some command ran last (as any screen may have sent one).
    CommandResult *runCommand() { return app.execute(0x21, "482913;"); }
};

// The boxes a display ticks, as "byte:bit" texts.
QStringList ticked(const StatusDisplay &d)
{
    QStringList out;
    for (int byte = 0; byte < 6; ++byte)
        for (int bit = 0; bit < 8; ++bit)
            if (d.groups[byte].ticked[bit])
                out << QStringLiteral("%1:%2").arg(byte).arg(bit);
    return out;
}

QStringList onlyBit7()
{
    return {"0:7", "1:7", "2:7", "3:7", "4:7", "5:7"};
}

QCheckBox *check(QWidget &form, int byte, int bit)
{
    return form.findChild<QCheckBox *>(QStringLiteral("byte%1Bit%2Check").arg(byte).arg(bit));
}

QStringList ticked(QWidget &form)
{
    QStringList out;
    for (int byte = 0; byte < 6; ++byte)
        for (int bit = 0; bit < 8; ++bit)
            if (QCheckBox *c = check(form, byte, bit); c && c->isChecked())
                out << QStringLiteral("%1:%2").arg(byte).arg(bit);
    return out;
}

// The selected receipt-state entry, or an empty text.
QString selectedReceiptState(QWidget &form)
{
    auto *list = form.findChild<QListWidget *>(QStringLiteral("receiptStateList"));
    if (!list)
        return QStringLiteral("<no list>");
    const QList<QListWidgetItem *> items = list->selectedItems();
    if (items.size() > 1)
        return QStringLiteral("<several>");
    return items.isEmpty() ? QString() : items.first()->text();
}

} // namespace

class StatusScreenTest : public QObject {
    Q_OBJECT
private slots:
    void statusBytesShown_data()
    {
        QTest::addColumn<Status>("status");
        QTest::addColumn<QStringList>("ticked");
        QTest::addColumn<int>("receiptState");
        QTest::addColumn<QString>("receiptText");

        QTest::newRow("idle registrar") << Status{0x80, 0x80, 0x80, 0x80, 0x80, 0x80}
                                        << onlyBit7() << 0 << QStringLiteral("0. Документ закрыт");
        QTest::newRow("text document open: byte 2 = 0x85")
            << Status{0x80, 0x80, 0x85, 0x80, 0x80, 0x80}
            << QStringList{"0:7", "1:7", "2:0", "2:2", "2:7", "3:7", "4:7", "5:7"} << 5
            << QStringLiteral("5. Произвольный текстовый документ открыт");
        QTest::newRow("state without text: byte 2 = 0x8C")
            << Status{0x80, 0x80, 0x8C, 0x80, 0x80, 0x80}
            << QStringList{"0:7", "1:7", "2:2", "2:3", "2:7", "3:7", "4:7", "5:7"} << 12
            << QStringLiteral("12.");
        QTest::newRow("return receipt bit is not part of the state")
            << Status{0x80, 0x80, 0x99, 0x80, 0x80, 0x80}
            << QStringList{"0:7", "1:7", "2:0", "2:3", "2:4", "2:7", "3:7", "4:7", "5:7"} << 9
            << QStringLiteral("9. Режим АННУЛИРОВАНИЕ");
        QTest::newRow("each byte its own bits")
            << Status{0x81, 0x90, 0x80, 0xC0, 0x83, 0xB0}
            << QStringList{"0:0", "0:7", "1:4", "1:7", "2:7", "3:6", "3:7", "4:0", "4:1", "4:7",
                           "5:4", "5:5", "5:7"}
            << 0 << QStringLiteral("0. Документ закрыт");
        QStringList all;
        for (int byte = 0; byte < 6; ++byte)
            for (int bit = 0; bit < 8; ++bit)
                all << QStringLiteral("%1:%2").arg(byte).arg(bit);
        QTest::newRow("everything set") << Status{0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF} << all << 15
                                        << QStringLiteral("15.");
    }
    void statusBytesShown()
    {
        QFETCH(Status, status);
        QFETCH(QStringList, ticked);
        QFETCH(int, receiptState);
        QFETCH(QString, receiptText);

        Bench b;
        b.registrar.setStatusOverride(status);
        b.runCommand();
        const StatusDisplay d = StatusView(b.app).current();
        QCOMPARE(::ticked(d), ticked);
        QCOMPARE(d.receiptState, receiptState);
        QCOMPARE(d.receiptStates.value(d.receiptState), receiptText);

        TForm5 form(b.app, b.host);
        form.show();
        QCOMPARE(::ticked(form), ticked);
        QCOMPARE(selectedReceiptState(form), receiptText);
    }

    void timedOutCommandLeavesOnlyBit7()
    {
        Bench b;
        b.registrar.setStatusOverride({0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF});
        b.runCommand();
        b.silence();
        QVERIFY(b.runCommand()->noReply());

        QCOMPARE(ticked(StatusView(b.app).current()), onlyBit7());
        TForm5 form(b.app, b.host);
        form.show();
        QCOMPARE(ticked(form), onlyBit7());
        QCOMPARE(selectedReceiptState(form), QStringLiteral("0. Документ закрыт"));
    }

    void noCommandYetTicksOnlyBit7()
    {
        // The registrar sets bit 7 of every byte, so the boxes show it before any reply.
        Bench b;
        const StatusDisplay d = StatusView(b.app).current();
        QCOMPARE(ticked(d), onlyBit7());
        QCOMPARE(d.receiptState, -1);

        TForm5 form(b.app, b.host);
        form.show();
        QCOMPARE(ticked(form), onlyBit7());
        QCOMPARE(selectedReceiptState(form), QString());
    }

    void byte5Captions_data()
    {
        QTest::addColumn<QString>("model");
        QTest::addColumn<bool>("family"); // as the connection decided it
        QTest::addColumn<bool>("usb");
        QTest::addColumn<QString>("bit0");
        QTest::addColumn<QString>("bit1");

        QTest::newRow("Korvan KM-1, serial") << "Korvan KM-1" << true << false << kLock72 << kNotTransferred;
        QTest::newRow("Korvan KM-1, USB") << "Korvan KM-1" << true << true << kLock72 << kNotTransferred;
        QTest::newRow("6208, serial") << "Korvan 6208" << true << false << kLock72 << kNotTransferred;
        QTest::newRow("KM-1M, serial") << "KM-1M" << false << false << kDrawerClosed << kReserved1;
        QTest::newRow("KM-1M, USB") << "KM-1M" << false << true << kReserved0 << kReserved1;
        QTest::newRow("other model, serial") << "Korvan KV-44" << false << false << kDrawerClosed << kReserved1;
        QTest::newRow("other model, USB") << "Korvan KV-44" << false << true << kReserved0 << kReserved1;
        QTest::newRow("not connected yet") << "" << false << false << kDrawerClosed << kReserved1;
    }
    void byte5Captions()
    {
        QFETCH(QString, model);
        QFETCH(bool, family);
        QFETCH(bool, usb);
        QFETCH(QString, bit0);
        QFETCH(QString, bit1);

        Bench b;
        b.app.state().modelName = model;
        b.app.state().dataTransferFamily = family;
        b.app.state().usbConnected = usb;
        b.app.state().serialConnected = !usb;
        b.runCommand();

        const StatusDisplay d = StatusView(b.app).current();
        QCOMPARE(d.groups[5].captions[0], bit0);
        QCOMPARE(d.groups[5].captions[1], bit1);
        QCOMPARE(d.groups[5].captions[2], QStringLiteral("(4) Низкий заряд батареи"));
        QCOMPARE(d.groups[5].captions[7], QStringLiteral("(80) Всегда установлен"));

        TForm5 form(b.app, b.host);
        form.show();
        QCOMPARE(check(form, 5, 0)->text(), bit0);
        QCOMPARE(check(form, 5, 1)->text(), bit1);
    }

    // The screen is made once; a later connection to another registrar re-captions it.
    void captionsFollowTheConnectionAtEachOpening()
    {
        Bench b;
        b.app.state().modelName = QStringLiteral("Korvan KM-1");
        b.app.state().dataTransferFamily = true;
        TForm5 form(b.app, b.host);
        form.show();
        QCOMPARE(check(form, 5, 0)->text(), kLock72);
        form.close();

        b.app.state().modelName = QStringLiteral("KM-1M");
        b.app.state().dataTransferFamily = false;
        b.app.state().serialConnected = false;
        b.app.state().usbConnected = true;
        form.show();
        QCOMPARE(check(form, 5, 0)->text(), kReserved0);
        QCOMPARE(check(form, 5, 1)->text(), kReserved1);
    }

    void refreshSucceeds_data()
    {
        QTest::addColumn<int>("paymentForms"); // what the registrar has
        QTest::addColumn<int>("expectedCount");
        QTest::newRow("six payment types") << 6 << 6;
        QTest::newRow("field 11 reads 0: ten") << 10 << 10;
    }
    void refreshSucceeds()
    {
        QFETCH(int, paymentForms);
        QFETCH(int, expectedCount);

        Bench b(registrarOptions(QStringLiteral("Korvan KM-1"), paymentForms));
        b.app.state().paymentFormCount = 3;
        b.registrar.setStatusOverride({0x81, 0x80, 0x85, 0x80, 0x80, 0x80});
        StatusView view(b.app);
        const Outcome<QString> out = view.refresh();
        QVERIFY(out.ok());
        const QString text = out.shown;

        QCOMPARE(b.lastCode(), 0x80);
        QCOMPARE(b.lastParameters(), QByteArray("482913;"));
        QCOMPARE(b.app.state().currentResult, &b.app.link().Result());
        QCOMPARE(text, QStringLiteral("   Модель:Korvan KM-1,    Версия:3.01,     ЗН 4100012345."));
        QCOMPARE(b.app.state().paymentFormCount, expectedCount);
        QVERIFY(b.prompter.shown.isEmpty());
        QCOMPARE(view.current().receiptState, 5);
    }

    void refreshFails_data()
    {
        QTest::addColumn<bool>("silent");
        QTest::addColumn<QString>("message");
        QTest::newRow("timeout") << true << kTimeoutMessage;
        QTest::newRow("registrar refuses the password")
            << false << QStringLiteral("Проверка состояния регистратора:\n  Неверный пароль доступа!");
    }
    void refreshFails()
    {
        QFETCH(bool, silent);
        QFETCH(QString, message);

        emu::Registrar::Options o = registrarOptions();
        if (!silent)
            o.password = "111111";
        Bench b(o);
        b.app.state().paymentFormCount = 4;
        if (silent)
            b.silence();
        StatusView view(b.app);
        const Outcome<QString> out = view.refresh();
        QVERIFY(!out.ok());
        QCOMPARE(out.verdict.kind, silent ? Verdict::Kind::NoReply : Verdict::Kind::RegistrarError);

        QCOMPARE(b.lastCode(), 0x80);
        QCOMPARE(b.prompter.messages(), QStringList{message});
        QVERIFY(out.shown.isEmpty());
        QCOMPARE(b.app.state().paymentFormCount, 4);
        QCOMPARE(b.app.state().currentResult, &b.app.link().Result());
    }

    void formLayoutAndTexts()
    {
        Bench b;
        TForm5 form(b.app, b.host);
        form.show();
        QCOMPARE(form.windowTitle(), QStringLiteral("Байты состояния регистратора"));
        QCOMPARE(form.findChild<QPushButton *>("refreshButton")->text(), QStringLiteral("Обновить"));
        QCOMPARE(form.findChild<QPushButton *>("closeButton")->text(), QStringLiteral("Закрыть"));
        QCOMPARE(form.findChild<QGroupBox *>("byte4Group")->title(),
                 QStringLiteral("Статус регистратора - байт 4 (фискальная память)"));
        QCOMPARE(check(form, 1, 6)->text(),
                 QStringLiteral("(40) Буфер принтера не пуст (есть еще не распечатанные данные)"));
        for (int byte = 0; byte < 6; ++byte)
            QCOMPARE(check(form, byte, 7)->text(), QStringLiteral("(80) Всегда установлен"));
        auto *list = form.findChild<QListWidget *>("receiptStateList");
        QCOMPARE(list->count(), 16);
        QCOMPARE(list->item(7)->text(), QStringLiteral("7. Открыт чек  внесения/изъятия"));
        // The list sits in the byte 2 group.
        QVERIFY(form.findChild<QGroupBox *>("byte2Group")->isAncestorOf(list));
        // Nothing cut off: every caption gets the width it asks for.
        for (QCheckBox *c : form.findChildren<QCheckBox *>())
            QVERIFY2(c->width() >= c->sizeHint().width(), qPrintable(c->text()));
    }

    void boxesCannotBeChangedByTheUser()
    {
        Bench b;
        b.registrar.setStatusOverride({0x80, 0x80, 0x85, 0x80, 0x80, 0x80});
        b.runCommand();
        TForm5 form(b.app, b.host);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        QCheckBox *set = check(form, 2, 0);
        QCheckBox *clear = check(form, 2, 1);
        QTest::mouseClick(set, Qt::LeftButton);
        QTest::mouseClick(clear, Qt::LeftButton);
        QVERIFY(set->isChecked());
        QVERIFY(!clear->isChecked());
        auto *list = form.findChild<QListWidget *>("receiptStateList");
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                          list->visualItemRect(list->item(0)).center());
        QCOMPARE(selectedReceiptState(form), QStringLiteral("5. Произвольный текстовый документ открыт"));
    }

    void formRefreshSucceeds()
    {
        Bench b(registrarOptions(QStringLiteral("Korvan KM-1"), 6));
        b.runCommand();
        TForm5 form(b.app, b.host);
        form.show();
        QCOMPARE(ticked(form), onlyBit7());

        b.registrar.setStatusOverride({0x80, 0x80, 0x8C, 0x80, 0x91, 0x80});
        QTest::mouseClick(form.findChild<QPushButton *>("refreshButton"), Qt::LeftButton);

        QCOMPARE(b.lastCode(), 0x80);
        QCOMPARE(ticked(form),
                 (QStringList{"0:7", "1:7", "2:2", "2:3", "2:7", "3:7", "4:0", "4:4", "4:7", "5:7"}));
        QCOMPARE(selectedReceiptState(form), QStringLiteral("12."));
        QCOMPARE(b.host.statusTexts,
                 QStringList{QStringLiteral("   Модель:Korvan KM-1,    Версия:3.01,     ЗН 4100012345.")});
        QCOMPARE(b.app.state().paymentFormCount, 6);
        QVERIFY(b.prompter.shown.isEmpty());
        QVERIFY(form.isVisible());
    }

    // A failed "Обновить" leaves the boxes as they were, also when the window is activated
    // again after the message; the next opening shows the timed-out result.
    void formRefreshTimesOut()
    {
        Bench b;
        b.registrar.setStatusOverride({0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF});
        b.runCommand();
        TForm5 form(b.app, b.host);
        form.show();
        const QStringList before = ticked(form);
        QCOMPARE(before.size(), 48);

        b.silence();
        QTest::mouseClick(form.findChild<QPushButton *>("refreshButton"), Qt::LeftButton);

        QCOMPARE(b.prompter.messages(), QStringList{kTimeoutMessage});
        QVERIFY(b.host.statusTexts.isEmpty());
        QCOMPARE(ticked(form), before);
        QEvent activation(QEvent::ActivationChange);
        QApplication::setActiveWindow(&form);
        QCoreApplication::sendEvent(&form, &activation);
        QCOMPARE(ticked(form), before);
        QCOMPARE(selectedReceiptState(form), QStringLiteral("15."));

        form.close();
        form.show();
        QCOMPARE(ticked(form), onlyBit7());
    }
};

QTEST_MAIN(StatusScreenTest)
#include "tst_status_screen.moc"
