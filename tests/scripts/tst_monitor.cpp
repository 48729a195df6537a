// The monitor: the manual console against the emulator on virtual time, the recent
// script files, and the window TForm28 with its variables window TForm40.
#include "app/application.h"
#include "link/code_page.h"
#include "emulator/registrar.h"
#include "scripts/monitor.h"
#include "scripts/monitor_form.h"
#include "scripts/script_screens.h"
#include "scripts/variables_form.h"
#include "ui/status_screen_form.h"
#include "ui/ui_screens.h"

#include "support/loopback_transport.h"
#include "support/recording_prompter.h"
#include "support/screen_rig.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QScreen>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <memory>

using Status = Verdict::Kind;
Q_DECLARE_METATYPE(Verdict::Kind)

namespace {

const QDateTime kHostTime(QDate(2026, 12, 9), QTime(10, 0, 5));
const QString kTimeout = QStringLiteral("Ошибка выполнения команды. Таймаут");
const QString kChecksum = QStringLiteral("Неверная контрольная сумма");
const QString kNoSeparator = QStringLiteral("Отсутствует последний разделитель - ;. Ошибка!");
const QString kBadCode = QStringLiteral("Неверный код команды!");
const QString kCodeRange = QStringLiteral("Неверный код команды: допустимы коды от 0x20 до 0xFF.");

QString examples()
{
    return QStringLiteral(EXAMPLES_DIR "/");
}

// The application with the emulator behind its link on virtual time.
struct Bench : FormBench<TForm28> {
    explicit Bench(bool attached = true) : FormBench({}, attached)
    {
        registrar.setHostTime(kHostTime);
        registerScriptScreens(host.registry);
    }
    // The monitor window as the program makes it: the host's one instance, not shown yet.
    TForm28 &form() { return screen(); }
    QString writeIni(const QByteArray &text)
    {
        QFile f(app.config().filePath());
        f.open(QIODevice::WriteOnly);
        f.write(text);
        return f.fileName();
    }
    QString script(const QByteArray &text, const QString &name = QStringLiteral("script.txt"))
    {
        const QString path = dir.filePath(name);
        QFile f(path);
        f.open(QIODevice::WriteOnly);
        f.write(text);
        return path;
    }
};

const QByteArray kFiveFiles = "[Files]\nNumFiles=5\nFile1=e.txt\nFile2=d.txt\nFile3=c.txt\nFile4=b.txt\nFile5=a.txt\n";

} // namespace

class MonitorTest : public QObject {
    Q_OBJECT
private slots:

    // ---- Operations ---------------------------------------------------------------------

    void barcodeSeparators_data()
    {
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<bool>("accepted");
        QTest::addColumn<QByteArray>("sent");
        QTest::newRow("sixth field") << QByteArray("1;2;3;4;5;6;") << true << QByteArray("1;2;3;4;5\xA0" "6;");
        QTest::newRow("four kept") << QByteArray("1;2;3;4;5;") << true << QByteArray("1;2;3;4;5;");
        QTest::newRow("many") << QByteArray("a;b;c;d;e;f;g;") << true << QByteArray("a;b;c;d;e\xA0" "f\xA0" "g;");
        QTest::newRow("empty fields") << QByteArray(";;;;;;") << true << QByteArray(";;;;\xA0;");
        QTest::newRow("only the closing one") << QByteArray(";") << true << QByteArray(";");
        QTest::newRow("no closing separator") << QByteArray("1;2;3;4;5;6") << false << QByteArray();
        QTest::newRow("empty") << QByteArray() << false << QByteArray();
    }
    void barcodeSeparators()
    {
        QFETCH(QByteArray, data);
        QByteArray out = "untouched";
        QTEST(console::barcodeData(data, out), "accepted");
        QFETCH(bool, accepted);
        QFETCH(QByteArray, sent);
        QCOMPARE(out, accepted ? sent : QByteArray("untouched"));
    }

    void codeAndPasswordLengthRule_data()
    {
        QTest::addColumn<QString>("code");
        QTest::addColumn<QString>("password");
        QTest::addColumn<Monitor::CodeState>("state");
        QTest::addColumn<int>("current");
        QTest::newRow("one character") << "2" << "482913" << Monitor::CodeState::Incomplete << 0;
        QTest::newRow("short password") << "21" << "48291" << Monitor::CodeState::Incomplete << 0;
        QTest::newRow("lower case") << "2f" << "482913" << Monitor::CodeState::Valid << 0x2F;
        QTest::newRow("upper case") << "2F" << "482913" << Monitor::CodeState::Valid << 0x2F;
        QTest::newRow("G2") << "G2" << "482913" << Monitor::CodeState::Invalid << 0;
        QTest::newRow("Cyrillic") << QStringLiteral("2Ф") << "482913" << Monitor::CodeState::Invalid << 0;
        // SOH and ETX in the command position would break the frame.
        QTest::newRow("01") << "01" << "482913" << Monitor::CodeState::OutOfRange << 0;
        QTest::newRow("1F") << "1F" << "482913" << Monitor::CodeState::OutOfRange << 0;
        QTest::newRow("20") << "20" << "482913" << Monitor::CodeState::Valid << 0x20;
        QTest::newRow("ff") << "ff" << "482913" << Monitor::CodeState::Valid << 0xFF;
    }
    void codeAndPasswordLengthRule()
    {
        QFETCH(QString, code);
        QFETCH(QString, password);
        QFETCH(Monitor::CodeState, state);
        Bench b;
        Monitor m(b.app);
        QCOMPARE(m.codeChanged(code, password), state);
        QTEST(m.currentCode(), "current");
        const QString message = state == Monitor::CodeState::Invalid ? kBadCode
            : state == Monitor::CodeState::OutOfRange                ? kCodeRange
                                                                     : QString();
        QCOMPARE(b.prompter.messages(), message.isEmpty() ? QStringList{} : QStringList{message});
        // A field that holds no good code sends nothing, not even under an earlier code.
        if (state != Monitor::CodeState::Valid) {
            QCOMPARE(m.execute(code, password, "", false).verdict.kind, Status::Refused);
            QCOMPARE(m.sendData(password, "", false).verdict.kind, Status::Refused);
            QVERIFY(b.line->framesSent.isEmpty());
        }
        // A code out of range says so again at each attempt to send it.
        if (state == Monitor::CodeState::OutOfRange)
            QCOMPARE(b.prompter.messages(), (QStringList{kCodeRange, kCodeRange, kCodeRange}));
    }

