#include "ui/ui_screens.h"

#include "ui/screen_host.h"
#include "ui/status_screen_form.h"

void registerUiScreens(ScreenRegistry &registry)
{
    registry.add<TForm5>();
}
