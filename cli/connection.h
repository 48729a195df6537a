#pragma once

#include <QString>

#include <cstdio>

class DeviceLink;

namespace cli {

struct Options;

// Makes SIGINT (Ctrl-C) and SIGTERM end the process at once with status 130, in every
// state, a wait inside an exchange included. Nothing is cleaned up on the way out: the
// system closes the port, and the lines printed so far are already out (standard output
// is switched to line buffering here).
void installInterruptHandlers();
// While held, an interrupt (Ctrl-C, SIGTERM) waits: it is noted, said, and ends the
// process when the hold is released (see interruptPending()); a second one ends it at
// once, after printing `note` (a card payment's identifier) on standard error.
void holdInterrupts(bool hold);
void setInterruptNote(const QString &note);
// An interrupt came while held.
bool interruptPending();

// Opens the connection the options ask for, as the desktop program does: the exchange
// log, the serial port (or the USB endpoints), the reply count, then the start-up frame
// unless --no-startup, so this process's first command never matches the previous
// process's last one and is never answered from the registrar's cache without being
// done (without it, the link's random start leaves a chance of 1 in 95). An unanswered
// start-up frame does not stop the connection. False, with the reason on `err`, when
// the port cannot be opened.
bool openConnection(DeviceLink &link, const Options &options, FILE *err);

// Exactly one of --port and --usb, as every verb that talks to the registrar needs. False,
// with the reason on `err`, when neither or both are given; nothing has been sent then.
bool connectionChosen(const Options &options, FILE *err);

// True, with the reason in `error`, when something other than a regular file (or a link
// to one) is at `path`: a folder, a device, a named pipe. Looks without opening, so a
// pipe or a device never blocks. A missing file is not refused here; the caller
// reports it in its own words.
bool refusedAsFile(const QString &path, QString &error);

} // namespace cli
