#include "cli/verbs.h"

#include "cli/receipt_verb.h"

namespace cli {

QList<Verb> salesVerbs()
{
    return {
        {"receipt", "receipt [--terminal PORT] FILE.json", runReceipt},
    };
}

} // namespace cli
