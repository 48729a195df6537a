// The registrar emulator reads whatever is written on its pseudo-terminal, and its
// --fault options from the command line. Arbitrary bytes go in as pieces of the line
// (the first byte of each input sets the piece length); the text after the last NUL is
// parsed as a fault. Checks: no crash, no UB; no reply piece has a negative pause.
#include "emulator/registrar.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 1 || size > 8192)
        return 0;
    const int piece = 1 + data[0] % 64;
    const QByteArray bytes(reinterpret_cast<const char *>(data + 1), qsizetype(size - 1));

    bool ok = false;
    const emu::Fault fault = emu::Fault::parse(QString::fromLatin1(bytes.mid(bytes.lastIndexOf('\0') + 1)), &ok);
    (void)fault;

    emu::Registrar registrar;
    for (qsizetype at = 0; at < bytes.size(); at += piece)
        for (const emu::Chunk &c : registrar.receive(bytes.mid(at, piece)))
            if (c.delayMs < 0)
                __builtin_trap();
    return 0;
}
