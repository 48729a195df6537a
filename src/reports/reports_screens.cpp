#include "reports/reports_screens.h"

#include "reports/additional_reports_form.h"
#include "reports/daily_reports_form.h"
#include "reports/goods_report_form.h"
#include "ui/screen_host.h"

void registerReportScreens(ScreenRegistry &registry)
{
    registry.add<TForm23>();
    registry.add<TForm24>();
    registry.add<TForm25>();
    registry.add<TForm31>();
    registry.add<TForm48>();
    registry.add<TForm10>();
}
