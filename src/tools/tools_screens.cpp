#include "tools/tools_screens.h"

#include "ui/screen_host.h"

void registerToolScreens(ScreenRegistry &)
{
}
