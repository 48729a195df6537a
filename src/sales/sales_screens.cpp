#include "sales/sales_screens.h"

#include "ui/screen_host.h"

void registerSalesScreens(ScreenRegistry &)
{
}
