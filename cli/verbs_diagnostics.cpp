#include "cli/verbs.h"

#include "cli/detect_verb.h"
#include "cli/log_verb.h"

namespace cli {

QList<Verb> diagnosticVerbs()
{
    return {
        {"detect", "detect [--ports P1,P2...] [--speeds S1,S2...]", detect},
        logVerb(),
    };
}

} // namespace cli
