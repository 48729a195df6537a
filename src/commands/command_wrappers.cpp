#include "commands/command_wrappers.h"

#include "commands/command_codes.h"
#include "link/code_page.h"
#include "link/command_result.h"
#include "link/device_link.h"

#include <cmath>

namespace param_format {

QByteArray fixed(double value, int decimals)
{
    // QByteArray::number formats in the C locale whatever the process locale says.
    QByteArray text = QByteArray::number(value, 'f', decimals);
    // A tiny negative amount rounds to zero; the registrar gets "0.00", not "-0.00".
    if (text.startsWith('-')) {
        bool allZero = true;
        for (qsizetype i = 1; i < text.size() && allZero; ++i)
            allZero = text[i] == '0' || text[i] == '.';
        if (allZero)
            text.remove(0, 1);
    }
    return text;
}

QByteArray hex(int value, int width)
{
    return QByteArray::number(static_cast<quint32>(value), 16).toUpper().rightJustified(width, '0');
}

QByteArray twoDigits(int value)
{
    // Like "%02i": the sign counts towards the width, so only 0 to 9 gain a zero.
    if (value >= 0 && value < 10)
        return QByteArray(1, '0') + QByteArray::number(value);
    return QByteArray::number(value);
}

int textRefusal(const QString &text, bool separatorAllowed)
{
    for (QChar c : text)
        if (c.unicode() < 0x20)
            return wrapper_codes::kTextControl;
    if (!separatorAllowed && text.contains(QLatin1Char(';')))
        return wrapper_codes::kTextSeparator;
    QByteArray bytes;
    if (!code_page::toDeviceExactly(text, bytes))
        return wrapper_codes::kTextCodePage;
    return 0;
}

} // namespace param_format

namespace wrapper_codes {

QString refusalMessage(int code)
{
    switch (code) {
    case kLogoLineNumber:
        return QStringLiteral("Номер линии логотипа меньше 0: команда не отправлена.");
    case kLogoLineLength:
        return QStringLiteral("Линия логотипа должна содержать ровно 48 символов: команда не отправлена.");
    case kHeaderLineWrite:
    case kHeaderLineRead:
        return QStringLiteral("Номер строки должен быть от 0 до 20: команда не отправлена.");
    case kQuantity: // also kPaymentType
        return QStringLiteral("Количество должно быть больше 0, тип оплаты - от 0 до 9: команда не отправлена.");
    case kPrice:
        return QStringLiteral("Цена не может быть меньше 0: команда не отправлена.");
    case kTextSeparator:
        return QStringLiteral("Текст содержит символ \";\", разделитель полей: команда не отправлена.");
    case kTextControl:
        return QStringLiteral("Текст содержит управляющий символ (код меньше 20h): команда не отправлена.");
    case kTextCodePage:
        return QStringLiteral("Текст содержит символ, которого нет в кодовой странице Windows-1251: "
                              "команда не отправлена.");
    default:
        return QString();
    }
}

} // namespace wrapper_codes

namespace {

// Builds a parameter string: the password first, every field closed by ";". The first
// text field that cannot go out as one field is kept as the refusal of the whole string.
class Params {
public:
    explicit Params(const QString &password) { text(password); }

    Params &text(const QString &value)
    {
        if (m_refusal == 0)
            m_refusal = param_format::textRefusal(value);
        return field(code_page::toDevice(value));
    }
    Params &literal(const char *value) { return field(QByteArray(value)); }
    Params &dec(qint64 value) { return field(QByteArray::number(value)); }
    Params &twoDigits(int value) { return field(param_format::twoDigits(value)); }
    Params &hex(int value, int width) { return field(param_format::hex(value, width)); }
    Params &amount(double value) { return field(param_format::fixed(value, 2)); }
    Params &quantity(double value) { return field(param_format::fixed(value, 3)); }
    Params &empty() { return field(QByteArray()); }

