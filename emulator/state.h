#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QMap>
#include <QString>

#include <array>

namespace emu {

// What the registrar is, as the emulator is started with it.
struct RegistrarOptions {
    QString model = QStringLiteral("Korvan KV-44");
    QString version = QStringLiteral("3.01");
    QString info = QStringLiteral("ЗН 4100012345");
    int taxGroups = 5;
    int paymentForms = 10;
    int logoMemory = 24576;
    int logoWidth = 384;
    int speed = 9600;
    QByteArray password = "482913";
};

// Everything the registrar remembers between commands. The command handlers of every
// domain share it; each domain keeps to its own part, grouped below.
struct State {
    explicit State(const RegistrarOptions &o = {}) : options(o) {}

    RegistrarOptions options;

    // The clock: the computer's clock plus an offset set by the date and time command.
    qint64 clockOffsetSecs = 0;
    QDateTime hostTime; // a fixed "computer" time for repeatable tests; unset: the real clock
    QDateTime hostNow() const { return hostTime.isValid() ? hostTime : QDateTime::currentDateTime(); }
    QDateTime now() const { return hostNow().addSecs(clockOffsetSecs); }

    // Configuration: header lines 0-9, advertising lines 10-13, service counters.
    static constexpr int kHeaderLines = 14;
    struct HeaderLine {
        QByteArray text;
        bool doubleWidth = false;
    };
    std::array<HeaderLine, kHeaderLines> headerLines{};
    QMap<int, qint64> serviceCounters;

    // Receipts: the state reported in bits 0-3 of status byte 2, and the paper tape.
    static constexpr int kReceiptClosed = 0;
    static constexpr int kNonFiscalOpen = 5;
    int receiptState = kReceiptClosed;
    QList<QByteArray> paperTape;
};

} // namespace emu
