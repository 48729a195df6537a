// The emulator's state file with arbitrary contents. Checks: no crash, no UB; a refused
// file leaves the state as it was; an accepted one is written back to the same state,
// and the registrar serves a few commands from it without failing.
#include "emulator/registrar.h"
#include "emulator/state_file.h"
#include "link/frame.h"

#include <QByteArray>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    emu::RegistrarOptions options;
    options.memory.flashSize = 256;
    emu::Registrar registrar(options);
    const QByteArray before = emu::StateFile::serialize(registrar.state());
    QString error;
    if (!emu::StateFile::deserialize(bytes, registrar.state(), error)) {
        if (error.isEmpty() || emu::StateFile::serialize(registrar.state()) != before)
            std::abort();
        return 0;
    }
    const QByteArray written = emu::StateFile::serialize(registrar.state());
    emu::Registrar again(options);
    if (!emu::StateFile::deserialize(written, again.state(), error) || emu::StateFile::serialize(again.state()) != written)
        std::abort();
    // Commands that read much of it: the X report, the resources, a periodic report.
    registrar.receive(frame::buildRequest(0x21, 0xA1, "482913;1;"));
    registrar.receive(frame::buildRequest(0x22, 0xA0, "482913;"));
    registrar.receive(frame::buildRequest(0x23, 0xA3, "482913;1;9;1;"));
    return 0;
}
