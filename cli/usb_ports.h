#pragma once

#include "link/device_recovery.h"

#include <QString>

#include <cstdio>

class DeviceLink;

namespace cli {

// Opens the registrar's USB bulk endpoints through the libusb-0.1 library at
// `libraryPath` and makes them the link's transport. False, with the reason on `err`,
// when the library cannot be loaded or the device cannot be opened and configured.
bool attachUsb(DeviceLink &link, const QString &libraryPath, FILE *err);

// dizivu-cli ports: one line per serial port, "NAME<TAB>FRIENDLY NAME" (the name alone
// when nothing more is known), the registrar's virtual COM port marked with
// "<TAB>registrar"; then a line "registrar: NAME" or "registrar: not found".
int listPorts(FILE *out, const DeviceTree &tree = DeviceTree::system());

} // namespace cli
