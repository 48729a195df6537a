#include "emulator/domains.h"

namespace emu {

void registerSales(HandlerTable &)
{
}

} // namespace emu
