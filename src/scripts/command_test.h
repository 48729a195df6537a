#pragma once

#include "commands/verdict.h"

#include <QString>

class Application;

// The command test screen without its widgets: one command by its code, password and
// parameter text.
class CommandTest {
public:
    static inline const QString kCaption = QStringLiteral("Тест команд");
    static inline const QString kStatusText = QStringLiteral("   Тест команд:  ");
    // This screen's wording has no "!".
    static inline const QString kBadCode = QStringLiteral("Неверный код команды");

    explicit CommandTest(Application &app);

    // "Выполнить": the first two characters of `code` as hexadecimal digits; for the
    // barcode command the command line must end with ";" and its separators after the
    // fourth become 0xA0; password + ";" + command line goes out. The reply's texts are
    // shown only when a reply of this command came (a registrar error included).
    Outcome<ReplyTexts> execute(const QString &code, const QString &password, const QString &commandLine);

private:
    Application &m_app;
};
