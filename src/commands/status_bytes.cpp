#include "commands/status_bytes.h"

namespace status_bytes {

namespace {

struct ByteMeaning {
    const char16_t *title;
    const char16_t *bits[kBitCount - 1]; // bits 0 to 6; bit 7 is the same for every byte
};

constexpr char16_t kAlwaysSet[] = u"(80) Всегда установлен";

constexpr ByteMeaning kBytes[kByteCount] = {
    {u"Статус регистратора - байт 0 (общее состояние)",
     {u"(1) Регистратор находится в сервисном режиме",
      u"(2) Буфер документа близок к концу",
      u"(4) Дата/ время не установлены после обнуления ОЗУ",
      u"(8) Дисплей не подключен",
      u"(10) Механизм печатающего устройства неисправен",
      u"(20) Для новых настроек необходимо перегрузить ЭККР",
      u"(40) Другие ошибки оборудования"}},
    {u"Статус регистратора - байт 1 (состояние принтера)",
     {u"(1) Заканчивается чековая лента (для  Korvan KV-T857)",
      u"(2) Заканчивается контрольная лента (для  Korvan KV-T857)",
      u"(4) Закончилась чековая лента",
      u"(8) Закончилась контрольная лента",
      u"(10) Открыта крышка принтера",
      u"(20) Осуществляется ручная протяжка бумаги",
      u"(40) Буфер принтера не пуст (есть еще не распечатанные данные)"}},
    {u"Статус регистратора - байт 2 (состояние чека)",
     {u"(1) Состояние чека",
      u"(2) Состояние чека",
      u"(4) Состояние чека",
      u"(8) Текущее состояние чека",
      u"(10) Открыт чек возврата",
      u"(20) Резерв",
      u"(40) Резерв"}},
    {u"Статус регистратора - байт 3 (состояние переключателей)",
     {u"(1) SIMError",
      u"(2) Memory Card Error",
      u"(4) Автономный режим работы",
      u"(8) Memory Card Error (hardware)",
      u"(10) Резерв",
      u"(20) Версия внутреннего ПО не активирована",
      u"(40) Связь с WiFi модулем"}},
    {u"Статус регистратора - байт 4 (фискальная память)",
     {u"(1) Заводской номер запрограммирован",
      u"(2) Регистратор фискализирован",
      u"(4) В ФП места менее чем на 30 отчетов",
      u"(8) Фискальная память переполнена",
      u"(10) ID_DEV установлен",
      u"(20) Регистратор персонализирован",
      u"(40) Возникла ошибка фискальной памяти (CRC)"}},
    {u"Статус регистратора - байт 5 (дополнительные статусы)",
     {u"(1) Денежный ящик закрыт", // bits 0 and 1 vary by model and connection
      u"(2) Резерв",
      u"(4) Низкий заряд батареи",
      u"(8) Сработало оповещение",
      u"(10) Смена открыта",
      u"(20) Часы нуждаются в корректировке",
      u"(40) До конца смены(24 часа) осталось меньше 60 минут"}},
};

// Byte 5, bits 0 and 1, on the registrars that report data transfer there.
constexpr char16_t kTransferLock[] = u"(1)Блокировка 72 часа, данные не переданы";
constexpr char16_t kTransferPending[] = u"(2)Не все чеки переданы в модем, база товаров не обнулена";
// Byte 5, bit 0, of the other registrars on USB: no cash drawer state there.
constexpr char16_t kUsbDrawerReserved[] = u"(1) Резерв";

constexpr const char16_t *kReceiptStates[kReceiptStateCount] = {
    u"0. Документ закрыт",
    u"1. Отпечатан заголовок чека",
    u"2. Выполнена операция продажи",
    u"3. Состояние оплаты",
    u"4. Завершение",
    u"5. Произвольный текстовый документ открыт",
    u"6. Произведена скидка/надбавка на сумму",
    u"7. Открыт чек  внесения/изъятия",
    u"8. Резерв",
    u"9. Режим АННУЛИРОВАНИЕ",
    u"10.",
    u"11.",
    u"12.",
    u"13.",
    u"14.",
    u"15.",
};

} // namespace

QString byteTitle(int byte)
{
    if (byte < 0 || byte >= kByteCount)
        return QString();
    return QString::fromUtf16(kBytes[byte].title);
}

bool reportsDataTransfer(const QString &modelName)
{
    return modelName.contains(u"6208")
        || (modelName.contains(u"KM-1") && !modelName.contains(u"KM-1M"));
}

QString bitCaption(int byte, int bit, const QString &modelName, Connection connection)
{
    if (byte < 0 || byte >= kByteCount || bit < 0 || bit >= kBitCount)
        return QString();
    if (bit == 7)
        return QString::fromUtf16(kAlwaysSet);
    if (byte == 5 && bit <= 1) {
        if (reportsDataTransfer(modelName))
            return QString::fromUtf16(bit == 0 ? kTransferLock : kTransferPending);
        if (bit == 0 && connection == Connection::Usb)
            return QString::fromUtf16(kUsbDrawerReserved);
    }
    return QString::fromUtf16(kBytes[byte].bits[bit]);
}

QStringList bitCaptions(int byte, const QString &modelName, Connection connection)
{
    QStringList captions;
    if (byte < 0 || byte >= kByteCount)
        return captions;
    for (int bit = 0; bit < kBitCount; ++bit)
        captions << bitCaption(byte, bit, modelName, connection);
    return captions;
}

QList<QStringList> setBitCaptions(const std::array<quint8, kByteCount> &status,
                                  const QString &modelName, Connection connection)
{
    QList<QStringList> bytes;
    for (int byte = 0; byte < kByteCount; ++byte) {
        QStringList set;
        for (int bit = 0; bit < kBitCount; ++bit)
            if (status[byte] & (1u << bit))
                set << bitCaption(byte, bit, modelName, connection);
        bytes << set;
    }
    return bytes;
}

QString receiptStateText(int state)
{
    if (state < 0 || state >= kReceiptStateCount)
        return QString();
    return QString::fromUtf16(kReceiptStates[state]);
}

QStringList receiptStateTexts()
{
    QStringList texts;
    for (const char16_t *text : kReceiptStates)
        texts << QString::fromUtf16(text);
    return texts;
}

} // namespace status_bytes
