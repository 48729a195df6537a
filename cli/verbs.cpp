#include "cli/verbs.h"

#include <QString>

namespace cli {

const QList<Verb> &extraVerbs()
{
    static const QList<Verb> verbs = salesVerbs() + reportVerbs() + toolVerbs() + diagnosticVerbs();
    return verbs;
}

const Verb *findVerb(const QString &name)
{
    for (const Verb &v : extraVerbs())
        if (name == QLatin1String(v.name))
            return &v;
    return nullptr;
}

} // namespace cli
