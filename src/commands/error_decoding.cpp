#include "commands/error_decoding.h"

#include "commands/verdict.h"

#include <span>

namespace {

struct DetailText {
    int detail;
    const char16_t *text;
};

// Class 0x01, equipment.
constexpr DetailText kEquipment[] = {
    {0, u"Неопределенная ошибка оборудования!"},
    {1, u"Ошибка принтера!"},
    {2, u"Ошибка RAM!"},
    {3, u"Ошибка контрольной суммы памяти программы!"},
    {4, u"Ошибка Flash памяти!"},
    {5, u"Ошибка дисплея!"},
    {6, u"Ошибка часов, необходимо скорректировать время!"},
    {7, u"Ошибка, возникшая в связи с понижением напряжения питания!"},
    {8, u"SIM: отказ оборудования!"},
    {9, u"MMC: отказ оборудования!"},
};

// Class 0x02, protocol.
constexpr DetailText kProtocol[] = {
    {0, u"Нет команды с таким кодом!"},
    {1, u"Данная функция не поддерживается!"},
    {2, u"В сообщении нет данных"},
    {3, u"Переполнение буфера приемника/передатчика!"},
};

// Class 0x05, fiscal memory.
constexpr DetailText kFiscalMemory[] = {
    {0, u"Нет свободного места для записи в ФП!"},
    {1, u"Ошибка записи в фискальную память!"},
    {2, u"Заводской номер не установлен!"},
    {3, u"Дата текущей записи более ранняя \n   чем дата предыдущей записи!"},
    {4, u"Запрещен выход за пределы суток!"},
    {5, u"Данные в фискальной памяти неверны!"},
    {6, u"Фискальная память исчерпана!"},
    {7, u"Данная команда выполняется только в фискальном режиме!"},
    {8, u"Дата и время не были установлены \nс момента последнего аварийного обнуления ОЗУ!"},
    {9, u"С начала смены прошло более 24х часов!"},
    {10, u"Необходимо скорректировать время!"},
    {11, u"Ошибка в формате таблицы!"},
    {12, u"ДОшибка в формате даты!"},
    {13, u"Ошибка в формате времени!"},
    {14, u"Устанавливаемое время меньше текущего!"},
};

// Class 0x07, registrar state.
constexpr DetailText kRegistrarState[] = {
    {0, u"Неверный режим регистратора (перемычка)!"},
    {1, u"Команда невыполнима в данном состоянии смены!"},
    {2, u"Необходимо выгрузить контрольную ленту (бумажную/подписанную)!"},
    {3, u"Регистратор находится в автономном режиме!"},
};

// Class 0x09, not cleared.
constexpr DetailText kNotCleared[] = {
    {0, u"Не очищено!"},
    {1, u"Чтение-запись по неинициализированному указателю!"},
    {2, u"Адрес-параметр за пределами зоны!"},
    {3, u"Выделен недостаточный буфер!"},
    {4, u"Ошибка данных"},
};

// Class 0x0A, goods database.
constexpr DetailText kGoods[] = {
    {0, u"Нет свободного места для выполнения команды!"},
    {1, u"Длинна записи больше максимума (>255)!"},
    {2, u"Артикул с данным кодом не найден!"},
    {3, u"Индекс за пределами базы!"},
    {4, u"Артикул с данным кодом существует!"},
    {5, u"Налог запрещен!"},
};

// Class 0x0B, sales.
constexpr DetailText kSales[] = {
    {0, u"Неверное состояние документа!"},
    {1, u"Недостаточно свободного места для выполнения команды!"},
    {2, u"Неизвестный тип продажи!"},
    {3, u"Аннуляция: не может начинаться с данной операции!"},
    {4, u"Аннуляция: данная операция в чеке не найдена!"},
    {5, u"Аннуляция: последовательность неполная!"},
    {6, u"Аннулировать нечего!"},
    {7, u"Копия чека недоступна!"},
    {8, u"В кассе недостаточно наличных денег для выполнения операции!"},
    {9, u"Указанный тип оплаты запрещен для данного чека!"},
    {10, u"Сдача запрещена с данного типа оплаты!"},
    {11, u"Значение скидки вышло за допустимый диапазон!"},
    {12, u"Переполнение итога по чеку!"},
    {13, u"Переполнение по оплатам в чеке!"},
    {14, u"Переполнение буфера!"},
    {15, u"Продажа: ошибка в количестве!"},
    {16, u"Продажа: ошибка в цене!"},
    {17, u"Аннуляция: удаляемая последовательность заблокирована!"},
};

// Class 0xF0, formatted line.
constexpr DetailText kFormattedLine[] = {
    {0, u"Форматированная строка: параметры!"},
    {1, u"Форматированная строка: тип данных!"},
    {2, u"Форматированная строка: выбор шрифта!"},
    {3, u"Форматированная строка: выравнивание!"},
    {4, u"Форматированная строка: позиции в строке!"},
};

enum class Shape {
    Table,  // heading, then the detail's text from the table
    Number, // heading, the detail in decimal, tail
    Fixed,  // heading only, the detail is ignored
};

struct ErrorClass {
    int code;
    Shape shape;
    const char16_t *heading;
    const char16_t *tail;
    std::span<const DetailText> details;
};

constexpr ErrorClass kClasses[] = {
    {0x01, Shape::Table, u"Ошибка оборудования!\n ", nullptr, kEquipment},
    {0x02, Shape::Table, u"", nullptr, kProtocol},
    {0x03, Shape::Number, u"Неправильный формат поля номер ", u"!", {}},
    {0x04, Shape::Number, u"Значение поля номер ", u" выходит за допустимый диапазон!", {}},
    {0x05, Shape::Table, u"Ошибка фискальной памяти!\n ", nullptr, kFiscalMemory},
    {0x06, Shape::Fixed, u"Неверный пароль доступа!", nullptr, {}},
    {0x07, Shape::Table, u"Команда не может быть выполнена в данном состоянии регистратора!\n",
     nullptr, kRegistrarState},
    {0x08, Shape::Fixed, u"При выполнении операции \n  обнаружено арифметическое переполнение!",
     nullptr, {}},
    {0x09, Shape::Table, u"Не обнулено!", nullptr, kNotCleared},
    {0x0A, Shape::Table, u"Ошибка работы с базой товаров!\n ", nullptr, kGoods},
    {0x0B, Shape::Table, u"Ошибка работы с продажами!\n ", nullptr, kSales},
    {0xF0, Shape::Table, u"Ошибка форматированной строки!\n ", nullptr, kFormattedLine},
};

int hexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return 0;
}

