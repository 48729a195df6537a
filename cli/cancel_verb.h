#pragma once

#include "cli/verbs.h"
#include "sales/receipt_cancel.h"

namespace cli {

// cancel [--close] --yes: the way out of a receipt a killed run left open, as the cancel
// and close screen does it. Reads the receipt state (0x80); with no receipt open prints
// receipt=none and ends (exit 0); otherwise voids the fiscal receipt (0x6B) or, with
// --close, closes a paid one or a non-fiscal one (0x65). Without --yes nothing is sent.
// Keys: receipt=none|fiscal|return|non-fiscal, void.error= or close.error=, result=.
Verb cancelVerb();

// What receipt= says for status byte 2: none, fiscal, return or non-fiscal.
QString openReceiptKind(int statusByte2);
QString openReceiptKind(ReceiptCancel::Open open);

} // namespace cli
