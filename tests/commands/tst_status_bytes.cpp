#include "commands/status_bytes.h"

#include <QTest>

using status_bytes::Connection;

class StatusBytesTest : public QObject {
    Q_OBJECT

private slots:
    void dataTransferModels_data();
    void dataTransferModels();
    void byte5CaptionsFollowModelAndConnection_data();
    void byte5CaptionsFollowModelAndConnection();
    void otherCaptionsDoNotFollowTheModel();
    void receiptState_data();
    void receiptState();
    void receiptStateList();
    void setBits();
    void outOfRange();
};

void StatusBytesTest::dataTransferModels_data()
{
    QTest::addColumn<QString>("model");
    QTest::addColumn<bool>("transfer");

    QTest::newRow("KM-1") << "Korvan KM-1" << true;
    QTest::newRow("KM-1M") << "KM-1M" << false;
    QTest::newRow("named KM-1M") << "Korvan KM-1M" << false;
    QTest::newRow("KM-10") << "KM-10" << true;
    QTest::newRow("KM-1 and KM-1M") << "KM-1 KM-1M" << false;
    QTest::newRow("6208") << "Korvan 6208" << true;
    QTest::newRow("6208 wins over KM-1M") << "6208 KM-1M" << true;
    QTest::newRow("lower case") << "korvan km-1" << false;
    QTest::newRow("other") << "Korvan KV-44" << false;
    QTest::newRow("empty") << QString() << false;
}

void StatusBytesTest::dataTransferModels()
{
    QFETCH(QString, model);
    QFETCH(bool, transfer);
    QCOMPARE(status_bytes::reportsDataTransfer(model), transfer);
}

void StatusBytesTest::byte5CaptionsFollowModelAndConnection_data()
{
    QTest::addColumn<QString>("model");
    QTest::addColumn<Connection>("connection");
    QTest::addColumn<QString>("bit0");
    QTest::addColumn<QString>("bit1");

    const QString lock = QStringLiteral("(1)Блокировка 72 часа, данные не переданы");
    const QString pending = QStringLiteral("(2)Не все чеки переданы в модем, база товаров не обнулена");
    const QString drawer = QStringLiteral("(1) Денежный ящик закрыт");
    const QString reserve0 = QStringLiteral("(1) Резерв");
    const QString reserve1 = QStringLiteral("(2) Резерв");

    QTest::newRow("KM-1 serial") << "Korvan KM-1" << Connection::Serial << lock << pending;
    QTest::newRow("KM-1 USB") << "Korvan KM-1" << Connection::Usb << lock << pending;
    QTest::newRow("6208 USB") << "6208" << Connection::Usb << lock << pending;
    QTest::newRow("KM-1M serial") << "KM-1M" << Connection::Serial << drawer << reserve1;
    QTest::newRow("KM-1M USB") << "KM-1M" << Connection::Usb << reserve0 << reserve1;
    QTest::newRow("no model serial") << QString() << Connection::Serial << drawer << reserve1;
    QTest::newRow("no model USB") << QString() << Connection::Usb << reserve0 << reserve1;
}

void StatusBytesTest::byte5CaptionsFollowModelAndConnection()
{
    QFETCH(QString, model);
    QFETCH(Connection, connection);
    QFETCH(QString, bit0);
    QFETCH(QString, bit1);

    QCOMPARE(status_bytes::bitCaption(5, 0, model, connection), bit0);
    QCOMPARE(status_bytes::bitCaption(5, 1, model, connection), bit1);
    const QStringList all = status_bytes::bitCaptions(5, model, connection);
    QCOMPARE(all.size(), 8);
    QCOMPARE(all.at(0), bit0);
    QCOMPARE(all.at(1), bit1);
    QCOMPARE(all.at(2), QString("(4) Низкий заряд батареи"));
    QCOMPARE(all.at(7), QString("(80) Всегда установлен"));
}

void StatusBytesTest::otherCaptionsDoNotFollowTheModel()
{
    for (int byte = 0; byte < 5; ++byte)
        QCOMPARE(status_bytes::bitCaptions(byte, "Korvan KM-1", Connection::Usb),
                 status_bytes::bitCaptions(byte));
    QCOMPARE(status_bytes::bitCaption(1, 0, "Korvan KM-1", Connection::Usb),
             QString("(1) Заканчивается чековая лента (для  Korvan KV-T857)"));
}

