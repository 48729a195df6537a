#pragma once

class ScreenRegistry;

// The screens of tools/: logo, flash memory, firmware read-out, the exchange-log viewer,
// the emulator's tape.
void registerToolScreens(ScreenRegistry &registry);
