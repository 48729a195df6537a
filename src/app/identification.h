#pragma once

#include <QString>

struct CommandResult;

// What the reply to command 0x80 "Диагностическая информация" says about the registrar,
// as the main window and the status screen both show it.
namespace identification {

// "   Модель:" field 1 ",    Версия:" field 2 ",     " field 3 ".".
QString identityText(const CommandResult &diagnostic);

// Field 11, the number of payment forms. 0 means ten; a missing, negative or non-numeric
// count would leave the payment screens with nothing to show and reads as ten as well.
int paymentFormCount(const CommandResult &diagnostic);

} // namespace identification
