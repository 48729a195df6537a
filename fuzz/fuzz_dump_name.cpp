// Dump-file names as a file dialog or the command line give them: the name rule that
// fills the address and the count. Checks: no crash; a name taken gives decimal digits
// only, within the fields' lengths, found in the name itself; a name refused sets nothing.
#include "tools/flash_memory.h"

#include <QFileInfo>

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size > 1000)
        return 0;
    const QString path = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
    QString address = QStringLiteral("unset"), count = QStringLiteral("unset");
    if (!FlashMemory::boundsFromName(path, address, count)) {
        if (address != QLatin1String("unset") || count != QLatin1String("unset"))
            __builtin_trap();
        return 0;
    }
    qint64 value = 0;
    if (!transfer::decimal(address, FlashMemory::kAddressDigits, value)
        || !transfer::decimal(count, FlashMemory::kCountDigits, value))
        __builtin_trap();
    const QString name = QFileInfo(path).fileName();
    if (!name.contains(QLatin1Char('_') + address + QLatin1Char('_') + count + QLatin1Char('.')))
        __builtin_trap();
    return 0;
}