    const QByteArray &bytes() const { return m_bytes; }
    int refusal() const { return m_refusal; }

private:
    Params &field(const QByteArray &value)
    {
        m_bytes += value;
        m_bytes += ';';
        return *this;
    }
    QByteArray m_bytes;
    int m_refusal = 0;
};

CommandResult *refuse(DeviceLink &link, int refusal, int &code)
{
    code = refusal;
    return &link.Result();
}

CommandResult *run(DeviceLink &link, int command, const Params &params, int &code)
{
    if (params.refusal() != 0)
        return refuse(link, params.refusal(), code);
    code = 0;
    return link.ExecuteCommand(command, params.bytes());
}

// The wrappers without `code` have no other way to say that nothing went out: the result
// reads as a command without reply, as the link leaves it for a frame it could not send.
CommandResult *run(DeviceLink &link, int command, const Params &params)
{
    if (params.refusal() != 0) {
        CommandResult &r = link.Result();
        r.commandCode = command;
        r.flags = CommandResult::kNoReplyBit;
        r.fieldCount = 0;
        r.checksumError = 0;
        r.request.clear();
        return &r;
    }
    return link.ExecuteCommand(command, params.bytes());
}

CommandResult *passwordOnly(DeviceLink &link, int command, const QString &password, int &code)
{
    return run(link, command, Params(password), code);
}

// The sale commands refuse a quantity that is not above 0 and a price below 0; a value
// that is not a finite number is refused the same way rather than sent as "nan" or "inf".
bool saleRefused(double quantity, double price, int &refusal)
{
    if (!(quantity > 0) || !std::isfinite(quantity)) {
        refusal = wrapper_codes::kQuantity;
        return true;
    }
    if (!(price >= 0) || !std::isfinite(price)) {
        refusal = wrapper_codes::kPrice;
        return true;
    }
    return false;
}

bool headerLineOk(int line)
{
    return line >= 0 && line <= 20;
}

constexpr int kLogoLineChars = 48;

} // namespace

// ---- Date and time ----------------------------------------------------------------

CommandResult *SetDateTime(DeviceLink &link, const QString &password, const QString &date,
                           const QString &time, int &code)
{
    return run(link, cmd::SetDateTime, Params(password).text(date).text(time), code);
}

CommandResult *GetDateTime(DeviceLink &link, const QString &password, int &code)
{
    return passwordOnly(link, cmd::GetDateTime, password, code);
}

// ---- Receipt header and advertising text -------------------------------------------

CommandResult *SetHeaderFooter(DeviceLink &link, const QString &password, int line,
                               const QString &text, int doubleWidth, int &code)
{
    if (!headerLineOk(line))
        return refuse(link, wrapper_codes::kHeaderLineWrite, code);
    return run(link, cmd::SetHeaderFooter, Params(password).dec(line).text(text).dec(doubleWidth), code);
}

CommandResult *GetHeaderFooter(DeviceLink &link, const QString &password, int line, int &code)
{
    if (!headerLineOk(line))
        return refuse(link, wrapper_codes::kHeaderLineRead, code);
    return run(link, cmd::GetHeaderFooter, Params(password).dec(line), code);
}

// ---- Registrar parameters and decimal point ----------------------------------------

CommandResult *SetRegistratorParams(DeviceLink &link, const QString &password, int speed,
                                    int contrast, int documentParams, int extendedParams,
                                    int openingPulse, int closingPulse, int charsPerLine,
                                    int &code)
{
    return run(link, cmd::SetRegistratorParams,
               Params(password)
                   .dec(speed)
                   .dec(contrast)
                   .hex(documentParams, 4)
                   .hex(extendedParams, 2)
                   .hex(openingPulse, 2)
                   .hex(closingPulse, 2)
                   .twoDigits(charsPerLine),
               code);
}

CommandResult *GetRegistratorParams(DeviceLink &link, const QString &password, int &code)
{
    return passwordOnly(link, cmd::GetRegistratorParams, password, code);
}

CommandResult *setDecimalPoint(DeviceLink &link, const QString &password, int position,
                               int &code)
{
    return run(link, cmd::SetDecimalPoint, Params(password).dec(position), code);
}

CommandResult *getDecimalPoint(DeviceLink &link, const QString &password, int &code)
{
    return passwordOnly(link, cmd::GetDecimalPoint, password, code);
}

// ---- Logo --------------------------------------------------------------------------

CommandResult *SetUserLogo(DeviceLink &link, const QString &password, int line,
                           const QString &lineData, int &code)
{
    if (line < 0)
        return refuse(link, wrapper_codes::kLogoLineNumber, code);
    if (code_page::toDevice(lineData).size() != kLogoLineChars)
        return refuse(link, wrapper_codes::kLogoLineLength, code);
    return run(link, cmd::SetUserLogo, Params(password).dec(line).text(lineData), code);
}

// ---- Operators, mode passwords, payment forms --------------------------------------

CommandResult *SetModePsw(DeviceLink &link, const QString &adminPassword,
                          const QString &programmingPassword, const QString &reportsPassword,
                          const QString &newAdminPassword, int &code)
{
    return run(link, cmd::SetModePasswords,
               Params(adminPassword).text(programmingPassword).text(reportsPassword).text(
                   newAdminPassword),
               code);
}

