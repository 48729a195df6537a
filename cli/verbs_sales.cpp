#include "cli/verbs.h"

#include "cli/load_goods_verb.h"

namespace cli {

QList<Verb> salesVerbs()
{
    return {loadGoodsVerb()};
}

} // namespace cli