    void executeLogsCutFrames()
    {
        Bench b;
        Monitor m(b.app);
        QCOMPARE(m.codeChanged("21", "482913"), Monitor::CodeState::Valid);
        const Monitor::Reply r = m.execute("21", "482913", "", false);
        QCOMPARE(r.verdict.kind, Status::Success);
        QCOMPARE(r.shown.log.size(), 2);
        // The request from its fifth byte on, without ENQ, check characters and ETX.
        QCOMPARE(r.shown.log[0], QStringLiteral("PC: (21)482913;"));
        // The reply without SOH and without EOT, status bytes, ENQ, check characters, ETX.
        const QByteArray reply = b.app.link().Result().reply;
        QCOMPARE(r.shown.log[1], QStringLiteral("FP: ") + code_page::fromDevice(reply.mid(1, reply.size() - 14)));
        QVERIFY(r.shown.log[1].endsWith(QStringLiteral("!0000;091226;1000;")));
        QCOMPARE(r.shown.errorWord, QStringLiteral("0000"));
        QVERIFY(r.shown.statusShown);
        QCOMPARE(r.shown.statusText, QStringLiteral("00 00 00 00 00 00 "));
        QCOMPARE(b.app.state().currentResult, &b.app.link().Result());
    }

    void enterAndRepeatLogWholeFrames()
    {
        Bench b;
        Monitor m(b.app);
        m.codeChanged("60", "482913");
        const Monitor::Reply sent = m.sendData("482913", "", false);
        QCOMPARE(sent.verdict.kind, Status::Success);
        QCOMPARE(sent.shown.log.value(0), QStringLiteral("PC: ") + code_page::fromDevice(b.line->framesSent.last().mid(1)));
        QCOMPARE(sent.shown.log.value(1), QStringLiteral("FP: ") + code_page::fromDevice(b.app.link().Result().reply.mid(1)));
        QVERIFY(!sent.shown.statusShown); // Enter leaves the status field alone

        // The repeat keeps the sequence number: the registrar answers it from its last
        // reply and does not open a second receipt (which it would refuse).
        const Monitor::Reply again = m.repeat(false);
        QCOMPARE(again.verdict.kind, Status::Success);
        QCOMPARE(b.line->framesSent.size(), 2);
        QCOMPARE(b.line->framesSent[1], b.line->framesSent[0]);
        QCOMPARE(b.registrar.repeatsAnswered(), 1);
        QCOMPARE(again.shown.errorWord, QStringLiteral("0000"));
        QVERIFY(again.shown.statusShown);
        QCOMPARE(again.shown.statusText, QStringLiteral("00 00 05 00 00 00 "));
        QCOMPARE(again.shown.log.size(), 2);
        QVERIFY(again.shown.log[0].startsWith(QStringLiteral("PC: ")));
    }

    void barcodeCommandFromTheConsole()
    {
        Bench b;
        Monitor m(b.app);
        m.codeChanged("71", "482913");
        QCOMPARE(m.execute("71", "482913", "1;2;3;4;5;6", false).verdict.kind, Status::Refused);
        QCOMPARE(b.prompter.messages(), QStringList{kNoSeparator});
        QVERIFY(b.line->framesSent.isEmpty());

        m.execute("71", "482913", "1;2;3;4;5;6;", false);
        QCOMPARE(b.lastCode(), 0x71);
        QCOMPARE(b.lastParameters(), QByteArray("482913;1;2;3;4;5\xA0" "6;"));
        // Enter in the data field sends the data as typed.
        m.sendData("482913", "1;2;3;4;5;6;", false);
        QCOMPARE(b.lastParameters(), QByteArray("482913;1;2;3;4;5;6;"));
    }

