#pragma once

#include "commands/verdict.h"

#include <QString>

#include <array>
#include <functional>

class Application;

// "Информация о свободных ресурсах и статусе" without its widgets: the registrar's free
// resources, the shift's opening and the permissions of its fiscal memory (0xA0).
class ResourceInfo {
public:
    static inline const QString kCaption = QStringLiteral("Информация о свободных ресурсах и статусе");
    static inline const QString kHeading = QStringLiteral("Информация о свободных ресурсах и статусе:\n  ");
    static inline const QString kSuccess = QStringLiteral("Информация о свободных ресурсах и статусе - Успешно!");
    static inline const QString kIncomplete =
        QStringLiteral("Информация переданная регистратором неверна. Чтение данных остановлено.");

    static constexpr int kPermissionCount = 6;
    static constexpr int kValueCount = 6;
    static constexpr int kFieldCount = kPermissionCount + kValueCount;
    // The captions of data fields 0 to 11: six check boxes, then six values.
    static const std::array<QString, kFieldCount> &captions();

    // One reading: the six permissions (a field that reads as the number 1 is granted)
    // and fields 6 to 11 as the registrar sent them. `read` only when every field came.
    struct Resources {
        bool read = false;
        std::array<bool, kPermissionCount> permissions{};
        std::array<QString, kValueCount> values;
        std::array<QString, kFieldCount> fields; // every field as sent
    };

    explicit ResourceInfo(Application &app);

    // The fields are taken only from a reply that passed and holds all twelve; a shorter
    // reply is said to be wrong and gives nothing to show. `show`, when given, gets the
    // outcome before anything is said about it, so the screen's fields and "Код ошибки:"
    // are filled by the time "...- Успешно!" or the failure is on the screen.
    using Show = std::function<void(const Outcome<Resources> &)>;
    Outcome<Resources> read(const QString &password, const Show &show = {});

private:
    Application &m_app;
};
