// The monitor's manual console: a command code typed by the user, the barcode command's
// data, and the frame lines it writes from whatever bytes went out and came back.
// The first byte picks which; the rest is the input. Checks: no crash, no UB; a code
// is -1 or a byte; barcode data keeps its length and its closing ";".
#include "scripts/monitor.h"

#include "link/code_page.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 1)
        return 0;
    const QByteArray bytes(reinterpret_cast<const char *>(data + 1), qsizetype(size - 1));
    switch (data[0] % 3) {
    case 0: {
        const int code = console::parseCode(code_page::fromDevice(bytes));
        if (code < -1 || code > 0xFF)
            __builtin_trap();
        const int utf = console::parseCode(QString::fromUtf8(bytes));
        if (utf < -1 || utf > 0xFF)
            __builtin_trap();
        break;
    }
    case 1: {
        QByteArray out;
        if (console::barcodeData(bytes, out) && (out.size() != bytes.size() || !out.endsWith(';')))
            __builtin_trap();
        break;
    }
    default: {
        const QString code = code_page::fromDevice(bytes.left(2));
        (void)console::shortRequestLine(code, bytes);
        (void)console::shortReplyLine(bytes);
        (void)console::requestLine(bytes);
        (void)console::replyLine(bytes);
        break;
    }
    }
    return 0;
}