    void failuresShowTheirMessage_data()
    {
        QTest::addColumn<int>("fault");
        QTest::addColumn<int>("faults");
        QTest::addColumn<Status>("status");
        QTest::addColumn<QString>("message");
        QTest::newRow("no reply") << int(emu::Fault::Silence) << 1 << Status::NoReply << kTimeout;
        QTest::newRow("check value") << int(emu::Fault::BadCheck) << 1 << Status::ChecksumMismatch << kChecksum;
        QTest::newRow("refused frame") << int(emu::Fault::Nak) << 1 << Status::Nak
                                       << QStringLiteral("Ошибка выполнения команды. Регистратор отверг команду (NAK)");
    }
    void failuresShowTheirMessage()
    {
        QFETCH(int, fault);
        QFETCH(Status, status);
        QFETCH(QString, message);
        for (int operation = 0; operation < 3; ++operation) {
            Bench b;
            b.app.link().SetReplyCount(0);
            Monitor m(b.app);
            m.codeChanged("21", "482913");
            QCOMPARE(m.execute("21", "482913", "", false).verdict.kind, Status::Success); // "0000" is now on record
            b.prompter.clear();
            b.registrar.injectFault({emu::Fault::Kind(fault)});
            const Monitor::Reply r = operation == 0 ? m.execute("21", "482913", "", false)
                : operation == 1                    ? m.sendData("482913", "", false)
                                                    : m.repeat(false);
            QCOMPARE(r.verdict.kind, status);
            QVERIFY(r.shown.log.isEmpty());
            QVERIFY(r.shown.errorWord.isEmpty());
            QCOMPARE(b.prompter.messages(), QStringList{message});
        }
    }

    void quietHidesFramesButShowsTheFields()
    {
        Bench b;
        Monitor m(b.app);
        m.codeChanged("21", "482913");
        const Monitor::Reply r = m.execute("21", "482913", "", true);
        QCOMPARE(r.verdict.kind, Status::Success);
        QVERIFY(r.shown.log.isEmpty());
        QCOMPARE(r.shown.errorWord, QStringLiteral("0000"));
    }

    void withoutALinkOnlyTheLinkSpeaks()
    {
        Bench b(false);
        Monitor m(b.app);
        // Nothing sent yet: nothing to repeat.
        QCOMPARE(m.repeat(false).verdict.kind, Status::Refused);
        QVERIFY(b.prompter.messages().isEmpty());
        m.codeChanged("21", "482913");
        QCOMPARE(m.execute("21", "482913", "", false).verdict.kind, Status::Refused);
        QCOMPARE(b.prompter.messages(), QStringList{QStringLiteral("Ошибка выбора устройства подключения!")});
    }

    void repeatWaitsForTheConsolesOwnCommand()
    {
        Bench b;
        // The connection's 0x80 is on record, but it is not the console's to repeat.
        b.app.execute(0x80, "482913;");
        QCOMPARE(b.line->framesSent.size(), 1);
        Monitor m(b.app);
        QVERIFY(!m.canRepeat());
        QCOMPARE(m.repeat(false).verdict.kind, Status::Refused);
        QCOMPARE(b.line->framesSent.size(), 1);

        // Refused before sending: still nothing of its own.
        m.codeChanged("71", "482913");
        m.execute("71", "482913", "1;2;3;4;5;6", false);
        QVERIFY(!m.canRepeat());

        // Unanswered is sent: that is the command worth repeating.
        b.prompter.clear();
        b.registrar.injectFault({emu::Fault::Silence});
        b.app.link().SetReplyCount(0);
        m.codeChanged("21", "482913");
        QCOMPARE(m.execute("21", "482913", "", false).verdict.kind, Status::NoReply);
        QVERIFY(m.canRepeat());
        QCOMPARE(m.repeat(false).verdict.kind, Status::Success);
        QCOMPARE(b.lastCode(), 0x21);

        m.startOpening();
        QVERIFY(!m.canRepeat());
        QCOMPARE(m.repeat(false).verdict.kind, Status::Refused);
    }

    void dataThatRepeatsThePassword_data()
    {
        QTest::addColumn<QString>("password");
        QTest::addColumn<QString>("data");
        QTest::addColumn<bool>("hint");
        QTest::newRow("password and separator") << "482913" << "482913;1;" << true;
        QTest::newRow("password and nothing else") << "482913" << "482913;" << true;
        QTest::newRow("parameters only") << "482913" << "1;2;" << false;
        QTest::newRow("a number that starts alike") << "482913" << "4829130;" << false;
        QTest::newRow("password without separator") << "482913" << "482913" << false;
        QTest::newRow("another password") << "000000" << "482913;1;" << false;
        QTest::newRow("empty password") << "" << ";1;" << false;
    }
    void dataThatRepeatsThePassword()
    {
        QFETCH(QString, password);
        QFETCH(QString, data);
        QTEST(Monitor::dataRepeatsPassword(password, data), "hint");
    }

    void openScriptKeepsNumFilesNames()
    {
        Bench b;
        b.writeIni(kFiveFiles);
        Monitor m(b.app);
        QCOMPARE(m.recentScripts(), (QStringList{"e.txt", "d.txt", "c.txt", "b.txt", "a.txt"}));
        b.prompter.files.push_back(QStringLiteral("/scripts/f.txt"));
        QStringList listed;
        QCOMPARE(m.openScript(listed), QStringLiteral("/scripts/f.txt"));
        QCOMPARE(m.currentScript(), QStringLiteral("/scripts/f.txt"));
        const QStringList expected{"/scripts/f.txt", "e.txt", "d.txt", "c.txt", "b.txt"};
        QCOMPARE(listed, expected);
        QCOMPARE(m.recentScripts(), expected);
        const Prompter::FileRequest r = Monitor::scriptFileRequest();
        QCOMPARE(b.prompter.shown.last().caption, QStringLiteral("Текстовые файлы (*.txt)|*.TXT|Все|*.*"));
        QCOMPARE(r.defaultExtension, QStringLiteral("txt"));
        QCOMPARE(r.initialFolder, QDir::currentPath());

        // Cancelled: nothing changes.
        QCOMPARE(m.openScript(listed), QString());
        QCOMPARE(m.currentScript(), QStringLiteral("/scripts/f.txt"));
    }

