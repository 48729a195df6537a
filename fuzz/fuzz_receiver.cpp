// Arbitrary bytes into the byte receiver and the reply parser, as a registrar (or line
// noise) could send them; the parse must stay inside its buffers and slots.
#include "link/command_result.h"
#include "link/byte_receiver.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static ByteReceiver rx;
    static CommandResult result;
    rx.resetForExchange();
    // The first byte picks the command code, so the data adjustments get exercised too.
    result.commandCode = size ? 0x20 + data[0] % 0x80 : 0x21;
    for (size_t i = 1; i < size; ++i) {
        rx.dispatch(data[i]);
        if (rx.frameComplete()) {
            rx.clearFrameComplete();
            reply_parsing::parseReply(rx, result);
            rx.setReplyReady(false);
        }
    }
    reply_parsing::parseReply(rx, result);
    rx.rewindRawCopy();
    if (result.fieldCount < 0 || result.fieldCount > CommandResult::kFieldSlots)
        __builtin_trap();
    if (result.data.size() > CommandResult::kDataCopyCapacity)
        __builtin_trap();
    if (result.reply.size() > ByteReceiver::kRawCapacity)
        __builtin_trap();
    return 0;
}
