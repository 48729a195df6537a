#pragma once

#include "app/ini_file.h"

#include <QString>
#include <QStringList>

#include <optional>

// The program's settings in dizivu.ini. Every getter reads the file anew and every
// setter writes it at once; a missing key gives its default. Text values are cut to
// the lengths the program has always kept.
class AppConfig {
public:
    static constexpr const char *kFileName = "dizivu.ini";

    // Longest values kept.
    static constexpr int kShortText = 9;    // Speed, Terminal, Comments
    // Port names here are device names or paths (ttyUSB0, /dev/pts/3) or the built-in
    // emulator's entry, longer than the nine characters of a COM name.
    static constexpr int kPortText = 99;
    static constexpr int kMediumText = 19;  // Level, ElJournal, PORT
    static constexpr int kLogNameText = 299;
    static constexpr int kFileNameText = 499; // File1, File2, ...

    static constexpr int kMinRecentFiles = 5;
    static constexpr int kMaxRecentFiles = 20;
    static constexpr int kDefaultSpeedIndex = 6; // 9600 in speeds()

    enum class FileState {
        Present,    // the file was there
        Created,    // it was missing and has just been created with the starting keys
        NotCreated, // it was missing and could not be written: the program runs on defaults
    };

    // dizivu.ini in the working directory as it is at the first use of this object.
    AppConfig();
    // A given file, for tests and tools.
    explicit AppConfig(const QString &filePath);

    QString filePath() const;

    // Checks for the file and creates it when missing with the four starting keys:
    // [CountryMode] Country code=0, [Fiscal Printer] ExtendedTax=1, [LogFile] Log=0 and
    // LogName=orvex.log, in this order. Unless it was Present, the caller shows
    // creationNotice().
    FileState ensureFile();
    static QString creationNotice();

    // [Communication]
    QString port() const;
    bool setPort(const QString &port);
    QString speed() const;
    bool setSpeed(const QString &speed);
    QString terminal() const; // not empty: the bank-terminal group is shown

    // [LogFile]
    int log() const; // not 0: the exchange log is on
    QString logName() const;
    QString comments() const;
    bool commentsSuppressed() const; // Comments is exactly "No"

    // [Fiscal Printer]
    int reply() const;
    int headFootPar() const;
    int extendedTax() const;

    // [CountryMode]
    int countryCode() const;

    // [Priority]
    QString level() const;
    QString elJournal() const;
    QString cardTerminalPort() const; // key PORT

    // [UkrVer]: -1 takes the version the registrar reports, 0..3 pick one.
    int ukrVersion() const;

    // [Files]: the monitor's recent script files, most recent first.
    int numFiles() const; // NumFiles forced into 5..20
    QStringList recentFiles() const; // the non-empty names among File1..FileN
    // Makes path the most recent file: it becomes File1, the others follow (an earlier
    // entry of the same name is dropped), the list is cut to numFiles() and written back.
    // False when the path is empty, longer than kFileNameText characters (it could not be
    // read back whole) or the file could not be written.
    bool addRecentFile(const QString &path);

    // The baud rates of the speed lists, slowest first.
    static const QStringList &speeds();
    // The entry of the port list to select for the configured port: the first entry
    // equal to it (an exact match preferred, otherwise without regard to case), else
    // the first entry; -1 for an empty list.
    static int portIndex(const QString &configured, const QStringList &ports);
    // The entry of the speed list to select: the first entry equal to the configured
    // speed, else the seventh (9600); -1 for an empty list.
    static int speedIndex(const QString &configured, const QStringList &speedList);

private:
    IniFile ini() const;

    mutable std::optional<QString> m_path;
};
