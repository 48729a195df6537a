#pragma once

#include "cli/verbs.h"

#include <QByteArray>

struct LoggedExchange;

namespace cli {

// `log FILE [--errors]`: an exchange log decoded, one line per exchange.
Verb logVerb();

// One exchange as a line of tab-separated key=value pairs (UTF-8, no line break):
// line, time (or session: the session's start, for a record without a time of its own),
// seq, code, name, params, outcome (ok, error, no-reply, nak, checksum, unlogged,
// damaged), repeat, error, message, status, stage, syn, field1..fieldN, note. Keys
// without a value are left out. Tabs, line breaks and backslashes in values are written
// \t, \n, \\.
QByteArray describeLoggedExchange(const LoggedExchange &exchange);

} // namespace cli
