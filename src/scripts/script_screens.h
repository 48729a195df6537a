#pragma once

class ScreenRegistry;

// The screens of scripts/: the command test TForm14 and the monitor TForm28 (which owns
// its variables window TForm40).
void registerScriptScreens(ScreenRegistry &registry);
