// An exchange log file of any content, read record by record. Checks: no crash, no UB;
// the reading ends; records come in file order; reading again from a record's place gives
// the same record; every record can be shown.
#include "cli/log_verb.h"
#include "commands/exchange_log_reader.h"

#include <QBuffer>
#include <QList>

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    ExchangeLogReader reader(buffer);
    QList<LoggedExchange> records;
    QList<QDateTime> sessions;
    LoggedExchange x;
    while (reader.next(x)) {
        if (!records.isEmpty() && (x.offset <= records.last().offset || x.line <= records.last().line))
            __builtin_trap();
        if (x.offset < 0 || x.offset >= bytes.size() || records.size() > bytes.size())
            __builtin_trap();
        (void)cli::describeLoggedExchange(x);
        (void)x.searchText();
        records << x;
        sessions << reader.sessionStart();
    }
    for (int i = 0; i < records.size(); ++i) {
        reader.seek(records[i].offset, records[i].line, sessions[i]);
        if (!reader.next(x) || x.offset != records[i].offset || x.outcome != records[i].outcome
            || x.code != records[i].code || x.fields != records[i].fields)
            __builtin_trap();
    }
    return 0;
}