CommandResult *ClearOpetratorPsw(DeviceLink &link, const QString &password, int operatorNumber,
                                 int &code)
{
    return run(link, cmd::ClearOperatorPassword, Params(password).dec(operatorNumber), code);
}

CommandResult *SetPaymentParams(DeviceLink &link, const QString &password, int paymentNumber,
                                int mask, const QString &name, int &code)
{
    return run(link, cmd::SetPaymentParams, Params(password).dec(paymentNumber).hex(mask, 2).text(name), code);
}

CommandResult *GetPaymentParams(DeviceLink &link, const QString &password, int paymentNumber,
                                int &code)
{
    return run(link, cmd::GetPaymentParams, Params(password).dec(paymentNumber), code);
}

CommandResult *SetOperatorParams(DeviceLink &link, const QString &password, int operatorNumber,
                                 const QString &operatorPassword, const QString &name,
                                 int &code)
{
    return run(link, cmd::SetOperatorParams,
               Params(password).dec(operatorNumber).text(operatorPassword).text(name), code);
}

CommandResult *GetOperatorParams(DeviceLink &link, const QString &password, int operatorNumber,
                                 int &code)
{
    return run(link, cmd::GetOperatorParams, Params(password).dec(operatorNumber), code);
}

// ---- Maintenance reminder, message buffer, service counters ------------------------

CommandResult *addMessageLine(DeviceLink &link, const QString &password, int continuation,
                              const QString &line, int &code)
{
    return run(link, cmd::AddMessageLine, Params(password).dec(continuation).text(line), code);
}

CommandResult *setServiceReminder(DeviceLink &link, const QString &servicePassword,
                                  const QString &newServicePassword, const QString &date,
                                  int daysOfNotice, int eventMask, int &code)
{
    return run(link, cmd::SetMaintenanceReminder,
               Params(servicePassword)
                   .text(newServicePassword)
                   .text(date)
                   .dec(daysOfNotice)
                   .hex(eventMask, 2),
               code);
}

CommandResult *getServiceReminder(DeviceLink &link, const QString &password, int &code)
{
    return passwordOnly(link, cmd::GetMaintenanceReminder, password, code);
}

CommandResult *printServiceReport(DeviceLink &link, const QString &password, int reportType,
                                  int &code)
{
    return run(link, cmd::MaintenanceReport, Params(password).dec(reportType), code);
}

CommandResult *setServiceCounter(DeviceLink &link, const QString &password, int counter,
                                 int value, int &code)
{
    return run(link, cmd::SetServiceCounter, Params(password).dec(counter).dec(value), code);
}

CommandResult *getServiceCounter(DeviceLink &link, const QString &password, int counter,
                                 int &code)
{
    return run(link, cmd::GetServiceCounter, Params(password).dec(counter), code);
}

// ---- Fiscal setup ------------------------------------------------------------------

CommandResult *Fiscalize(DeviceLink &link, const QString &password, const QString &serialNumber,
                         const QString &inspectorPassword, int &code)
{
    return run(link, cmd::Fiscalize, Params(password).text(serialNumber).text(inspectorPassword), code);
}

CommandResult *SetSerialNumber(DeviceLink &link, const QString &password,
                               const QString &serialNumber, int &code)
{
    return run(link, cmd::SetSerialNumber, Params(password).text(serialNumber), code);
}

CommandResult *GetSerialNumber(DeviceLink &link, const QString &password, int &code)
{
    return passwordOnly(link, cmd::GetSerialNumber, password, code);
}

CommandResult *SetFiscalNumber(DeviceLink &link, const QString &password,
                               const QString &fiscalNumber, int &code)
{
    return run(link, cmd::SetFiscalNumber, Params(password).text(fiscalNumber), code);
}

CommandResult *GetFiscalNumber(DeviceLink &link, const QString &password, int &code)
{
    return passwordOnly(link, cmd::GetFiscalNumber, password, code);
}

CommandResult *SetTaxIdNumber(DeviceLink &link, const QString &password, const QString &idNumber,
                              const QString &taxNumber, int &code)
{
    return run(link, cmd::SetTaxIdNumber, Params(password).text(idNumber).text(taxNumber), code);
}

CommandResult *GetTaxIdNumber(DeviceLink &link, const QString &password, int &code)
{
    return passwordOnly(link, cmd::GetTaxIdNumber, password, code);
}

CommandResult *SetTaxes(DeviceLink &link, const QString &password, int group, int type,
                        const QString &rate, const QString &name, int linkedGroup, int &code)
{
    return run(link, cmd::SetTaxes,
               Params(password).dec(group).dec(type).text(rate).text(name).dec(linkedGroup),
               code);
}

