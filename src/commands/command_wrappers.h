#pragma once

#include <QString>
#include <QtGlobal>

class DeviceLink;
struct CommandResult;

// The registrar's command API: one function per command variant. Each takes the link,
// the access password, the command's values and (all but a few) the out-parameter `code`.
//
// A wrapper that refuses its input sends nothing, sets `code` to a negative number and
// returns the link's CommandResult unchanged (the wrappers without `code` mark it as a
// command that got no reply instead, so a refusal never reads as the previous success).
// Every text field, the password included, is refused when it holds ";" (it would shift
// every field after it), a control character below 20h (SOH or ETX would land inside
// the frame) or a character that Windows-1251 cannot hold. Otherwise it sets `code` to 0, formats the
// parameter string (every field closed by ";", text as Windows-1251, amounts with two
// decimals and quantities with three, always "." as the decimal point whatever the
// locale) and runs the transaction; link and registrar outcomes come back only in the
// returned CommandResult (never null).
namespace wrapper_codes {
constexpr int kLogoLineNumber = -110;   // 0x29: logo line number below 0
constexpr int kLogoLineLength = -111;   // 0x29: logo line data not exactly 48 characters
constexpr int kHeaderLineWrite = -121;  // 0x22: header line number outside 0 to 20
constexpr int kHeaderLineRead = -131;   // 0x23: header line number outside 0 to 20
constexpr int kQuantity = -151;         // 0x64, 0x6A: quantity not above 0
constexpr int kPaymentType = -151;      // 0x67: payment type outside 0 to 9
constexpr int kPrice = -152;            // 0x64, 0x6A: price below 0
constexpr int kTextSeparator = -161;    // any text field: holds ";"
constexpr int kTextControl = -162;      // any text field: holds a character below 20h
constexpr int kTextCodePage = -163;     // any text field: a character Windows-1251 lacks

// What a refusal code means, for the user (Russian); empty for 0 and unknown codes.
QString refusalMessage(int code);
} // namespace wrapper_codes

// ---- Date and time ----------------------------------------------------------------

// 0x20: date DDMMYY, time HHMM.
CommandResult *SetDateTime(DeviceLink &link, const QString &password, const QString &date,
                           const QString &time, int &code);
// 0x21
CommandResult *GetDateTime(DeviceLink &link, const QString &password, int &code);

// ---- Receipt header and advertising text -------------------------------------------

// 0x22: line 0 to 20, width flag 0 single, 1 double.
CommandResult *SetHeaderFooter(DeviceLink &link, const QString &password, int line,
                               const QString &text, int doubleWidth, int &code);
// 0x23: line 0 to 20.
CommandResult *GetHeaderFooter(DeviceLink &link, const QString &password, int line, int &code);

// ---- Registrar parameters and decimal point ----------------------------------------

// 0x27: masks and pulses go out in hexadecimal, characters per line with two digits.
CommandResult *SetRegistratorParams(DeviceLink &link, const QString &password, int speed,
                                    int contrast, int documentParams, int extendedParams,
                                    int openingPulse, int closingPulse, int charsPerLine,
                                    int &code);
// 0x28
CommandResult *GetRegistratorParams(DeviceLink &link, const QString &password, int &code);
// 0x49
CommandResult *setDecimalPoint(DeviceLink &link, const QString &password, int position,
                               int &code);
// 0x4A
CommandResult *getDecimalPoint(DeviceLink &link, const QString &password, int &code);

// ---- Logo --------------------------------------------------------------------------

// 0x29: one picture line as exactly 48 hexadecimal characters.
CommandResult *SetUserLogo(DeviceLink &link, const QString &password, int line,
                           const QString &lineData, int &code);

// ---- Operators, mode passwords, payment forms --------------------------------------

// 0x2B: the current administrator password, then the three new passwords.
CommandResult *SetModePsw(DeviceLink &link, const QString &adminPassword,
                          const QString &programmingPassword, const QString &reportsPassword,
                          const QString &newAdminPassword, int &code);
// 0x2C: operator -1 means all operators.
CommandResult *ClearOpetratorPsw(DeviceLink &link, const QString &password, int operatorNumber,
                                 int &code);
// 0x2D: the permission mask goes out as two hexadecimal digits.
CommandResult *SetPaymentParams(DeviceLink &link, const QString &password, int paymentNumber,
                                int mask, const QString &name, int &code);
// 0x2E
CommandResult *GetPaymentParams(DeviceLink &link, const QString &password, int paymentNumber,
                                int &code);
// 0x2F
CommandResult *SetOperatorParams(DeviceLink &link, const QString &password, int operatorNumber,
                                 const QString &operatorPassword, const QString &name,
                                 int &code);
// 0x30
CommandResult *GetOperatorParams(DeviceLink &link, const QString &password, int operatorNumber,
                                 int &code);

