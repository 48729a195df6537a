#pragma once

#include <QString>

// The display name of a command code ("Команда XXh: " + name), or "Неверная команда".
QString CommandName(int code);
