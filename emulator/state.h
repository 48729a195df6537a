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

    // Flash memory and the firmware image (the memory domain).
    struct Memory {
        qint64 flashSize = 1024 * 1024;
        quint32 seed = 1;             // flash content and a generated firmware image
        QByteArray firmware;          // the image as given; empty: generated
        int firmwareSize = 65536;     // size of a generated image
        int packetBytes = 203;        // most bytes one firmware packet decodes to
        int firstPacket = 0;          // number of the first packet after selecting the source
        qint64 announcedSize = -1;    // the image size the registrar gives; -1: the image's own
        QMap<qint64, int> readFaults; // block address -> reads still answered with an error
        QList<qint64> badData;        // block addresses whose read carries non-hexadecimal data
    } memory;
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
    static constexpr int kReceiptHeader = 1;   // a fiscal receipt opened, nothing sold yet
    static constexpr int kReceiptSale = 2;     // at least one sale
    static constexpr int kReceiptPayment = 3;  // paid in part
    static constexpr int kReceiptComplete = 4; // paid in full, waiting for the close
    static constexpr int kNonFiscalOpen = 5;
    static constexpr int kReceiptSubtotal = 6; // a discount or surcharge on the sum given
    static constexpr int kCashReceiptOpen = 7; // a cash deposit or withdrawal receipt
    static constexpr int kReceiptVoiding = 9;  // between the start and the end of a void
    int receiptState = kReceiptClosed;
    // Bit 0x10 of status byte 2: the open receipt is a return receipt.
    bool receiptIsReturn = false;

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

    // Reports. The control tape is the paper tape from controlTapeStart on (clearing it
    // moves the start); the shift opens with the first receipt after the last Z report.
    static constexpr int kFiscalMemoryCapacity = 2190; // Z reports the fiscal memory holds
    static constexpr int kGoodsCapacity = 10000;       // records of the goods base
    static constexpr int kReceiptCapacity = 5000;      // receipts the journal holds
    int controlTapeStart = 0;
    int receiptsAtLastZ = 0; // lastReceiptNumber when the last Z report was taken
    // What the fiscal memory still allows: fiscalization, the serial, fiscal and tax
    // numbers, the tax rates, the fiscal memory's password.
    std::array<bool, 6> fiscalPermissions{true, true, true, true, true, true};
    int emergencyResets = 0;

    // The open fiscal receipt, kept by the sales domain. Amounts in hundredths.
    struct ReceiptItem {
        qint64 goodsCode = 0;
        qint64 quantityMilli = 0;
        qint64 priceCents = 0;
        qint64 sumCents = 0;      // quantity times price
        qint64 discountCents = 0; // the item's own discount (<0) or surcharge (>0)
        int discountCommand = 0;  // the command that gave it (0: none) and its value as sent
        qint64 discountValue = 0;
        qint64 recipient = -1;    // the recipient of a sale with its own recipient number
        int voidStep = 0;         // while voiding: 1 the sale named again, 2 its discount too
    };
    struct OpenReceipt {
        int operatorNumber = 1;
        QList<ReceiptItem> items;
        qint64 subtotalDiscountCents = 0;
        bool lastWasSale = false;        // an item discount applies to the sale just made
        int stageBeforeVoiding = 0;
        int voidLast = -1;               // the item named last while voiding
        qint64 paidCents = 0;
        QMap<int, qint64> paymentsCents; // by payment type
        qint64 changeCents = 0;
        qsizetype tapeStart = 0;         // where its lines begin on the paper tape
        // A cash receipt's deposit (>0) or withdrawal (<0), given with 0x77; it reaches the
        // drawer when the receipt closes, and never when it is voided.
        qint64 cashMoveCents = 0;
        qint64 itemsTotalCents() const
        {
            qint64 t = 0;
            for (const ReceiptItem &i : items)
                t += i.sumCents + i.discountCents;
            return t;
        }
        qint64 totalCents() const { return itemsTotalCents() + subtotalDiscountCents; }
    };
    OpenReceipt receipt;
    qint64 dayReturnPaymentsCents = 0; // paid back in return receipts, all types
    struct CardRecord {
        int paymentType = 0;
        qint64 amountCents = 0;
        QByteArray transactionId;
    };
    QList<CardRecord> cardPayments; // every card payment recorded with 0x78
    // The customer display's two lines.
    QByteArray displayTop, displayBottom;
    // Memory: the logo as programmed, the flash memory (made from the seed at its first
    // use), the firmware image and the read-out's place in it.
    QByteArray logo;     // 24 bytes a line, by line number
    int logoWidth = 0;   // as last set by 0x31
    int logoHeight = 0;
    QByteArray flash;
    QByteArray firmware;
    bool firmwareSelected = false;
    qsizetype firmwareOffset = 0;
    int nextPacket = 0;
};

} // namespace emu
