#include "cli/verbs.h"

#include "cli/log_verb.h"

namespace cli {

QList<Verb> diagnosticVerbs()
{
    return {logVerb()};
}

} // namespace cli
