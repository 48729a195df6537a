// The exchange-log viewer: its model's filters and search on a log written by real
// exchanges, the form that shows it, and its opening from the monitor.
#include "tools/exchange_log_model.h"
#include "tools/exchange_log_view_form.h"
#include "tools/tools_screens.h"

#include "scripts/script_screens.h"
#include "support/emulated_app.h"
#include "support/exchange_log_rig.h"
#include "support/screen_rig.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableView>
#include <QTest>

namespace {

QString writeLog(ExchangeLogRig &rig)
{
    rig.runEveryKind();
    return rig.path();
}

QList<int> codesShown(const ExchangeLogModel &m)
{
    QList<int> codes;
    for (int r = 0; r < m.rowCount(); ++r)
        codes << m.exchange(r).code;
    return codes;
}

struct Viewer : EmulatedApp {
    TestScreenHost host{app};
    ExchangeLogViewer *form = nullptr;
    Viewer()
    {
        registerToolScreens(host.registry);
        registerScriptScreens(host.registry);
        form = host.screen<ExchangeLogViewer>();
    }
};

} // namespace

class ExchangeLogViewTest : public QObject {
    Q_OBJECT
private slots:
    void modelFiltersAndSearch()
    {
        ExchangeLogRig rig;
        ExchangeLogModel m;
        QString error;
        QVERIFY(m.open(writeLog(rig), error));
        QCOMPARE(m.exchangeCount(), 9);
        QCOMPARE(m.failedCount(), 5);
        QCOMPARE(m.rowCount(), 9);
        QCOMPARE(m.commandCodes(), (QList<int>{0x21, 0x28, 0x60, 0x61, 0x62}));

        // Failed rows stand out; the others do not.
        for (int r = 0; r < m.rowCount(); ++r) {
            const bool failed = m.exchange(r).failed();
            QCOMPARE(m.index(r, 0).data(ExchangeLogModel::FailedRole).toBool(), failed);
            QCOMPARE(m.index(r, 0).data(Qt::BackgroundRole).isValid(), failed);
        }
        QCOMPARE(m.index(1, ExchangeLogModel::ResultColumn).data().toString(),
                 QStringLiteral("0006 Неверный пароль доступа!"));
        QCOMPARE(m.index(3, ExchangeLogModel::SequenceColumn).data().toString(), QStringLiteral("23 повтор"));
        QCOMPARE(m.index(4, ExchangeLogModel::ParametersColumn).data().toString(), QStringLiteral("482913;Привет;"));

        m.setErrorsOnly(true);
        QCOMPARE(codesShown(m), (QList<int>{0x21, 0x60, 0x21, 0x21, 0x62}));
        m.setCommandFilter(0x21);
        QCOMPARE(m.rowCount(), 3);
        m.setErrorsOnly(false);
        QCOMPARE(m.rowCount(), 4);
        m.setSearchText(QStringLiteral("ПАРОЛ"));
        QCOMPARE(m.rowCount(), 1);
        QCOMPARE(m.exchange(0).errorWord, QByteArray("0006"));
        m.setCommandFilter(-1);
        m.setSearchText(QStringLiteral("привет"));
        QCOMPARE(codesShown(m), (QList<int>{0x61}));
        m.setSearchText(QStringLiteral("Документ закрыт"));
        QCOMPARE(m.rowCount(), 2); // the replies before the receipt was opened
        m.setSearchText(QString());
        QCOMPARE(m.rowCount(), 9);
    }

    void modelSurvivesTheFileChangingUnderIt()
    {
        ExchangeLogRig rig;
        ExchangeLogModel m;
        QString error;
        QVERIFY(m.open(writeLog(rig), error));
        QFile f(rig.path());
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write("garbage\n");
        f.close();
        for (int r = 0; r < m.rowCount(); ++r)
            for (int c = 0; c < m.columnCount(); ++c)
                (void)m.index(r, c).data();
        QCOMPARE(m.exchange(8).message, QStringLiteral("Файл журнала изменился, запись не читается"));
        QVERIFY(!m.open(rig.dir.filePath(QStringLiteral("missing.log")), error));
        QVERIFY(!error.isEmpty());
        QCOMPARE(m.rowCount(), 0);
    }

