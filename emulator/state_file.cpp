#include "emulator/state_file.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>

#include <cmath>
#include <limits>

namespace emu {

namespace {

constexpr int kFormat = 1;
// Amounts and counters travel as JSON numbers: whole numbers up to 2^53 stay exact.
constexpr qint64 kMaxWhole = qint64(1) << 53;
// No field of a registrar's memory is anywhere near this; a larger one is not a state file.
constexpr qsizetype kMaxListItems = 10'000'000;

QJsonValue bytes(const QByteArray &b)
{
    return QString::fromLatin1(b.toBase64());
}

QJsonValue timeValue(const QDateTime &t)
{
    return t.isValid() ? QJsonValue(t.toString(Qt::ISODateWithMs)) : QJsonValue();
}

QJsonArray byteList(const QList<QByteArray> &lines)
{
    QJsonArray a;
    for (const QByteArray &l : lines)
        a.append(bytes(l));
    return a;
}

template <typename Map>
QJsonArray pairs(const Map &map)
{
    QJsonArray a;
    for (auto it = map.cbegin(); it != map.cend(); ++it)
        a.append(QJsonArray{double(it.key()), double(it.value())});
    return a;
}

// Reads a state file's values, each checked against its range; the first fault is kept
// with the name of the field it was found in.
class Reader {
public:
    QString error;
    bool ok() const { return error.isEmpty(); }

    void fail(const QString &where, const QString &what)
    {
        if (error.isEmpty())
            error = QStringLiteral("%1: %2").arg(where, what);
    }