CommandResult *GetTaxes(DeviceLink &link, const QString &password, int group, int &code)
{
    return run(link, cmd::GetTaxes, Params(password).dec(group), code);
}

CommandResult *restartRegistrar(DeviceLink &link, const QString &password, int &code)
{
    return passwordOnly(link, cmd::SerialNumberRestart, password, code);
}

// ---- Receipts ----------------------------------------------------------------------

CommandResult *OpenNonFiscalReceipt(DeviceLink &link, const QString &password, int &code)
{
    return passwordOnly(link, cmd::OpenNonFiscalReceipt, password, code);
}

CommandResult *PrintText(DeviceLink &link, const QString &password, const QString &text,
                         int &code)
{
    return run(link, cmd::PrintText, Params(password).text(text), code);
}

CommandResult *OpenFiscalReceipt(DeviceLink &link, const QString &password, int operatorNumber,
                                 int cashDesk, int receiptType, int &code)
{
    return run(link, cmd::OpenFiscalReceipt, Params(password).dec(operatorNumber).dec(cashDesk).dec(receiptType),
               code);
}

CommandResult *SellItem(DeviceLink &link, const QString &password, qint64 goodsCode,
                        double quantity, double price, int &code)
{
    int refusal = 0;
    if (saleRefused(quantity, price, refusal))
        return refuse(link, refusal, code);
    return run(link, cmd::SellItem, Params(password).dec(goodsCode).quantity(quantity).amount(price), code);
}

CommandResult *sellItemVekr(DeviceLink &link, const QString &password, qint64 goodsCode,
                            double quantity, double price, int recipient, int &code)
{
    int refusal = 0;
    if (saleRefused(quantity, price, refusal))
        return refuse(link, refusal, code);
    return run(link, cmd::SellItemForRecipient,
               Params(password)
                   .dec(goodsCode)
                   .quantity(quantity)
                   .amount(price)
                   .dec(static_cast<qint64>(recipient)),
               code);
}

CommandResult *CloseFiscalReceipt(DeviceLink &link, const QString &password, int &code)
{
    return run(link, cmd::CloseFiscalReceipt, Params(password).literal("0"), code);
}

CommandResult *CloseFiscalReceipt(DeviceLink &link, const QString &password, int flag,
                                  int &code)
{
    return run(link, cmd::CloseFiscalReceipt, Params(password).dec(flag), code);
}

CommandResult *payReceipt(DeviceLink &link, const QString &password, int paymentType,
                          double amount, int &code)
{
    if (paymentType < 0 || paymentType > 9)
        return refuse(link, wrapper_codes::kPaymentType, code);
    return run(link, cmd::Payment, Params(password).dec(paymentType).amount(amount), code);
}

CommandResult *applyItemDiscountPercent(DeviceLink &link, const QString &password, double percent,
                                        int &code)
{
    return run(link, cmd::ItemPercentDiscount, Params(password).amount(percent), code);
}

CommandResult *applyItemDiscountAbsolute(DeviceLink &link, const QString &password, double value,
                                         int &code)
{
    return run(link, cmd::ItemAbsoluteDiscount, Params(password).amount(value), code);
}

CommandResult *applySubtotalDiscountPercent(DeviceLink &link, const QString &password,
                                            double percent, int &code)
{
    return run(link, cmd::SubtotalPercentDiscount, Params(password).amount(percent), code);
}

CommandResult *applySubtotalDiscountAbsolute(DeviceLink &link, const QString &password,
                                             double value, int &code)
{
    return run(link, cmd::SubtotalAbsoluteDiscount, Params(password).amount(value), code);
}

CommandResult *applyTaxGroupDiscountPercent(DeviceLink &link, const QString &password,
                                            double percent, int taxGroup, int &code)
{
    return run(link, cmd::TaxGroupPercentDiscount, Params(password).amount(percent).dec(taxGroup), code);
}

CommandResult *applyTaxGroupDiscountAbsolute(DeviceLink &link, const QString &password,
                                             double value, int taxGroup, int &code)
{
    return run(link, cmd::TaxGroupAbsoluteDiscount, Params(password).amount(value).dec(taxGroup), code);
}

CommandResult *voidReceipt(DeviceLink &link, const QString &password, int operation, int &code)
{
    return run(link, cmd::VoidOperation, Params(password).dec(operation), code);
}

CommandResult *printTotal(DeviceLink &link, const QString &password, bool onDisplay, int &code)
{
    return run(link, cmd::PrintTotal, Params(password).literal(onDisplay ? "1" : "0"), code);
}

