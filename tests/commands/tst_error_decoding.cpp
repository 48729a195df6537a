#include "link/command_result.h"
#include "commands/error_decoding.h"
#include "commands/verdict.h"

#include <QTest>

class ErrorDecodingTest : public QObject {
    Q_OBJECT

private slots:
    void decodesWord_data();
    void decodesWord();
    void readsOnlyUpperCaseHexDigits_data();
    void readsOnlyUpperCaseHexDigits();
    void timeoutWinsOverAnyErrorWord_data();
    void timeoutWinsOverAnyErrorWord();
    void nakIsNeverSuccess();
    void checksumMismatchIsNeverSuccess();
    void statusBitsOfTheFlagWordAreIgnored();
    void clearsPreviousMessageOnSuccess();
    void verdictKinds_data();
    void verdictKinds();
};

Q_DECLARE_METATYPE(Verdict::Kind)

static const QString kEquipment = QStringLiteral("Ошибка оборудования!\n ");
static const QString kUnknown = QStringLiteral("Неизвестная ошибка!");

void ErrorDecodingTest::decodesWord_data()
{
    QTest::addColumn<QByteArray>("word");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QString>("message");

    QTest::newRow("success") << QByteArray("0000") << true << QString();

    // Class 0x01: heading, line break and blank, then table A.
    QTest::newRow("01 first") << QByteArray("0001") << false
                              << kEquipment + "Неопределенная ошибка оборудования!";
    QTest::newRow("01 display") << QByteArray("0501") << false << kEquipment + "Ошибка дисплея!";
    QTest::newRow("01 last") << QByteArray("0901") << false << kEquipment + "MMC: отказ оборудования!";
    QTest::newRow("01 after last") << QByteArray("0A01") << false << kEquipment + kUnknown;
    QTest::newRow("01 unlisted") << QByteArray("1201") << false << kEquipment + kUnknown;

    // Class 0x02: table B without a heading.
    QTest::newRow("02 first") << QByteArray("0002") << false << QString("Нет команды с таким кодом!");
    QTest::newRow("02 last") << QByteArray("0302") << false
                             << QString("Переполнение буфера приемника/передатчика!");
    QTest::newRow("02 unlisted") << QByteArray("0402") << false << kUnknown;

    // Classes 0x03 and 0x04: the detail in decimal.
    QTest::newRow("03") << QByteArray("0F03") << false
                        << QString("Неправильный формат поля номер 15!");
    QTest::newRow("03 max") << QByteArray("FF03") << false
                            << QString("Неправильный формат поля номер 255!");
    QTest::newRow("04") << QByteArray("0204") << false
                        << QString("Значение поля номер 2 выходит за допустимый диапазон!");
    QTest::newRow("04 zero") << QByteArray("0004") << false
                             << QString("Значение поля номер 0 выходит за допустимый диапазон!");

    // Class 0x05: table C, with the texts that carry their own line breaks.
    const QString fm = QStringLiteral("Ошибка фискальной памяти!\n ");
    QTest::newRow("05 first") << QByteArray("0005") << false
                              << fm + "Нет свободного места для записи в ФП!";
    QTest::newRow("05 break 3") << QByteArray("0305") << false
                                << fm + "Дата текущей записи более ранняя \n   чем дата предыдущей записи!";
    QTest::newRow("05 break 8") << QByteArray("0805") << false
                                << fm + "Дата и время не были установлены \nс момента последнего аварийного обнуления ОЗУ!";
    QTest::newRow("05 date") << QByteArray("0C05") << false << fm + "ДОшибка в формате даты!";
    QTest::newRow("05 last") << QByteArray("0E05") << false
                             << fm + "Устанавливаемое время меньше текущего!";
    QTest::newRow("05 unlisted") << QByteArray("0F05") << false << fm + kUnknown;

    // Classes 0x06 and 0x08 ignore the detail.
    QTest::newRow("06") << QByteArray("0006") << false << QString("Неверный пароль доступа!");
    QTest::newRow("06 detail") << QByteArray("3706") << false << QString("Неверный пароль доступа!");
    const QString overflow =
        QStringLiteral("При выполнении операции \n  обнаружено арифметическое переполнение!");
    QTest::newRow("08") << QByteArray("0008") << false << overflow;
    QTest::newRow("08 detail") << QByteArray("FF08") << false << overflow;

    // Class 0x07: the heading ends in a bare line break.
    const QString state =
        QStringLiteral("Команда не может быть выполнена в данном состоянии регистратора!\n");
    QTest::newRow("07 first") << QByteArray("0007") << false
                              << state + "Неверный режим регистратора (перемычка)!";
    QTest::newRow("07 last") << QByteArray("0307") << false
                             << state + "Регистратор находится в автономном режиме!";
    QTest::newRow("07 unlisted") << QByteArray("0407") << false << state + kUnknown;

    // Class 0x09: the detail text follows the heading directly.
    QTest::newRow("09 first") << QByteArray("0009") << false << QString("Не обнулено!Не очищено!");
    QTest::newRow("09 last") << QByteArray("0409") << false << QString("Не обнулено!Ошибка данных");
    QTest::newRow("09 unlisted") << QByteArray("0509") << false << "Не обнулено!" + kUnknown;

    const QString goods = QStringLiteral("Ошибка работы с базой товаров!\n ");
    QTest::newRow("0A first") << QByteArray("000A") << false
                              << goods + "Нет свободного места для выполнения команды!";
    QTest::newRow("0A last") << QByteArray("050A") << false << goods + "Налог запрещен!";
    QTest::newRow("0A unlisted") << QByteArray("060A") << false << goods + kUnknown;

    const QString sales = QStringLiteral("Ошибка работы с продажами!\n ");
    QTest::newRow("0B first") << QByteArray("000B") << false << sales + "Неверное состояние документа!";
    QTest::newRow("0B 10") << QByteArray("0A0B") << false
                           << sales + "Сдача запрещена с данного типа оплаты!";
    QTest::newRow("0B last") << QByteArray("110B") << false
                             << sales + "Аннуляция: удаляемая последовательность заблокирована!";
    QTest::newRow("0B unlisted") << QByteArray("120B") << false << sales + kUnknown;

    const QString line = QStringLiteral("Ошибка форматированной строки!\n ");
    QTest::newRow("F0 first") << QByteArray("00F0") << false
                              << line + "Форматированная строка: параметры!";
    QTest::newRow("F0 last") << QByteArray("04F0") << false
                             << line + "Форматированная строка: позиции в строке!";
    QTest::newRow("F0 unlisted") << QByteArray("05F0") << false << line + kUnknown;

    // Classes the registrar does not define: failure without a message.
    QTest::newRow("class 0, detail 5") << QByteArray("0500") << false << QString();
    QTest::newRow("class 0C") << QByteArray("000C") << false << QString();
    QTest::newRow("class FF") << QByteArray("01FF") << false << QString();
    QTest::newRow("class 10") << QByteArray("0010") << false << QString();

    // A word cut short (a frame cut before it, noise) is no verdict: never success.
    const QString noWord = error_decoding::kNoErrorWordMessage.toString();
    QTest::newRow("empty") << QByteArray() << false << noWord;
    QTest::newRow("two chars") << QByteArray("06") << false << noWord;
    QTest::newRow("three chars") << QByteArray("000") << false << noWord;
    // Extra characters are not read.
    QTest::newRow("long") << QByteArray("00060203") << false << QString("Неверный пароль доступа!");
}