QString detailText(std::span<const DetailText> table, int detail)
{
    for (const DetailText &d : table)
        if (d.detail == detail)
            return QString::fromUtf16(d.text);
    return error_decoding::kUnknownDetail.toString();
}

QString classMessage(const ErrorClass &c, int detail)
{
    QString message = QString::fromUtf16(c.heading);
    switch (c.shape) {
    case Shape::Table:
        message += detailText(c.details, detail);
        break;
    case Shape::Number:
        message += QString::number(detail) + QString::fromUtf16(c.tail);
        break;
    case Shape::Fixed:
        break;
    }
    return message;
}

} // namespace

namespace error_decoding {

ErrorCode parseErrorWord(const QByteArray &word)
{
    auto at = [&word](int i) { return i < word.size() ? hexDigit(word[i]) : 0; };
    return ErrorCode{at(0) * 16 + at(1), at(2) * 16 + at(3)};
}

} // namespace error_decoding

bool decodeErrorWord(const QByteArray &word, QString &message)
{
    message.clear();
    if (word.size() < 4) {
        message = error_decoding::kNoErrorWordMessage.toString();
        return false;
    }
    const error_decoding::ErrorCode code = error_decoding::parseErrorWord(word);
    if (code.errorClass == 0 && code.detail == 0)
        return true;
    for (const ErrorClass &c : kClasses)
        if (c.code == code.errorClass) {
            message = classMessage(c, code.detail);
            break;
        }
    return false;
}

bool DecodeError(const CommandResult &result, QString &message)
{
    // The rule itself lives in Verdict::of, so that every screen, the scripts and
    // dizivu-cli judge a reply alike.
    const Verdict verdict = Verdict::of(result);
    message = verdict.message;
    return verdict.ok();
}

namespace error_decoding {

int errorField(const QByteArray &word)
{
    if (word.size() < 4)
        return 0;
    const ErrorCode code = parseErrorWord(word);
    return code.errorClass == 0x03 || code.errorClass == 0x04 ? code.detail : 0;
}

QString fieldErrorMessage(const QByteArray &word, const QString &field)
{
    const ErrorCode code = parseErrorWord(word);
    if (code.errorClass == 0x03)
        return QStringLiteral("Неправильный формат поля %1!").arg(field);
    return QStringLiteral("Значение поля %1 выходит за допустимый диапазон!").arg(field);
}

} // namespace error_decoding
