#pragma once

#include <QList>
#include <QString>

#include <array>

// One catalogued command: its code, display name ("Команда XXh: " + name) and the
// human-readable template of its parameters.
struct CommandCatalogueEntry {
    int code = 0;
    QString name;
    QString templ;
};

// The registrar's command vocabulary for the codes 0x20 to 0xA3: a display name and a
// parameter template per slot. Slots without a command hold empty texts.
class CommandCatalogue {
public:
    static constexpr int kFirstCode = 0x20;
    static constexpr int kLastCode = 0xA3;
    static constexpr int kSlots = kLastCode - kFirstCode + 1; // 132

    static const CommandCatalogue &instance();

    // The display name, or "Неверная команда" outside the range or for an empty slot.
    QString name(int code) const;
    // Display name and template; false (name "Неверная команда", empty template) when the
    // code has no command.
    bool entry(int code, QString &name, QString &templ) const;
    // The commands in code order, empty slots left out.
    QList<CommandCatalogueEntry> entries() const;

    // The raw slots, empty texts included (index 0 is code 0x20).
    const QString &slotName(int index) const { return m_names[index]; }
    const QString &slotTemplate(int index) const { return m_templates[index]; }

    static QString invalidCommandName();

private:
    CommandCatalogue();
    static bool inRange(int code) { return code >= kFirstCode && code <= kLastCode; }

    std::array<QString, kSlots> m_names;
    std::array<QString, kSlots> m_templates;
};

// The display name of a command code ("Команда XXh: " + name), or "Неверная команда".
QString CommandName(int code);
// Display name and parameter template of a code; false with "Неверная команда" and an
// empty template when the slot is empty or the code lies outside 0x20 to 0xA3.
bool CommandEntry(int code, QString &name, QString &templ);
