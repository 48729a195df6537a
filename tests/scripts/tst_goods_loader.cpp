// The goods list loader TForm20 and dizivu-cli load-goods.
#include "commands/command_codes.h"
#include "emulator/registrar.h"
#include "link/code_page.h"
#include "scripts/goods_loader.h"
#include "scripts/goods_loader_form.h"
#include "scripts/script_screens.h"

#include "support/cli_run.h"
#include "support/emulator_process.h"
#include "support/screen_rig.h"

#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QStatusBar>
#include <QTest>

namespace {

const QString kBread = QStringLiteral("101;Хлеб;12.50;1;1;");
const QString kMilk = QStringLiteral("102;Молоко;30.00;1;1;");

QString writeFile(const QTemporaryDir &dir, const QString &name, const QByteArray &bytes)
{
    const QString path = dir.filePath(name);
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        qFatal("cannot write %s", qPrintable(path));
    f.write(bytes);
    return path;
}

struct Bench : FormBench<TForm20> {
    TForm20 &form = open();

    template <typename T = QPushButton>
    T *w(const char *name)
    {
        return FormBench::w<T>(name);
    }
    QStringList parametersSent() const
    {
        QStringList out;
        for (const QByteArray &p : sent(cmd::AddGoods))
            out << code_page::fromDevice(p);
        return out;
    }
};

} // namespace

class GoodsLoaderTest : public QObject {
    Q_OBJECT
private slots:
    void loadEditWrite()
    {
        Bench b;
        QTemporaryDir dir;
        const QString path = writeFile(dir, "goods.ART", code_page::toDevice(kBread + "\r\n\r\n" + kMilk + "\r\n"));
        b.prompter.files.push_back(path);
        b.click("loadButton");
        QCOMPARE(b.prompter.shown.value(0).kind, RecordingPrompter::Shown::OpenFile);
        QCOMPARE(b.prompter.shown.value(0).caption, QStringLiteral("Product filse -  ART|*.ART|AllFiles (*.*)|*.*"));
        QCOMPARE(b.w<QLineEdit>("fileNameEdit")->text(), path);
        QCOMPARE(b.form.goodsLines(), (QStringList{kBread, "", kMilk}));

        // The edited text is what goes out; the empty line goes as the password alone.
        auto *lines = b.w<QPlainTextEdit>("goodsLinesEdit");
        lines->setPlainText(lines->toPlainText().replace("12.50", "13.00"));
        b.prompter.clear();
        b.click("writeButton");
        QCOMPARE(b.parametersSent(),
                 (QStringList{"482913;101;Хлеб;13.00;1;1;", "482913;", "482913;102;Молоко;30.00;1;1;"}));
        QCOMPARE(b.registrar.state().goods.value(101).line, code_page::toDevice("101;Хлеб;13.00;1;1;"));
        QCOMPARE(b.w<QProgressBar>("progressBar")->value(), 3);
        QCOMPARE(b.w<QProgressBar>("progressBar")->maximum(), 3);
        QCOMPARE(b.w<QLabel>("statusPanel")->text(), QString());
        QVERIFY(!b.w<QStatusBar>("statusBar")->isVisible()); // no empty framed box
        // The refused empty line does not stop the loading, and the closing message says so.
        QCOMPARE(b.prompter.messages(),
                 QStringList{QStringLiteral("Завершено\n\nНе записано строк: 1 (первая - строка 2).\n"
                                            "Неправильный формат поля номер 1 в строке (код товара)!")});

        // "Очистить" keeps the file name; the receipt screen, which finds this screen
        // through the host, then gets no goods lines.
        b.click("clearButton");
        auto *source = dynamic_cast<GoodsListSource *>(b.host.screen(QStringLiteral("TForm20")));
        QVERIFY(source);
        QCOMPARE(source->goodsFileName(), path);
        QVERIFY(source->goodsLines().isEmpty());
    }

    void timeoutsAndUnsendableLines()
    {
        Bench b;
        b.w<QPlainTextEdit>("goodsLinesEdit")
            ->setPlainText(kBread + "\n" + kMilk + "\n" + QStringLiteral("103;Tab\there;1.00;1;1;") + "\n"
                           + QStringLiteral("104;Сыр;50.00;1;1;"));
        emu::Fault lost;
        lost.kind = emu::Fault::Silence;
        lost.onlyCode = cmd::AddGoods;
        b.registrar.injectFault({});  // the first line goes through
        for (int i = 0; i < 5; ++i)   // every try of the second
            b.registrar.injectFault(lost);
        b.click("writeButton");
        // The second line timed out, the third never went, the fourth was loaded.
        QCOMPARE(b.w<QLabel>("statusPanel")->text(), GoodsLoader::kTimeoutNotice);
        QVERIFY(b.w<QStatusBar>("statusBar")->isVisible());
        QVERIFY(b.registrar.state().goods.contains(104));
        QVERIFY(!b.parametersSent().join(u'|').contains(u"Tab"));
        QCOMPARE(b.w<QProgressBar>("progressBar")->value(), 4);
        QVERIFY(b.prompter.messages().last().startsWith(QStringLiteral("Завершено\n\nНе записано строк: 1 (первая - строка 3).")));
    }

