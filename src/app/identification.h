#pragma once

#include "commands/verdict.h"

#include <QString>

class AppConfig;
class Application;
struct AppState;
struct CommandResult;

// What the reply to command 0x80 "Диагностическая информация" says about the registrar,
// as the main window, the status screen and dizivu-cli all take it.
namespace identification {

// "   Модель:" field 1 ",    Версия:" field 2 ",     " field 3 ".".
QString identityText(const CommandResult &diagnostic);

// Field 11, the number of payment forms. 0 means ten; a missing, negative or non-numeric
// count would leave the payment screens with nothing to show and reads as ten as well.
int paymentFormCount(const CommandResult &diagnostic);

// The software version the settings put in place of the registrar's ([UkrVer] Version:
// 0 "2.01", 1 "2.02", 2 "3.00", 3 "3.01"); empty for any other index (-1: none given).
QString configuredVersion(int index);

// What the screens derive from the model name alone.
struct ModelFlags {
    bool rgtModel = false;           // "RGT": its own daily reports, no item voids by name
    bool dataTransferFamily = false; // "6208", or "KM-1" but not "KM-1M"
    // Options of the registrar-parameters screen.
    bool showSmallFontControlTape = false; // exactly "Korvan KM-1"
    bool showPaper57 = false;              // the models with 57 mm paper
};
ModelFlags modelFlags(const QString &modelName);

// How the registrar is connected: the settings' version stands in for the registrar's
// on a serial connection only.
enum class Connection { Serial, Usb };

// The settings every connection reads: the priority level and the electronic journal.
void applySettings(AppState &state, const AppConfig &config);

// A successful 0x80 reply and the settings, into the state: model name, software version
// (configuredVersion() on a serial connection when the settings give one, else field 2),
// tax groups (field 10), payment forms, the model's flags, the small-font option of
// receipts off, and applySettings().
void apply(AppState &state, const CommandResult &diagnostic, const AppConfig &config, Connection connection);

// Sends 0x80 with the fixed password through the application (its reply becomes the
// current result) and, when it succeeds, applies it for the connection the state names
// (USB when usbConnected). The verdict: Refused when the wrapper refused to send.
Verdict identify(Application &app);

} // namespace identification
