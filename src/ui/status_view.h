#pragma once

#include "commands/status_bytes.h"
#include "commands/verdict.h"

#include <QString>
#include <QStringList>

#include <array>

class Application;
struct AppState;
struct CommandResult;

// What the status-bytes screen shows: one group of eight check boxes per status byte and
// the receipt-state list.
struct StatusDisplay {
    struct Group {
        QString title;
        std::array<QString, status_bytes::kBitCount> captions;
        std::array<bool, status_bytes::kBitCount> ticked{};
    };
    std::array<Group, status_bytes::kByteCount> groups;
    QStringList receiptStates; // "0. Документ закрыт" to "15."
    int receiptState = -1;     // the entry to select; -1 with no result
};

// The operations of the status-bytes screen (no widgets).
class StatusView {
public:
    explicit StatusView(Application &app);

    // The screen for a result: every box ticked from its status bytes, every bit-7 box
    // ticked, the receipt-state entry of byte 2. A null result (no command sent yet) ticks
    // only the bit-7 boxes and selects no entry. Byte 5, bits 0 and 1, are captioned for
    // the model and the kind of connection.
    static StatusDisplay display(const CommandResult *result, const QString &modelName,
                                 status_bytes::Connection connection);

    // The screen for the application's current result and connection.
    StatusDisplay current() const;

    // "Обновить": sends 0x80 with the default password and makes it the current result.
    // On success sets the payment-form count from data field 11 (10 when it reads 0 or is
    // no number) and shows the status-bar text; on failure shows "Проверка состояния
    // регистратора:\n  " and the decoded message.
    Outcome<QString> refresh();

    // "   Модель:<1>,    Версия:<2>,     <3>." from the data fields of a 0x80 reply.
    static QString identityText(const CommandResult &diagnostic);

private:
    Application &m_app;
};
