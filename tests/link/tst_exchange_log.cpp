// The exchange log written through real exchanges, line by line.
#include "link/code_page.h"
#include "emulator/registrar.h"
#include "link/device_link.h"
#include "support/emulator_process.h"
#include "support/loopback_transport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>
#include <unistd.h>

namespace {

const QString kStamp = QStringLiteral("[ 1-3][0-9]-[01][0-9]-[0-9]{4} [ 12][0-9]:[0-5][0-9]:[0-5][0-9]");

QList<QByteArray> linesOf(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    QList<QByteArray> lines = f.readAll().split('\n');
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

void matchComment(const QByteArray &line, const QString &label)
{
    const QRegularExpression re(QStringLiteral("^;") + kStamp + QStringLiteral("  ") + QRegularExpression::escape(label) + QLatin1Char('$'));
    QVERIFY2(re.match(code_page::fromDevice(line)).hasMatch(), qPrintable(code_page::fromDevice(line)));
}

struct Rig {
    QTemporaryDir dir;
    QString oldCwd = QDir::currentPath();
    VirtualClock clock;
    emu::Registrar registrar;
    DeviceLink link{clock};
    Rig()
    {
        QDir::setCurrent(dir.path());
        link.attachTransport(std::make_unique<LoopbackTransport>(registrar, clock));
        link.Sequence().start(0); // the SEQ bytes below count from 21h
    }
    ~Rig() { QDir::setCurrent(oldCwd); }
    QString path() const { return dir.filePath(QStringLiteral("Orvex.log")); }
};

} // namespace

class ExchangeLogTest : public QObject {
    Q_OBJECT
private slots:
    void offWhileNameIsEmpty()
    {
        Rig rig;
        rig.link.ExecuteCommand(0x21, "482913;");
        QVERIFY(QDir(rig.dir.path()).entryList(QDir::Files).isEmpty());
    }

    void requestAndReplyRecords()
    {
        Rig rig;
        rig.link.Log().SetLogFileName(QStringLiteral("Orvex.log"));
        rig.registrar.injectFault(emu::Fault{emu::Fault::SynBefore, 3, 100});
        const CommandResult *r = rig.link.ExecuteCommand(0x28, "482913;");
        const QList<QByteArray> lines = linesOf(rig.path());
        QCOMPARE(lines.size(), 4);
        matchComment(lines[0], QStringLiteral("21"));
        QCOMPARE(lines[1], QByteArray("28482913;"));
        matchComment(lines[2], QStringLiteral("21 SYN=3"));
        QCOMPARE(lines[3], r->reply);
        QCOMPARE(rig.link.Log().logFilePath(), rig.path());
    }

    void emptyParametersAndHexLabels()
    {
        Rig rig;
        rig.link.Log().SetLogFileName(QStringLiteral("Orvex.log"));
        rig.link.ExecuteCommand(0x2A, QByteArray());
        for (int i = 0; i < 10; ++i)
            rig.link.ExecuteCommand(0x21, "482913;");
        const QList<QByteArray> lines = linesOf(rig.path());
        matchComment(lines[0], QStringLiteral("21"));
        QCOMPARE(lines[1], QByteArray("2A"));
        matchComment(lines.at(lines.size() - 4), QStringLiteral("2B")); // the eleventh request
    }

    void commentsOff()
    {
        Rig rig;
        rig.link.Log().SetLogFileName(QStringLiteral("Orvex.log"));
        rig.link.Log().setCommentsEnabled(false);
        rig.link.ExecuteCommand(0x21, "482913;");
        rig.link.ExecuteCommand(0x28, "482913;");
        QCOMPARE(linesOf(rig.path()), (QList<QByteArray>{"21482913;", "28482913;"}));
    }

    void silentReplyIsAFrameRecordNotASessionEnd()
    {
        Rig rig;
        rig.link.Log().SetLogFileName(QStringLiteral("Orvex.log"));
        rig.link.SetReplyCount(0);
        rig.registrar.injectFault(emu::Fault{emu::Fault::Silence});
        rig.link.ExecuteCommand(0x21, "482913;");
        const QList<QByteArray> lines = linesOf(rig.path());
        QCOMPARE(lines.size(), 4);
        matchComment(lines[2], QStringLiteral("21 SYN=0 нет ответа"));
        QCOMPARE(lines[3], QByteArray());
    }

