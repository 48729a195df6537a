#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QMap>
#include <QString>

#include <array>
#include <functional>

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

    // Receipts: the state reported in bits 0-3 of status byte 2.
    static constexpr int kReceiptClosed = 0;
    static constexpr int kNonFiscalOpen = 5;
    int receiptState = kReceiptClosed;

    // The paper tape: every line the registrar prints, in its code page, in order. Every
    // domain prints through print() and ends each document (a receipt, a report, a copy)
    // with endDocument(), so a tape file can put a separator between documents.
    QList<QByteArray> paperTape;
    std::function<void(const QByteArray &line)> onPrint;
    std::function<void()> onDocumentEnd;
    void print(const QByteArray &line)
    {
        paperTape.append(line);
        if (onPrint)
            onPrint(line);
    }
    void endDocument()
    {
        if (onDocumentEnd)
            onDocumentEnd();
    }

    // What sales leave behind for reports and copies. The sales domain writes these; the
    // reports domain reads them, and a Z report stores the day and starts a new one.
    // Amounts are in hundredths, quantities in thousandths.
    struct Goods {
        qint64 code = 0;
        QByteArray name;
        QByteArray line; // the goods line as programmed with 0x24, after the password
    };
    QMap<qint64, Goods> goods; // the goods base, by code; 0x3B clears it
    struct DaySale {
        qint64 goodsCode = 0;
        qint64 quantityMilli = 0;
        qint64 sumCents = 0; // after the item's discount
        bool isReturn = false;
        int operatorNumber = 1;
    };
    QList<DaySale> daySales;            // every sale of the shift, in order
    QMap<int, qint64> dayPaymentsCents; // by payment type
    qint64 dayDepositsCents = 0;
    qint64 dayWithdrawalsCents = 0;
    qint64 cashInDrawerCents = 0;
    int lastReceiptNumber = 0; // the running number of the last closed fiscal receipt
    struct StoredReceipt {
        int number = 0;
        QDateTime time;
        QList<QByteArray> lines; // as printed
    };
    QList<StoredReceipt> receiptJournal; // closed fiscal receipts, for copies
    // Cash in and out, receipt copies (the cash domain): the operators a cash movement
    // may name, and the most copies one command prints.
    static constexpr int kOperators = 16;
    static constexpr int kMaxCopiesAtOnce = 500;
    int lastZReportNumber = 0;
    struct ZReport {
        int number = 0;
        QDateTime time;
        qint64 salesCents = 0;
        qint64 returnsCents = 0;
        int receipts = 0;
    };
    QList<ZReport> fiscalMemory; // every Z report, in order
};

} // namespace emu
