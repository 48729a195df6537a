// Non-fiscal receipts and the paper tape.
#include "emulator/domains.h"

namespace emu {

namespace {

Outcome openNonFiscalReceipt(State &s, const Fields &)
{
    if (s.receiptState != State::kReceiptClosed)
        return refuse(errorClass::sales);
    s.receiptState = State::kNonFiscalOpen;
    return {};
}

// A text line goes on the tape only inside an open receipt.
Outcome printText(State &s, const Fields &f)
{
    if (s.receiptState == State::kReceiptClosed)
        return refuse(errorClass::sales);
    s.print(f.value(1));
    return {};
}

Outcome closeNonFiscalReceipt(State &s, const Fields &)
{
    if (s.receiptState != State::kNonFiscalOpen)
        return refuse(errorClass::sales);
    s.receiptState = State::kReceiptClosed;
    s.endDocument();
    return {};
}

} // namespace

void registerReceipt(HandlerTable &table)
{
    table.add(cmd::OpenNonFiscalReceipt, openNonFiscalReceipt, 1);
    table.add(cmd::PrintText, printText, 2);
    table.add(cmd::CloseNonFiscalReceipt, closeNonFiscalReceipt, 1);
}

} // namespace emu
