#include "commands/command_catalogue.h"

#include "commands/command_codes.h"

namespace {

struct Row {
    int code;
    const char16_t *name;
    const char16_t *templ;
};

// Names without their "Команда XXh: " prefix; templates exactly as the registrar's
// documentation writes them.
constexpr Row kRows[] = {
    {cmd::SetDateTime, u"Установка даты и времени", u"<DDMMYY>;<HHMM>;"},
    {cmd::GetDateTime, u"Чтение даты и времени", u"Параметров нет"},
    {cmd::SetHeaderFooter, u"Программирование заголовка и окончания документа", u"<номер строки>;<текст>;"},
    {cmd::GetHeaderFooter, u"Чтение заголовка и окончания документа", u"<номер строки>;"},
    {cmd::AddGoods, u"Добавление товара", u"<код товара>;<наименование>;<цена>;<налоговая группа>;<номер отдела>;"},
    {cmd::FindGoodsIndex, u"Поиск индекса товара", u"<код товара>;"},
    {cmd::GetGoodsByIndex, u"Чтение параметров товара по индексу", u"<индекс товара>;"},
    {cmd::SetRegistratorParams, u"Программирование параметров регистратора", u"<скор.>;<контр.печ.>;<парам. док.>;<лог.польз.>;<имп.ден.ящика>;<обн.баз.тов.>;"},
    {cmd::GetRegistratorParams, u"Получение параметров регистратора", u"Параметров нет"},
    {cmd::SetUserLogo, u"Установка логотипа пользователя", u"<номер линии>;<содержание линии(пикселы упак. в байты)>;"},
    {cmd::SetModePasswords, u"Установить пароли Режимов", u"<пароль ручных отчетов>;<пароль прогр.>;<пароль отчетов>;<пароль администратора>;"},
    {cmd::ClearOperatorPassword, u"Сбросить пароль Оператора", u"<индекс оператора>;"},
    {cmd::SetPaymentParams, u"Установка параметров оплаты", u"<номер оплаты>;<маска разрешений>;<наименование>;"},
    {cmd::GetPaymentParams, u"Чтение параметров оплаты", u"<номер оплаты>;"},
    {cmd::SetOperatorParams, u"Установка параметров оператора", u"<индекс оператора>;<пароль>;<имя>;"},
    {cmd::GetOperatorParams, u"Чтение параметров оператора", u"<индекс оператора>;"},
    {cmd::Fiscalize, u"Фискализация", u"<заводской номер>;"},
    {cmd::SetSerialNumber, u"Программирование заводского номера", u"<заводской номер>;"},
    {cmd::GetSerialNumber, u"Чтение заводского номера", u"Параметров нет"},
    {cmd::SetFiscalNumber, u"Программирование фискального номера", u"<фискальный номер>"},
    {cmd::GetFiscalNumber, u"Чтение фискального номера", u"Параметров нет"},
    {cmd::SetTaxIdNumber, u"Программирование налогового/идентификационного номера", u"<налоговый/идентификационный номер>;<тип номера>;"},
    {cmd::GetTaxIdNumber, u"Чтение налогового/идентификационного номера", u"<Параметров нет>"},
    {cmd::SetTaxes, u"Установка налоговых ставок", u"<номер налога>;<маска>;<значение налога>;<наименование>;"},
    {cmd::GetTaxes, u"Чтение налоговых ставок", u"<номер налога>;"},
    {cmd::OpenNonFiscalReceipt, u"Открытие нефискального чека", u"Параметров нет"},
    {cmd::PrintText, u"Печать текста", u"<текст>;"},
    {cmd::CloseNonFiscalReceipt, u"Закрытие нефискального чека", u"Параметров нет"},
    {cmd::OpenFiscalReceipt, u"Открытие фискального чека", u"<Номер оператора>;<номер кассы>;<чек возврата>;"},
    {cmd::SellItem, u"Продажа запрограммированного товара", u"<код товара>;<количество>;"},
    {cmd::CloseFiscalReceipt, u"Закрытие  фискального чека", u"Параметров нет"},
    {cmd::ReceiptCopy, u"Копия чека", u"<количество копий(0-3)>"},
    {cmd::Payment, u"Оплата", u"<тип оплаты>;<сумма платежа>;"},
    {cmd::ItemPercentDiscount, u"Скидка/наценка на товар процентная", u"<значение скидки>"},
    {cmd::ItemAbsoluteDiscount, u"Скидка/наценка на товар абсолютная", u"<значение скидки>"},
    {cmd::ExtraTax, u"Дополнительный налог", u"<номер налога>"},
    {cmd::VoidOperation, u"Аннулирования", u"<тип операции аннулирования(0-3)>"},
    {cmd::TotalPercentDiscount, u"Скидка/наценка на сумму процентная", u"<значение скидки>"},
    {cmd::PrintTotal, u"Напечатать итог", u"Параметров нет"},
    {cmd::CashInOut, u"Внесение/выдача сумм", u"<номер оператора>;<величина служебного внесения-служебной выдачи>;"},
    {cmd::PrintBarcodeLine, u"Печать штрих кода", u"<высота кода в линиях-пикселях>;<линия для печати штрихкода>;"},
    {cmd::Diagnostics, u"Диагностическая информация", u"Параметров нет"},
    {cmd::Display, u"Вывод информации на дисплей", u"<функция  (0-3)>;<текст>;"},
    {cmd::Sound, u"Звук", u"<номер мелодии>;"},
    {cmd::OpenDrawer, u"Открытие денежного ящика", u"Параметров нет"},
    {cmd::FreeResources, u"Информация о свободных ресурсах и статусе", u"Параметров нет"},
    {cmd::PrintReport, u"Печать отчетов", u"<тип отчета (0-3)>;"},
    {cmd::FindReportByDate, u"Поиск отчета по дате", u"<дата DDMMYY>;<тип: 0 - первый, 1 - последний>;"},
    {cmd::PeriodicReport, u"Печать периодического отчета", u"<номер начального>;<номер завершающего>;<тип: 0 - сокращенный, 1 - полный>;"},
};

} // namespace

