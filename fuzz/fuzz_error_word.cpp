// The registrar's error word, as the reply carries it (any bytes, any length), and the
// flag word beside it, through the decoding the screens show. Checks: no crash, no UB;
// a verdict of success has an empty message and a word that reads as class 0, detail 0;
// a link failure in the flag word is never success; class and detail stay bytes.
#include "commands/error_decoding.h"
#include "link/command_result.h"

#include <cstddef>
#include <cstdint>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 1)
        return 0;
    // The first byte picks the link bits of the flag word.
    const quint8 mode = data[0];
    const QByteArray word(reinterpret_cast<const char *>(data + 1), qsizetype(size - 1));

    const error_decoding::ErrorCode code = error_decoding::parseErrorWord(word);
    if (code.detail < 0 || code.detail > 0xFF || code.errorClass < 0 || code.errorClass > 0xFF)
        __builtin_trap();

    QString message;
    // Characters other than hexadecimal digits count as 0, so "0000" is not the only
    // word of success; every one of them parses as class 0, detail 0.
    const bool ok = decodeErrorWord(word, message);
    if (ok && (!message.isEmpty() || code.detail != 0 || code.errorClass != 0))
        __builtin_trap();

    CommandResult result;
    result.errorWord = word;
    if (mode & 1)
        result.flags |= CommandResult::kChecksumBit;
    if (mode & 2)
        result.flags |= CommandResult::kNakBit;
    if (mode & 4)
        result.flags |= CommandResult::kNoReplyBit;
    const bool success = DecodeError(result, message);
    if (success && (mode & 7))
        __builtin_trap();
    if (success && !message.isEmpty())
        __builtin_trap();
    return 0;
}
