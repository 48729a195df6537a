#include "emulator/domains.h"

namespace emu {

void registerCash(HandlerTable &)
{
}

} // namespace emu