    void aNameTheSettingsCannotKeepStillRuns()
    {
        Bench b;
        b.writeIni(kFiveFiles);
        Monitor m(b.app);
        const QString longName = QStringLiteral("/") + QString(520, QLatin1Char('x')) + QStringLiteral(".txt");
        b.prompter.files.push_back(longName);
        QStringList listed;
        QCOMPARE(m.openScript(listed), longName);
        QCOMPARE(listed.value(0), longName);
        QCOMPARE(listed.size(), 6);
        QCOMPARE(m.recentScripts().size(), 5);
    }

    // ---- The window ---------------------------------------------------------------------

    void activation()
    {
        Bench b;
        TForm28 &form = b.form();
        form.show();
        QCOMPARE(widget<QLineEdit>(form, "passwordEdit")->text(), QStringLiteral("482913"));
        QCOMPARE(widget<QLineEdit>(form, "lineCounterEdit")->text(), QStringLiteral("0"));
        QCOMPARE(form.focusWidget(), widget<QLineEdit>(form, "codeEdit"));
        QVERIFY(!widget<QPushButton>(form, "executeButton")->isEnabled()); // empty code field
        QVERIFY(widget<QGroupBox>(form, "consoleGroup")->isEnabled());
    }

    void codeFieldRule()
    {
        Bench b;
        TForm28 &form = b.form();
        form.show();
        auto *code = widget<QLineEdit>(form, "codeEdit");
        auto *password = widget<QLineEdit>(form, "passwordEdit");
        auto *execute = widget<QPushButton>(form, "executeButton");

        QTest::keyClicks(code, "2f");
        QVERIFY(execute->isEnabled());
        QTest::keyClick(code, Qt::Key_Return); // Enter in the code field goes on to the data
        QCOMPARE(form.focusWidget(), widget<QLineEdit>(form, "dataEdit"));
        QVERIFY(b.line->framesSent.isEmpty());
        QTest::mouseClick(execute, Qt::LeftButton);
        QCOMPARE(b.lastCode(), 0x2F);
        code->clear();
        QTest::keyClicks(code, "2F");
        QTest::mouseClick(execute, Qt::LeftButton);
        QCOMPARE(b.lastCode(), 0x2F);
        QCOMPARE(b.line->framesSent.size(), 2);

        password->backspace();
        QVERIFY(!execute->isEnabled());
        QTest::keyClicks(password, "3");
        QVERIFY(execute->isEnabled());

        code->clear();
        b.prompter.clear();
        QTest::keyClicks(code, "G2");
        QCOMPARE(b.prompter.messages(), QStringList{kBadCode});
        QVERIFY(!execute->isEnabled());
        // Enter in the data field does not send under the earlier code either.
        QTest::keyClick(widget<QLineEdit>(form, "dataEdit"), Qt::Key_Return);
        QCOMPARE(b.line->framesSent.size(), 2);
    }

    void consoleShowsReplyInTheWindow()
    {
        Bench b;
        TForm28 &form = b.form();
        form.show();
        auto *log = widget<QPlainTextEdit>(form, "logEdit");
        auto *data = widget<QLineEdit>(form, "dataEdit");
        QTest::keyClicks(widget<QLineEdit>(form, "codeEdit"), "21");
        QTest::mouseClick(widget<QPushButton>(form, "executeButton"), Qt::LeftButton);
        QCOMPARE(log->toPlainText().split('\n').value(0), QStringLiteral("PC: (21)482913;"));
        QCOMPARE(widget<QLineEdit>(form, "errorWordEdit")->text(), QStringLiteral("0000"));
        QCOMPARE(widget<QLineEdit>(form, "statusEdit")->text(), QStringLiteral("00 00 00 00 00 00 "));

        // Enter in the data field: whole frames; the status field keeps what it showed.
        b.registrar.setStatusOverride({0, 0, 0, 0, 0, 0x21});
        QTest::keyClicks(data, "x;");
        QTest::keyClick(data, Qt::Key_Return);
        QCOMPARE(b.lastParameters(), QByteArray("482913;x;"));
        QCOMPARE(widget<QLineEdit>(form, "statusEdit")->text(), QStringLiteral("00 00 00 00 00 00 "));
        QVERIFY(log->toPlainText().split('\n').value(2).startsWith(QStringLiteral("PC: ")));

        // "Не выводить данные": no frames.
        const int lines = log->blockCount();
        widget<QCheckBox>(form, "quietCheck")->setChecked(true);
        QTest::mouseClick(widget<QPushButton>(form, "repeatButton"), Qt::LeftButton);
        QCOMPARE(log->blockCount(), lines);
        QCOMPARE(widget<QLineEdit>(form, "statusEdit")->text(), QStringLiteral("00 00 00 00 00 21 "));

        QTest::mouseClick(widget<QPushButton>(form, "clearLogButton"), Qt::LeftButton);
        QVERIFY(log->toPlainText().isEmpty());
    }

