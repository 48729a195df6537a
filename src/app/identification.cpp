#include "app/identification.h"

#include "app/app_config.h"
#include "app/app_state.h"
#include "app/application.h"
#include "commands/command_codes.h"
#include "commands/command_wrappers.h"
#include "commands/status_bytes.h"
#include "link/code_page.h"
#include "link/command_result.h"

namespace identification {

namespace {

QString field(const CommandResult &r, int number)
{
    return code_page::fromDevice(r.field(number - 1));
}

} // namespace

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

QString configuredVersion(int index)
{
    static const QStringList versions = {QStringLiteral("2.01"), QStringLiteral("2.02"), QStringLiteral("3.00"),
                                         QStringLiteral("3.01")};
    return versions.value(index);
}

ModelFlags modelFlags(const QString &model)
{
    static const QStringList paper57Models = {
        QStringLiteral("Korvan KV-S1"), QStringLiteral("Korvan KV-T8"), QStringLiteral("Korvan KV-44"),
        QStringLiteral("Korvan KV-32"), QStringLiteral("Korvan KV-77"), QStringLiteral("KM-1M"),
        QStringLiteral("eKV-60")};
    ModelFlags f;
    f.rgtModel = model.contains(QStringLiteral("RGT"));
    f.dataTransferFamily = status_bytes::reportsDataTransfer(model);
    f.showPaper57 = paper57Models.contains(model);
    f.showSmallFontControlTape = !f.showPaper57 && model == QStringLiteral("Korvan KM-1");
    return f;
}

void applySettings(AppState &s, const AppConfig &config)
{
    s.priorityLevel = config.level();
    s.elJournal = config.elJournal();
}

void apply(AppState &s, const CommandResult &r, const AppConfig &config, Connection connection)
{
    s.modelName = field(r, 1);
    const QString configured = connection == Connection::Serial ? configuredVersion(config.ukrVersion()) : QString();
    s.softwareVersion = configured.isEmpty() ? field(r, 2) : configured;
    s.taxGroupCount = field(r, 10).toInt();
    s.paymentFormCount = paymentFormCount(r);
    const ModelFlags flags = modelFlags(s.modelName);
    s.rgtModel = flags.rgtModel;
    s.dataTransferFamily = flags.dataTransferFamily;
    s.showSmallFontReceipt = false;
    s.showSmallFontControlTape = flags.showSmallFontControlTape;
    s.showPaper57 = flags.showPaper57;
    applySettings(s, config);
}

Verdict identify(Application &app)
{
    int code = 0;
    const CommandResult *r = app.execute(getDiagnosticInfo, QString::fromLatin1(cmd::kDefaultPassword), code);
    if (code < 0)
        return Verdict::refused(code, wrapper_codes::refusalMessage(code));
    const Verdict verdict = Verdict::of(*r);
    if (verdict.ok())
        apply(app.state(), *r, app.config(), app.state().usbConnected ? Connection::Usb : Connection::Serial);
    return verdict;
}

} // namespace identification