    void silentExchangeAfterAGoodReplyLogsNoReply()
    {
        // The earlier reply's copy must not be logged again as this exchange's reply.
        Rig rig;
        rig.link.Log().SetLogFileName(QStringLiteral("Orvex.log"));
        rig.link.SetReplyCount(0);
        const QByteArray good = rig.link.ExecuteCommand(0x28, "482913;")->reply;
        rig.registrar.injectFault(emu::Fault{emu::Fault::Silence});
        rig.link.ExecuteCommand(0x21, "482913;");
        const QList<QByteArray> lines = linesOf(rig.path());
        QCOMPARE(lines.size(), 8);
        QCOMPARE(lines[3], good);
        matchComment(lines[6], QStringLiteral("22 SYN=0 нет ответа"));
        QCOMPARE(lines[7], QByteArray());
    }

    void foreignFrameIsNotedAndDropped()
    {
        // An answer given up on (it came after the silence limit) arrives inside the next
        // exchange.
        Rig rig;
        rig.link.Log().SetLogFileName(QStringLiteral("Orvex.log"));
        rig.link.SetReplyCount(0);
        rig.registrar.injectFault(emu::Fault{emu::Fault::Delayed, 1, 5300});
        QVERIFY(rig.link.ExecuteCommand(0x21, "482913;")->noReply());
        const CommandResult *r = rig.link.ExecuteCommand(0x28, "482913;");
        QCOMPARE(r->fieldCount, 7);
        const QList<QByteArray> lines = linesOf(rig.path());
        QCOMPARE(lines.size(), 9);
        QVERIFY2(code_page::fromDevice(lines[6]).contains(QStringLiteral("  22 чужой кадр отброшен (команда 21): \x01")),
                 lines[6].constData());
        matchComment(lines[7], QStringLiteral("22 SYN=0"));
        QCOMPARE(lines[8], r->reply);

        // With comments off the log keeps only the requests.
        Rig quiet;
        quiet.link.Log().SetLogFileName(QStringLiteral("Orvex.log"));
        quiet.link.Log().setCommentsEnabled(false);
        quiet.link.SetReplyCount(0);
        quiet.registrar.injectFault(emu::Fault{emu::Fault::Delayed, 1, 5300});
        quiet.link.ExecuteCommand(0x21, "482913;");
        quiet.link.ExecuteCommand(0x28, "482913;");
        QCOMPARE(linesOf(quiet.path()), (QList<QByteArray>{"21482913;", "28482913;"}));
    }

    void pathIsWorkedOutOnce()
    {
        Rig rig;
        rig.link.Log().SetLogFileName(QStringLiteral("Orvex.log"));
        rig.link.ExecuteCommand(0x21, "482913;");
        QTemporaryDir elsewhere;
        QDir::setCurrent(elsewhere.path());
        rig.link.ExecuteCommand(0x21, "482913;");
        QCOMPARE(linesOf(rig.path()).size(), 8);
        QVERIFY(QDir(elsewhere.path()).entryList(QDir::Files).isEmpty());
    }

    void absoluteNameIsWrittenWhereGiven()
    {
        Rig rig;
        QTemporaryDir logs;
        const QString absolute = logs.filePath(QStringLiteral("abs.log"));
        rig.link.Log().SetLogFileName(absolute);
        rig.link.ExecuteCommand(0x21, "482913;");
        QCOMPARE(rig.link.Log().logFilePath(), absolute);
        QCOMPARE(linesOf(absolute).size(), 4);
        QVERIFY(QDir(rig.dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot).isEmpty());
    }

    void namesLeavingTheirFolderAreRefused_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("parent") << QStringLiteral("../up.log") << false;
        QTest::newRow("inner parent") << QStringLiteral("sub/../../up.log") << false;
        QTest::newRow("bare parent") << QStringLiteral("..") << false;
        QTest::newRow("absolute with parent") << QStringLiteral("@/sub/../up.log") << false;
        QTest::newRow("NUL") << QStringLiteral("a.log") + QChar(u'\0') + QStringLiteral("x") << false;
        QTest::newRow("dots in a name") << QStringLiteral("..a..log") << true;
        QTest::newRow("sub-folder") << QStringLiteral("sub/in.log") << true;
        QTest::newRow("current folder") << QStringLiteral("./sub/./in.log") << true;
    }
    void namesLeavingTheirFolderAreRefused()
    {
        QFETCH(QString, name);
        QFETCH(bool, accepted);
        // The working folder sits one level down, so "up" is still inside the scratch folder.
        Rig rig;
        QVERIFY(QDir(rig.dir.path()).mkpath(QStringLiteral("work/sub")));
        QDir::setCurrent(rig.dir.filePath(QStringLiteral("work")));
        name.replace(QLatin1Char('@'), rig.dir.filePath(QStringLiteral("work")));
        QCOMPARE(ExchangeLog::acceptsName(name), accepted);
        rig.link.Log().SetLogFileName(name);
        QCOMPARE(rig.link.Log().nameRefused(), !accepted);
        rig.link.ExecuteCommand(0x21, "482913;");
        QVERIFY(!QFileInfo::exists(rig.dir.filePath(QStringLiteral("up.log"))));
        QVERIFY(!QFileInfo::exists(rig.dir.filePath(QStringLiteral("work/a.log"))));
        if (accepted) {
            QCOMPARE(linesOf(rig.link.Log().logFilePath()).size(), 4);
            QVERIFY(rig.link.Log().logFilePath().startsWith(rig.dir.filePath(QStringLiteral("work/"))));
        } else {
            QCOMPARE(rig.link.Log().logFilePath(), QString());
        }
    }

