#include "app/app_config.h"
#include "link/code_page.h"
#include "support/as_identity.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

class AppConfigTest : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QString m_path;

    void put(const QString &text)
    {
        QFile f(m_path);
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(code_page::toDevice(text));
    }
    QByteArray contents() const
    {
        QFile f(m_path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

private slots:
    void init()
    {
        QVERIFY(m_dir.isValid());
        m_path = m_dir.filePath(QStringLiteral("dizivu.ini"));
        QFile::remove(m_path);
    }

    void createsMissingFile()
    {
        AppConfig config(m_path);
        QCOMPARE(config.ensureFile(), AppConfig::FileState::Created);
        QCOMPARE(contents(), QByteArray("[CountryMode]\r\nCountry code=0\r\n"
                                        "[Fiscal Printer]\r\nExtendedTax=1\r\n"
                                        "[LogFile]\r\nLog=0\r\nLogName=orvex.log\r\n"));
        QCOMPARE(config.log(), 0);
        QCOMPARE(config.logName(), QStringLiteral("orvex.log"));
        QCOMPARE(config.ensureFile(), AppConfig::FileState::Present);
        QCOMPARE(AppConfig::creationNotice(), QStringLiteral("Файл dizivu.ini отсутствует.\n Создание файла!"));
    }

    void existingFileUntouched()
    {
        put(QStringLiteral("; mine\n[Communication]\nPort=COM2\n"));
        const QByteArray before = contents();
        AppConfig config(m_path);
        QCOMPARE(config.ensureFile(), AppConfig::FileState::Present);
        QCOMPARE(contents(), before);
        QCOMPARE(config.port(), QStringLiteral("COM2"));
    }

    void defaultsWhenAbsent()
    {
        put(QStringLiteral("[Other]\nx=1\n"));
        AppConfig config(m_path);
        QCOMPARE(config.port(), QString());
        QCOMPARE(config.speed(), QString());
        QCOMPARE(config.terminal(), QString());
        QCOMPARE(config.log(), 0);
        QCOMPARE(config.logName(), QStringLiteral("Orvex.log"));
        QCOMPARE(config.comments(), QStringLiteral("Yes"));
        QVERIFY(!config.commentsSuppressed());
        QCOMPARE(config.reply(), 1);
        QCOMPARE(config.headFootPar(), 0);
        QCOMPARE(config.level(), QStringLiteral("medium"));
        QCOMPARE(config.elJournal(), QString());
        QCOMPARE(config.cardTerminalPort(), QString());
        QCOMPARE(config.ukrVersion(), -1);
        QCOMPARE(config.numFiles(), 5);
        QCOMPARE(config.recentFiles(), QStringList());
    }

    void unwritableLocationStaysOnDefaults()
    {
        put(QStringLiteral("[LogFile]\nLog=1\n"));
        // Below a regular file nothing can be created, whoever runs the test.
        AppConfig config(m_path + QStringLiteral("/dizivu.ini"));
        QCOMPARE(config.ensureFile(), AppConfig::FileState::NotCreated);
        QCOMPARE(config.log(), 0);
        QCOMPARE(config.reply(), 1);
        QCOMPARE(config.logName(), QStringLiteral("Orvex.log"));
        QVERIFY(!config.setPort(QStringLiteral("COM1")));
        QVERIFY(!config.addRecentFile(QStringLiteral("/tmp/a.txt")));
    }

    void readOnlyAndPipeSettingsAreLeftAlone()
    {
        // A read-only file holds for root (who passes the access check) and for an ordinary
        // user, whoever runs the tests: the setter says it did not write.
        QCOMPARE(::chmod(QFile::encodeName(m_dir.path()).constData(), 0755), 0);
        for (const auto &[who, mode] : {std::pair{Identity::Root, 0444}, std::pair{Identity::OrdinaryUser, 0464}}) {
            put(QStringLiteral("[Communication]\nPort=ttyS1\n"));
            QCOMPARE(::chmod(QFile::encodeName(m_path).constData(), mode_t(mode)), 0);
            const AsIdentity r = runAs(who, [this] {
                AppConfig config(m_path);
                return config.ensureFile() == AppConfig::FileState::Present && !config.setPort(QStringLiteral("ttyS2"))
                       && config.port() == QStringLiteral("ttyS1");
            });
            if (r.ran)
                QVERIFY2(r.passed, who == Identity::Root ? "as root" : "as an ordinary user");
            else
                qInfo("not tried: %s", qPrintable(r.why));
            struct stat st {};
            QCOMPARE(::stat(QFile::encodeName(m_path).constData(), &st), 0);
            QCOMPARE(int(st.st_mode & 07777), mode);
            QVERIFY(QFile::remove(m_path));
        }
        AppConfig config(m_path);

        // A named pipe in the file's place gives defaults at once instead of blocking.
        QCOMPARE(::mkfifo(QFile::encodeName(m_path).constData(), 0644), 0);
        QCOMPARE(config.port(), QString());
        QCOMPARE(config.reply(), 1);
        QVERIFY(!config.setSpeed(QStringLiteral("9600")));
        QVERIFY(!config.addRecentFile(QStringLiteral("/tmp/a.txt")));
        QVERIFY(!QFileInfo(m_path).isFile());
    }

    void valuesFromFile()
    {
        put(QStringLiteral("[communication]\r\nPORT = ") + QString(120, QLatin1Char('p'))
            + QStringLiteral("\r\nSpeed=115200\r\nTerminal=1\r\n"
                           "[LogFile]\r\nLog=1\r\nLogName=") + QString(400, QLatin1Char('n'))
            + QStringLiteral("\r\n[Fiscal Printer]\r\nReply=0\r\nHeadFootPar=3\r\n"
                             "[Priority]\r\nLevel=high\r\nElJournal=КСЕФ\r\nPORT=/dev/ttyUSB1\r\nPort=x\r\n"
                             "[UkrVer]\r\nVersion=2\r\n[CountryMode]\r\nCountry code=7\r\n"));
        AppConfig config(m_path);
        QCOMPARE(config.port(), QString(AppConfig::kPortText, QLatin1Char('p')));
        QCOMPARE(config.speed(), QStringLiteral("115200"));
        QCOMPARE(config.terminal(), QStringLiteral("1"));
        QCOMPARE(config.log(), 1);
        QCOMPARE(config.logName(), QString(299, QLatin1Char('n')));
        QCOMPARE(config.reply(), 0);
        QCOMPARE(config.headFootPar(), 3);
        QCOMPARE(config.level(), QStringLiteral("high"));
        QCOMPARE(config.elJournal(), QStringLiteral("КСЕФ"));
        QCOMPARE(config.cardTerminalPort(), QStringLiteral("/dev/ttyUSB1"));
        QCOMPARE(config.ukrVersion(), 2);
        QCOMPARE(config.countryCode(), 7);
    }

    void comments_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<bool>("suppressed");
        QTest::newRow("No") << "[LogFile]\nComments=No\n" << true;
        QTest::newRow("no") << "[LogFile]\nComments=no\n" << false;
        QTest::newRow("NO") << "[LogFile]\nComments=NO\n" << false;
        QTest::newRow("blanks around") << "[LogFile]\nComments=  No \n" << true;
        QTest::newRow("Nope") << "[LogFile]\nComments=Nope\n" << false;
        QTest::newRow("absent") << "[LogFile]\n" << false;
    }

    void comments()
    {
        QFETCH(QString, file);
        QFETCH(bool, suppressed);
        put(file);
        QCOMPARE(AppConfig(m_path).commentsSuppressed(), suppressed);
    }

    void numFiles_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<int>("expected");
        QTest::newRow("50") << "[Files]\nNumFiles=50\n" << 20;
        QTest::newRow("1") << "[Files]\nNumFiles=1\n" << 5;
        QTest::newRow("negative") << "[Files]\nNumFiles=-3\n" << 5;
        QTest::newRow("12") << "[Files]\nNumFiles=12\n" << 12;
        QTest::newRow("not a number") << "[Files]\nNumFiles=many\n" << 5;
        QTest::newRow("absent") << "" << 5;
    }

    void numFiles()
    {
        QFETCH(QString, file);
        QFETCH(int, expected);
        put(file);
        QCOMPARE(AppConfig(m_path).numFiles(), expected);
    }

    void recentFiles()
    {
        put(QStringLiteral("[Files]\r\nNumFiles=5\r\nFile1=e\r\nFile2=d\r\nFile3=c\r\nFile4=b\r\nFile5=a\r\n"
                           "File6=beyond\r\n[After]\r\nx=1\r\n"));
        AppConfig config(m_path);
        QCOMPARE(config.recentFiles(), (QStringList{"e", "d", "c", "b", "a"}));

        // A sixth name drops the oldest.
        QVERIFY(config.addRecentFile(QStringLiteral("/home/user/скрипт.txt")));
        QCOMPARE(config.recentFiles(), (QStringList{QStringLiteral("/home/user/скрипт.txt"), "e", "d", "c", "b"}));

        // A listed name moves to the front instead of standing twice.
        QVERIFY(config.addRecentFile(QStringLiteral("c")));
        QCOMPARE(config.recentFiles(), (QStringList{"c", QStringLiteral("/home/user/скрипт.txt"), "e", "d", "b"}));
        QVERIFY(contents().endsWith("File6=beyond\r\n[After]\r\nx=1\r\n"));

        // Too long to be read back whole: not stored.
        QVERIFY(!config.addRecentFile(QString(500, QLatin1Char('p'))));
        QVERIFY(config.addRecentFile(QString(499, QLatin1Char('p'))));
        QCOMPARE(config.recentFiles().first(), QString(499, QLatin1Char('p')));
    }

    void recentFilesWithGaps()
    {
        put(QStringLiteral("[Files]\nFile2=x\nFile5=y\n"));
        AppConfig config(m_path);
        QCOMPARE(config.recentFiles(), (QStringList{"x", "y"}));
        QVERIFY(config.addRecentFile(QStringLiteral("z")));
        QCOMPARE(config.recentFiles(), (QStringList{"z", "x", "y"}));
        QVERIFY(config.addRecentFile(QStringLiteral("x")));
        QCOMPARE(config.recentFiles(), (QStringList{"x", "z", "y"}));
    }

    void connectionWritesKeepTheRest()
    {
        put(QStringLiteral("[LogFile]\nLog=1\n\n[Communication]\nPort=COM1\n; note\n"));
        AppConfig config(m_path);
        QVERIFY(config.setPort(QStringLiteral("ttyUSB0")));
        QVERIFY(config.setSpeed(QStringLiteral("19200")));
        QCOMPARE(contents(), QByteArray("[LogFile]\nLog=1\n\n[Communication]\nPort=ttyUSB0\nSpeed=19200\n; note\n"));
        QCOMPARE(config.port(), QStringLiteral("ttyUSB0"));
        QCOMPARE(config.speed(), QStringLiteral("19200"));
    }

    void portIndex_data()
    {
        QTest::addColumn<QString>("configured");
        QTest::addColumn<QStringList>("ports");
        QTest::addColumn<int>("expected");
        const QStringList com{"COM1", "COM3", "COM10"};
        QTest::newRow("lower case com3") << "com3" << com << 1;
        QTest::newRow("exact") << "COM10" << com << 2;
        QTest::newRow("not listed") << "COM9" << com << 0;
        QTest::newRow("empty") << "" << com << 0;
        QTest::newRow("no ports") << "COM1" << QStringList() << -1;
        const QStringList dev{"/dev/ttyS0", "/dev/ttyUSB0", "/dev/ttyusb0"};
        QTest::newRow("device path, exact preferred") << "/dev/ttyusb0" << dev << 2;
        QTest::newRow("device path, any case") << "/DEV/TTYS0" << dev << 0;
    }

    void portIndex()
    {
        QFETCH(QString, configured);
        QFETCH(QStringList, ports);
        QFETCH(int, expected);
        QCOMPARE(AppConfig::portIndex(configured, ports), expected);
    }

    void speedIndex_data()
    {
        QTest::addColumn<QString>("configured");
        QTest::addColumn<int>("expected");
        QTest::newRow("listed") << "115200" << 10;
        QTest::newRow("slowest") << "110" << 0;
        QTest::newRow("not listed") << "14400" << 6;
        QTest::newRow("empty") << "" << 6;
    }

    void speedIndex()
    {
        QFETCH(QString, configured);
        QFETCH(int, expected);
        const int index = AppConfig::speedIndex(configured, AppConfig::speeds());
        QCOMPARE(index, expected);
        QCOMPARE(AppConfig::speeds().size(), 11);
        if (configured == QLatin1String("14400"))
            QCOMPARE(AppConfig::speeds().at(index), QStringLiteral("9600"));
        QCOMPARE(AppConfig::speedIndex("x", QStringList{"1", "2"}), 0);
        QCOMPARE(AppConfig::speedIndex("x", QStringList()), -1);
    }

    void locatedInWorkingDirectoryAtFirstUse()
    {
        const QString before = QDir::currentPath();
        const auto restore = qScopeGuard([&] { QDir::setCurrent(before); });
        QTemporaryDir other;
        QVERIFY(other.isValid());
        QVERIFY(QDir::setCurrent(m_dir.path()));
        AppConfig config;
        const QString located = config.filePath();
        QVERIFY(QDir::setCurrent(other.path()));
        QCOMPARE(config.filePath(), located);
        QCOMPARE(QFileInfo(located).fileName(), QStringLiteral("dizivu.ini"));
        QCOMPARE(QFileInfo(QFileInfo(located).absolutePath()).canonicalFilePath(),
                 QFileInfo(m_dir.path()).canonicalFilePath());
        QCOMPARE(config.ensureFile(), AppConfig::FileState::Created);
        QVERIFY(QFile::exists(m_path));
    }
};

QTEST_GUILESS_MAIN(AppConfigTest)
#include "tst_app_config.moc"
