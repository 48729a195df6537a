// Arbitrary reply data through the adjustments of its command and the field splitting,
// then read as the identification reads the 0x80 reply. The first byte picks the
// command code. Checks: no crash, no UB; the field count stays within the slots and is 0
// only for empty data; a field past the count reads empty; the payment-form count is
// positive.
#include "app/identification.h"
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

    CommandResult result;
    result.commandCode = code;
    result.fieldCount = n;
    result.fields = fields;
    if (!result.field(n).isEmpty() || !result.field(-1).isEmpty())
        __builtin_trap();
    (void)identification::identityText(result);
    if (identification::paymentFormCount(result) <= 0)
        __builtin_trap();
    return 0;
}
