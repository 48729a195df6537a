// Bytes from the card terminal through the reply reader and the tag parser, as the card
// payment reads them; the same bytes as a typed amount. Checks: no crash, no UB; a whole
// message takes exactly its announced length; a tag's value never holds FS or a zero byte
// and lies inside its payload; an amount taken is above 0 and reads back the same.
#include "sales/card_terminal.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    using namespace card_protocol;
    QByteArray stream(reinterpret_cast<const char *>(data), int(size));
    const QByteArray original = stream;

    QByteArray payload;
    for (;;) {
        const qsizetype before = stream.size();
        const Take t = takeMessage(stream, payload);
        if (t != Take::Whole) {
            if (stream.size() != before)
                __builtin_trap();
            break;
        }
        if (payload.size() > kMaxReply || before - stream.size() != payload.size() + 2)
            __builtin_trap();
        for (const char *tag : {"00", "01", "02", "04", "58"}) {
            const auto v = tagValue(payload, tag);
            if (v && (v->contains(kFs) || v->contains('\0') || v->size() > payload.size()))
                __builtin_trap();
        }
    }

    const auto cents = amountCents(QString::fromLatin1(original));
    if (cents && (*cents <= 0 || amountCents(amountText(*cents)) != cents))
        __builtin_trap();
    return 0;
}
