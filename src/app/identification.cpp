#include "app/identification.h"

#include "link/code_page.h"
#include "link/command_result.h"

namespace identification {

QString identityText(const CommandResult &r)
{
    return QStringLiteral("   Модель:") + code_page::fromDevice(r.field(0)) + QStringLiteral(",    Версия:")
        + code_page::fromDevice(r.field(1)) + QStringLiteral(",     ") + code_page::fromDevice(r.field(2))
        + QLatin1Char('.');
}

int paymentFormCount(const CommandResult &r)
{
    bool ok = false;
    const int forms = r.field(10).trimmed().toInt(&ok);
    return ok && forms > 0 ? forms : 10;
}

} // namespace identification
