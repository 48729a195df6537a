// The emulator's reports read the fields of whatever request reaches them. The first byte
// picks the command, the next ones fill the day (sales, goods lines, Z reports), the rest
// is the parameter string after the password. Checks: no crash, no UB; an accepted
// request leaves the fiscal memory in order and within its capacity.
#include "emulator/domains.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 3 || size > 4096)
        return 0;
    static const cmd::Code codes[] = {cmd::FreeResources, cmd::PrintReport, cmd::PeriodicReportByDate,
                                      cmd::PeriodicReport, cmd::GoodsReport, cmd::AdditionalReport,
                                      cmd::ClearGoodsBase, cmd::OpenNonFiscalReceipt};
    static emu::HandlerTable table = [] {
        emu::HandlerTable t;
        emu::registerReceipt(t);
        emu::registerReports(t);
        return t;
    }();

    emu::State s;
    s.hostTime = QDateTime(QDate(2026, 12, 9), QTime(12, 0));
    const int sales = data[1] % 8;
    for (int i = 0; i < sales; ++i)
        s.daySales.append({qint64(data[2]) * (i + 1) - 300, 1000 * i, 150 * i - 200, (i & 1) != 0, i});
    const QByteArray rest(reinterpret_cast<const char *>(data + 3), qsizetype(size - 3));
    const qsizetype nul = rest.indexOf('\0');
    if (nul >= 0) // a goods line before the NUL, for the departments report
        s.goods[qint64(data[2]) - 300] = {qint64(data[2]) - 300, "X", rest.left(nul)};
    for (int i = 0; i < data[2] % 4; ++i)
        s.fiscalMemory.append({i + 1, s.hostTime.addDays(i - 2), 100, 0, 1});
    s.lastZReportNumber = int(s.fiscalMemory.size());

    const cmd::Code code = codes[data[0] % std::size(codes)];
    const emu::Outcome o = table.find(code)(s, emu::fieldsOf("482913;" + rest.mid(nul + 1)));
    if (o.errorWord.size() != 4)
        __builtin_trap();
    for (qsizetype i = 1; i < s.fiscalMemory.size(); ++i)
        if (s.fiscalMemory[i].number != s.fiscalMemory[i - 1].number + 1)
            __builtin_trap();
    if (s.fiscalMemory.size() > emu::State::kFiscalMemoryCapacity)
        __builtin_trap();
    return 0;
}