// ---- Maintenance reminder, message buffer, service counters ------------------------

// 0x34: one line of the temporary message buffer; flag 0 for the first line, 1 after.
CommandResult *addMessageLine(DeviceLink &link, const QString &password, int continuation,
                              const QString &line, int &code);
// 0x35: event date DDMMYY, days of notice, event mask (two hexadecimal digits).
CommandResult *setServiceReminder(DeviceLink &link, const QString &servicePassword,
                                  const QString &newServicePassword, const QString &date,
                                  int daysOfNotice, int eventMask, int &code);
// 0x36
CommandResult *getServiceReminder(DeviceLink &link, const QString &password, int &code);
// 0x84: 3 prints the maintenance reminder report, 1 the fiscalization report.
CommandResult *printServiceReport(DeviceLink &link, const QString &password, int reportType,
                                  int &code);
// 0x88
CommandResult *setServiceCounter(DeviceLink &link, const QString &password, int counter,
                                 int value, int &code);
// 0x89
CommandResult *getServiceCounter(DeviceLink &link, const QString &password, int counter,
                                 int &code);

// ---- Fiscal setup ------------------------------------------------------------------

// 0x40
CommandResult *Fiscalize(DeviceLink &link, const QString &password, const QString &serialNumber,
                         const QString &inspectorPassword, int &code);
// 0x41
CommandResult *SetSerialNumber(DeviceLink &link, const QString &password,
                               const QString &serialNumber, int &code);
// 0x42
CommandResult *GetSerialNumber(DeviceLink &link, const QString &password, int &code);
// 0x43
CommandResult *SetFiscalNumber(DeviceLink &link, const QString &password,
                               const QString &fiscalNumber, int &code);
// 0x44
CommandResult *GetFiscalNumber(DeviceLink &link, const QString &password, int &code);
// 0x45
CommandResult *SetTaxIdNumber(DeviceLink &link, const QString &password, const QString &idNumber,
                              const QString &taxNumber, int &code);
// 0x46
CommandResult *GetTaxIdNumber(DeviceLink &link, const QString &password, int &code);
// 0x47: the rate as typed; linked group -1 when there is none.
CommandResult *SetTaxes(DeviceLink &link, const QString &password, int group, int type,
                        const QString &rate, const QString &name, int linkedGroup, int &code);
// 0x48
CommandResult *GetTaxes(DeviceLink &link, const QString &password, int group, int &code);
// 0xF3: the registrar restarts afterwards.
CommandResult *restartRegistrar(DeviceLink &link, const QString &password, int &code);

// ---- Receipts ----------------------------------------------------------------------

// 0x60
CommandResult *OpenNonFiscalReceipt(DeviceLink &link, const QString &password, int &code);
// 0x61
CommandResult *PrintText(DeviceLink &link, const QString &password, const QString &text,
                         int &code);
// 0x63: receipt type 0 sale, 1 return, 2 cash deposit or withdrawal.
CommandResult *OpenFiscalReceipt(DeviceLink &link, const QString &password, int operatorNumber,
                                 int cashDesk, int receiptType, int &code);
// 0x64: quantity above 0, price not below 0.
CommandResult *SellItem(DeviceLink &link, const QString &password, qint64 goodsCode,
                        double quantity, double price, int &code);
// 0x6A: the sale to a VEKR recipient; the same checks as SellItem.
CommandResult *sellItemVekr(DeviceLink &link, const QString &password, qint64 goodsCode,
                            double quantity, double price, int recipient, int &code);
// 0x65 with the flag 0: after non-fiscal printing, reports and cash operations.
CommandResult *CloseFiscalReceipt(DeviceLink &link, const QString &password, int &code);
// 0x65 with a flag of the caller's (the sale screen's display flag).
CommandResult *CloseFiscalReceipt(DeviceLink &link, const QString &password, int flag,
                                  int &code);
// 0x67: payment type 0 to 9.
CommandResult *payReceipt(DeviceLink &link, const QString &password, int paymentType,
                          double amount, int &code);
// 0x68, 0x69: discount (negative) or surcharge on the last item.
CommandResult *applyItemDiscountPercent(DeviceLink &link, const QString &password, double percent,
                                        int &code);
CommandResult *applyItemDiscountAbsolute(DeviceLink &link, const QString &password, double value,
                                         int &code);
// 0x73, 0x74: on the subtotal.
CommandResult *applySubtotalDiscountPercent(DeviceLink &link, const QString &password,
                                            double percent, int &code);
CommandResult *applySubtotalDiscountAbsolute(DeviceLink &link, const QString &password,
                                             double value, int &code);
// 0x75, 0x76: on one tax group.
CommandResult *applyTaxGroupDiscountPercent(DeviceLink &link, const QString &password,
                                            double percent, int taxGroup, int &code);
