#pragma once

class ScreenRegistry;

// The screens of reports/: daily, periodic, goods and additional reports, free resources.
void registerReportScreens(ScreenRegistry &registry);
