#include "cli/verbs.h"

namespace cli {

QList<Verb> diagnosticVerbs()
{
    return {};
}

} // namespace cli
