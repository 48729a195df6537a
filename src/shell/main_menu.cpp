#include "shell/main_menu.h"

const QList<MenuEntry> &menuEntries()
{
    static const QList<MenuEntry> entries = {
        {Menu::Sales, MenuItem::ProgramGoods, QStringLiteral("Программировать товары"), QStringLiteral("TForm20")},
        {Menu::Sales, MenuItem::FiscalReceipt, QStringLiteral("Фискальный чек"), QStringLiteral("TForm21")},
        {Menu::Sales, MenuItem::NonFiscalReceipt, QStringLiteral("Печать нефискального чека"), QStringLiteral("TForm8")},
        {Menu::Sales, MenuItem::CashInOut, QStringLiteral("Служебное внесение и изъятие денег"), QStringLiteral("TForm9")},
        {Menu::Sales, MenuItem::VoidAndClose, QStringLiteral("Аннулирование и закрытие чека"), QStringLiteral("TForm35")},
        {Menu::Commands, MenuItem::CommandTest, QStringLiteral("Тест команд"), QStringLiteral("TForm14")},
        {Menu::Commands, MenuItem::RunScript, QStringLiteral("Запуск скрипта"), QStringLiteral("TForm28")},
        {Menu::Reports, MenuItem::ResourcesAndStatus, QStringLiteral("Информация о свободных ресурсах и статусе"), QStringLiteral("TForm10")},
        {Menu::Reports, MenuItem::DailyReportsRgt9, QStringLiteral("Печать дневных отчетов RGT9"), QStringLiteral("TForm48")},
        {Menu::Reports, MenuItem::DailyReports, QStringLiteral("Печать дневных отчетов"), QStringLiteral("TForm23")},
        {Menu::Reports, MenuItem::PeriodicReport, QStringLiteral("Печать периодического отчета "), QStringLiteral("TForm25")},
        {Menu::Reports, MenuItem::GoodsReport, QStringLiteral("Отчет по реализованным товарам"), QStringLiteral("TForm24")},
        {Menu::Reports, MenuItem::AdditionalDailyReports, QStringLiteral("Печать дополнительных дневных отчетов"), QStringLiteral("TForm31")},
        {Menu::Reports, MenuItem::ReceiptCopies, QStringLiteral("Копия фискальных чеков по сквозным номерам"), QStringLiteral("TForm41")},
        {Menu::Utilities, MenuItem::HeaderAndAdvertising, QStringLiteral("Заголовок чека и рекламный текст"), QStringLiteral("TForm11")},
        {Menu::Utilities, MenuItem::Operators, QStringLiteral("Параметры операторов"), QStringLiteral("TForm12")},
        {Menu::Utilities, MenuItem::PaymentParameters, QStringLiteral("Параметры оплаты"), QStringLiteral("TForm34")},
        {Menu::Utilities, MenuItem::Passwords, QStringLiteral("Пароли"), QStringLiteral("TForm13")},
        {Menu::Utilities, MenuItem::LogoLoading, QStringLiteral("Загрузка логотипа"), QStringLiteral("TForm6")},
        {Menu::Utilities, MenuItem::FirmwareReadout, QStringLiteral("Чтение внутреннего ПО"), QStringLiteral("TForm45")},
        {Menu::Utilities, MenuItem::FiscalMemory, QStringLiteral("Фискальная память"), QStringLiteral("TForm7")},
        {Menu::Utilities, MenuItem::DateAndTime, QStringLiteral("Дата и время"), QStringLiteral("TForm27")},
        {Menu::Utilities, MenuItem::Maintenance, QStringLiteral("Техническое обслуживание"), QStringLiteral("TForm38")},
        {Menu::Utilities, MenuItem::ServiceCounters, QStringLiteral("Служебные счетчики"), QStringLiteral("TForm39")},
        {Menu::Utilities, MenuItem::DrawerTest, QStringLiteral("Тест денежного ящика"), QStringLiteral("TForm47")},
        {Menu::Utilities, MenuItem::ExchangeLogViewer, QStringLiteral("Просмотр журнала обмена"), QStringLiteral("ExchangeLogViewer")},
        {Menu::Utilities, MenuItem::EmulatorTape, QStringLiteral("Лента эмулятора"), QStringLiteral("EmulatorTapeWindow")},
        {Menu::Utilities, MenuItem::EmulatorAfresh, QStringLiteral("Начать эмулятор заново..."), QString()},
        {Menu::Fiscal, MenuItem::SetSerialNumber, QStringLiteral("Установить заводской номер"), QStringLiteral("TForm15")},
        {Menu::Fiscal, MenuItem::FiscalParameters, QStringLiteral("Чтение и программирование"), QStringLiteral("TForm37")},
        {Menu::Fiscal, MenuItem::RegistrarParameters, QStringLiteral("Параметры регистратора"), QStringLiteral("TForm26")},
        {Menu::Fiscal, MenuItem::AcquirerServer, QStringLiteral("Параметры связи с сервером эквайера"), QStringLiteral("TForm49")},
        {Menu::Fiscal, MenuItem::RemoteAccessServer, QStringLiteral("Параметры сервера удаленного доступа"), QStringLiteral("TForm42")},
        {Menu::Fiscal, MenuItem::ControlTapeServer, QStringLiteral("Параметры сервера хранения КЛЕФ"), QStringLiteral("TForm59")},
        {Menu::Fiscal, MenuItem::WiFi, QStringLiteral("Параметры настройки WiFi"), QStringLiteral("TForm56")},
        {Menu::Fiscal, MenuItem::Gals, QStringLiteral("Параметры настройки ГАЛС"), QStringLiteral("TForm57")},
        {Menu::Fiscal, MenuItem::Vekr, QStringLiteral("Параметры настройки ВЕКР"), QString()},
        {Menu::Fiscal, MenuItem::DecimalPoint, QStringLiteral("Позиция десятичной точки"), QStringLiteral("TForm32")},
        {Menu::Fiscal, MenuItem::Fiscalization, QStringLiteral("Фискализация"), QStringLiteral("TForm19")},
        {Menu::Fiscal, MenuItem::IdDev, QStringLiteral("Установить и прочитать ID_DEV"), QStringLiteral("TForm50")},
        {Menu::Fiscal, MenuItem::ModemState, QStringLiteral("Состояние модема"), QStringLiteral("TForm51")},
        {Menu::Fiscal, MenuItem::LastAcquirerSession, QStringLiteral("Последний сеанс связи с эквайером"), QStringLiteral("TForm53")},
    };
    return entries;
}

QString menuCaption(Menu menu)
{
    switch (menu) {
    case Menu::Sales: return QStringLiteral("Продажа");
    case Menu::Commands: return QStringLiteral("Команды");
    case Menu::Reports: return QStringLiteral("Отчеты");
    case Menu::Utilities: return QStringLiteral("Утилиты");
    case Menu::Fiscal: return QStringLiteral("Фискальные параметры");
    }
    return QString();
}

QList<Menu> allMenus()
{
    return {Menu::Sales, Menu::Commands, Menu::Reports, Menu::Utilities, Menu::Fiscal};
}