CommandResult *moveCash(DeviceLink &link, const QString &password, int operatorNumber,
                        double amount, int &code)
{
    return run(link, cmd::CashInOut, Params(password).dec(operatorNumber).amount(amount), code);
}

CommandResult *moveCashInReceipt(DeviceLink &link, const QString &password, int field,
                                 double amount, int &code)
{
    return run(link, cmd::CashInOutVariant, Params(password).dec(field).amount(amount), code);
}

CommandResult *showOnDisplay(DeviceLink &link, const QString &password, int function,
                             int option, const QString &text, int &code)
{
    return run(link, cmd::Display, Params(password).dec(function).dec(option).text(text), code);
}

// ---- Diagnostics and resources -----------------------------------------------------

CommandResult *getDiagnosticInfo(DeviceLink &link, const QString &password, int &code)
{
    return passwordOnly(link, cmd::Diagnostics, password, code);
}

CommandResult *getResourceInfo(DeviceLink &link, const QString &password, int &code)
{
    return passwordOnly(link, cmd::FreeResources, password, code);
}

// ---- Reports -----------------------------------------------------------------------

CommandResult *printReport(DeviceLink &link, const QString &password, int reportType, int &code)
{
    return run(link, cmd::PrintReport, Params(password).dec(reportType), code);
}

CommandResult *printPeriodicReportByDate(DeviceLink &link, const QString &password,
                                         const QString &firstDate, const QString &lastDate,
                                         int detail, int &code)
{
    return run(link, cmd::PeriodicReportByDate, Params(password).text(firstDate).text(lastDate).dec(detail), code);
}

CommandResult *printPeriodicReportByNumber(DeviceLink &link, const QString &password, int first,
                                           int last, int detail, int &code)
{
    return run(link, cmd::PeriodicReport, Params(password).dec(first).dec(last).dec(detail), code);
}

CommandResult *printGoodsReport(DeviceLink &link, const QString &password, qint64 firstCode,
                                qint64 lastCode, int &code)
{
    return run(link, cmd::GoodsReport, Params(password).dec(firstCode).dec(lastCode), code);
}

CommandResult *printAdditionalReport(DeviceLink &link, const QString &password, int reportType,
                                     int &code)
{
    return run(link, cmd::AdditionalReport, Params(password).dec(reportType).empty().empty(), code);
}

// ---- Receipt copies and control tape -----------------------------------------------

CommandResult *printReceiptCopies(DeviceLink &link, const QString &password, int first, int last,
                                  int &code)
{
    return run(link, cmd::CopiesByRunningNumber, Params(password).dec(first).dec(last), code);
}

CommandResult *printCopiesByNumber(DeviceLink &link, const QString &password, int first, int last)
{
    return run(link, cmd::CopiesByDocumentNumber, Params(password).dec(first).dec(last));
}

CommandResult *searchControlTape(DeviceLink &link, const QString &password,
                                 const QString &startDate, const QString &startTime,
                                 const QString &endDate, const QString &endTime, int print)
{
    return run(link, cmd::SearchControlTape,
               Params(password)
                   .text(startDate)
                   .text(startTime)
                   .text(endDate)
                   .text(endTime)
                   .dec(print));
}

// ---- Cash operations, non-fiscal receipts, receipt copies ----------------------------

CommandResult *closeReceipt(DeviceLink &link, const QString &password, int &code)
{
    return CloseFiscalReceipt(link, password, code);
}

// ---- Firmware read-out -------------------------------------------------------------

CommandResult *SetDataSource(DeviceLink &link, const QString &password, int selector, int value)
{
    Params params(password);
    switch (selector) {
    case 0:
    case 1:
    case 3:
        params.dec(selector).empty().dec(value);
        break;
    case 2:
    case 5:
        params.dec(selector).empty().empty();
        break;
    default:
        return &link.Result(); // no such source: nothing goes out
    }
    return run(link, cmd::SetDataSource, params);
}

CommandResult *ReadDataFromBuf(DeviceLink &link, const QString &password)
{
    return run(link, cmd::ReadDataFromBuf, Params(password));
}

// ---- Card payment ------------------------------------------------------------------

CommandResult *recordCardPayment(DeviceLink &link, const QString &password, int paymentType,
                                 qint64 amountCents, const QString &transactionId, int &code)
{
    if (paymentType < 0 || paymentType > 9)
        return refuse(link, wrapper_codes::kPaymentType, code);
    const QByteArray amount = QByteArray::number(amountCents / 100) + '.'
                              + QByteArray::number(amountCents % 100).rightJustified(2, '0');
    return run(link, cmd::CardPayment,
               Params(password).dec(paymentType).literal(amount.constData()).text(transactionId), code);
}
