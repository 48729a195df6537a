// The command catalogue: display names, parameter templates, the fallback name, and the
// name the link stores with every exchange.
#include "commands/command_catalogue.h"
#include "link/device_link.h"
#include "support/loopback_transport.h"

#include <QTest>

namespace {
const QString kInvalid = QStringLiteral("Неверная команда");
}

class CommandCatalogueTest : public QObject {
    Q_OBJECT
private slots:
    void namedCommands_data()
    {
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("templ");

        QTest::newRow("first slot") << 0x20 << "Команда 20h: Установка даты и времени"
                                    << "<DDMMYY>;<HHMM>;";
        QTest::newRow("no parameters") << 0x21 << "Команда 21h: Чтение даты и времени"
                                       << "Параметров нет";
        QTest::newRow("upper-case hex digit") << 0x2B
                                              << "Команда 2Bh: Установить пароли Режимов"
                                              << "<пароль ручных отчетов>;<пароль прогр.>;"
                                                 "<пароль отчетов>;<пароль администратора>;";
        QTest::newRow("template without closing ;")
            << 0x43 << "Команда 43h: Программирование фискального номера"
            << "<фискальный номер>";
        QTest::newRow("bracketed no-parameters")
            << 0x46 << "Команда 46h: Чтение налогового/идентификационного номера"
            << "<Параметров нет>";
        QTest::newRow("double blank kept") << 0x65 << "Команда 65h: Закрытие  фискального чека"
                                           << "Параметров нет";
        QTest::newRow("6A") << 0x6A << "Команда 6Ah: Дополнительный налог" << "<номер налога>";
        QTest::newRow("double blank in template")
            << 0x81 << "Команда 81h: Вывод информации на дисплей" << "<функция  (0-3)>;<текст>;";
        QTest::newRow("A0") << 0xA0 << "Команда A0h: Информация о свободных ресурсах и статусе"
                            << "Параметров нет";
        QTest::newRow("last slot") << 0xA3 << "Команда A3h: Печать периодического отчета"
                                   << "<номер начального>;<номер завершающего>;"
                                      "<тип: 0 - сокращенный, 1 - полный>;";
    }
    void namedCommands()
    {
        QFETCH(int, code);
        QFETCH(QString, name);
        QFETCH(QString, templ);
        QCOMPARE(CommandName(code), name);
        QString n, t;
        QVERIFY(CommandEntry(code, n, t));
        QCOMPARE(n, name);
        QCOMPARE(t, templ);
    }

    void noCommand_data()
    {
        QTest::addColumn<int>("code");
        QTest::newRow("BF, beyond the table") << 0xBF;
        QTest::newRow("2A, empty slot") << 0x2A;
        QTest::newRow("34, wrapped but not catalogued") << 0x34;
        QTest::newRow("7F, empty slot") << 0x7F;
        QTest::newRow("1F, just below") << 0x1F;
        QTest::newRow("A4, just above") << 0xA4;
        QTest::newRow("zero") << 0;
        QTest::newRow("negative") << -1;
        QTest::newRow("huge") << 0x10020;
    }
    void noCommand()
    {
        QFETCH(int, code);
        QCOMPARE(CommandName(code), kInvalid);
        QString name = QStringLiteral("stale"), templ = QStringLiteral("stale");
        QVERIFY(!CommandEntry(code, name, templ));
        QCOMPARE(name, kInvalid);
        QVERIFY(templ.isEmpty());
    }

    void listingHoldsExactlyTheCataloguedCodes()
    {
        const QList<int> expected = {0x20, 0x21, 0x22, 0x23, 0x24, 0x25, 0x26, 0x27, 0x28, 0x29,
                                     0x2B, 0x2C, 0x2D, 0x2E, 0x2F, 0x30, 0x40, 0x41, 0x42, 0x43,
                                     0x44, 0x45, 0x46, 0x47, 0x48, 0x60, 0x61, 0x62, 0x63, 0x64,
                                     0x65, 0x66, 0x67, 0x68, 0x69, 0x6A, 0x6B, 0x6C, 0x6D, 0x6E,
                                     0x6F, 0x80, 0x81, 0x82, 0x83, 0xA0, 0xA1, 0xA2, 0xA3};
        const QList<CommandCatalogueEntry> entries = CommandCatalogue::instance().entries();
        QList<int> codes;
        for (const CommandCatalogueEntry &e : entries) {
            codes.append(e.code);
            // Each entry agrees with the look-ups and carries its own code in its prefix.
            const QString prefix = QStringLiteral("Команда %1h: ")
                                       .arg(QString::number(e.code, 16).toUpper());
            QVERIFY2(e.name.startsWith(prefix), qPrintable(e.name));
            QVERIFY2(e.name.size() > prefix.size(), qPrintable(e.name));
            QVERIFY2(!e.templ.isEmpty(), qPrintable(e.name));
            QCOMPARE(CommandName(e.code), e.name);
        }
        QCOMPARE(codes, expected);

        // Every other slot of the 132 is empty.
        const CommandCatalogue &c = CommandCatalogue::instance();
        QCOMPARE(CommandCatalogue::kSlots, 132);
        for (int i = 0; i < CommandCatalogue::kSlots; ++i) {
            if (!expected.contains(CommandCatalogue::kFirstCode + i)) {
                QVERIFY(c.slotName(i).isEmpty());
                QVERIFY(c.slotTemplate(i).isEmpty());
            }
        }
    }

    void linkStoresTheNameWithEveryExchange()
    {
        VirtualClock clock;
        emu::Registrar registrar;
        DeviceLink link(clock);
        link.setCommandNamer(CommandName);
        link.attachTransport(std::make_unique<LoopbackTransport>(registrar, clock));
        CommandResult *r = link.ExecuteCommand(0x21, "482913;");
        QCOMPARE(r->commandName, QStringLiteral("Команда 21h: Чтение даты и времени"));
        r = link.ExecuteCommand(0xBF, "482913;");
        QCOMPARE(r->commandName, kInvalid);
    }
};

QTEST_GUILESS_MAIN(CommandCatalogueTest)
#include "tst_command_catalogue.moc"
