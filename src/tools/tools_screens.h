#pragma once

class ScreenRegistry;

// The screens of tools/: logo, flash memory, firmware read-out.
void registerToolScreens(ScreenRegistry &registry);