    void repeatButtonFollowsTheConsole()
    {
        Bench b;
        b.app.execute(0x80, "482913;"); // as the connection leaves it
        TForm28 &form = b.form();
        form.show();
        auto *repeat = widget<QPushButton>(form, "repeatButton");
        QVERIFY(!repeat->isEnabled());
        QTest::keyClicks(widget<QLineEdit>(form, "codeEdit"), "21");
        QTest::mouseClick(widget<QPushButton>(form, "executeButton"), Qt::LeftButton);
        QVERIFY(repeat->isEnabled());
        QTest::mouseClick(repeat, Qt::LeftButton);
        QCOMPARE(b.line->framesSent.size(), 3);
        QCOMPARE(b.lastCode(), 0x21);

        // A new opening starts without a command of its own.
        form.close();
        form.show();
        QVERIFY(!repeat->isEnabled());
        // Enter in the data field sends from the console as well.
        QTest::keyClick(widget<QLineEdit>(form, "dataEdit"), Qt::Key_Return);
        QVERIFY(repeat->isEnabled());
    }

    void passwordTypedIntoTheDataGetsAHint()
    {
        Bench b;
        TForm28 &form = b.form();
        form.show();
        auto *data = widget<QLineEdit>(form, "dataEdit");
        auto *password = widget<QLineEdit>(form, "passwordEdit");
        auto *hint = widget<QLabel>(form, "dataHintLabel");
        QVERIFY(!hint->isVisible());
        QTest::keyClicks(data, "482913;1;");
        QVERIFY(hint->isVisible());
        QCOMPARE(hint->text(),
                 QStringLiteral("Пароль подставляется сам: в поле «Данные» — только параметры после него."));
        // Another password: the data no longer repeat it.
        password->setText(QStringLiteral("000000"));
        QVERIFY(!hint->isVisible());
        password->setText(QStringLiteral("482913"));
        QVERIFY(hint->isVisible());
        data->setText(QStringLiteral("1;"));
        QVERIFY(!hint->isVisible());
    }

    void barcodeRuleInTheWindow()
    {
        Bench b;
        TForm28 &form = b.form();
        form.show();
        QTest::keyClicks(widget<QLineEdit>(form, "codeEdit"), "71");
        QTest::keyClicks(widget<QLineEdit>(form, "dataEdit"), "1;2;3;4;5;6");
        QTest::mouseClick(widget<QPushButton>(form, "executeButton"), Qt::LeftButton);
        QCOMPARE(b.prompter.messages(), QStringList{kNoSeparator});
        QVERIFY(b.line->framesSent.isEmpty());
        QTest::keyClick(widget<QLineEdit>(form, "dataEdit"), Qt::Key_End);
        QTest::keyClicks(widget<QLineEdit>(form, "dataEdit"), ";");
        QTest::mouseClick(widget<QPushButton>(form, "executeButton"), Qt::LeftButton);
        QCOMPARE(b.lastParameters(), QByteArray("482913;1;2;3;4;5\xA0" "6;"));
    }

