// Arbitrary data strings through the adjustments and the field splitting.
#include "link/command_result.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    const int code = 0x20 + data[0] % 0x80;
    const QByteArray text(reinterpret_cast<const char *>(data + 1), int(size - 1));
    std::array<QByteArray, CommandResult::kFieldSlots> fields;
    const int n = reply_parsing::splitFields(reply_parsing::adjustData(code, text), fields);
    if (n < 0 || n > CommandResult::kFieldSlots || (text.isEmpty() != (n == 0)))
        __builtin_trap();
    return 0;
}