    qint64 whole(const QJsonObject &o, const char *key, qint64 low, qint64 high)
    {
        const QJsonValue v = o.value(QLatin1String(key));
        return whole(v, QLatin1String(key), low, high);
    }
    qint64 whole(const QJsonValue &v, const QString &where, qint64 low, qint64 high)
    {
        if (!ok())
            return low;
        if (!v.isDouble()) {
            fail(where, QStringLiteral("not a number"));
            return low;
        }
        const double d = v.toDouble();
        if (d != std::floor(d) || d < double(low) || d > double(high)) {
            fail(where, QStringLiteral("not a whole number from %1 to %2").arg(low).arg(high));
            return low;
        }
        return qint64(d);
    }
    bool flag(const QJsonObject &o, const char *key)
    {
        const QJsonValue v = o.value(QLatin1String(key));
        if (ok() && !v.isBool())
            fail(QLatin1String(key), QStringLiteral("not true or false"));
        return v.toBool();
    }
    QByteArray data(const QJsonValue &v, const QString &where, qsizetype most = kMaxListItems)
    {
        if (!ok())
            return {};
        if (!v.isString()) {
            fail(where, QStringLiteral("not a text"));
            return {};
        }
        const auto decoded = QByteArray::fromBase64Encoding(v.toString().toLatin1(),
                                                             QByteArray::AbortOnBase64DecodingErrors);
        if (!decoded) {
            fail(where, QStringLiteral("not base64"));
            return {};
        }
        if (decoded.decoded.size() > most) {
            fail(where, QStringLiteral("longer than %1 bytes").arg(most));
            return {};
        }
        return decoded.decoded;
    }
    QByteArray data(const QJsonObject &o, const char *key, qsizetype most = kMaxListItems)
    {
        return data(o.value(QLatin1String(key)), QLatin1String(key), most);
    }
    QDateTime when(const QJsonValue &v, const QString &where)
    {
        if (!ok() || v.isNull() || v.isUndefined())
            return {};
        const QDateTime t = v.isString() ? QDateTime::fromString(v.toString(), Qt::ISODateWithMs) : QDateTime();
        if (!t.isValid())
            fail(where, QStringLiteral("not a date and time"));
        return t;
    }
    QJsonArray list(const QJsonObject &o, const char *key, qsizetype most = kMaxListItems)
    {
        const QJsonValue v = o.value(QLatin1String(key));
        if (!ok())
            return {};
        if (!v.isArray()) {
            fail(QLatin1String(key), QStringLiteral("not a list"));
            return {};
        }
        if (v.toArray().size() > most) {
            fail(QLatin1String(key), QStringLiteral("more than %1 entries").arg(most));
            return {};
        }
        return v.toArray();
    }
    QJsonObject object(const QJsonValue &v, const QString &where)
    {
        if (ok() && !v.isObject())
            fail(where, QStringLiteral("not an object"));
        return v.toObject();
    }
    QList<QByteArray> byteLines(const QJsonObject &o, const char *key)
    {
        QList<QByteArray> out;
        for (const QJsonValue &v : list(o, key))
            out.append(data(v, QLatin1String(key)));
        return out;
    }
    template <typename Key, typename Value>
    QMap<Key, Value> map(const QJsonObject &o, const char *key, qint64 keyLow, qint64 keyHigh, qint64 low, qint64 high)
    {
        QMap<Key, Value> out;
        for (const QJsonValue &v : list(o, key)) {
            const QJsonArray pair = v.toArray();
            if (ok() && pair.size() != 2)
                fail(QLatin1String(key), QStringLiteral("an entry is not a pair"));
            const qint64 k = whole(pair.at(0), QLatin1String(key), keyLow, keyHigh);
            out[Key(k)] = Value(whole(pair.at(1), QLatin1String(key), low, high));
        }
        return out;
    }
};

constexpr qint64 kMoney = kMaxWhole; // hundredths, either sign
constexpr qint64 kIntMax = std::numeric_limits<int>::max();

} // namespace

QByteArray StateFile::serialize(const State &s)
{
    QJsonObject o;
    o[QStringLiteral("format")] = kFormat;
    o[QStringLiteral("clockOffsetSecs")] = double(s.clockOffsetSecs);
    QJsonArray header;
    for (const State::HeaderLine &h : s.headerLines)
        header.append(QJsonObject{{QStringLiteral("text"), bytes(h.text)}, {QStringLiteral("doubleWidth"), h.doubleWidth}});
    o[QStringLiteral("headerLines")] = header;
    o[QStringLiteral("serviceCounters")] = pairs(s.serviceCounters);
    o[QStringLiteral("receiptState")] = s.receiptState;
    o[QStringLiteral("receiptIsReturn")] = s.receiptIsReturn;
    o[QStringLiteral("paperTape")] = byteList(s.paperTape);
    QJsonArray goods;
    for (const State::Goods &g : s.goods)
        goods.append(QJsonObject{{QStringLiteral("code"), double(g.code)}, {QStringLiteral("name"), bytes(g.name)},
                                 {QStringLiteral("line"), bytes(g.line)}});
    o[QStringLiteral("goods")] = goods;
    QJsonArray sales;
    for (const State::DaySale &d : s.daySales)
        sales.append(QJsonObject{{QStringLiteral("goodsCode"), double(d.goodsCode)},
                                 {QStringLiteral("quantityMilli"), double(d.quantityMilli)},
                                 {QStringLiteral("sumCents"), double(d.sumCents)},
                                 {QStringLiteral("isReturn"), d.isReturn},
                                 {QStringLiteral("operatorNumber"), d.operatorNumber}});
    o[QStringLiteral("daySales")] = sales;
    o[QStringLiteral("dayPaymentsCents")] = pairs(s.dayPaymentsCents);
    o[QStringLiteral("dayDepositsCents")] = double(s.dayDepositsCents);
    o[QStringLiteral("dayWithdrawalsCents")] = double(s.dayWithdrawalsCents);
    o[QStringLiteral("dayReturnPaymentsCents")] = double(s.dayReturnPaymentsCents);
    o[QStringLiteral("cashInDrawerCents")] = double(s.cashInDrawerCents);
    o[QStringLiteral("lastReceiptNumber")] = s.lastReceiptNumber;
    QJsonArray journal;
    for (const State::StoredReceipt &r : s.receiptJournal)
        journal.append(QJsonObject{{QStringLiteral("number"), r.number}, {QStringLiteral("time"), timeValue(r.time)},
                                   {QStringLiteral("lines"), byteList(r.lines)}});
    o[QStringLiteral("receiptJournal")] = journal;
    o[QStringLiteral("lastZReportNumber")] = s.lastZReportNumber;
    QJsonArray memory;
    for (const State::ZReport &z : s.fiscalMemory)
        memory.append(QJsonObject{{QStringLiteral("number"), z.number}, {QStringLiteral("time"), timeValue(z.time)},
                                  {QStringLiteral("salesCents"), double(z.salesCents)},
                                  {QStringLiteral("returnsCents"), double(z.returnsCents)},
                                  {QStringLiteral("receipts"), z.receipts}});
    o[QStringLiteral("fiscalMemory")] = memory;
    o[QStringLiteral("controlTapeStart")] = s.controlTapeStart;
    o[QStringLiteral("receiptsAtLastZ")] = s.receiptsAtLastZ;
    QJsonArray permissions;
    for (bool p : s.fiscalPermissions)
        permissions.append(p);
    o[QStringLiteral("fiscalPermissions")] = permissions;
    o[QStringLiteral("emergencyResets")] = s.emergencyResets;

    const State::OpenReceipt &r = s.receipt;
    QJsonArray items;
    for (const State::ReceiptItem &i : r.items)
        items.append(QJsonObject{{QStringLiteral("goodsCode"), double(i.goodsCode)},
                                 {QStringLiteral("quantityMilli"), double(i.quantityMilli)},
                                 {QStringLiteral("priceCents"), double(i.priceCents)},
                                 {QStringLiteral("sumCents"), double(i.sumCents)},
                                 {QStringLiteral("discountCents"), double(i.discountCents)},
                                 {QStringLiteral("discountCommand"), i.discountCommand},
                                 {QStringLiteral("discountValue"), double(i.discountValue)},
                                 {QStringLiteral("recipient"), double(i.recipient)},
                                 {QStringLiteral("voidStep"), i.voidStep}});
    o[QStringLiteral("receipt")] = QJsonObject{
        {QStringLiteral("operatorNumber"), r.operatorNumber},
        {QStringLiteral("items"), items},
        {QStringLiteral("subtotalDiscountCents"), double(r.subtotalDiscountCents)},
        {QStringLiteral("lastWasSale"), r.lastWasSale},
        {QStringLiteral("stageBeforeVoiding"), r.stageBeforeVoiding},
        {QStringLiteral("voidLast"), r.voidLast},
        {QStringLiteral("paidCents"), double(r.paidCents)},
        {QStringLiteral("paymentsCents"), pairs(r.paymentsCents)},
        {QStringLiteral("changeCents"), double(r.changeCents)},
        {QStringLiteral("tapeStart"), double(r.tapeStart)},
        {QStringLiteral("cashMoveCents"), double(r.cashMoveCents)},
    };
    QJsonArray cards;
    for (const State::CardRecord &c : s.cardPayments)
        cards.append(QJsonObject{{QStringLiteral("paymentType"), c.paymentType},
                                 {QStringLiteral("amountCents"), double(c.amountCents)},
                                 {QStringLiteral("transactionId"), bytes(c.transactionId)}});
    o[QStringLiteral("cardPayments")] = cards;
    o[QStringLiteral("displayTop")] = bytes(s.displayTop);
    o[QStringLiteral("displayBottom")] = bytes(s.displayBottom);
    o[QStringLiteral("logo")] = bytes(s.logo);
    o[QStringLiteral("logoWidth")] = s.logoWidth;
    o[QStringLiteral("logoHeight")] = s.logoHeight;
    // The flash memory only once it has been used: until then the seed makes it.
    o[QStringLiteral("flash")] = bytes(s.flash);
    return QJsonDocument(o).toJson(QJsonDocument::Compact);
}

bool StateFile::deserialize(const QByteArray &fileBytes, State &target, QString &error)
{
    QJsonParseError parseError;
    const QJsonDocument doc = QJsonDocument::fromJson(fileBytes, &parseError);
    if (doc.isNull() || !doc.isObject()) {
        error = QStringLiteral("not a state file (%1 at byte %2)").arg(parseError.errorString()).arg(parseError.offset);
        return false;
    }
    const QJsonObject o = doc.object();
    Reader in;
    if (in.whole(o, "format", 0, 1000) != kFormat) {
        error = in.ok() ? QStringLiteral("format: not a state file of this emulator") : in.error;
        return false;
    }
    // Read into a copy: a refused file leaves the registrar as it was.
    State s = target;
    s.clockOffsetSecs = in.whole(o, "clockOffsetSecs", -kMaxWhole, kMaxWhole);
    const QJsonArray header = in.list(o, "headerLines", State::kHeaderLines);
    if (in.ok() && header.size() != State::kHeaderLines)
        in.fail(QStringLiteral("headerLines"), QStringLiteral("not %1 lines").arg(State::kHeaderLines));
    for (qsizetype i = 0; in.ok() && i < header.size(); ++i) {
        const QJsonObject h = in.object(header[i], QStringLiteral("headerLines"));
        s.headerLines[size_t(i)].text = in.data(h, "text", 1024);
        s.headerLines[size_t(i)].doubleWidth = in.flag(h, "doubleWidth");
    }
    s.serviceCounters = in.map<int, qint64>(o, "serviceCounters", 0, kIntMax, -kMaxWhole, kMaxWhole);
    s.receiptState = int(in.whole(o, "receiptState", 0, 15));
    s.receiptIsReturn = in.flag(o, "receiptIsReturn");
    s.paperTape = in.byteLines(o, "paperTape");
    s.goods.clear();
    for (const QJsonValue &v : in.list(o, "goods", State::kGoodsCapacity)) {
        const QJsonObject g = in.object(v, QStringLiteral("goods"));
        State::Goods goods;
        goods.code = in.whole(g, "code", 0, kMaxWhole);
        goods.name = in.data(g, "name", 1024);
        goods.line = in.data(g, "line", 4096);
        s.goods[goods.code] = goods;
    }
    s.daySales.clear();
    for (const QJsonValue &v : in.list(o, "daySales")) {
        const QJsonObject d = in.object(v, QStringLiteral("daySales"));
        State::DaySale sale;
        sale.goodsCode = in.whole(d, "goodsCode", 0, kMaxWhole);
        sale.quantityMilli = in.whole(d, "quantityMilli", -kMaxWhole, kMaxWhole);
        sale.sumCents = in.whole(d, "sumCents", -kMoney, kMoney);
        sale.isReturn = in.flag(d, "isReturn");
        sale.operatorNumber = int(in.whole(d, "operatorNumber", 0, kIntMax));
        s.daySales.append(sale);
    }
    s.dayPaymentsCents = in.map<int, qint64>(o, "dayPaymentsCents", 0, kIntMax, -kMoney, kMoney);
    s.dayDepositsCents = in.whole(o, "dayDepositsCents", -kMoney, kMoney);
    s.dayWithdrawalsCents = in.whole(o, "dayWithdrawalsCents", -kMoney, kMoney);
    s.dayReturnPaymentsCents = in.whole(o, "dayReturnPaymentsCents", -kMoney, kMoney);
    s.cashInDrawerCents = in.whole(o, "cashInDrawerCents", -kMoney, kMoney);
    s.lastReceiptNumber = int(in.whole(o, "lastReceiptNumber", 0, kIntMax));
    s.receiptJournal.clear();
    for (const QJsonValue &v : in.list(o, "receiptJournal")) {
        const QJsonObject r = in.object(v, QStringLiteral("receiptJournal"));
        State::StoredReceipt stored;
        stored.number = int(in.whole(r, "number", 0, kIntMax));
        stored.time = in.when(r.value(QStringLiteral("time")), QStringLiteral("receiptJournal"));
        stored.lines = in.byteLines(r, "lines");
        s.receiptJournal.append(stored);
    }
    s.lastZReportNumber = int(in.whole(o, "lastZReportNumber", 0, kIntMax));
    s.fiscalMemory.clear();
    for (const QJsonValue &v : in.list(o, "fiscalMemory")) {
        const QJsonObject z = in.object(v, QStringLiteral("fiscalMemory"));
        State::ZReport report;
        report.number = int(in.whole(z, "number", 0, kIntMax));
        report.time = in.when(z.value(QStringLiteral("time")), QStringLiteral("fiscalMemory"));
        report.salesCents = in.whole(z, "salesCents", -kMoney, kMoney);
        report.returnsCents = in.whole(z, "returnsCents", -kMoney, kMoney);
        report.receipts = int(in.whole(z, "receipts", 0, kIntMax));
        s.fiscalMemory.append(report);
    }
    // Positions on the tape stay on the tape.
    s.controlTapeStart = int(in.whole(o, "controlTapeStart", 0, s.paperTape.size()));
    s.receiptsAtLastZ = int(in.whole(o, "receiptsAtLastZ", 0, kIntMax));
    const QJsonArray permissions = in.list(o, "fiscalPermissions", 6);
    if (in.ok() && permissions.size() != qsizetype(s.fiscalPermissions.size()))
        in.fail(QStringLiteral("fiscalPermissions"), QStringLiteral("not 6 entries"));
    for (qsizetype i = 0; in.ok() && i < permissions.size(); ++i) {
        if (!permissions[i].isBool())
            in.fail(QStringLiteral("fiscalPermissions"), QStringLiteral("not true or false"));
        s.fiscalPermissions[size_t(i)] = permissions[i].toBool();
    }
    s.emergencyResets = int(in.whole(o, "emergencyResets", 0, kIntMax));

    const QJsonObject r = in.object(o.value(QStringLiteral("receipt")), QStringLiteral("receipt"));
    State::OpenReceipt receipt;
    receipt.operatorNumber = int(in.whole(r, "operatorNumber", 0, kIntMax));
    for (const QJsonValue &v : in.list(r, "items")) {
        const QJsonObject i = in.object(v, QStringLiteral("receipt.items"));
        State::ReceiptItem item;
        item.goodsCode = in.whole(i, "goodsCode", 0, kMaxWhole);
        item.quantityMilli = in.whole(i, "quantityMilli", -kMaxWhole, kMaxWhole);
        item.priceCents = in.whole(i, "priceCents", -kMoney, kMoney);
        item.sumCents = in.whole(i, "sumCents", -kMoney, kMoney);
        item.discountCents = in.whole(i, "discountCents", -kMoney, kMoney);
        item.discountCommand = int(in.whole(i, "discountCommand", 0, 255));
        item.discountValue = in.whole(i, "discountValue", -kMaxWhole, kMaxWhole);
        item.recipient = in.whole(i, "recipient", -1, kMaxWhole);
        item.voidStep = int(in.whole(i, "voidStep", 0, 2));
        receipt.items.append(item);
    }
    receipt.subtotalDiscountCents = in.whole(r, "subtotalDiscountCents", -kMoney, kMoney);
    receipt.lastWasSale = in.flag(r, "lastWasSale");
    receipt.stageBeforeVoiding = int(in.whole(r, "stageBeforeVoiding", 0, 15));
    receipt.voidLast = int(in.whole(r, "voidLast", -1, receipt.items.size() - 1));
    receipt.paidCents = in.whole(r, "paidCents", -kMoney, kMoney);
    receipt.paymentsCents = in.map<int, qint64>(r, "paymentsCents", 0, kIntMax, -kMoney, kMoney);
    receipt.changeCents = in.whole(r, "changeCents", -kMoney, kMoney);
    receipt.tapeStart = in.whole(r, "tapeStart", 0, s.paperTape.size());
    receipt.cashMoveCents = in.whole(r, "cashMoveCents", -kMoney, kMoney);
    s.receipt = receipt;
    s.cardPayments.clear();
    for (const QJsonValue &v : in.list(o, "cardPayments")) {
        const QJsonObject c = in.object(v, QStringLiteral("cardPayments"));
        State::CardRecord card;
        card.paymentType = int(in.whole(c, "paymentType", 0, kIntMax));
        card.amountCents = in.whole(c, "amountCents", -kMoney, kMoney);
        card.transactionId = in.data(c, "transactionId", 1024);
        s.cardPayments.append(card);
    }
    s.displayTop = in.data(o, "displayTop", 1024);
    s.displayBottom = in.data(o, "displayBottom", 1024);
    s.logo = in.data(o, "logo", s.options.logoMemory);
    s.logoWidth = int(in.whole(o, "logoWidth", 0, kIntMax));
    s.logoHeight = int(in.whole(o, "logoHeight", 0, kIntMax));
    s.flash = in.data(o, "flash", s.options.memory.flashSize);
    // A flash memory of another size belongs to another registrar: the seed makes this one's.
    if (in.ok() && !s.flash.isEmpty() && s.flash.size() != s.options.memory.flashSize)
        in.fail(QStringLiteral("flash"), QStringLiteral("not %1 bytes").arg(s.options.memory.flashSize));
    if (!in.ok()) {
        error = in.error;
        return false;
    }
    target = s;
    return true;
}

bool StateFile::load(const QString &path, State &state, QString &error)
{
    QFile file(path);
    if (!file.exists())
        return true;
    if (!file.open(QIODevice::ReadOnly)) {
        error = file.errorString();
        return false;
    }
    return deserialize(file.readAll(), state, error);
}

bool StateFile::save(const State &state, QString &error)
{
    const QByteArray bytes = serialize(state);
    if (bytes == m_written)
        return true;
    QSaveFile file(m_path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        error = file.errorString();
        return false;
    }
    m_written = bytes;
    return true;
}

} // namespace emu
