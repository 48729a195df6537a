#pragma once

class ScreenRegistry;

// The screens of ui/: the status-bytes screen TForm5 that every screen's status button
// shares.
void registerUiScreens(ScreenRegistry &registry);
