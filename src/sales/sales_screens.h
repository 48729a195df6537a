#pragma once

class ScreenRegistry;

// The screens of sales/: fiscal receipt, card payment, non-fiscal receipt, cash in and out, cancel and close, receipt copies.
void registerSalesScreens(ScreenRegistry &registry);
