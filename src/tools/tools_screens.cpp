#include "tools/tools_screens.h"

#include "tools/emulator_tape_form.h"
#include "tools/exchange_log_view_form.h"
#include "tools/firmware_readout_form.h"
#include "tools/flash_memory_form.h"
#include "tools/logo_programming_form.h"
#include "ui/screen_host.h"

void registerToolScreens(ScreenRegistry &registry)
{
    registry.add<ExchangeLogViewer>();
    registry.add<EmulatorTapeWindow>();
    registry.add<TForm6>();
    registry.add<TForm7>();
    registry.add<TForm45>();
}