    void historyList()
    {
        Bench b;
        TForm28 &form = b.form();
        form.show();
        auto *code = widget<QLineEdit>(form, "codeEdit");
        auto *data = widget<QLineEdit>(form, "dataEdit");
        auto *list = widget<QListWidget>(form, "historyList");
        QTest::keyClicks(code, "22");
        data->insert(QStringLiteral("0;Строка;0;"));
        QTest::mouseClick(widget<QPushButton>(form, "addToListButton"), Qt::LeftButton);
        code->clear();
        data->clear();
        QTest::keyClicks(code, "2f");
        QTest::mouseClick(widget<QPushButton>(form, "addToListButton"), Qt::LeftButton);
        QCOMPARE(list->count(), 2);
        QCOMPARE(list->item(0)->text(), QStringLiteral("22->0;Строка;0;"));
        QCOMPARE(list->item(1)->text(), QStringLiteral("2f->"));

        const QPoint at = list->visualItemRect(list->item(0)).center();
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at);
        QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, at);
        QCOMPARE(code->text(), QStringLiteral("22"));
        QCOMPARE(data->text(), QStringLiteral("0;Строка;0;"));
        QVERIFY(widget<QPushButton>(form, "executeButton")->isEnabled());
        QTest::mouseClick(widget<QPushButton>(form, "executeButton"), Qt::LeftButton);
        QCOMPARE(b.lastParameters(), QByteArray("482913;0;\xD1\xF2\xF0\xEE\xEA\xE0;0;"));
        QCOMPARE(b.registrar.journal().size(), 1);
    }

    void recentFileList()
    {
        Bench b;
        b.writeIni(kFiveFiles);
        TForm28 &form = b.form();
        form.show();
        auto *combo = widget<QComboBox>(form, "fileCombo");
        QCOMPARE(combo->count(), 5);
        QCOMPARE(combo->currentIndex(), -1);
        QVERIFY(combo->currentText().isEmpty());

        // Nothing chosen: a run needs a choice first.
        QTest::mouseClick(widget<QPushButton>(form, "runButton"), Qt::LeftButton);
        QCOMPARE(b.prompter.messages(), QStringList{QStringLiteral("Внимание! Файл не выбран!")});

        const QString chosen = b.script("21482913;\n", QStringLiteral("f.txt"));
        b.prompter.files.push_back(chosen);
        widget<QLineEdit>(form, "lineCounterEdit")->setText(QStringLiteral("7"));
        QTest::mouseClick(widget<QPushButton>(form, "openFileButton"), Qt::LeftButton);
        QCOMPARE(combo->count(), 5);
        QCOMPARE(combo->currentIndex(), 0);
        QCOMPARE(combo->itemText(0), chosen);
        QCOMPARE(combo->itemText(4), QStringLiteral("b.txt")); // a.txt, the oldest, is gone
        QCOMPARE(widget<QLineEdit>(form, "lineCounterEdit")->text(), QStringLiteral("0"));
        QCOMPARE(b.app.config().recentFiles(), (QStringList{chosen, "e.txt", "d.txt", "c.txt", "b.txt"}));

        // Choosing from the list makes that entry the script that runs.
        const QString other = b.script("28482913;\n", QStringLiteral("g.txt"));
        combo->addItem(other);
        combo->setCurrentIndex(combo->count() - 1);
        emit combo->activated(combo->count() - 1);
        QCOMPARE(form.monitor().currentScript(), other);
        b.prompter.clear();
        QTest::mouseClick(widget<QPushButton>(form, "runButton"), Qt::LeftButton);
        QCOMPARE(b.lastCode(), 0x28);
        QCOMPARE(b.prompter.messages(), QStringList{QStringLiteral("Конец файла!")});

        // The next opening of the screen starts without a choice again.
        form.hide();
        form.show();
        QCOMPARE(combo->currentIndex(), -1);
    }

    void rerunAndLostPortInTheWindow()
    {
        Bench b;
        TForm28 &form = b.form();
        b.host.portName = QStringLiteral("/nonexistent/ttyS9");
        form.show();
        // A script that ends right after its declarations runs again in the same window.
        const QString path = b.dir.filePath(QStringLiteral("decl.txt"));
        b.prompter.files.push_back(path);
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("%DeclareBeg\n%New a\n%DeclareEnd\n%Set a = \"1\"\n");
        f.close();
        QTest::mouseClick(widget<QPushButton>(form, "openFileButton"), Qt::LeftButton);
        QTest::mouseClick(widget<QPushButton>(form, "runButton"), Qt::LeftButton);
        QTest::mouseClick(widget<QPushButton>(form, "runButton"), Qt::LeftButton);
        QCOMPARE(b.prompter.messages(), (QStringList{QStringLiteral("Конец файла!"), QStringLiteral("Конец файла!")}));

        // SetSpeed whose port does not open again tells the main window.
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write("%SetSpeed 4800\n21482913;\n");
        f.close();
        QTest::mouseClick(widget<QPushButton>(form, "runButton"), Qt::LeftButton);
        QCOMPARE(b.host.connectionsLost, 1);
        QVERIFY(b.app.link().activeTransport() == nullptr);
        QVERIFY(b.registrar.journal().isEmpty());
    }

    // SetSpeed reopens the port the host names and tells the host the speed it now runs at.
    void speedChangeReachesTheHost()
    {
        Bench b;
        TForm28 &form = b.form();
        b.host.portName = QStringLiteral("/dev/ttyUSB3");
        QString reopened;
        form.runner().setPortReopener([&reopened](const QString &port, qint32) {
            reopened = port;
            return true;
        });
        form.show();
        b.prompter.files.push_back(b.script("%SetSpeed 19200\n"));
        QTest::mouseClick(widget<QPushButton>(form, "openFileButton"), Qt::LeftButton);
        QTest::mouseClick(widget<QPushButton>(form, "runButton"), Qt::LeftButton);
        QCOMPARE(reopened, QStringLiteral("/dev/ttyUSB3"));
        QCOMPARE(b.host.speeds, QList<qint32>{19200});
        QCOMPARE(b.host.connectionsLost, 0);
    }

    void scriptRunFillsLogAndVariables()
    {
        Bench b;
        TForm28 &form = b.form();
        form.show();
        b.prompter.files.push_back(examples() + QStringLiteral("variables_loop.txt"));
        QTest::mouseClick(widget<QPushButton>(form, "openFileButton"), Qt::LeftButton);
        QTest::mouseClick(widget<QPushButton>(form, "runButton"), Qt::LeftButton);

        QCOMPARE(b.prompter.messages(), QStringList{QStringLiteral("Конец файла!")});
        QCOMPARE(widget<QLineEdit>(form, "lineCounterEdit")->text(), QStringLiteral("0"));
        const QStringList log = widget<QPlainTextEdit>(form, "logEdit")->toPlainText().split('\n');
        QVERIFY(log.contains(QStringLiteral(";i=3")));
        QVERIFY(log.contains(QStringLiteral("Комментарий::  Напечатано три строки!!!")));
        QVERIFY(!log.contains(QStringLiteral("Комментарий::  Число строк неверно!!!")));
        QCOMPARE(log.filter(QRegularExpression(QStringLiteral("^PC: "))).size(), 3); // RunCommand logs nothing
        QCOMPARE(b.registrar.paperTape().size(), 3);
        QCOMPARE(widget<QLineEdit>(form, "errorWordEdit")->text(), QStringLiteral("0000"));

        TForm40 *vars = form.variablesWindow();
        QCOMPARE(vars->variableCount(), 5);
        QCOMPARE(vars->name(1), QStringLiteral("pw"));
        QCOMPARE(vars->name(5), QStringLiteral("same"));
        QCOMPARE(vars->value(1), QStringLiteral("482913"));
        QCOMPARE(vars->value(2), QStringLiteral("0")); // Oper leaves the grid as Set wrote it
        QVERIFY(!vars->isVisible());

        QTest::mouseClick(widget<QPushButton>(form, "variablesButton"), Qt::LeftButton);
        QVERIFY(vars->isVisible());
        QVERIFY(vars->windowFlags() & Qt::WindowStaysOnTopHint);
        auto *table = widget<QTableWidget>(*vars, "variablesTable");
        QCOMPARE(table->horizontalHeaderItem(TForm40::NameColumn)->text(), QStringLiteral("Переменные"));
        QCOMPARE(table->horizontalHeaderItem(TForm40::ValueColumn)->text(), QStringLiteral("Значения"));
        QCOMPARE(table->item(4, TForm40::NumberColumn)->text(), QStringLiteral("5"));

        // A script chosen anew empties the variables.
        emit widget<QComboBox>(form, "fileCombo")->activated(0);
        QCOMPARE(vars->variableCount(), 0);
        QCOMPARE(table->rowCount(), 1);
        QVERIFY(table->item(0, TForm40::NameColumn) == nullptr);
    }

    void variablesWindowStandsAtTheRightEdge_data()
    {
        // Where the monitor's right edge stands, from the screen's right edge: with room
        // for the variables window beside it, or too close for it.
        QTest::addColumn<bool>("room");
        QTest::newRow("room beside the monitor") << true;
        QTest::newRow("the monitor at the screen's right edge") << false;
    }
    void variablesWindowStandsAtTheRightEdge()
    {
        QFETCH(bool, room);
        Bench b;
        TForm28 &form = b.form();
        form.show();
        TForm40 *vars = form.variablesWindow();
        QVERIFY(vars);
        vars->show(); // once, for its size
        const int varsWidth = vars->frameGeometry().width();
        vars->hide();
        const QRect area = form.screen()->availableGeometry();
        const int formWidth = form.frameGeometry().width();
        // The monitor's right edge: so that the window fits exactly beside it, or 10
        // pixels in from the screen's edge.
        const int right = room ? area.right() - varsWidth : area.right() - 10;
        form.move(right + 1 - formWidth, area.top() + 30);
        QCOMPARE(form.frameGeometry().right(), right);

        QTest::mouseClick(widget<QPushButton>(form, "variablesButton"), Qt::LeftButton);
        QVERIFY(vars->isVisible());
        QCOMPARE(vars->frameGeometry().top(), form.frameGeometry().top());
        if (room)
            QCOMPARE(vars->frameGeometry().left(), right + 1);
        else
            QCOMPARE(vars->frameGeometry().right(), area.right()); // kept whole on the screen
        QTest::mouseClick(widget<QPushButton>(*vars, "closeButton"), Qt::LeftButton);
        QVERIFY(!vars->isVisible());
    }

    void quietRunAndContinueAndStep()
    {
        Bench b;
        TForm28 &form = b.form();
        form.show();
        b.prompter.files.push_back(b.script("+ one\n21482913;\n28482913;\n80482913;\n"));
        QTest::mouseClick(widget<QPushButton>(form, "openFileButton"), Qt::LeftButton);
        auto *log = widget<QPlainTextEdit>(form, "logEdit");
        auto *counter = widget<QLineEdit>(form, "lineCounterEdit");

        widget<QCheckBox>(form, "quietCheck")->setChecked(true);
        widget<QCheckBox>(form, "noRepaintCheck")->setChecked(true);
        QTest::mouseClick(widget<QPushButton>(form, "runButton"), Qt::LeftButton);
        QVERIFY(log->toPlainText().isEmpty());
        QCOMPARE(b.registrar.journal().size(), 3);
        widget<QCheckBox>(form, "quietCheck")->setChecked(false);

        // "Шаг" after line 2 runs line 3 only; "Продолжить" from 3 runs line 4.
        counter->setText(QStringLiteral("2"));
        QTest::mouseClick(widget<QPushButton>(form, "stepButton"), Qt::LeftButton);
        QCOMPARE(b.lastCode(), 0x28);
        QCOMPARE(counter->text(), QStringLiteral("3"));
        QTest::mouseClick(widget<QPushButton>(form, "continueButton"), Qt::LeftButton);
        QCOMPARE(b.lastCode(), 0x80);
        QCOMPARE(b.registrar.journal().size(), 5);
        QCOMPARE(widget<QLineEdit>(form, "codeEdit")->text(), QStringLiteral("80"));
        QCOMPARE(counter->text(), QStringLiteral("0"));
        QVERIFY(log->toPlainText().startsWith(QStringLiteral("PC: ")));
    }

    void stepOnAStatementLeavesTheConsoleFields()
    {
        Bench b;
        TForm28 &form = b.form();
        form.show();
        b.prompter.files.push_back(b.script("%DeclareBeg\n%New i\n%DeclareEnd\n;x\n%Print i\n21482913;\n"));
        QTest::mouseClick(widget<QPushButton>(form, "openFileButton"), Qt::LeftButton);
        auto *code = widget<QLineEdit>(form, "codeEdit");
        auto *password = widget<QLineEdit>(form, "passwordEdit");
        auto *data = widget<QLineEdit>(form, "dataEdit");
        auto *counter = widget<QLineEdit>(form, "lineCounterEdit");
        QTest::keyClicks(code, "60");
        data->setText(QStringLiteral("x;"));

        // "Шаг" on a declaration, and "Продолжить" and "Шаг" on a control statement: each
        // refused, nothing sent, and the fields keep what the user typed.
        for (int line : {0, 4}) {
            for (const char *button : {"stepButton", "continueButton"}) {
                counter->setText(QString::number(line));
                b.prompter.clear();
                QTest::mouseClick(widget<QPushButton>(form, button), Qt::LeftButton);
                QCOMPARE(b.prompter.messages(), QStringList{kBadCode});
                QCOMPARE(code->text(), QStringLiteral("60"));
                QCOMPARE(password->text(), QStringLiteral("482913"));
                QCOMPARE(data->text(), QStringLiteral("x;"));
            }
        }
        QVERIFY(b.line->framesSent.isEmpty());
        QVERIFY(widget<QPushButton>(form, "executeButton")->isEnabled());
        QTest::mouseClick(widget<QPushButton>(form, "executeButton"), Qt::LeftButton);
        QCOMPARE(b.lastParameters(), QByteArray("482913;x;"));

        // A command line still fills them.
        counter->setText(QStringLiteral("5"));
        QTest::mouseClick(widget<QPushButton>(form, "stepButton"), Qt::LeftButton);
        QCOMPARE(code->text(), QStringLiteral("21"));
        QCOMPARE(b.lastCode(), 0x21);
    }

    void stopEndsALoopOfStatements()
    {
        Bench b;
        TForm28 &form = b.form();
        form.show();
        b.prompter.files.push_back(b.script("%DeclareBeg\n%New i\n%DeclareEnd\n%Set i = \"0\"\n"
                                            "%While (i < 1)\n%EndWhile\n21482913;\n"));
        QTest::mouseClick(widget<QPushButton>(form, "openFileButton"), Qt::LeftButton);
        auto *counter = widget<QLineEdit>(form, "lineCounterEdit");
        auto *stop = widget<QPushButton>(form, "stopButton");
        bool clicked = false;
        connect(counter, &QLineEdit::textChanged, this, [&](const QString &text) {
            const int n = text.toInt();
            if (n == 200 && !clicked) {
                clicked = true;
                // Arrives through the window's event processing between two lines.
                QTimer::singleShot(0, stop, [stop] { QTest::mouseClick(stop, Qt::LeftButton); });
            } else if (n > 100000) {
                form.runner().requestStop(); // the stop button never got through
            }
        });
        QTest::mouseClick(widget<QPushButton>(form, "runButton"), Qt::LeftButton);
        QVERIFY(clicked);
        QVERIFY(!form.runner().running());
        QVERIFY(counter->text().toInt() < 1000);
        QVERIFY(b.line->framesSent.isEmpty());
        QVERIFY(b.prompter.messages().isEmpty()); // a stop is silent
    }

    void exitDuringARunStopsIt()
    {
        Bench b;
        TForm28 &form = b.form();
        form.show();
        b.prompter.files.push_back(b.script("%DeclareBeg\n%New i\n%DeclareEnd\n%Set i = \"0\"\n"
                                            "%While (i < 1)\n%EndWhile\n"));
        QTest::mouseClick(widget<QPushButton>(form, "openFileButton"), Qt::LeftButton);
        QTimer::singleShot(0, &form, [&form] { QTest::mouseClick(widget<QPushButton>(form, "exitButton"), Qt::LeftButton); });
        auto *counter = widget<QLineEdit>(form, "lineCounterEdit");
        connect(counter, &QLineEdit::textChanged, this, [&](const QString &text) {
            if (text.toInt() > 100000)
                form.runner().requestStop(); // the button never got through
        });
        QTest::mouseClick(widget<QPushButton>(form, "runButton"), Qt::LeftButton);
        QVERIFY(counter->text().toInt() < 1000);
        QVERIFY(!form.isVisible());
        QVERIFY(!form.runner().running());
    }

    void statusScreenNeedsAConnection()
    {
        Bench b;
        TForm28 &form = b.form();
        form.show();
        b.app.state().serialConnected = false;
        QTest::mouseClick(widget<QPushButton>(form, "statusButton"), Qt::LeftButton);
        QVERIFY(b.host.opened.isEmpty());

        b.app.state().serialConnected = true;
        QTest::mouseClick(widget<QPushButton>(form, "statusButton"), Qt::LeftButton);
        QCOMPARE(b.host.opened, QStringList{QStringLiteral("TForm5")});
        QVERIFY(b.host.screen<TForm5>()->isVisible());
        QVERIFY(form.findChild<TForm5 *>() == nullptr); // the program's one, no private copy
    }

    // "Обновить" on the status screen opened with ".?." reaches the main window's status
    // bar.
    void statusRefreshReachesTheMainWindow()
    {
        Bench b;
        TForm28 &form = b.form();
        form.show();
        QTest::keyClicks(widget<QLineEdit>(form, "codeEdit"), "21");
        QTest::mouseClick(widget<QPushButton>(form, "executeButton"), Qt::LeftButton);
        auto *statusButton = widget<QPushButton>(form, "statusButton");
        QCOMPARE(statusButton->text(), QStringLiteral(".?."));
        QTest::mouseClick(statusButton, Qt::LeftButton);
        TForm5 *status = b.host.screen<TForm5>();
        QVERIFY(status->isVisible());
        QTest::mouseClick(widget<QPushButton>(*status, "refreshButton"), Qt::LeftButton);
        QCOMPARE(b.lastCode(), 0x80);
        QCOMPARE(b.host.statusTexts, QStringList{StatusView::identityText(b.app.link().Result())});
        QVERIFY(b.prompter.messages().isEmpty());
    }
};

QTEST_MAIN(MonitorTest)
#include "tst_monitor.moc"
