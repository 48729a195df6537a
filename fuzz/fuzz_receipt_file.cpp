// dizivu-cli receipt's file reader: any bytes as the receipt file. Checks: no crash, no
// UB; a refused file names its fault; an accepted one holds at least one item and one
// payment, quantities above 0, prices not below 0, payment types 0-9, amounts above 0
// and goods lines with a numeric code.
#include "cli/receipt_verb.h"
#include "sales/fiscal_receipt.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size > 65536)
        return 0;
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    cli::ReceiptFile r;
    QString error;
    if (!cli::parseReceiptFile(bytes, r, error)) {
        if (error.isEmpty())
            __builtin_trap();
        return 0;
    }
    if (r.items.isEmpty() || r.payments.isEmpty())
        __builtin_trap();
    for (const cli::ReceiptFile::Item &i : r.items) {
        qint64 code = 0;
        if (!(i.quantity > 0) || i.price < 0 || !FiscalReceipt::goodsCode(i.goods, code))
            __builtin_trap();
    }
    for (const cli::ReceiptFile::Payment &p : r.payments)
        if (p.type < 0 || p.type > 9 || !(p.amount > 0))
            __builtin_trap();
    return 0;
}