void ErrorDecodingTest::decodesWord()
{
    QFETCH(QByteArray, word);
    QFETCH(bool, ok);
    QFETCH(QString, message);

    QString got = QStringLiteral("left over");
    QCOMPARE(decodeErrorWord(word, got), ok);
    QCOMPARE(got, message);

    CommandResult result;
    result.errorWord = word;
    got = QStringLiteral("left over");
    QCOMPARE(DecodeError(result, got), ok);
    QCOMPARE(got, message);
}

void ErrorDecodingTest::readsOnlyUpperCaseHexDigits_data()
{
    QTest::addColumn<QByteArray>("word");
    QTest::addColumn<int>("detail");
    QTest::addColumn<int>("errorClass");

    QTest::newRow("lower-case class") << QByteArray("00f0") << 0 << 0;
    QTest::newRow("lower-case detail") << QByteArray("0a0B") << 0 << 0x0B;
    QTest::newRow("upper-case") << QByteArray("AB9F") << 0xAB << 0x9F;
    QTest::newRow("letters past F") << QByteArray("G1Z6") << 0x01 << 0x06;
    QTest::newRow("blanks") << QByteArray("  06") << 0 << 0x06;
    QTest::newRow("punctuation") << QByteArray(":/@`") << 0 << 0;
    QTest::newRow("high bytes") << QByteArray("\xC0\xFF" "03") << 0 << 0x03;
    QTest::newRow("one char") << QByteArray("F") << 0xF0 << 0;
}

void ErrorDecodingTest::readsOnlyUpperCaseHexDigits()
{
    QFETCH(QByteArray, word);
    QFETCH(int, detail);
    QFETCH(int, errorClass);

    const error_decoding::ErrorCode code = error_decoding::parseErrorWord(word);
    QCOMPARE(code.detail, detail);
    QCOMPARE(code.errorClass, errorClass);
}

void ErrorDecodingTest::timeoutWinsOverAnyErrorWord_data()
{
    QTest::addColumn<QByteArray>("word");
    QTest::addColumn<quint32>("flags");

    QTest::newRow("stale success") << QByteArray("0000") << CommandResult::kNoReplyBit;
    QTest::newRow("stale error") << QByteArray("0306") << CommandResult::kNoReplyBit;
    QTest::newRow("no word") << QByteArray() << CommandResult::kNoReplyBit;
    QTest::newRow("other bits too") << QByteArray("0000")
                                    << (CommandResult::kNoReplyBit | CommandResult::kNakBit | 0xFFFFFFu);
}

