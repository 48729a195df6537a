#pragma once

#include "cli/verbs.h"

namespace cli {

// load-goods FILE: every line of a goods list file as 0x24, as "Записать в регистратор"
// does; one summary line "sent=N refused=N timed_out=N" on standard output. Exit 2 when
// any line got no reply, else 3 when any met a NAK or a check mismatch, else 1 when any
// was refused, else 0; 4 when the file cannot be read or the port opened, 5 when the
// password cannot go out (nothing sent in either case).
Verb loadGoodsVerb();
int loadGoods(const Options &options, FILE *out, FILE *err);

} // namespace cli