CommandResult *applyTaxGroupDiscountAbsolute(DeviceLink &link, const QString &password,
                                             double value, int taxGroup, int &code);
// 0x6B: 0 void the receipt, 1 start, 2 end, 3 cancel voiding.
CommandResult *voidReceipt(DeviceLink &link, const QString &password, int operation, int &code);
// 0x6D: the flag field is 1 when the total is also shown on the display.
CommandResult *printTotal(DeviceLink &link, const QString &password, bool onDisplay, int &code);
// 0x6E: cash in (positive) or out (negative) at once.
CommandResult *moveCash(DeviceLink &link, const QString &password, int operatorNumber,
                        double amount, int &code);
// 0x77: cash in or out inside an open cash receipt.
CommandResult *moveCashInReceipt(DeviceLink &link, const QString &password, int field,
                                 double amount, int &code);
// 0x81
CommandResult *showOnDisplay(DeviceLink &link, const QString &password, int function,
                             int option, const QString &text, int &code);

// ---- Card payment ------------------------------------------------------------------

// 0x78: records a card payment; type 0 to 9, the amount in hundredths goes out with two
// decimals, the terminal's transaction identifier last.
CommandResult *recordCardPayment(DeviceLink &link, const QString &password, int paymentType,
                                 qint64 amountCents, const QString &transactionId, int &code);

// ---- Diagnostics and resources -----------------------------------------------------

// 0x80
CommandResult *getDiagnosticInfo(DeviceLink &link, const QString &password, int &code);
// 0xA0
CommandResult *getResourceInfo(DeviceLink &link, const QString &password, int &code);

// ---- Reports -----------------------------------------------------------------------

// 0xA1: 0 Z report, 1 X report, 2 clear the control tape, 5 unload it.
CommandResult *printReport(DeviceLink &link, const QString &password, int reportType, int &code);
// 0xA2: dates DDMMYY; detail 0 short, 1 full.
CommandResult *printPeriodicReportByDate(DeviceLink &link, const QString &password,
                                         const QString &firstDate, const QString &lastDate,
                                         int detail, int &code);
// 0xA3
CommandResult *printPeriodicReportByNumber(DeviceLink &link, const QString &password, int first,
                                           int last, int detail, int &code);
// 0xA4: goods codes as 64-bit integers.
CommandResult *printGoodsReport(DeviceLink &link, const QString &password, qint64 firstCode,
                                qint64 lastCode, int &code);
// 0xA6
CommandResult *printAdditionalReport(DeviceLink &link, const QString &password, int reportType,
                                     int &code);

// ---- Receipt copies and control tape -----------------------------------------------

// 0xA5: by running numbers.
CommandResult *printReceiptCopies(DeviceLink &link, const QString &password, int first, int last,
                                  int &code);
// 0xEB: by document number (no out-parameter).
CommandResult *printCopiesByNumber(DeviceLink &link, const QString &password, int first,
                                   int last);
// 0xEE: search the control tape by time span; print 1 prints what is found (no
// out-parameter).
CommandResult *searchControlTape(DeviceLink &link, const QString &password,
                                 const QString &startDate, const QString &startTime,
                                 const QString &endDate, const QString &endTime, int print);

// ---- Firmware read-out -------------------------------------------------------------

// 0xE7: selects a data source. Selectors 0, 1 and 3 carry the value, 2 and 5 do not; any
// other selector sends nothing (no out-parameter).
CommandResult *SetDataSource(DeviceLink &link, const QString &password, int selector,
                             int value = 0);
// 0xE8: the next packet of the selected source (no out-parameter).
CommandResult *ReadDataFromBuf(DeviceLink &link, const QString &password);

// ---- Cash operations, non-fiscal receipts, receipt copies ----------------------------

// 0x65 with the flag 0, under a name of its own so that it can be handed to
// Application::execute (CloseFiscalReceipt is overloaded).
CommandResult *closeReceipt(DeviceLink &link, const QString &password, int &code);

// Field formatting shared by the wrappers and by screens that build their own parameter
// strings. Independent of the process locale.
namespace param_format {
// A fixed-point number with `decimals` digits after "."; never "-0.00".
QByteArray fixed(double value, int decimals);
// Upper-case hexadecimal zero-padded to `width` digits; a negative value goes out as its
// 32-bit two's complement.
QByteArray hex(int value, int width);
// A decimal integer zero-padded to two digits.
QByteArray twoDigits(int value);
// Why a text cannot go out as one field: 0 when it can, else kTextControl,
// kTextSeparator or kTextCodePage (checked in this order). With separatorAllowed the
// text is a whole parameter string, or a field the caller escapes itself (the barcode's
// 0xA0), and ";" passes.
int textRefusal(const QString &text, bool separatorAllowed = false);
} // namespace param_format
