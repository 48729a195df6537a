#include "commands/command_catalogue.h"

QString CommandName(int)
{
    return QStringLiteral("Неверная команда");
}
