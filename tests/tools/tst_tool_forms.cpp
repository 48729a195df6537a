// The forms of the memory and firmware tools: their wiring to the operations, on the
// offscreen platform, with the emulator behind the link.
#include "emulator/registrar.h"
#include "tools/firmware_readout.h"
#include "tools/firmware_readout_form.h"
#include "tools/flash_memory.h"
#include "tools/flash_memory_form.h"
#include "tools/logo_programming.h"
#include "tools/logo_programming_form.h"
#include "tools/tools_screens.h"

#include "support/screen_rig.h"

#include <QApplication>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>
#include <QTimer>

namespace {

emu::RegistrarOptions options()
{
    emu::RegistrarOptions o;
    o.memory.flashSize = 4096;
    o.memory.firmwareSize = 3000;
    return o;
}

template <class Form>
struct Bench : FormBench<Form> {
    using FormBench<Form>::click;
    using FormBench<Form>::line;
    Form *form = nullptr;

    Bench() : FormBench<Form>(options())
    {
        registerToolScreens(this->host.registry);
        form = &this->open();
    }
    int sent(int code) const { return int(FormBench<Form>::sent(code).size()); }
    // Clicks `name` at the first pause the running transfer makes, and notes the buttons'
    // state at that moment.
    void clickWhileBusy(const char *name, QList<bool> *enabled = nullptr, QStringList buttons = {})
    {
        QTimer::singleShot(0, form, [this, name, enabled, buttons] {
            if (enabled)
                for (const QString &b : buttons)
                    *enabled << widget<QPushButton>(*form, b)->isEnabled();
            click(name);
        });
    }
    QString file(const char *name) const { return this->dir.filePath(QLatin1String(name)); }
};

} // namespace

class ToolFormsTest : public QObject {
    Q_OBJECT
private slots:
    void flashBoundsDriveTheButtons()
    {
        Bench<TForm7> b;
        QVERIFY(!b.w<QPushButton>("readButton")->isEnabled());
        QVERIFY(b.w<QPushButton>("writeButton")->isEnabled());
        QVERIFY(!b.w<QPushButton>("stopButton")->isEnabled());
        QCOMPARE(b.w<QSpinBox>("retriesSpin")->value(), 2);
        QCOMPARE(b.w("repetitionsEdit")->text(), QStringLiteral("0"));
        b.type("addressEdit", QStringLiteral("1000"));
        QVERIFY(!b.w<QPushButton>("readButton")->isEnabled()); // the count is still empty
        b.type("countEdit", QStringLiteral("120"));
        QVERIFY(b.w<QPushButton>("readButton")->isEnabled());
        QVERIFY(b.w<QPushButton>("writeButton")->isEnabled());
        QTest::keyClicks(b.w("countEdit"), QStringLiteral("x"));
        QCOMPARE(b.prompter.messages(), QStringList{FlashMemory::kDecimalOnly});
        b.w("addressEdit")->clear();
        QVERIFY(!b.w<QPushButton>("readButton")->isEnabled());
        QVERIFY(!b.w<QPushButton>("writeButton")->isEnabled());
    }

    void flashReadShowsItsProgressAndStops()
    {
        Bench<TForm7> b;
        b.type("addressEdit", QStringLiteral("1000"));
        b.type("countEdit", QStringLiteral("120"));
        b.prompter.files.push_back(b.file("a.bin"));
        b.click("readButton");
        QCOMPARE(QFile(b.file("a.bin")).size(), 120);
        QCOMPARE(b.w("currentAddressEdit")->text(), QStringLiteral("1150"));
        QCOMPARE(b.w("resultEdit")->text(), QStringLiteral("0000"));
        QCOMPARE(b.w("statusEdit")->text(), QStringLiteral("00 00 00 00 00 00 "));
        QCOMPARE(b.w<QProgressBar>("gaugeProgress")->value(), 100);

        // "Остановить" during the next read: the busy window keeps only it enabled.
        b.prompter.clear();
        b.prompter.files.push_back(b.file("b.bin"));
        QList<bool> enabled;
        b.clickWhileBusy("stopButton", &enabled, {"stopButton", "readButton", "writeButton", "closeButton"});
        b.click("readButton");
        QCOMPARE(enabled, (QList<bool>{true, false, false, false}));
        QCOMPARE(b.prompter.messages(), QStringList{FlashMemory::kReadStopped});
        QCOMPARE(QFile(b.file("b.bin")).size(), 50);
        QVERIFY(b.w<QPushButton>("readButton")->isEnabled());
        QVERIFY(!b.w<QPushButton>("stopButton")->isEnabled());
    }