    void linkInPlaceOfTheLogIsRefused()
    {
        // A link planted under the log's name must not carry the records to its target.
        Rig rig;
        QTemporaryDir elsewhere;
        const QString target = elsewhere.filePath(QStringLiteral("victim"));
        QFile victim(target);
        QVERIFY(victim.open(QIODevice::WriteOnly));
        victim.write("keep\n");
        victim.close();
        QVERIFY(QFile::link(target, rig.path()));
        rig.link.Log().SetLogFileName(QStringLiteral("Orvex.log"));
        QCOMPARE(rig.link.ExecuteCommand(0x21, "482913;")->flags, 0u);
        QCOMPARE(linesOf(target), (QList<QByteArray>{"keep"}));
        QVERIFY(QFileInfo(rig.path()).isSymLink());
    }

    void linkedFolderIsFollowed()
    {
        // A folder on the way that is a link leads where it says: the file lands in its target.
        Rig rig;
        QTemporaryDir real;
        QVERIFY(QFile::link(real.path(), rig.dir.filePath(QStringLiteral("logs"))));
        rig.link.Log().SetLogFileName(QStringLiteral("logs/in.log"));
        rig.link.ExecuteCommand(0x21, "482913;");
        QCOMPARE(linesOf(real.filePath(QStringLiteral("in.log"))).size(), 4);
    }

    void pipeInPlaceOfTheLogNeverBlocks()
    {
        Rig rig;
        QVERIFY(::mkfifo(QFile::encodeName(rig.path()).constData(), 0600) == 0);
        rig.link.Log().SetLogFileName(QStringLiteral("Orvex.log"));
        QCOMPARE(rig.link.ExecuteCommand(0x21, "482913;")->flags, 0u);
        QVERIFY(!QFileInfo(rig.path()).isFile());
    }

    void unwritableLogDropsRecordsQuietly()
    {
        Rig rig;
        rig.link.Log().SetLogFileName(QStringLiteral("no-such-folder/Orvex.log"));
        QCOMPARE(rig.link.ExecuteCommand(0x21, "482913;")->flags, 0u);
        // Nothing in its place: no folder made for it, no file under another name or in
        // the working folder.
        QCOMPARE(QDir(rig.dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden), QStringList());
        QCOMPARE(QDir::currentPath(), rig.dir.path());
    }

    void sessionLinesOnSerialOpenAndClose()
    {
        EmulatorProcess emu;
        QTemporaryDir dir;
        const QString old = QDir::currentPath();
        QDir::setCurrent(dir.path());
        DeviceLink link;
        link.Log().SetLogFileName(QStringLiteral("session.log"));
        QVERIFY(link.OpenSerial(emu.path(), 9600));
        link.ExecuteCommand(0x21, "482913;");
        link.CloseSerial();
        QDir::setCurrent(old);
        const QList<QByteArray> lines = linesOf(dir.filePath(QStringLiteral("session.log")));
        QCOMPARE(lines.size(), 6);
        const QRegularExpression start(QStringLiteral("^;Начало сеанса   ") + kStamp + QStringLiteral(" $"));
        const QRegularExpression end(QStringLiteral("^;Конец Сеанса   ") + kStamp + QStringLiteral(" $"));
        QVERIFY(start.match(code_page::fromDevice(lines.first())).hasMatch());
        QVERIFY(end.match(code_page::fromDevice(lines.last())).hasMatch());
    }
};

QTEST_GUILESS_MAIN(ExchangeLogTest)
#include "tst_exchange_log.moc"
