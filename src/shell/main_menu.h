#pragma once

#include <QList>
#include <QString>

// The main window's menu: every item with its caption and the screen it opens.
enum class Menu { Sales, Commands, Reports, Utilities, Fiscal };

enum class MenuItem {
    ProgramGoods, FiscalReceipt, NonFiscalReceipt, CashInOut, VoidAndClose,
    CommandTest, RunScript,
    ResourcesAndStatus, DailyReportsRgt9, DailyReports, PeriodicReport, GoodsReport,
    AdditionalDailyReports, ReceiptCopies,
    HeaderAndAdvertising, Operators, PaymentParameters, Passwords, LogoLoading, FirmwareReadout,
    FiscalMemory, DateAndTime, Maintenance, ServiceCounters, DrawerTest,
    SetSerialNumber, FiscalParameters, RegistrarParameters, AcquirerServer, RemoteAccessServer,
    ControlTapeServer, WiFi, Gals, Vekr, DecimalPoint, Fiscalization, IdDev, ModemState,
    LastAcquirerSession,
    ExchangeLogViewer, EmulatorTape, EmulatorAfresh,
};

struct MenuEntry {
    Menu menu;
    MenuItem item;
    QString caption;
    QString screen; // the window class it opens; empty when the item has no screen
};

// The items in menu order.
const QList<MenuEntry> &menuEntries();
QString menuCaption(Menu menu);
QList<Menu> allMenus();
