#include "app/app_config.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>

namespace {

const QString kCommunication = QStringLiteral("Communication");
const QString kLogFile = QStringLiteral("LogFile");
const QString kFiscalPrinter = QStringLiteral("Fiscal Printer");
const QString kCountryMode = QStringLiteral("CountryMode");
const QString kPriority = QStringLiteral("Priority");
const QString kUkrVer = QStringLiteral("UkrVer");
const QString kFiles = QStringLiteral("Files");

QString fileKey(int number)
{
    return QStringLiteral("File") + QString::number(number);
}

} // namespace

AppConfig::AppConfig() = default;

AppConfig::AppConfig(const QString &filePath) : m_path(filePath) {}

QString AppConfig::filePath() const
{
    if (!m_path)
        m_path = QDir::currentPath() + QDir::separator() + QLatin1String(kFileName);
    return *m_path;
}

IniFile AppConfig::ini() const
{
    return IniFile(filePath());
}

AppConfig::FileState AppConfig::ensureFile()
{
    if (QFileInfo::exists(filePath()))
        return FileState::Present;
    const IniFile file = ini();
    const bool written = file.writeString(kCountryMode, QStringLiteral("Country code"), QStringLiteral("0"))
                         && file.writeString(kFiscalPrinter, QStringLiteral("ExtendedTax"), QStringLiteral("1"))
                         && file.writeString(kLogFile, QStringLiteral("Log"), QStringLiteral("0"))
                         && file.writeString(kLogFile, QStringLiteral("LogName"), QStringLiteral("orvex.log"));
    return written ? FileState::Created : FileState::NotCreated;
}

QString AppConfig::creationNotice()
{
    return QStringLiteral("Файл dizivu.ini отсутствует.\n Создание файла!");
}

QString AppConfig::port() const
{
    return ini().readString(kCommunication, QStringLiteral("Port"), QString(), kPortText);
}

bool AppConfig::setPort(const QString &port)
{
    return ini().writeString(kCommunication, QStringLiteral("Port"), port);
}

QString AppConfig::speed() const
{
    return ini().readString(kCommunication, QStringLiteral("Speed"), QString(), kShortText);
}

bool AppConfig::setSpeed(const QString &speed)
{
    return ini().writeString(kCommunication, QStringLiteral("Speed"), speed);
}

QString AppConfig::terminal() const
{
    return ini().readString(kCommunication, QStringLiteral("Terminal"), QString(), kShortText);
}

int AppConfig::log() const
{
    return ini().readInt(kLogFile, QStringLiteral("Log"), 0);
}

QString AppConfig::logName() const
{
    return ini().readString(kLogFile, QStringLiteral("LogName"), QStringLiteral("Orvex.log"), kLogNameText);
}

QString AppConfig::comments() const
{
    return ini().readString(kLogFile, QStringLiteral("Comments"), QStringLiteral("Yes"), kShortText);
}

bool AppConfig::commentsSuppressed() const
{
    return comments() == QLatin1String("No");
}

int AppConfig::reply() const
{
    return ini().readInt(kFiscalPrinter, QStringLiteral("Reply"), 1);
}

int AppConfig::headFootPar() const
{
    return ini().readInt(kFiscalPrinter, QStringLiteral("HeadFootPar"), 0);
}

int AppConfig::extendedTax() const
{
    return ini().readInt(kFiscalPrinter, QStringLiteral("ExtendedTax"), 1);
}

int AppConfig::countryCode() const
{
    return ini().readInt(kCountryMode, QStringLiteral("Country code"), 0);
}

QString AppConfig::level() const
{
    return ini().readString(kPriority, QStringLiteral("Level"), QStringLiteral("medium"), kMediumText);
}

QString AppConfig::elJournal() const
{
    return ini().readString(kPriority, QStringLiteral("ElJournal"), QString(), kMediumText);
}

QString AppConfig::cardTerminalPort() const
{
    return ini().readString(kPriority, QStringLiteral("PORT"), QString(), kMediumText);
}

int AppConfig::ukrVersion() const
{
    return ini().readInt(kUkrVer, QStringLiteral("Version"), -1);
}

int AppConfig::numFiles() const
{
    const int n = ini().readInt(kFiles, QStringLiteral("NumFiles"), kMinRecentFiles);
    return std::clamp(n, kMinRecentFiles, kMaxRecentFiles);
}

QStringList AppConfig::recentFiles() const
{
    const IniFile file = ini();
    const int n = numFiles();
    QStringList names;
    for (int i = 1; i <= n; ++i) {
        const QString name = file.readString(kFiles, fileKey(i), QString(), kFileNameText);
        if (!name.isEmpty())
            names.append(name);
    }
    return names;
}

bool AppConfig::addRecentFile(const QString &path)
{
    if (path.isEmpty() || path.size() > kFileNameText)
        return false;
    const int n = numFiles();
    QStringList names = recentFiles();
    names.removeAll(path);
    names.prepend(path);
    while (names.size() > n)
        names.removeLast();

    const IniFile file = ini();
    for (int i = 0; i < names.size(); ++i) {
        if (!file.writeString(kFiles, fileKey(i + 1), names.at(i)))
            return false;
    }
    // Entries that stood after empty ones would otherwise come back as duplicates.
    for (int i = static_cast<int>(names.size()) + 1; i <= n; ++i) {
        if (!file.readString(kFiles, fileKey(i), QString(), kFileNameText).isEmpty()
            && !file.writeString(kFiles, fileKey(i), QString()))
            return false;
    }
    return true;
}

const QStringList &AppConfig::speeds()
{
    static const QStringList list = {
        QStringLiteral("110"),   QStringLiteral("300"),   QStringLiteral("600"),
        QStringLiteral("1200"),  QStringLiteral("2400"),  QStringLiteral("4800"),
        QStringLiteral("9600"),  QStringLiteral("19200"), QStringLiteral("38400"),
        QStringLiteral("57600"), QStringLiteral("115200"),
    };
    return list;
}

int AppConfig::portIndex(const QString &configured, const QStringList &ports)
{
    if (ports.isEmpty())
        return -1;
    const qsizetype exact = ports.indexOf(configured);
    if (exact >= 0)
        return static_cast<int>(exact);
    for (qsizetype i = 0; i < ports.size(); ++i) {
        if (ports.at(i).compare(configured, Qt::CaseInsensitive) == 0)
            return static_cast<int>(i);
    }
    return 0;
}

int AppConfig::speedIndex(const QString &configured, const QStringList &speedList)
{
    if (speedList.isEmpty())
        return -1;
    const qsizetype found = speedList.indexOf(configured);
    if (found >= 0)
        return static_cast<int>(found);
    return speedList.size() > kDefaultSpeedIndex ? kDefaultSpeedIndex : 0;
}
