// Bytes from the card terminal through the reply reader and the tag parser, as the card
// payment reads them; the same bytes as a typed amount. Checks: no crash, no UB; a whole
// message takes exactly its announced length, a longer one keeps its first kMaxReply bytes; a tag's value never holds FS or a zero byte
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
    qsizetype skip = 0;
    for (;;) {
        const qsizetype before = stream.size();
        const qsizetype skipBefore = skip;
        const int announced = before >= 2 ? (quint8(stream[0]) << 8) | quint8(stream[1]) : -1;
        const Take t = takeMessage(stream, payload, skip);
        if (skip < 0)
            __builtin_trap();
        if (t == Take::Incomplete) {
            if (skipBefore == 0 && stream.size() != before)
                __builtin_trap();
            break;
        }
        if (skipBefore != 0 || payload.size() > kMaxReply)
            __builtin_trap();
        // A whole message takes exactly its announced length; a cut one keeps kMaxReply
        // bytes and takes or counts the rest.
        if (t == Take::Whole && before - stream.size() != payload.size() + 2)
            __builtin_trap();
        if (t == Take::Cut && (payload.size() != kMaxReply || before - stream.size() + skip != announced + 2))
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
