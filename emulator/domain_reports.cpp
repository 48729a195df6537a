#include "emulator/domains.h"

namespace emu {

void registerReports(HandlerTable &)
{
}

} // namespace emu
