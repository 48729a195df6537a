#include "link/command_result.h"

#include "link/byte_receiver.h"

QString CommandResult::statusText() const
{
    QString text;
    for (quint8 b : status)
        text += QStringLiteral("%1 ").arg(b, 2, 16, QLatin1Char('0')).toUpper();
    return text;
}

namespace reply_parsing {

quint32 statusFlags(const std::array<quint8, 6> &s)
{
    struct Map { int byte; int bit; int flag; };
    static constexpr Map kMap[] = {
        {0, 0, 0}, {0, 1, 1}, {0, 2, 2}, {0, 4, 3},
        {1, 0, 4}, {1, 1, 5}, {1, 2, 6}, {1, 3, 7}, {1, 4, 8},
        {2, 0, 9}, {2, 3, 10}, {2, 5, 11},
        {1, 5, 12}, {4, 2, 13}, {5, 5, 14},
        {4, 0, 16}, {4, 4, 17}, {5, 0, 18}, {5, 2, 19}, {4, 3, 20},
        {5, 1, 21}, {5, 3, 22}, {5, 4, 23},
        {0, 5, 27}, {4, 5, 28},
    };
    quint32 flags = 0;
    for (const Map &m : kMap)
        if (s[m.byte] & (1u << m.bit))
            flags |= 1u << m.flag;
    return flags;
}

QByteArray adjustData(int code, const QByteArray &data)
{
    if (data.size() <= 1)
        return data;
    QByteArray d = data;
    switch (code) {
    case 0x32:
    case 0x35:
        d.insert(1, ',');
        break;
    case 0x3E:
        if (d.size() >= 9)
            d[8] = ',';
        break;
    case 0x5A:
        for (int i = 0; i < d.size() && i < 20; ++i)
            if (d[i] == ' ')
                d[i] = ',';
        break;
    default:
        break;
    }
    return d;
}

int splitFields(const QByteArray &data, std::array<QByteArray, CommandResult::kFieldSlots> &out)
{
    if (data.isEmpty())
        return 0;
    for (QByteArray &s : out)
        s.clear();

    // Work on a copy the way the registrar's data is cut up in place: a final ";" goes,
    // every ";" followed by something ends a field, and a field that reaches the end of
    // the data loses a closing ";" too. No more than the out are filled.
    QByteArray d = data;
    if (d.endsWith(';'))
        d.chop(1);
    int count = 1;
    int start = 0;
    int i = 0;
    while (i < d.size()) {
        if (d[i] == ';' && i + 1 < d.size()) {
            if (count == CommandResult::kFieldSlots) {
                // No slot left: the rest of the data is not stored.
                d.truncate(i);
                break;
            }
            out[count - 1] = d.mid(start, i - start);
            start = i + 1;
            ++count;
            if (d.endsWith(';') && d.size() - 1 >= start)
                d.chop(1);
        }
        ++i;
    }
    out[count - 1] = d.mid(start);
    return count;
}

void parseReply(const ByteReceiver &rx, CommandResult &r)
{
    const bool ready = rx.replyReady();
    const bool checksumBad = ready && !rx.nakReceived() && !rx.checksumMatches();

    for (int i = 0; i < 6; ++i)
        r.status[i] = rx.rawStatus()[i] & 0x7F;

    if (!ready)
        r.flags = CommandResult::kNoReplyBit;
    else if (rx.nakReceived())
        r.flags = CommandResult::kNakBit;
    else if (checksumBad)
        r.flags = CommandResult::kChecksumBit;
    else
        r.flags = statusFlags(r.status);
    r.checksumError = checksumBad ? 1 : 0;

    const QByteArray data = rx.data();
    r.data = data.left(CommandResult::kDataCopyCapacity);
    r.errorWord = rx.errorWord();
    r.reply = rx.rawCopy();

    // Fields come only from a reply that arrived; after a missing reply or a NAK the
    // count is 0 and the out keep what the last frame left in them.
    if (ready && !rx.nakReceived())
        r.fieldCount = splitFields(adjustData(r.commandCode, data), r.fields);
    else
        r.fieldCount = 0;
}

} // namespace reply_parsing