    void formOpensFiltersAndShowsDetails()
    {
        ExchangeLogRig rig;
        const QString path = writeLog(rig);
        Viewer v;
        v.host.openScreen<ExchangeLogViewer>();
        auto *table = widget<QTableView>(*v.form, QStringLiteral("exchangeTable"));
        auto *counts = widget<QLabel>(*v.form, QStringLiteral("statusPanel"));
        QCOMPARE(table->model()->rowCount(), 0);
        QCOMPARE(counts->text(), QStringLiteral("Журнал не открыт"));

        v.prompter.files.push_back(path);
        widget<QPushButton>(*v.form, QStringLiteral("openFileButton"))->click();
        QCOMPARE(v.prompter.shown.value(0).kind, RecordingPrompter::Shown::OpenFile);
        QCOMPARE(table->model()->rowCount(), 9);
        QCOMPARE(counts->text(), QStringLiteral("Обменов: 9, неудачных: 5, показано: 9"));
        // The first exchange is chosen and shown whole.
        auto *details = widget<QPlainTextEdit>(*v.form, QStringLiteral("detailsEdit"));
        QVERIFY(details->toPlainText().contains(QStringLiteral("Команда 28h: Получение параметров регистратора")));
        QVERIFY(details->toPlainText().contains(QStringLiteral("SYN: 3")));

        widget<QCheckBox>(*v.form, QStringLiteral("errorsOnlyCheck"))->setChecked(true);
        QCOMPARE(table->model()->rowCount(), 5);
        auto *combo = widget<QComboBox>(*v.form, QStringLiteral("commandCombo"));
        QCOMPARE(combo->count(), 6);
        combo->setCurrentIndex(combo->findData(0x62));
        QCOMPARE(table->model()->rowCount(), 1);
        QCOMPARE(counts->text(), QStringLiteral("Обменов: 9, неудачных: 5, показано: 1"));
        table->selectRow(0);
        QVERIFY(details->toPlainText().contains(QStringLiteral("Неизвестный тип продажи!")));

        auto *search = widget<QLineEdit>(*v.form, QStringLiteral("searchEdit"));
        combo->setCurrentIndex(0);
        widget<QCheckBox>(*v.form, QStringLiteral("errorsOnlyCheck"))->setChecked(false);
        QTest::keyClicks(search, QStringLiteral("nak"));
        QTest::keyClick(search, Qt::Key_Return);
        QCOMPARE(table->model()->rowCount(), 1);

        // A new opening starts afresh.
        v.form->hide();
        v.host.openScreen<ExchangeLogViewer>();
        QCOMPARE(table->model()->rowCount(), 0);
        QVERIFY(search->text().isEmpty());

        // An unreadable file is said so.
        v.prompter.files.push_back(rig.dir.filePath(QStringLiteral("missing.log")));
        widget<QPushButton>(*v.form, QStringLiteral("openFileButton"))->click();
        QVERIFY(v.prompter.messages().value(0).startsWith(QStringLiteral("Не удается открыть журнал обмена")));
    }

    // From the menu, as from the monitor, the viewer opens on the program's current log;
    // without a log it opens empty, without a message.
    void menuOpensTheCurrentLog()
    {
        Viewer v;
        v.host.openScreen<ExchangeLogViewer>();
        QVERIFY(widget<QLineEdit>(*v.form, QStringLiteral("fileEdit"))->text().isEmpty());
        v.form->hide();
        v.app.link().Log().SetLogFileName(v.dir.filePath(QStringLiteral("dizivu.log")));
        v.host.openScreen<ExchangeLogViewer>();
        QVERIFY(widget<QLineEdit>(*v.form, QStringLiteral("fileEdit"))->text().isEmpty()); // not written yet
        v.form->hide();
        v.app.execute(0x21, "482913;");
        v.host.openScreen<ExchangeLogViewer>();
        QCOMPARE(widget<QLineEdit>(*v.form, QStringLiteral("fileEdit"))->text(), v.dir.filePath(QStringLiteral("dizivu.log")));
        QCOMPARE(v.form->model().exchangeCount(), 1);
        QVERIFY(v.prompter.messages().isEmpty());
    }

    void monitorOpensItsCurrentLog()
    {
        Viewer v;
        v.app.link().Log().SetLogFileName(v.dir.filePath(QStringLiteral("dizivu.log")));
        v.app.execute(0x21, "482913;");
        v.app.execute(0x28, "111111;");
        v.host.openScreen(QStringLiteral("TForm28"));
        widget<QPushButton>(*v.host.screen(QStringLiteral("TForm28")), QStringLiteral("exchangeLogButton"))->click();
        QCOMPARE(v.host.opened.last(), QStringLiteral("ExchangeLogViewer"));
        QCOMPARE(widget<QLineEdit>(*v.form, QStringLiteral("fileEdit"))->text(), v.dir.filePath(QStringLiteral("dizivu.log")));
        QCOMPARE(v.form->model().exchangeCount(), 2);
        QCOMPARE(v.form->model().failedCount(), 1);

        // The log goes on; read again, it shows the new exchanges.
        v.app.execute(0x21, "482913;");
        widget<QPushButton>(*v.form, QStringLiteral("reloadButton"))->click();
        QCOMPARE(v.form->model().exchangeCount(), 3);
    }
};

QTEST_MAIN(ExchangeLogViewTest)
#include "tst_exchange_log_view.moc"
