// The rules that turn the 0x80 reply and the settings into what the screens read: one
// table of models, versions and settings, and the flags every connection derives.
#include "app/app_config.h"
#include "app/app_state.h"
#include "app/identification.h"
#include "link/code_page.h"
#include "link/command_result.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

namespace {

// A 0x80 reply: model, version, serial number, seven fields the rules do not read, tax
// groups (field 10) and payment forms (field 11).
CommandResult diagnostic(const QString &model, const QString &version, const QByteArray &taxGroups,
                         const QByteArray &paymentForms)
{
    CommandResult r;
    const QByteArray data = code_page::toDevice(model) + ';' + code_page::toDevice(version) + ";ЗН 1;1;2;3;4;5;6;"
        + taxGroups + ';' + paymentForms + ';';
    r.fieldCount = reply_parsing::splitFields(data, r.fields);
    return r;
}

} // namespace

class IdentificationTest : public QObject {
    Q_OBJECT

private slots:
    void rules_data()
    {
        QTest::addColumn<QString>("model");
        QTest::addColumn<QString>("settings"); // the [UkrVer] and [Priority] sections
        QTest::addColumn<bool>("serial");
        QTest::addColumn<QByteArray>("forms");
        QTest::addColumn<QString>("version");  // what the state keeps
        QTest::addColumn<int>("paymentForms");
        // rgt, data-transfer family, small font on the control tape, 57 mm paper
        QTest::addColumn<QString>("flags");

        auto row = [](const char *tag, const QString &model, const QString &settings, bool serial,
                      const QByteArray &forms, const QString &version, int paymentForms, const char *flags) {
            QTest::newRow(tag) << model << settings << serial << forms << version << paymentForms << QString::fromLatin1(flags);
        };
        const QString none;
        const QString v2 = QStringLiteral("[UkrVer]\nVersion=2\n");
        row("KM-1: family, small font", "Korvan KM-1", none, true, "6", "3.01", 6, "-FS-");
        row("KM-1M: 57 mm, not the family", "KM-1M", none, true, "0", "3.01", 10, "---P");
        row("6208: family", "Korvan 6208", none, false, "4", "3.01", 4, "-F--");
        row("RGT9", "Korvan RGT9", none, true, "10", "3.01", 10, "R---");
        row("KV-T8: 57 mm", "Korvan KV-T8", none, true, "x", "3.01", 10, "---P");
        row("eKV-60: 57 mm", "eKV-60", none, true, "-3", "3.01", 10, "---P");
        row("a model of its own", "Korvan GT9", none, true, "2", "3.01", 2, "----");
        row("settings' version on serial", "Korvan GT9", v2, true, "2", "3.00", 2, "----");
        row("registrar's version on USB", "Korvan GT9", v2, false, "2", "3.01", 2, "----");
        row("a version index out of range", "Korvan GT9", QStringLiteral("[UkrVer]\nVersion=4\n"), true, "2", "3.01", 2,
            "----");
        row("first version", "Korvan GT9", QStringLiteral("[UkrVer]\nVersion=0\n"), true, "2", "2.01", 2, "----");
    }
    void rules()
    {
        QFETCH(QString, model);
        QFETCH(QString, settings);
        QFETCH(bool, serial);
        QFETCH(QByteArray, forms);
        QFETCH(QString, version);
        QFETCH(int, paymentForms);
        QFETCH(QString, flags);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("dizivu.ini"));
        QFile ini(path);
        QVERIFY(ini.open(QIODevice::WriteOnly));
        // The settings file is kept in the registrar's code page.
        ini.write(code_page::toDevice(settings + QStringLiteral("[Priority]\nLevel=high\nElJournal=КСЕФ\n")));
        ini.close();
        const AppConfig config(path);

        AppState s;
        s.showSmallFontReceipt = true; // what an earlier connection may have left
        s.showPaper57 = true;
        identification::apply(s, diagnostic(model, QStringLiteral("3.01"), "4", forms), config,
                              serial ? identification::Connection::Serial : identification::Connection::Usb);
        QCOMPARE(s.modelName, model);
        QCOMPARE(s.softwareVersion, version);
        QCOMPARE(s.taxGroupCount, 4);
        QCOMPARE(s.paymentFormCount, paymentForms);
        const QString got = QString(s.rgtModel ? u'R' : u'-') + (s.dataTransferFamily ? u'F' : u'-')
            + (s.showSmallFontControlTape ? u'S' : u'-') + (s.showPaper57 ? u'P' : u'-');
        QCOMPARE(got, flags);
        QVERIFY(!s.showSmallFontReceipt);
        QCOMPARE(s.priorityLevel, QStringLiteral("high"));
        QCOMPARE(s.elJournal, QStringLiteral("КСЕФ"));
    }
};

QTEST_GUILESS_MAIN(IdentificationTest)
#include "tst_identification.moc"