    // While the erase question is up nothing runs: "Остановить" stays off and "Закрыть"
    // on; the window turns busy only once the user has agreed.
    void flashEraseQuestionLeavesTheWindowIdle()
    {
        Bench<TForm7> b;
        QList<bool> enabled;
        b.prompter.onQuestion = [&](const QString &) {
            for (const char *name : {"stopButton", "closeButton", "eraseButton"})
                enabled << b.w<QPushButton>(name)->isEnabled();
        };
        b.prompter.answers = {Prompter::Cancel};
        b.click("eraseButton");
        b.click("eraseButton");
        QCOMPARE(enabled, (QList<bool>{false, true, true, false, true, true}));
        QCOMPARE(b.sent(0xF0), 1);
        QVERIFY(b.w<QPushButton>("closeButton")->isEnabled());
        QVERIFY(!b.w<QPushButton>("stopButton")->isEnabled());
    }

    void flashWriteTakesTheBoundsFromTheName()
    {
        Bench<TForm7> b;
        QFile f(b.file("flash_64_100.bin"));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(QByteArray(100, '\x5A'));
        f.close();
        b.prompter.files.push_back(f.fileName());
        b.click("writeButton");
        QCOMPARE(b.w("addressEdit")->text(), QStringLiteral("64"));
        QCOMPARE(b.w("countEdit")->text(), QStringLiteral("100"));
        QCOMPARE(b.sent(0xF2), 2);
        QCOMPARE(b.registrar.state().flash.mid(64, 100), QByteArray(100, '\x5A'));
        QVERIFY(b.w<QPushButton>("readButton")->isEnabled());
    }

    void logoOpensAndPrograms()
    {
        Bench<TForm6> b;
        QCOMPARE(b.w("maxWidthEdit")->text(), QStringLiteral("384"));
        QCOMPARE(b.w("maxHeightEdit")->text(), QStringLiteral("512"));
        QVERIFY(!b.w<QPushButton>("programButton")->isEnabled());
        QImage p(500, 20, QImage::Format_RGB32);
        p.fill(Qt::white);
        QVERIFY(p.save(b.file("logo.bmp"), "BMP"));
        b.prompter.files.push_back(b.file("logo.bmp"));
        b.click("openButton");
        QVERIFY(b.w<QPushButton>("programButton")->isEnabled());
        QCOMPARE(b.w("pictureWidthEdit")->text(), QStringLiteral("500"));
        QCOMPARE(b.w("pictureHeightEdit")->text(), QStringLiteral("20"));
        QCOMPARE(b.w("widthEdit")->text(), QStringLiteral("384"));
        QCOMPARE(b.w("heightEdit")->text(), QStringLiteral("20"));
        QVERIFY(!b.w<QLabel>("pictureLabel")->pixmap().isNull());
        b.click("programButton");
        QCOMPARE(b.sent(0x29), 48 * 20 / 24);
        QCOMPARE(b.sent(0x31), 1);
        QCOMPARE(b.prompter.messages(), QStringList{LogoProgramming::kSuccess});
        QCOMPARE(b.w<QProgressBar>("programProgress")->value(), 0);
    }

    void firmwareReadsAndStops()
    {
        Bench<TForm45> b;
        QCOMPARE(b.w("errorWordEdit")->text(), QStringLiteral("0000"));
        QCOMPARE(b.w<QPushButton>("readButton")->toolTip(),
                 QStringLiteral("Сохранить открытый ключ регистратора в файле."));
        b.prompter.files.push_back(b.file("fw.HEX"));
        b.click("readButton");
        QCOMPARE(b.prompter.messages(), QStringList{FirmwareReadout::kDone});
        QCOMPARE(QFile(b.file("fw.HEX")).size(), 3000);

        b.prompter.clear();
        b.prompter.files.push_back(b.file("fw2.HEX"));
        b.clickWhileBusy("stopButton");
        b.click("readButton");
        QCOMPARE(b.prompter.messages(), QStringList{FirmwareReadout::kStopped});
        QVERIFY(QFile(b.file("fw2.HEX")).size() < 3000);
        QVERIFY(b.w<QPushButton>("exitButton")->isEnabled());
    }
};

QTEST_MAIN(ToolFormsTest)
#include "tst_tool_forms.moc"
