// Firmware packets as the registrar sends them: the escape decoding. Checks: no crash;
// never more bytes than the capacity; a decoded packet, escaped again the registrar's
// way, decodes to the same bytes.
#include "tools/firmware_readout.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size > 4096)
        return 0;
    const QByteArray text(reinterpret_cast<const char *>(data), qsizetype(size));
    QByteArray out;
    const FirmwareReadout::Decoded d = FirmwareReadout::decodePacket(text, out);
    if (out.size() > FirmwareReadout::kPacketCapacity)
        __builtin_trap();
    if (d != FirmwareReadout::Decoded::Ok)
        return 0;
    QByteArray again;
    for (char b : out) {
        if (quint8(b) < 0x20 || b == ';' || b == '\\') {
            again += '\\';
            again += char(quint8(b) + 0x40);
        } else {
            again += b;
        }
    }
    QByteArray back;
    if (FirmwareReadout::decodePacket(again, back) != FirmwareReadout::Decoded::Ok || back != out)
        __builtin_trap();
    return 0;
}
