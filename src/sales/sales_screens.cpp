#include "sales/sales_screens.h"

#include "sales/fiscal_receipt_form.h"
#include "ui/screen_host.h"

void registerSalesScreens(ScreenRegistry &registry)
{
    registry.add<TForm21>();
}
