// The settings file dizivu.ini with arbitrary contents: the reader, the program's
// settings as the windows read them, and the writer. Checks: no crash, no UB; values
// stay within their capacities; the recent-files count stays in its range; a written key
// reads back, and writing it again leaves the file as it was.
#include "app/app_config.h"
#include "app/ini_file.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <unistd.h>

namespace {

const QString &scratchPath()
{
    static const QString path = QDir::tempPath() + QStringLiteral("/fuzz_ini_%1.ini").arg(::getpid());
    return path;
}

void removeScratch()
{
    QFile::remove(scratchPath());
}

QByteArray readScratch()
{
    QFile file(scratchPath());
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static const bool cleanupRegistered = (std::atexit(removeScratch), true);
    (void)cleanupRegistered;

    const QByteArray input(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    {
        QFile file(scratchPath());
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return 0;
        file.write(input);
    }

    const IniFile ini(scratchPath());
    static const char *const kLookups[][2] = {
        {"Communication", "Port"}, {"fiscal printer", "reply"}, {"Files", "File1"},
        {"", ""},                  {"[", "="},                  {"A", "k"},
    };
    for (const auto &lookup : kLookups) {
        const QString section = QString::fromLatin1(lookup[0]);
        const QString key = QString::fromLatin1(lookup[1]);
        if (ini.readString(section, key, QStringLiteral("d"), 9).size() > 9)
            std::abort();
        ini.readInt(section, key, -1);
    }

    const AppConfig config(scratchPath());
    const int files = config.numFiles();
    if (files < AppConfig::kMinRecentFiles || files > AppConfig::kMaxRecentFiles)
        std::abort();
    if (config.recentFiles().size() > files || config.logName().size() > AppConfig::kLogNameText
        || config.port().size() > AppConfig::kPortText)
        std::abort();
    (void)config.speed();
    (void)config.comments();
    (void)config.reply();
    (void)config.ukrVersion();
    (void)AppConfig::speedIndex(config.speed(), AppConfig::speeds());
    (void)AppConfig::portIndex(config.port(), {QStringLiteral("ttyS0"), QStringLiteral("ttyACM0")});

    // A written key reads back, and writing it again changes nothing (the key is found,
    // not added a second time).
    if (!ini.writeString(QStringLiteral("Communication"), QStringLiteral("Speed"), QStringLiteral("9600")))
        return 0;
    if (ini.readString(QStringLiteral("communication"), QStringLiteral("SPEED"), QString(), 9)
        != QStringLiteral("9600"))
        std::abort();
    const QByteArray once = readScratch();
    if (!ini.writeString(QStringLiteral("COMMUNICATION"), QStringLiteral("speed"), QStringLiteral("9600")))
        std::abort();
    if (readScratch() != once)
        std::abort();
    return 0;
}
