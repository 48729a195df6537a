#include "app/ini_file.h"
#include "link/code_page.h"
#include "support/as_identity.h"

#include <QDir>
#include <QFileInfo>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

// Byte strings with NULs in them.
#define BYTES(literal) QByteArray(literal, sizeof(literal) - 1)

class IniFileTest : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QString m_path;

    void put(const QByteArray &bytes)
    {
        QFile f(m_path);
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        QCOMPARE(f.write(bytes), bytes.size());
    }
    QByteArray contents() const
    {
        QFile f(m_path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

    static uint modeOf(const QString &path)
    {
        struct stat st {};
        return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? uint(st.st_mode & 07777) : 0xFFFFu;
    }

private slots:
    void init()
    {
        QVERIFY(m_dir.isValid());
        m_path = m_dir.filePath(QStringLiteral("test.ini"));
        QFile::remove(m_path);
    }

    void roundTripCreatesFile()
    {
        IniFile ini(m_path);
        QCOMPARE(ini.readString("A", "k", "dflt", 9), QStringLiteral("dflt"));
        QCOMPARE(ini.readInt("A", "n", -1), -1);

        QVERIFY(ini.writeString("A", "k", "v"));
        QVERIFY(ini.writeString("Fiscal Printer", "Reply", "3"));
        QVERIFY(ini.writeString("A", "name", QStringLiteral("Касса №1")));
        QVERIFY(ini.writeString("A", "k", "w"));

        QCOMPARE(contents(), code_page::toDevice(QStringLiteral(
                                 "[A]\r\nk=w\r\nname=Касса №1\r\n[Fiscal Printer]\r\nReply=3\r\n")));
        QCOMPARE(ini.readString("a", "K", "", 9), QStringLiteral("w"));
        QCOMPARE(ini.readString("A", "name", "", 99), QStringLiteral("Касса №1"));
        QCOMPARE(ini.readInt("fiscal printer", "reply", 1), 3);
        // Nothing but the file is left in the folder.
        QCOMPARE(QDir(m_dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"test.ini"});
    }

    void writeKeepsTheRest_data()
    {
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<QString>("section");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QByteArray>("after");

        QTest::newRow("replace, comments and blanks kept")
            << QByteArray("; settings\r\n[A]\r\nx=1\r\n\r\n[B]\r\ny=2\r\nz=3\r\n") << "B" << "y" << "20"
            << QByteArray("; settings\r\n[A]\r\nx=1\r\n\r\n[B]\r\ny=20\r\nz=3\r\n");
        QTest::newRow("spelling and blanks around = kept")
            << QByteArray("[LogFile]\n  LOG = 1 \n") << "logfile" << "Log" << "0"
            << QByteArray("[LogFile]\n  LOG = 0\n");
        QTest::newRow("new key after the last key of its section")
            << QByteArray("[A]\nx=1\n\n[B]\ny=2\n") << "A" << "z" << "9"
            << QByteArray("[A]\nx=1\nz=9\n\n[B]\ny=2\n");
        QTest::newRow("new key in an empty section")
            << QByteArray("[A]\r\n[B]\r\nk=1\r\n") << "a" << "k" << "v"
            << QByteArray("[A]\r\nk=v\r\n[B]\r\nk=1\r\n");
        QTest::newRow("new key, last line without newline")
            << QByteArray("[A]\nx=1") << "A" << "y" << "2" << QByteArray("[A]\nx=1\ny=2\n");
        QTest::newRow("new section, last line without newline")
            << QByteArray("[A]\r\nx=1") << "C" << "k" << "v" << QByteArray("[A]\r\nx=1\r\n[C]\r\nk=v\r\n");
        QTest::newRow("mixed endings kept")
            << QByteArray("[A]\nx=1\r\ny=2\n") << "A" << "x" << "5" << QByteArray("[A]\nx=5\r\ny=2\n");
        QTest::newRow("first of duplicate keys")
            << QByteArray("[A]\nk=1\nk=2\n") << "A" << "K" << "7" << QByteArray("[A]\nk=7\nk=2\n");
        QTest::newRow("first of duplicate sections")
            << QByteArray("[A]\nx=1\n[B]\n[a]\nk=2\n") << "A" << "k" << "3"
            << QByteArray("[A]\nx=1\nk=3\n[B]\n[a]\nk=2\n");
        QTest::newRow("keys before any section are no match")
            << QByteArray("k=1\n") << "A" << "k" << "2" << QByteArray("k=1\n[A]\nk=2\n");
        QTest::newRow("commented key is no match")
            << QByteArray("[A]\n;k=1\n") << "A" << "k" << "2" << QByteArray("[A]\nk=2\n;k=1\n");
        QTest::newRow("binary and garbage lines kept")
            << BYTES("\x00\xff junk\n[A]\nno equals\nk=1\n\x98\x01=\n") << "A" << "k" << "2"
            << BYTES("\x00\xff junk\n[A]\nno equals\nk=2\n\x98\x01=\n");
        QTest::newRow("byte order mark kept")
            << QByteArray("\xEF\xBB\xBF[A]\r\nk=1\r\n") << "A" << "k" << "2"
            << QByteArray("\xEF\xBB\xBF[A]\r\nk=2\r\n");
        QTest::newRow("empty value") << QByteArray("[A]\nk=1\n") << "A" << "k" << "" << QByteArray("[A]\nk=\n");
        QTest::newRow("empty file") << QByteArray() << "A" << "k" << "v" << QByteArray("[A]\r\nk=v\r\n");
        QTest::newRow("Cyrillic names and value")
            << code_page::toDevice(QStringLiteral("[ПРИОРИТЕТ]\nЖУРНАЛ=x\n")) << QStringLiteral("приоритет")
            << QStringLiteral("журнал") << QStringLiteral("КСЕФ")
            << code_page::toDevice(QStringLiteral("[ПРИОРИТЕТ]\nЖУРНАЛ=КСЕФ\n"));
    }

    void writeKeepsTheRest()
    {
        QFETCH(QByteArray, before);
        QFETCH(QString, section);
        QFETCH(QString, key);
        QFETCH(QString, value);
        QFETCH(QByteArray, after);

        put(before);
        IniFile ini(m_path);
        QVERIFY(ini.writeString(section, key, value));
        QCOMPARE(contents(), after);
        QCOMPARE(ini.readString(section, key, "dflt", 99), value);
    }

    void read_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QString>("section");
        QTest::addColumn<QString>("key");
        QTest::addColumn<int>("capacity");
        QTest::addColumn<QString>("expected");

        QTest::newRow("blanks around value") << QByteArray("[A]\nk =  v w \t\n") << "A" << "k" << 99 << "v w";
        QTest::newRow("double quotes dropped") << QByteArray("[A]\nk=\" x \"\n") << "A" << "k" << 99 << " x ";
        QTest::newRow("single quotes dropped") << QByteArray("[A]\nk='x'\n") << "A" << "k" << 99 << "x";
        QTest::newRow("unmatched quote kept") << QByteArray("[A]\nk=\"x\n") << "A" << "k" << 99 << "\"x";
        QTest::newRow("cut to capacity") << QByteArray("[A]\nk=COM123456789\n") << "A" << "k" << 9 << "COM123456";
        QTest::newRow("no capacity") << QByteArray("[A]\nk=x\n") << "A" << "k" << 0 << "";
        QTest::newRow("case of names") << QByteArray("[fiscal PRINTER]\nREPLY=3\n") << "Fiscal Printer"
                                       << "Reply" << 9 << "3";
        QTest::newRow("blank in key name") << QByteArray("[CountryMode]\r\nCountry code = 4\r\n")
                                           << "CountryMode" << "country CODE" << 9 << "4";
        QTest::newRow("blanks in brackets") << QByteArray("  [ A ]  \n k=1\n") << "A" << "k" << 9 << "1";
        QTest::newRow("first duplicate key wins") << QByteArray("[A]\nk=1\nK=2\n") << "A" << "k" << 9 << "1";
        QTest::newRow("first duplicate section only") << QByteArray("[A]\n[B]\n[A]\nk=1\n") << "A" << "k" << 9
                                                      << "dflt";
        QTest::newRow("key of another section") << QByteArray("[A]\nk=1\n[B]\n") << "B" << "k" << 9 << "dflt";
        QTest::newRow("unclosed bracket is no section") << QByteArray("[A\nk=1\n") << "A" << "k" << 9 << "dflt";
        QTest::newRow("CR LF and no final newline") << QByteArray("[A]\r\nx=1\r\nk=v") << "A" << "k" << 9 << "v";
        QTest::newRow("empty value is not the default") << QByteArray("[A]\nk=\n") << "A" << "k" << 9 << "";
        QTest::newRow("= in value") << QByteArray("[A]\nk=a=b\n") << "A" << "k" << 9 << "a=b";
        QTest::newRow("commented key") << QByteArray("[A]\n; k=1\n") << "A" << "; k" << 9 << "dflt";
        QTest::newRow("Cyrillic, any case")
            << code_page::toDevice(QStringLiteral("[Приоритет]\nЖурнал=КСЕФ\n")) << QStringLiteral("ПРИОРИТЕТ")
            << QStringLiteral("журнал") << 19 << QStringLiteral("КСЕФ");
    }

    void read()
    {
        QFETCH(QByteArray, file);
        QFETCH(QString, section);
        QFETCH(QString, key);
        QFETCH(int, capacity);
        QFETCH(QString, expected);

        put(file);
        QCOMPARE(IniFile(m_path).readString(section, key, "dflt", capacity), expected);
        QCOMPARE(contents(), file);
    }

    void readInt_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<int>("expected");

        QTest::newRow("plain") << QByteArray("[A]\nn=12\n") << 12;
        QTest::newRow("trailing text") << QByteArray("[A]\nn=12abc\n") << 12;
        QTest::newRow("no digits") << QByteArray("[A]\nn=abc\n") << 0;
        QTest::newRow("empty value") << QByteArray("[A]\nn=\n") << 77;
        QTest::newRow("missing") << QByteArray("[A]\n") << 77;
        QTest::newRow("negative") << QByteArray("[A]\nn= -1\n") << -1;
        QTest::newRow("plus") << QByteArray("[A]\nn=+7\n") << 7;
        QTest::newRow("quoted") << QByteArray("[A]\nn=\"5\"\n") << 5;
        QTest::newRow("wraps in 32 bits") << QByteArray("[A]\nn=4294967297\n") << 1;
        // 29 digits are read, 99...9 wrapped to 32 bits.
        QTest::newRow("very long") << QByteArray("[A]\nn=" + QByteArray(5000, '9') + "\n") << -1610612737;
    }

    void readInt()
    {
        QFETCH(QByteArray, file);
        QFETCH(int, expected);
        put(file);
        QCOMPARE(IniFile(m_path).readInt("A", "n", 77), expected);
    }

    void refusedWrites_data()
    {
        QTest::addColumn<QString>("section");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("value");

        QTest::newRow("line break in value") << "A" << "k" << "x\r\n[B]\r\ny=1";
        QTest::newRow("NUL in value") << "A" << "k" << QString(QChar(u'\0'));
        QTest::newRow("= in key") << "A" << "k=x" << "1";
        QTest::newRow("comment key") << "A" << ";k" << "1";
        QTest::newRow("empty key") << "A" << "" << "1";
        QTest::newRow("empty section") << "" << "k" << "1";
        QTest::newRow("line break in section") << "A]\n[B" << "k" << "1";
        QTest::newRow("blank around section") << " A" << "k" << "1";
        QTest::newRow("not Windows-1251") << "A" << "k" << QStringLiteral("文件");
    }

    void refusedWrites()
    {
        QFETCH(QString, section);
        QFETCH(QString, key);
        QFETCH(QString, value);
        const QByteArray before("[A]\r\nk=old\r\n");
        put(before);
        QVERIFY(!IniFile(m_path).writeString(section, key, value));
        QCOMPARE(contents(), before);
    }

    void garbageFilesSurvive_data()
    {
        QTest::addColumn<QByteArray>("file");

        QRandomGenerator random(20240611);
        QByteArray noise(64 * 1024, Qt::Uninitialized);
        for (char &c : noise)
            c = static_cast<char>(random.bounded(256));
        QTest::newRow("random bytes") << noise;
        QTest::newRow("one long line") << QByteArray(2 * 1024 * 1024, 'x');
        QTest::newRow("long line with =") << QByteArray("[Z]\n") + QByteArray(300000, 'k') + '=' + QByteArray(300000, 'v');
        QTest::newRow("only brackets") << QByteArray("[[[]]]\n]\n[\n=\n==\n[]\n");
        QTest::newRow("no sections, NULs") << BYTES("k=1\0\0\nk\0=2\n");
        QTest::newRow("lone CRs") << QByteArray("[A]\rk=1\r\r\r");
    }

    void garbageFilesSurvive()
    {
        QFETCH(QByteArray, file);
        put(file);
        IniFile ini(m_path);
        for (const char *section : {"A", "Z", "", "["})
            for (const char *key : {"k", "", "="})
                ini.readString(section, key, "d", 499);
        QCOMPARE(ini.readString("Fresh", "key", "dflt", 9), QStringLiteral("dflt"));
        QVERIFY(ini.writeString("Fresh", "key", "value"));
        QCOMPARE(ini.readString("fresh", "KEY", "dflt", 9), QStringLiteral("value"));
        // The old bytes are all still there, in front.
        QVERIFY(contents().startsWith(file));
    }

    void unwritableLocations()
    {
        // A path below a regular file cannot be created, not even by root.
        put("[A]\nk=1\n");
        IniFile below(m_path + QStringLiteral("/sub.ini"));
        QCOMPARE(below.readString("A", "k", "dflt", 9), QStringLiteral("dflt"));
        QVERIFY(!below.writeString("A", "k", "2"));

        // A folder in place of the file.
        const QString folder = m_dir.filePath(QStringLiteral("folder.ini"));
        QVERIFY(QDir().mkpath(folder));
        IniFile dir(folder);
        QCOMPARE(dir.readInt("A", "k", 5), 5);
        QVERIFY(!dir.writeString("A", "k", "2"));
        QVERIFY(QFileInfo(folder).isDir());
    }

    void readOnlyStaysReadOnlyForEveryone_data()
    {
        // Root passes the system's access check whatever the mode, an ordinary user does
        // not: each is tried, whoever runs the tests.
        // Root is held only by a mode without any write bit; the ordinary user also by a
        // write bit that is not its own (the group's, the file being the user's own or,
        // for "nobody", root's).
        QTest::addColumn<bool>("folder"); // a new file in a read-only folder, else a read-only file
        QTest::addColumn<int>("identity");
        QTest::addColumn<uint>("mode");
        QTest::newRow("file, root") << false << int(Identity::Root) << 0444u;
        QTest::newRow("file, ordinary user") << false << int(Identity::OrdinaryUser) << 0464u;
        QTest::newRow("folder, root") << true << int(Identity::Root) << 0555u;
        QTest::newRow("folder, ordinary user") << true << int(Identity::OrdinaryUser) << 0575u;
    }
    void readOnlyStaysReadOnlyForEveryone()
    {
        QFETCH(bool, folder);
        QFETCH(int, identity);
        QFETCH(uint, mode);
        // "nobody" must reach the files; the folder above them is writable by all, so only
        // the mode of the file or folder itself stands in the way.
        const QString open = m_dir.filePath(QStringLiteral("open"));
        QDir(open).removeRecursively(); // what an earlier row left
        QVERIFY(QDir().mkpath(open));
        QCOMPARE(::chmod(QFile::encodeName(m_dir.path()).constData(), 0755), 0);
        QCOMPARE(::chmod(QFile::encodeName(open).constData(), 0777), 0);
        const QString target = folder ? open + QStringLiteral("/ro") : open;
        const QString path = target + QStringLiteral("/x.ini");
        if (folder) {
            QVERIFY(QDir().mkpath(target));
            QCOMPARE(::chmod(QFile::encodeName(target).constData(), mode), 0);
        } else {
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("[A]\nk=1\n");
            f.close();
            QCOMPARE(::chmod(QFile::encodeName(path).constData(), mode), 0);
        }
        const AsIdentity r = runAs(Identity(identity), [&] {
            IniFile ini(path);
            return !ini.writeString("A", "k", "2") && ini.readInt("A", "k", 0) == (folder ? 0 : 1);
        });
        if (!r.ran)
            QSKIP(qPrintable(r.why));
        QVERIFY(r.passed);
        if (folder) {
            QVERIFY(!QFileInfo::exists(path));
            QCOMPARE(QDir(target).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden), QStringList());
            QCOMPARE(::chmod(QFile::encodeName(target).constData(), 0755), 0);
        } else {
            QFile f(path);
            QVERIFY(f.open(QIODevice::ReadOnly));
            QCOMPARE(f.readAll(), QByteArray("[A]\nk=1\n"));
            QCOMPARE(modeOf(path), mode);
        }
        QVERIFY(QDir(open).removeRecursively());
    }

    void rewriteKeepsModeBits_data()
    {
        QTest::addColumn<uint>("mode");
        QTest::newRow("owner only") << 0600u;
        QTest::newRow("group writable") << 0664u;
        QTest::newRow("owner write only") << (0200u | 0040u);
        QTest::newRow("everybody") << 0666u;
    }
    void rewriteKeepsModeBits()
    {
        QFETCH(uint, mode);
        put("[A]\nk=1\n");
        QCOMPARE(::chmod(QFile::encodeName(m_path).constData(), mode), 0);
        const auto write = [this] {
            IniFile ini(m_path);
            return ini.writeString("A", "k", "2") && ini.writeString("B", "new", "3");
        };
        if (mode & 0400) {
            QVERIFY(write());
        } else {
            // Only root reads a file without the owner's read bit, and so rewrites it.
            const AsIdentity r = runAs(Identity::Root, write);
            if (!r.ran)
                QSKIP(qPrintable(r.why));
            QVERIFY(r.passed);
        }
        QCOMPARE(modeOf(m_path), mode);
        QCOMPARE(::chmod(QFile::encodeName(m_path).constData(), mode | 0400), 0); // to read it back
        QCOMPARE(contents(), QByteArray("[A]\nk=2\n[B]\nnew=3\n"));
    }

    void symbolicLinkWritesItsTarget()
    {
        put("[A]\nk=1\n");
        const QString link = m_dir.filePath(QStringLiteral("link.ini"));
        QFile::remove(link);
        QVERIFY(QFile::link(m_path, link));
        QVERIFY(IniFile(link).writeString("A", "k", "2"));
        QVERIFY(QFileInfo(link).isSymLink());
        QCOMPARE(contents(), QByteArray("[A]\nk=2\n"));
    }

    void onlyRegularFilesAreOpened_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::newRow("named pipe") << QStringLiteral("fifo");
        QTest::newRow("endless device") << QStringLiteral("/dev/zero");
    }
    void onlyRegularFilesAreOpened()
    {
        // A named pipe with no writer would block the open for good; a device is no
        // settings file. Both read as missing values and refuse writes, at once.
        QFETCH(QString, kind);
        QString path = kind;
        if (kind == QLatin1String("fifo")) {
            path = m_dir.filePath(QStringLiteral("pipe.ini"));
            QFile::remove(path);
            QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0644), 0);
        }
        // An open that blocked would hold the test until ctest's time limit ends it.
        IniFile ini(path);
        QCOMPARE(ini.readString("A", "k", "dflt", 9), QStringLiteral("dflt"));
        QCOMPARE(ini.readInt("A", "k", 7), 7);
        QVERIFY(!ini.writeString("A", "k", "2"));
        const QFileInfo after(path);
        QVERIFY(!after.isFile());
    }

    void oversizedFileLeftAlone()
    {
        QByteArray big("[A]\nk=1\n");
        big.append(QByteArray(IniFile::kMaxFileSize, ' '));
        put(big);
        IniFile ini(m_path);
        QCOMPARE(ini.readString("A", "k", "dflt", 9), QStringLiteral("dflt"));
        QVERIFY(!ini.writeString("A", "k", "2"));
        QCOMPARE(QFileInfo(m_path).size(), big.size());
    }
};

QTEST_GUILESS_MAIN(IniFileTest)
#include "tst_ini_file.moc"