void ErrorDecodingTest::timeoutWinsOverAnyErrorWord()
{
    QFETCH(QByteArray, word);
    QFETCH(quint32, flags);

    CommandResult result;
    result.errorWord = word;
    result.flags = flags;
    QString message;
    QVERIFY(!DecodeError(result, message));
    QCOMPARE(message, QString("Таймаут устройства! Ошибка!"));
}

// After a NAK the record still holds the previous reply's error word; a stale "0000"
// must not report the rejected command as done.
void ErrorDecodingTest::nakIsNeverSuccess()
{
    CommandResult result;
    result.errorWord = "0000";
    result.flags = CommandResult::kNakBit;
    QString message;
    QVERIFY(!DecodeError(result, message));
    QCOMPARE(message, error_decoding::kNakMessage.toString());
    QVERIFY(!message.isEmpty());
}

// A reply whose check characters did not match: its "0000" may be noise or an earlier
// reply's, so it is a failure with its own message, whether the flag word or only the
// checksum-error byte says so.
void ErrorDecodingTest::checksumMismatchIsNeverSuccess()
{
    CommandResult result;
    result.errorWord = "0000";
    result.flags = CommandResult::kChecksumBit;
    QString message;
    QVERIFY(!DecodeError(result, message));
    QCOMPARE(message, error_decoding::kChecksumMessage.toString());
    result.flags = 0;
    result.checksumError = 1;
    message.clear();
    QVERIFY(!DecodeError(result, message));
    QCOMPARE(message, error_decoding::kChecksumMessage.toString());
    result.flags = CommandResult::kNakBit | CommandResult::kChecksumBit;
    QVERIFY(!DecodeError(result, message));
    QCOMPARE(message, error_decoding::kNakMessage.toString());
}

void ErrorDecodingTest::statusBitsOfTheFlagWordAreIgnored()
{
    CommandResult result;
    result.errorWord = "0000";
    result.flags = 0x1FFFFFFFu & ~(CommandResult::kNoReplyBit | CommandResult::kNakBit | CommandResult::kChecksumBit);
    QString message;
    QVERIFY(DecodeError(result, message));
    QVERIFY(message.isEmpty());
}

void ErrorDecodingTest::clearsPreviousMessageOnSuccess()
{
    CommandResult result;
    result.errorWord = "0006";
    QString message;
    QVERIFY(!DecodeError(result, message));
    result.errorWord = "0000";
    QVERIFY(DecodeError(result, message));
    QVERIFY(message.isEmpty());
}

// The one classification every screen, script run and dizivu-cli relies on: the link's
// failures before any error word, and the word kept only when this command's reply came.
void ErrorDecodingTest::verdictKinds_data()
{
    QTest::addColumn<quint32>("flags");
    QTest::addColumn<QByteArray>("word");
    QTest::addColumn<Verdict::Kind>("kind");
    QTest::addColumn<QByteArray>("keptWord");

    QTest::newRow("success") << 0u << QByteArray("0000") << Verdict::Kind::Success << QByteArray("0000");
    QTest::newRow("registrar error") << 0u << QByteArray("0006") << Verdict::Kind::RegistrarError
                                     << QByteArray("0006");
    QTest::newRow("word cut short") << 0u << QByteArray("00") << Verdict::Kind::RegistrarError << QByteArray("00");
    QTest::newRow("no reply, stale success") << CommandResult::kNoReplyBit << QByteArray("0000")
                                             << Verdict::Kind::NoReply << QByteArray();
    QTest::newRow("NAK, stale success") << CommandResult::kNakBit << QByteArray("0000") << Verdict::Kind::Nak
                                        << QByteArray();
    QTest::newRow("check mismatch") << CommandResult::kChecksumBit << QByteArray("0000")
                                    << Verdict::Kind::ChecksumMismatch << QByteArray();
}

void ErrorDecodingTest::verdictKinds()
{
    QFETCH(quint32, flags);
    QFETCH(QByteArray, word);
    QFETCH(Verdict::Kind, kind);
    QFETCH(QByteArray, keptWord);

    CommandResult result;
    result.flags = flags;
    result.errorWord = word;
    const Verdict v = Verdict::of(result);
    QCOMPARE(v.kind, kind);
    QCOMPARE(v.errorWord, keptWord);
    QCOMPARE(v.replied(), kind == Verdict::Kind::Success || kind == Verdict::Kind::RegistrarError);
    QCOMPARE(v.linkFailed(), !v.replied());
    QCOMPARE(v.message.isEmpty(), v.ok());
    // DecodeError says the same.
    QString message;
    QCOMPARE(DecodeError(result, message), v.ok());
    QCOMPARE(message, v.message);
}

QTEST_APPLESS_MAIN(ErrorDecodingTest)
#include "tst_error_decoding.moc"
