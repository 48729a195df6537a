// Exchange-log names, as the settings file's LogName or dizivu-cli's --log give them:
// the name check, where the records would go, and (for names that stay inside a scratch
// folder) a real record. Checks: no crash; an accepted relative name resolves inside the
// working folder with no ".." step; a refused name resolves to nothing and writes
// nothing; nothing appears outside the scratch folder.
#include "link/exchange_log.h"

#include <QDir>
#include <QFileInfo>
#include <QString>
#include <QTemporaryDir>

#include <cstddef>
#include <cstdint>

namespace {

bool hasParentStep(const QString &path)
{
    for (const QStringView part : QStringView(path).split(QLatin1Char('/')))
        if (part == QLatin1String(".."))
            return true;
    return false;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    // Keep to names of a sane length; the log cuts at 299 characters anyway.
    if (size > 600)
        return 0;
    static QTemporaryDir scratch;
    static const QString work = scratch.path() + QStringLiteral("/work");
    static const bool made = QDir().mkpath(work);
    if (!made)
        return 0;

    const QString name = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
    const bool accepted = ExchangeLog::acceptsName(name);
    const QString path = ExchangeLog::resolvePath(name, work);
    if (!accepted && !path.isEmpty())
        __builtin_trap();
    if (accepted && !name.isEmpty()) {
        if (hasParentStep(path) || path.contains(QChar(u'\0')))
            __builtin_trap();
        if (!QDir::isAbsolutePath(name) && !path.startsWith(work + QLatin1Char('/')))
            __builtin_trap();
    }

    // Only relative names are written for real: an absolute one could point anywhere.
    if (QDir::isAbsolutePath(name))
        return 0;
    ExchangeLog log;
    log.SetLogFileName(name);
    if (log.nameRefused() == accepted && !name.isEmpty() && name.left(299) == name)
        __builtin_trap();
    const QString old = QDir::currentPath();
    QDir::setCurrent(work);
    log.writeFrameRecord("21", "21482913;");
    QDir::setCurrent(old);
    if (!log.logFilePath().isEmpty() && !log.logFilePath().startsWith(work + QLatin1Char('/')))
        __builtin_trap();
    // Only the working folder is ever written to: the scratch folder holds nothing else.
    if (QDir(scratch.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot)
        != QStringList{QStringLiteral("work")})
        __builtin_trap();
    // Start the next input from an empty working folder.
    QDir(work).removeRecursively();
    QDir().mkpath(work);
    return 0;
}
