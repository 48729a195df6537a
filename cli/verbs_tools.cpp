#include "cli/verbs.h"

namespace cli {

QList<Verb> toolVerbs()
{
    return {};
}

} // namespace cli