void StatusBytesTest::receiptState_data()
{
    QTest::addColumn<int>("byte2");
    QTest::addColumn<int>("state");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("setBits");

    QTest::newRow("closed") << 0x80 << 0 << "0. Документ закрыт"
                            << QStringList{"(80) Всегда установлен"};
    QTest::newRow("text document") << 0x85 << 5 << "5. Произвольный текстовый документ открыт"
                                   << QStringList{"(1) Состояние чека", "(4) Состояние чека",
                                                  "(80) Всегда установлен"};
    QTest::newRow("cash in/out") << 0x07 << 7 << "7. Открыт чек  внесения/изъятия"
                                 << QStringList{"(1) Состояние чека", "(2) Состояние чека",
                                                "(4) Состояние чека"};
    QTest::newRow("void") << 0x09 << 9 << "9. Режим АННУЛИРОВАНИЕ"
                          << QStringList{"(1) Состояние чека", "(8) Текущее состояние чека"};
    QTest::newRow("no text") << 0x8C << 12 << "12."
                             << QStringList{"(4) Состояние чека", "(8) Текущее состояние чека",
                                            "(80) Всегда установлен"};
    QTest::newRow("return receipt") << 0x12 << 2 << "2. Выполнена операция продажи"
                                    << QStringList{"(2) Состояние чека", "(10) Открыт чек возврата"};
    QTest::newRow("all bits") << 0x7F << 15 << "15."
                              << QStringList{"(1) Состояние чека", "(2) Состояние чека",
                                             "(4) Состояние чека", "(8) Текущее состояние чека",
                                             "(10) Открыт чек возврата", "(20) Резерв",
                                             "(40) Резерв"};
}

void StatusBytesTest::receiptState()
{
    QFETCH(int, byte2);
    QFETCH(int, state);
    QFETCH(QString, text);
    QFETCH(QStringList, setBits);

    QCOMPARE(status_bytes::receiptState(quint8(byte2)), state);
    QCOMPARE(status_bytes::receiptStateText(state), text);
    const std::array<quint8, 6> status{0, 0, quint8(byte2), 0, 0, 0};
    QCOMPARE(status_bytes::setBitCaptions(status).at(2), setBits);
}

void StatusBytesTest::receiptStateList()
{
    const QStringList list = status_bytes::receiptStateTexts();
    QCOMPARE(list.size(), 16);
    QCOMPARE(list.first(), QString("0. Документ закрыт"));
    QCOMPARE(list.at(9), QString("9. Режим АННУЛИРОВАНИЕ"));
    for (int state = 10; state < 16; ++state)
        QCOMPARE(list.at(state), QString::number(state) + '.');
}

void StatusBytesTest::setBits()
{
    // As the record keeps them: bit 7 cleared.
    const std::array<quint8, 6> status{0x01, 0x00, 0x00, 0x40, 0x03, 0x13};
    const QList<QStringList> set = status_bytes::setBitCaptions(status, "Korvan KM-1", Connection::Usb);
    QCOMPARE(set.size(), 6);
    QCOMPARE(set.at(0), QStringList{"(1) Регистратор находится в сервисном режиме"});
    QVERIFY(set.at(1).isEmpty());
    QVERIFY(set.at(2).isEmpty());
    QCOMPARE(set.at(3), QStringList{"(40) Связь с WiFi модулем"});
    QCOMPARE(set.at(4), (QStringList{"(1) Заводской номер запрограммирован",
                                     "(2) Регистратор фискализирован"}));
    QCOMPARE(set.at(5), (QStringList{"(1)Блокировка 72 часа, данные не переданы",
                                     "(2)Не все чеки переданы в модем, база товаров не обнулена",
                                     "(10) Смена открыта"}));

    // A timed-out command leaves all six bytes 0.
    const QList<QStringList> none = status_bytes::setBitCaptions({});
    QCOMPARE(none.size(), 6);
    for (const QStringList &byte : none)
        QVERIFY(byte.isEmpty());
}

void StatusBytesTest::outOfRange()
{
    QCOMPARE(status_bytes::byteTitle(0), QString("Статус регистратора - байт 0 (общее состояние)"));
    QCOMPARE(status_bytes::byteTitle(5),
             QString("Статус регистратора - байт 5 (дополнительные статусы)"));
    QVERIFY(status_bytes::byteTitle(6).isNull());
    QVERIFY(status_bytes::byteTitle(-1).isNull());
    QVERIFY(status_bytes::bitCaption(0, 8).isNull());
    QVERIFY(status_bytes::bitCaption(6, 0).isNull());
    QVERIFY(status_bytes::bitCaption(0, -1).isNull());
    QVERIFY(status_bytes::bitCaptions(6).isEmpty());
    QVERIFY(status_bytes::receiptStateText(16).isNull());
    QVERIFY(status_bytes::receiptStateText(-1).isNull());
}

QTEST_APPLESS_MAIN(StatusBytesTest)
#include "tst_status_bytes.moc"
