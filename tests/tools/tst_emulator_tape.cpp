// "Лента эмулятора" following the tape of a real registrar-emulator process.
#include "tools/emulator_tape_form.h"
#include "tools/tools_screens.h"

#include "emulator/tape_file.h"

#include "link/code_page.h"
#include "support/emulated_app.h"
#include "support/emulator_process.h"
#include "support/screen_rig.h"

#include <QFile>
#include <QFontMetrics>
#include <QLabel>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTest>

namespace {

struct TapeRig : EmulatedApp {
    TestScreenHost host{app};
    EmulatorTapeWindow *form = nullptr;
    QString tapePath = dir.filePath(QStringLiteral("lenta.txt"));
    TapeRig() : EmulatedApp({}, false)
    {
        registerToolScreens(host.registry);
        form = host.screen<EmulatorTapeWindow>();
    }
    QPlainTextEdit *tape() { return widget<QPlainTextEdit>(*form, QStringLiteral("tapeEdit")); }
    QString state() { return widget<QLabel>(*form, QStringLiteral("stateLabel"))->text(); }
    void connect(bool on)
    {
        app.state().serialConnected = on;
        app.state().emulatorTapePath = on ? tapePath : QString();
    }
};

void print(DeviceLink &link, const QString &text)
{
    QCOMPARE(link.ExecuteCommand(0x61, code_page::toDevice(QStringLiteral("482913;") + text + QLatin1Char(';')))->errorWord,
             QByteArray("0000"));
}

} // namespace

class EmulatorTapeTest : public QObject {
    Q_OBJECT
private slots:
    void saysSoWhenNotOnTheEmulator()
    {
        TapeRig rig;
        rig.app.state().serialConnected = true; // a real registrar: no tape
        rig.host.openScreen<EmulatorTapeWindow>();
        QCOMPARE(rig.state(), EmulatorTapeWindow::kNotConnected);
        QVERIFY(rig.tape()->toPlainText().isEmpty());
        QVERIFY(rig.form->property("modeless").toBool());
    }

    void followsARealEmulatorsTape()
    {
        TapeRig rig;
        EmulatorProcess emulator({QStringLiteral("--tape"), rig.tapePath});
        QVERIFY(!emulator.path().isEmpty());
        DeviceLink link;
        QVERIFY(link.OpenSerial(emulator.path(), 115200));
        QCOMPARE(link.ExecuteCommand(0x60, "482913;")->errorWord, QByteArray("0000"));
        print(link, QStringLiteral("Первая строка"));

        rig.connect(true);
        rig.host.openScreen<EmulatorTapeWindow>();
        QVERIFY(rig.state().contains(rig.tapePath));
        QCOMPARE(rig.tape()->toPlainText(), QStringLiteral("Первая строка"));

        // Monospaced as the user sees it (every glyph as wide as the next; some monospaced
        // fonts are not flagged fixed pitch), a whole registrar line wide.
        const QFontMetrics metrics = rig.tape()->fontMetrics();
        for (const QChar c : QStringLiteral("iШ.1 "))
            QCOMPARE(metrics.horizontalAdvance(c), metrics.horizontalAdvance(u'W'));
        QVERIFY(rig.tape()->viewport()->width()
                >= rig.tape()->fontMetrics().horizontalAdvance(QString(EmulatorTapeWindow::kLineChars, u'W')));

        // What is printed next appears by itself, and the newest line is in view.
        for (int i = 0; i < 80; ++i)
            print(link, QStringLiteral("Строка %1").arg(i));
        QCOMPARE(link.ExecuteCommand(0x62, "482913;")->errorWord, QByteArray("0000"));
        QTRY_VERIFY(rig.tape()->toPlainText().endsWith(QString::fromUtf8(emu::TapeFile::separator())));
        QCOMPARE(rig.tape()->document()->blockCount(), 82);
        QScrollBar *bar = rig.tape()->verticalScrollBar();
        QVERIFY(bar->maximum() > 0);
        QCOMPARE(bar->value(), bar->maximum());

        // Only what was appended is read: a line half written is not shown until it ends.
        {
            QFile f(rig.tapePath);
            QVERIFY(f.open(QIODevice::Append));
            f.write("полстроки");
        }
        rig.form->poll();
        QVERIFY(!rig.tape()->toPlainText().endsWith(QStringLiteral("полстроки")));
        {
            QFile f(rig.tapePath);
            QVERIFY(f.open(QIODevice::Append));
            f.write(" и конец\n");
        }
        rig.form->poll();
        QVERIFY(rig.tape()->toPlainText().endsWith(QStringLiteral("\nполстроки и конец")));

        // A tape started anew is shown from its beginning.
        {
            QFile f(rig.tapePath);
            QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
            f.write("new\n");
        }
        rig.form->poll();
        QCOMPARE(rig.tape()->toPlainText(), QStringLiteral("new"));

        // Disconnected: the window says so.
        link.CloseSerial();
        rig.connect(false);
        rig.form->poll();
        QCOMPARE(rig.state(), EmulatorTapeWindow::kNotConnected);
    }
};

QTEST_MAIN(EmulatorTapeTest)
#include "tst_emulator_tape.moc"
