// Arbitrary goods list files: the decoding into lines, then every line through the
// loader's checks and out on a link without a device (the first command sent ends as no
// reply at once and the loading stops). Nothing may crash, and every line is counted
// once.
#include "app/application.h"
#include "app/goods_file.h"
#include "scripts/goods_loader.h"

#include <QByteArray>
#include <QDir>

#include <cstddef>
#include <cstdint>
#include <unistd.h>

#include "null_prompter.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), int(size));
    const QStringList lines = goods_file::linesOfBytes(bytes);
    if (lines.size() > 2000)
        return 0;
    static NullPrompter prompter;
    static VirtualClock clock;
    static Application app(prompter, clock, QDir::tempPath() + QStringLiteral("/fuzz_goods_%1.ini").arg(::getpid()));
    GoodsLoader loader(app);
    const GoodsLoader::Tally t = loader.write(QStringLiteral("482913"), lines);
    if (t.sent + t.refused + t.notSent != t.lines || t.timedOut != t.sent + t.notSent)
        __builtin_trap();
    return 0;
}
