#pragma once

#include <functional>

#include "tools/transfer.h"

#include <QString>

class Application;

// The flash memory screen without its widgets: erase the registrar's flash memory, copy a
// range of it into a dump file, write a dump file back, 50 bytes a command.
class FlashMemory {
public:
    static inline const QString kCaption = QStringLiteral("Чтение/запись/обнуление фискальной памяти");
    static constexpr int kBlock = 50;
    static constexpr int kAddressDigits = 10;
    static constexpr int kCountDigits = 9;
    static constexpr int kDefaultRetries = 2;
    static inline const QString kFilter = QStringLiteral("Бинарные файлы (*.bin)|*.BIN|Все файлы (*.*)|*.*");

    static inline const QString kDecimalOnly = QStringLiteral("Ошибка! Только десятичные цифры!");
    static inline const QString kSuccess = QStringLiteral("Успешно!");
    static inline const QString kEraseQuestion =
        QStringLiteral("Вся флеш-память регистратора будет обнулена. Продолжать?");
    static inline const QString kEraseCancelled = QStringLiteral("Обнуление флеш-памяти отменено!");
    static inline const QString kEraseFailed = QStringLiteral("Ошибка обнуления флеш-памяти:\n  ");
    static inline const QString kReadQuestion = QStringLiteral("Данные будут записаны в выбранный файл. Продолжать?");
    static inline const QString kReadCancelled = QStringLiteral("Чтение данных из флеш-памяти отменено!");
    static inline const QString kReadTimeout = QStringLiteral("Ошибка! Таймаут устройства! Чтение данных остановлено.");
    static inline const QString kReadFailed =
        QStringLiteral("Ошибка чтения данных из флеш-памяти. \nЧтение данных остановлено. ErrCode=");
    static inline const QString kBadData =
        QStringLiteral("Информация переданная регистратором неверна. Чтение данных остановлено.");
    static inline const QString kReadStopped = QStringLiteral("Чтение данных остановлено пользователем.");
    static inline const QString kReadDone = QStringLiteral("Успешно. Чтение данных завершено.");
    static inline const QString kWriteQuestion =
        QStringLiteral("Данные будут записаны в флеш-память регистратора. Продолжать?");
    static inline const QString kWriteCancelled = QStringLiteral("Запись данных в флеш-память отменена!");
    static inline const QString kNoBounds = QStringLiteral("Не установлены границы для записи. Чтение остановлено!");
    static inline const QString kUnexpectedEnd = QStringLiteral("Ошибка! Незапланированный конец файла!\n   Чтение прервано");
    static inline const QString kFileTooShort =
        QStringLiteral("Файл короче заданного количества байтов (%1 из %2). Запись не начата.");
    static inline const QString kWriteError = QStringLiteral("Ошибка записи в флеш-память:\n  ");
    static inline const QString kWriteWordError =
        QStringLiteral("Ошибка записи данных в флеш-память. Запись данных остановлена.");
    static inline const QString kWriteStopped = QStringLiteral("Запись данных остановлено пользователем.");
    static inline const QString kWriteDone = QStringLiteral("Успешно. Запись данных завершена.");
    static inline const QString kFileCreate = QStringLiteral("Не удалось создать файл %1");
    static inline const QString kFileOpen = QStringLiteral("Не удалось открыть файл %1");
    static inline const QString kFileWrite = QStringLiteral("Ошибка записи в файл %1. Чтение данных остановлено.");
    static inline const QString kPastTheEnd =
        QStringLiteral("Адрес %1 за концом флеш-памяти регистратора. Чтение данных не начато.");

    // The flash screen's window: besides the transfer's own, the address of the next
    // block, the repetitions so far and the bounds a dump file's name gives.
    class View : public transfer::View {
    public:
        virtual void address(qint64 value) { Q_UNUSED(value); }
        virtual void repetitions(int count) { Q_UNUSED(count); }
        virtual void bounds(const QString &address, const QString &count) { Q_UNUSED(address); Q_UNUSED(count); }
    };

    explicit FlashMemory(Application &app);

    // "Обнулить флеш-память": asks first, Cancel being the default answer.
    // `agreed`, when given, is called once the user has said OK to the question, before
    // the command goes (the screen turns busy only then, not while it asks).
    transfer::Result erase(const QString &password, View &view, const std::function<void()> &agreed = {});

    // "Читать флеш-память": `count` bytes from `address` into a file chosen in a save
    // dialog. A block that fails is sent again up to `retries` times, counted afresh for
    // each block; "Повторов:" shows every repetition so far, the link's own included. A
    // block under 50 bytes is the end of the registrar's memory; a range that starts past
    // it (the first block answers no bytes: the program knows the memory's size only from
    // the registrar) is refused, kPastTheEnd, and the file is not touched.
    // The bytes go to a temporary file beside the chosen one, renamed over it once they
    // are all in: the file then holds exactly the bytes received, in address order. A
    // read that fails or is stopped leaves an existing file as it was; when there was
    // none, the bytes received so far become the file (none received: no file). A device
    // or a pipe is written directly.
    transfer::Result read(const QString &password, const QString &address, const QString &count, int retries,
                          View &view);

    // "Записать флеш-память": the file chosen in an open dialog, from its first byte, to
    // `address`, `count` bytes. A dump file's name (name_A_N.bin) gives both bounds before
    // the question, which names the range (unless `boundsFromTheName` is false: bounds
    // given on dizivu-cli's command line stand); a file shorter than the count is refused
    // before anything is written.
    transfer::Result write(const QString &password, const QString &address, const QString &count, View &view,
                           bool boundsFromTheName = true);

    // A bound typed into "Адрес" (`digits` kAddressDigits) or "Количество" (kCountDigits):
    // true when it is a decimal of at most that many digits; otherwise kDecimalOnly is
    // shown and false returned.
    bool checkBoundTyped(const QString &text, int digits);

    // The dump-file name rule: "name_A_N.ext" (folders left aside) gives the address A
    // and the count N, both decimal. False, and nothing set, for any other name.
    static bool boundsFromName(const QString &path, QString &address, QString &count);

    // The bytes of a block's hexadecimal text: exactly `bytes` bytes from the text's first
    // 2 × `bytes` characters, which must be "0"-"9" or "A"-"F". False when the text is
    // shorter or holds any other character.
    static bool decodeBlock(const QByteArray &text, qint64 bytes, QByteArray &out);

private:
    transfer::Result stop(transfer::End end, const QString &message, const Verdict &verdict = {}, qint64 bytes = 0);
    bool checkBounds(const QString &address, const QString &count, qint64 &a, qint64 &n);
    bool checkPassword(const QString &password, transfer::Result &refusal);

    Application &m_app;
};
