#pragma once

#include <QString>

struct CommandResult;

// What the main window learns at connection and every screen reads. The registrar's
// identity and the flags that follow from it are set in one place,
// identification::apply(), for the main window and dizivu-cli alike.
struct AppState {
    // The result of the last command any screen sent.
    CommandResult *currentResult = nullptr;
    QString modelName;
    QString softwareVersion;
    int taxGroupCount = 0;
    int paymentFormCount = 10;
    bool rgtModel = false;
    // Set when a connection succeeds and after the status view; screens set it after
    // successful reports.
    bool sharedMark = false;
    // The registrar's USB virtual COM port found at activation. Whether the serial
    // connection goes through it is the link's to know (DeviceLink::OnVirtualPort), as its
    // exchanges act on it.
    QString virtualPortName;
    // Model name contains "6208", or "KM-1" but not "KM-1M": decides several menus and
    // the captions of status byte 5.
    bool dataTransferFamily = false;
    QString priorityLevel = QStringLiteral("medium");
    QString elJournal;
    QString cardTerminalPort;
    // The system's error code of the last failed bank-terminal port test (0: none).
    int cardTerminalOpenError = 0;
    // Options of the registrar-parameters screen that follow the model name.
    bool showSmallFontReceipt = false;
    bool showSmallFontControlTape = false;
    bool showPaper57 = false;
    // The speed of the serial connection (the registrar-parameters screen selects it).
    qint32 connectedSpeed = 0;
    // Which transport the current connection uses.
    bool serialConnected = false;
    bool usbConnected = false;
    // The paper-tape file of the built-in emulator while the program uses it; empty
    // otherwise.
    QString emulatorTapePath;

    bool connected() const { return serialConnected || usbConnected; }
};