CommandCatalogue::CommandCatalogue()
{
    for (const Row &r : kRows) {
        const int i = r.code - kFirstCode;
        const QString hex = QStringLiteral("%1").arg(r.code, 2, 16, QLatin1Char('0')).toUpper();
        m_names[i] = QStringLiteral("Команда ") + hex + QStringLiteral("h: ") + QString::fromUtf16(r.name);
        m_templates[i] = QString::fromUtf16(r.templ);
    }
}

const CommandCatalogue &CommandCatalogue::instance()
{
    static const CommandCatalogue catalogue;
    return catalogue;
}

QString CommandCatalogue::invalidCommandName()
{
    return QStringLiteral("Неверная команда");
}

QString CommandCatalogue::name(int code) const
{
    if (!inRange(code) || m_names[code - kFirstCode].isEmpty())
        return invalidCommandName();
    return m_names[code - kFirstCode];
}

bool CommandCatalogue::entry(int code, QString &name, QString &templ) const
{
    if (!inRange(code) || m_names[code - kFirstCode].isEmpty()) {
        name = invalidCommandName();
        templ.clear();
        return false;
    }
    name = m_names[code - kFirstCode];
    templ = m_templates[code - kFirstCode];
    return true;
}

QList<CommandCatalogueEntry> CommandCatalogue::entries() const
{
    QList<CommandCatalogueEntry> out;
    for (int i = 0; i < kSlots; ++i) {
        if (!m_names[i].isEmpty())
            out.append({kFirstCode + i, m_names[i], m_templates[i]});
    }
    return out;
}

QString CommandName(int code)
{
    return CommandCatalogue::instance().name(code);
}

bool CommandEntry(int code, QString &name, QString &templ)
{
    return CommandCatalogue::instance().entry(code, name, templ);
}
