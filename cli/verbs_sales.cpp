#include "cli/verbs.h"

#include "cli/load_goods_verb.h"
#include "cli/receipt_verb.h"

namespace cli {

QList<Verb> salesVerbs()
{
    return {
        {"receipt", "receipt [--terminal PORT] FILE.json", runReceipt},
        loadGoodsVerb(),
    };
}

} // namespace cli
