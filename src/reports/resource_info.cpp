#include "reports/resource_info.h"

#include "app/application.h"
#include "commands/command_wrappers.h"
#include "link/code_page.h"
#include "link/command_result.h"
#include "app/step_runner.h"

ResourceInfo::ResourceInfo(Application &app) : m_app(app) {}

const std::array<QString, ResourceInfo::kFieldCount> &ResourceInfo::captions()
{
    static const std::array<QString, kFieldCount> names = {
        QStringLiteral("Разрешение фискализации"),
        QStringLiteral("Разрешение записи заводского номера "),
        QStringLiteral("Разрешение записи фискального номера "),
        QStringLiteral("Разрешение записи налогового номера"),
        QStringLiteral("Разрешение записи комплекта налоговых ставок"),
        QStringLiteral("Разрешение записи пароля доступа к ФП"),
        QStringLiteral("Количество аварийных обнулений:"),
        QStringLiteral("Свободно фискальных отчетов:"),
        QStringLiteral("Дата открытия смены:"),
        QStringLiteral("Время открытия смены:"),
        QStringLiteral("Свободно записей в базе товаров:"),
        QStringLiteral("Свободно чеков:"),
    };
    return names;
}

Outcome<ResourceInfo::Resources> ResourceInfo::read(const QString &password, const Show &show)
{
    StepRunner steps(m_app);
    int code = 0;
    const CommandResult *r = m_app.execute(getResourceInfo, password, code);
    // Judged without a word; said below, once the screen shows the outcome.
    StepTexts quiet(kHeading);
    quiet.quiet = true;
    const bool passed = steps.judge(r, code, quiet);
    Outcome<Resources> out = steps.outcome(Resources());
    const bool complete = passed && r->fieldCount >= kFieldCount;
    if (complete) {
        for (int i = 0; i < kFieldCount; ++i)
            out.shown.fields[size_t(i)] = code_page::fromDevice(r->field(i));
        for (int i = 0; i < kPermissionCount; ++i) {
            bool ok = false;
            out.shown.permissions[size_t(i)] = r->field(i).toInt(&ok) == 1 && ok;
        }
        for (int i = 0; i < kValueCount; ++i)
            out.shown.values[size_t(i)] = out.shown.fields[size_t(kPermissionCount + i)];
        out.shown.read = true;
    }
    if (show)
        show(out);
    if (!passed)
        m_app.prompter().showMessage(kHeading + out.verdict.message);
    else
        m_app.prompter().showMessage(complete ? kSuccess : kIncomplete);
    return out;
}
