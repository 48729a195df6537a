#pragma once

// The registrar's command codes, by what each command does. Wrappers, the catalogue, the
// screens and the emulator name commands through this list, never by bare numbers.
// 0x88 writes a service counter; the start-up frame sends it with fixed values.
namespace cmd {

enum Code : int {
    SetDateTime = 0x20,
    GetDateTime = 0x21,
    SetHeaderFooter = 0x22,
    GetHeaderFooter = 0x23,
    AddGoods = 0x24,
    FindGoodsIndex = 0x25,
    GetGoodsByIndex = 0x26,
    SetRegistratorParams = 0x27,
    GetRegistratorParams = 0x28,
    SetUserLogo = 0x29,
    SetModePasswords = 0x2B,
    ClearOperatorPassword = 0x2C,
    SetPaymentParams = 0x2D,
    GetPaymentParams = 0x2E,
    SetOperatorParams = 0x2F,
    GetOperatorParams = 0x30,
    LogoData = 0x31,
    AddMessageLine = 0x34,
    SetMaintenanceReminder = 0x35,
    GetMaintenanceReminder = 0x36,
    ClearGoodsBase = 0x3B,
    Fiscalize = 0x40,
    SetSerialNumber = 0x41,
    GetSerialNumber = 0x42,
    SetFiscalNumber = 0x43,
    GetFiscalNumber = 0x44,
    SetTaxIdNumber = 0x45,
    GetTaxIdNumber = 0x46,
    SetTaxes = 0x47,
    GetTaxes = 0x48,
    SetDecimalPoint = 0x49,
    GetDecimalPoint = 0x4A,
    OpenNonFiscalReceipt = 0x60,
    PrintText = 0x61,
    CloseNonFiscalReceipt = 0x62,
    OpenFiscalReceipt = 0x63,
    SellItem = 0x64,
    CloseFiscalReceipt = 0x65,
    ReceiptCopy = 0x66,
    Payment = 0x67,
    ItemPercentDiscount = 0x68,
    ItemAbsoluteDiscount = 0x69,
    ExtraTax = 0x6A,
    // The sale to a recipient goes out under the extra tax's code with its own fields.
    SellItemForRecipient = ExtraTax,
    VoidOperation = 0x6B,
    TotalPercentDiscount = 0x6C,
    PrintTotal = 0x6D,
    CashInOut = 0x6E,
    PrintBarcodeLine = 0x6F,
    PrintBarcode = 0x71,
    SubtotalPercentDiscount = 0x73,
    SubtotalAbsoluteDiscount = 0x74,
    TaxGroupPercentDiscount = 0x75,
    TaxGroupAbsoluteDiscount = 0x76,
    CashInOutVariant = 0x77,
    CardPayment = 0x78,
    Diagnostics = 0x80,
    Display = 0x81,
    Sound = 0x82,
    OpenDrawer = 0x83,
    MaintenanceReport = 0x84,
    SetServiceCounter = 0x88,
    Startup = SetServiceCounter,
    GetServiceCounter = 0x89,
    FreeResources = 0xA0,
    PrintReport = 0xA1,
    FindReportByDate = 0xA2,
    // The periodic report between two dates is printed through the search by date.
    PeriodicReportByDate = FindReportByDate,
    PeriodicReport = 0xA3,
    GoodsReport = 0xA4,
    CopiesByRunningNumber = 0xA5,
    AdditionalReport = 0xA6,
    SetDataSource = 0xE7,
    ReadDataFromBuf = 0xE8,
    CopiesByDocumentNumber = 0xEB,
    SearchControlTape = 0xEE,
    EraseFlash = 0xF0,
    ReadFlash = 0xF1,
    WriteFlash = 0xF2,
    SerialNumberRestart = 0xF3,
};

// Codes that may go on the wire: below 0x20 a code would be taken for a control byte.
inline constexpr int kFirstCode = 0x20;
inline constexpr int kLastCode = 0xFF;
inline constexpr bool sendable(int code) { return code >= kFirstCode && code <= kLastCode; }

// The access password every screen's password field starts with, and the one that
// fixed-password operations send.
inline constexpr char kDefaultPassword[] = "482913";

} // namespace cmd
