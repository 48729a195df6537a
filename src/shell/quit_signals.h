#pragma once

#include <functional>

// SIGTERM, SIGINT and SIGHUP end the program the orderly way: `onSignal` runs on the
// event loop (the window closes, the port and the built-in emulator with it) instead of
// the process vanishing mid-exchange. Call once, after the application object exists.
void quitOnSignals(std::function<void()> onSignal);
