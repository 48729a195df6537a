#pragma once

#include "tools/transfer.h"

#include <QByteArray>
#include <QImage>
#include <QList>
#include <QSize>
#include <QString>

class Application;

// The logo screen without its widgets: the registrar's logo limits, a picture turned into
// logo lines (one bit a dot, the first dot in the high bit, anything but pure white
// printed), the lines sent, then the logo's size.
class LogoProgramming {
public:
    static inline const QString kCaption = QStringLiteral("Программирования логотипа");
    static constexpr int kLineBytes = 24;
    static inline const QString kFilter = QStringLiteral("BMP файл|*.BMP");

    static inline const QString kTimeout = QStringLiteral("Ошибка! Таймаут устройства!");
    static inline const QString kWriteFailed = QStringLiteral("Ошибка записи логотипа");
    static inline const QString kSuccess = QStringLiteral("Успешно!");
    static inline const QString kZeroWidth =
        QStringLiteral("Регистратор сообщил ширину логотипа 0: максимальный размер по Y не определить.");
    static inline const QString kBadReply =
        QStringLiteral("Информация переданная регистратором неверна. Размер логотипа не определён.");
    static inline const QString kNoMaxima =
        QStringLiteral("Максимальный размер логотипа не известен. Программирование не начато.");
    // Asked when the size typed is larger than the registrar takes: typed W, H; the
    // maximum W, H; the size that would go.
    static inline const QString kClampQuestion = QStringLiteral(
        "Размер %1 x %2 больше наибольшего, который принимает регистратор (%3 x %4).\n"
        "Программировать логотип размером %5 x %6?");
    static inline const QString kBadSize = QStringLiteral("Ошибка! Размер для загрузки - десятичное число больше 0!");
    static inline const QString kNoPicture = QStringLiteral("Не удалось загрузить рисунок %1");

    // The registrar's limits; -1 where unknown.
    struct Maxima {
        int width = -1;
        int height = -1;
        bool known() const { return width > 0 && height > 0; }
    };

    explicit LogoProgramming(Application &app);

    // On activation: 0x80 with the screen's password; data field 7 is the logo memory in
    // bytes, field 8 the width in dots; the height is memory × 8 ÷ width.
    Outcome<Maxima> readMaxima(const QString &password);
    const Maxima &maxima() const { return m_maxima; }

    // "Открыть": a picture chosen in the file dialog. False when cancelled or unreadable
    // (said so).
    bool openPicture();
    // A picture from a known file (dizivu-cli). False, said so, when it cannot be read.
    bool loadPicture(const QString &path);
    const QImage &picture() const { return m_picture; }
    // The size to send for the picture: each side at most the registrar's maximum.
    QSize sizeToSend() const;

    // "Программировать": W × H dots of the picture as logo lines, then 0x31 with W and H.
    // W and H beyond the registrar's maximum are cut to it; `sent` gets the size that went.
    transfer::Result program(const QString &password, const QString &width, const QString &height, QSize &sent,
                             transfer::View &view);

    // The dots of W × H as bytes: each row ⌈W ÷ 8⌉ bytes, the first dot in the high bit, a
    // dot set unless its pixel is pure white (FFFFFF); dots outside the picture are set.
    static QByteArray logoBytes(const QImage &picture, int width, int height);
    // The bytes as logo lines of 48 upper-case hexadecimal characters, the last one padded
    // with "00".
    static QList<QString> logoLines(const QByteArray &bytes);

private:
    transfer::Result fail(transfer::End end, const QString &message, const Verdict &verdict = {});

    Application &m_app;
    Maxima m_maxima;
    QImage m_picture;
};
