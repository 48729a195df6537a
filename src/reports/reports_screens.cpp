#include "reports/reports_screens.h"

#include "ui/screen_host.h"

void registerReportScreens(ScreenRegistry &)
{
}
