// What the program writes lands only where it was told: the settings file through a
// link, a script run, the exchange log named on dizivu-cli's command line.
#include "app/ini_file.h"
#include "scripts/script_runner.h"
#include "support/cli_run.h"
#include "support/emulated_app.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

namespace {

QStringList entries(const QString &folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                                  QDir::Name);
}

QByteArray contentsOf(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool put(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}

class QuietSink final : public ScriptSink {
public:
    void logLine(const QString &) override {}
};

// Working folder for the length of one test.
struct WorkingFolder {
    QString old = QDir::currentPath();
    explicit WorkingFolder(const QString &path) { QDir::setCurrent(path); }
    ~WorkingFolder() { QDir::setCurrent(old); }
};

} // namespace

class PathsTest : public QObject {
    Q_OBJECT
private slots:
    void settingsLinkIsFollowedAndStaysALink()
    {
        // dizivu.ini may be a link to a file kept elsewhere: the write goes to that file,
        // which keeps its mode, and the link stays a link.
        QTemporaryDir work, shared;
        const QString target = shared.filePath(QStringLiteral("real.ini"));
        const QString link = work.filePath(QStringLiteral("dizivu.ini"));
        QVERIFY(put(target, "; kept\r\n[A]\r\nk=1\r\n"));
        QVERIFY(::chmod(QFile::encodeName(target).constData(), 0640) == 0);
        QVERIFY(QFile::link(target, link));

        const IniFile ini(link);
        QVERIFY(ini.writeString(QStringLiteral("A"), QStringLiteral("k"), QStringLiteral("2")));
        QVERIFY(ini.writeString(QStringLiteral("B"), QStringLiteral("n"), QStringLiteral("3")));

        QVERIFY(QFileInfo(link).isSymLink());
        QCOMPARE(QFileInfo(link).symLinkTarget(), target);
        QCOMPARE(contentsOf(target), QByteArray("; kept\r\n[A]\r\nk=2\r\n[B]\r\nn=3\r\n"));
        struct stat st {};
        QVERIFY(::stat(QFile::encodeName(target).constData(), &st) == 0);
        QCOMPARE(uint(st.st_mode & 07777), 0640u);
        // No temporary file is left behind on either side.
        QCOMPARE(entries(work.path()), QStringList{QStringLiteral("dizivu.ini")});
        QCOMPARE(entries(shared.path()), QStringList{QStringLiteral("real.ini")});
    }

    void scriptRunWritesOnlyItsLog()
    {
        EmulatedApp rig;
        QTemporaryDir scripts, cwd, logs;
        WorkingFolder here(cwd.path());
        const QString script = scripts.filePath(QStringLiteral("s.txt"));
        const QByteArray text = "+ start\r\n21482913;\r\n28482913;\r\n%Delay 10\r\n";
        QVERIFY(put(script, text));
        const QStringList settingsBefore = entries(rig.dir.path());
        rig.app.link().Log().SetLogFileName(logs.filePath(QStringLiteral("run.log")));

        QuietSink sink;
        ScriptRunner runner(rig.app, sink);
        runner.setScript(script);
        QCOMPARE(runner.run(), ScriptRunner::Outcome::EndOfFile);

        QCOMPARE(rig.registrar.journal().size(), 2);
        QCOMPARE(contentsOf(script), text);
        QCOMPARE(entries(scripts.path()), QStringList{QStringLiteral("s.txt")});
        QCOMPARE(entries(cwd.path()), QStringList());
        QCOMPARE(entries(logs.path()), QStringList{QStringLiteral("run.log")});
        QCOMPARE(entries(rig.dir.path()), settingsBefore);
    }

    void cliRefusesALogNameLeavingItsFolder()
    {
        // Refused before the port is opened: the port given does not even exist.
        QTemporaryDir top;
        QVERIFY(QDir(top.path()).mkdir(QStringLiteral("work")));
        const QString work = top.filePath(QStringLiteral("work"));
        const CliRun r = runCli({QStringLiteral("--port"), top.filePath(QStringLiteral("no-port")), QStringLiteral("--log"),
                                 QStringLiteral("../up.log"), QStringLiteral("send"), QStringLiteral("21"),
                                 QStringLiteral("482913;")},
                                work);
        QCOMPARE(r.exitCode, 4);
        QVERIFY2(r.err.contains(QStringLiteral("--log")), qPrintable(r.err));
        QCOMPARE(entries(top.path()), QStringList{QStringLiteral("work")});
        QCOMPARE(entries(work), QStringList());
    }
};

QTEST_GUILESS_MAIN(PathsTest)
#include "tst_paths.moc"
