#pragma once

#include <QString>

class Application;

// The command test screen without its widgets: one command by its code, password and
// parameter text, and the raw outcome.
class CommandTest {
public:
    static inline const QString kCaption = QStringLiteral("Тест команд");
    static inline const QString kStatusText = QStringLiteral("   Тест команд:  ");
    // This screen's wording has no "!".
    static inline const QString kBadCode = QStringLiteral("Неверный код команды");

    struct Outcome {
        bool sent = false;    // the command went to the link
        bool replied = false; // a reply came: the texts below are the reply's
        QString data;         // the reply's data copy
        QString errorWord;
        QString statusText;   // six status bytes, "XX " each
    };

    explicit CommandTest(Application &app);

    // "Выполнить": the first two characters of `code` as hexadecimal digits; for the
    // barcode command the command line must end with ";" and its separators after the
    // fourth become 0xA0; password + ";" + command line goes out.
    Outcome execute(const QString &code, const QString &password, const QString &commandLine);

private:
    Application &m_app;
};
