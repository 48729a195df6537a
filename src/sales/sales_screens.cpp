#include "sales/sales_screens.h"

#include "sales/cash_operations_form.h"
#include "sales/fiscal_receipt_form.h"
#include "sales/non_fiscal_receipt_form.h"
#include "sales/receipt_cancel_form.h"
#include "sales/receipt_copies_form.h"
#include "ui/screen_host.h"

void registerSalesScreens(ScreenRegistry &registry)
{
    registry.add<TForm8>();
    registry.add<TForm9>();
    registry.add<TForm21>();
    registry.add<TForm35>();
    registry.add<TForm41>();
    registry.add<TForm54>();
}
