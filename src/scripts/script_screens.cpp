#include "scripts/script_screens.h"

#include "scripts/command_test_form.h"
#include "scripts/goods_loader_form.h"
#include "scripts/monitor_form.h"
#include "ui/screen_host.h"

void registerScriptScreens(ScreenRegistry &registry)
{
    registry.add<TForm14>();
    registry.add<TForm20>();
    registry.provide<GoodsListSource, TForm20>();
    registry.add<TForm28>();
}
