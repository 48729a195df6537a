#include "emulator/domains.h"

namespace emu {

void registerMemory(HandlerTable &)
{
}

} // namespace emu