    // Without a device the loading stops at the first line sent, with the link's one
    // message, instead of a message for every line.
    void noDeviceStopsTheLoading()
    {
        EmulatedApp e({}, false);
        GoodsLoader loader(e.app);
        const GoodsLoader::Tally t = loader.write("482913", {"\x01bad", kBread, kMilk, kBread});
        QCOMPARE(t.refused, 1);
        QCOMPARE(t.sent, 1);
        QCOMPARE(t.timedOut, 3);
        QCOMPARE(t.notSent, 2);
        QCOMPARE(e.prompter.messages().size(), 1);
        QVERIFY(GoodsLoader::summary(t).contains(QStringLiteral("не отправлено строк: 2.")));
    }

    void unreadableFileChangesNothing()
    {
        Bench b;
        b.w<QPlainTextEdit>("goodsLinesEdit")->setPlainText(kBread);
        b.prompter.files.push_back(QStringLiteral("/nonexistent/goods.art"));
        b.click("loadButton");
        QCOMPARE(b.prompter.messages().size(), 1);
        QCOMPARE(b.form.goodsLines(), QStringList{kBread});
        QVERIFY(b.w<QLineEdit>("fileNameEdit")->text().isEmpty());
    }

    void cliLoadsOverAPseudoTerminal()
    {
        QTemporaryDir dir;
        const QString journal = dir.filePath("journal.txt");
        EmulatorProcess emu({QStringLiteral("--journal"), journal});
        QVERIFY(!emu.path().isEmpty());
        const QStringList port{QStringLiteral("--port"), emu.path(), QStringLiteral("--log"), dir.filePath("x.log"),
                               QStringLiteral("load-goods")};

        // A file that cannot be read: nothing goes out, not even the start-up frame.
        CliRun r = runCli(port + QStringList{dir.filePath("missing.art")});
        QCOMPARE(r.exitCode, 4);
        r = runCli(port + QStringList{dir.path()});
        QCOMPARE(r.exitCode, 4);
        QVERIFY(!QFile::exists(dir.filePath("x.log")));

        r = runCli(port + QStringList{writeFile(dir, "good.art", code_page::toDevice(kBread + "\r\n" + kMilk + "\r\n"))});
        QCOMPARE(r.exitCode, 0);
        QCOMPARE(r.out, QStringLiteral("sent=2 refused=0 timed_out=0\n"));
        QVERIFY(r.err.contains(QStringLiteral("Строка 2 из 2")));

        // The registrar's field number (it counts the password) is said as the line's field.
        r = runCli(port + QStringList{writeFile(dir, "bad.art", (kBread + "\n\nx;y;\n" + kMilk + "\n105;Сыр;1,50;1;1;\n").toUtf8())});
        QCOMPARE(r.exitCode, 1);
        QCOMPARE(r.out, QStringLiteral("sent=5 refused=3 timed_out=0\n"));
        QVERIFY(r.err.contains(QStringLiteral("Строка 3 из 5: Неправильный формат поля номер 1 в строке (код товара)!")));
        QVERIFY2(r.err.contains(QStringLiteral("Строка 5 из 5: Неправильный формат поля номер 3 в строке (цена)!")),
                 qPrintable(r.err));

        QFile j(journal);
        QVERIFY(j.open(QIODevice::ReadOnly));
        QCOMPARE(j.readAll().count("\n24\t"), 7);

        r = runCli({QStringLiteral("--port"), emu.path(), QStringLiteral("--password"), QStringLiteral("1;2"),
                    QStringLiteral("load-goods"), dir.filePath("good.art")});
        QCOMPARE(r.exitCode, 5);

        // A line that cannot go out is refused here: 5 when nothing failed at the registrar.
        r = runCli(port + QStringList{writeFile(dir, "local.art", (kBread + QStringLiteral("\n1;中;1.00;1;1;\n")).toUtf8())});
        QCOMPARE(r.exitCode, 5);
        QCOMPARE(r.out, QStringLiteral("sent=1 refused=1 timed_out=0\n"));
    }

    void cliReportsTimeouts()
    {
        QTemporaryDir dir;
        EmulatorProcess emu({QStringLiteral("--fault"), QStringLiteral("24@silence"), QStringLiteral("--fault"),
                             QStringLiteral("24@silence")});
        QVERIFY(!emu.path().isEmpty());
        const CliRun r = runCli({QStringLiteral("--port"), emu.path(), QStringLiteral("--reply"), QStringLiteral("1"),
                                 QStringLiteral("load-goods"),
                                 writeFile(dir, "g.art", code_page::toDevice(kBread + "\n" + kMilk + "\n"))});
        QCOMPARE(r.exitCode, 2);
        QCOMPARE(r.out, QStringLiteral("sent=2 refused=0 timed_out=1\n"));
        QVERIFY(r.err.contains(QStringLiteral("Строка 1 из 2: Ошибка! Таймаут устройства! ")));
    }
};

QTEST_MAIN(GoodsLoaderTest)
#include "tst_goods_loader.moc"
