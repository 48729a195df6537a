#pragma once

#include "tools/transfer.h"

#include <QByteArray>
#include <QString>

class Application;

// The firmware read-out screen without its widgets: selects the software as the
// registrar's data source, then pulls numbered packets until an empty one, decoding each
// packet's escaped text into the file.
class FirmwareReadout {
public:
    static inline const QString kCaption = QStringLiteral("Чтение ПО");
    static constexpr int kSoftwareSource = 5;
    static constexpr int kPacketCapacity = 203;
    static inline const QString kFilter = QStringLiteral("HEX файлы|*.HEX|Все файлы|*.*");

    static inline const QString kSourceFailed = QStringLiteral("SetDataSource ошибка:\n  ");
    static inline const QString kNoData = QStringLiteral("Нет данных!");
    static inline const QString kPacketFailed = QStringLiteral("ReadDataFromBuf ошибка:\n  ");
    static inline const QString kPacketNumber =
        QStringLiteral("Ошибка последовательного номера пакета - чтение остановлено!");
    static inline const QString kStopped = QStringLiteral("Чтение остановлено по запросу пользователя!");
    static inline const QString kDone = QStringLiteral("Чтение внутреннего ПО - успешно!");
    static inline const QString kIncomplete =
        QStringLiteral("Чтение внутреннего ПО не завершено: получено %1 байт из %2!");
    static inline const QString kPacketTooLong =
        QStringLiteral("Пакет данных длиннее 203 байт - чтение остановлено!");
    static inline const QString kBadData =
        QStringLiteral("Информация переданная регистратором неверна. Чтение данных остановлено.");
    static inline const QString kFileCreate = QStringLiteral("Не удалось создать файл %1");
    static inline const QString kFileWrite = QStringLiteral("Ошибка записи в файл %1 - чтение остановлено!");

    enum class Decoded { Ok, TooLong, DanglingEscape };
    // A packet's text: "\" followed by a character stands for that character's code minus
    // 40h (modulo 256), every other character for itself. At most `capacity` bytes.
    static Decoded decodePacket(const QByteArray &text, QByteArray &out, int capacity = kPacketCapacity);

    explicit FirmwareReadout(Application &app);

    // "Чтение внутреннего ПО": the image into a file chosen in a save dialog. The file keeps
    // the bytes received so far however the read-out ends; fewer bytes than the registrar
    // announced is reported as incomplete.
    transfer::Result read(const QString &password, transfer::View &view);

private:
    transfer::Result stop(transfer::End end, const QString &message, const Verdict &verdict = {}, qint64 bytes = 0);

    Application &m_app;
};
