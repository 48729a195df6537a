#pragma once

#include "commands/verdict.h"
#include "sales/receipt_tally.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

class Application;
class Prompter;
struct CardPaymentRequest;
struct CardPaymentResult;
struct CommandResult;

// The fiscal receipt screen without its widgets: one member function per button. Each
// sends its command(s), shows the screen's own messages through the prompter and returns
// the verdict with what "Код ошибки:" is to show. Inputs the screen cannot convert, and
// inputs the command layer refuses, stop with a message before anything is sent; the
// returned outcome is then not sent() and the form leaves its displays as they were.
class FiscalReceipt {
public:
    static inline const QString kCaption = QStringLiteral("Фискальный чек");
    static inline const QString kNoGoods = QStringLiteral("Не выбран товар!");
    static inline const QString kBadPaymentType = QStringLiteral("Ошибочный тип оплаты");
    static inline const QString kBadBarcodeHeight = QStringLiteral("Некорректно указана высота штрих-кода! Ошибка!");
    static inline const QString kBarcodeTooLong = QStringLiteral("Длина штрих-кода больше 12 символов! Ошибка!");
    static inline const QString kBarcodeFailed = QStringLiteral("Ошибка печати штрих-кода:\n  ");
    // The sale's password: the registrar expects this one whatever the password input holds.
    static inline const QString kFixedPassword = QStringLiteral("482913");
    static inline const QStringList kDisplayFunctions = {
        QStringLiteral("Очистить"), QStringLiteral("Верхняя строка"), QStringLiteral("Нижняя строка"),
        QStringLiteral("Дата и время")};
    static inline const QStringList kBarcodeTypes = {
        QStringLiteral("Bit line"), QStringLiteral("EAN13"),    QStringLiteral("CODE128C"),
        QStringLiteral("CODE128А"), QStringLiteral("CODE128В"), QStringLiteral("CODE39")};
    static constexpr int kEan13 = 1;
    static constexpr int kTransactionIdLength = 20;

    enum class DiscountTarget { Item, Subtotal, TaxGroup };

    struct Payment {
        QString password;
        int paymentType = 0;
        QString amountText;
        bool useTypedTransaction = false;
        QString typedTransaction;
        bool suppressCardLines = false;
        // What is still due, when the caller knows it better than the receipt's last reply.
        std::optional<qint64> dueCents;
        // Handed to the card payment (see CardPaymentRequest).
        std::function<void(bool)> chargeWindow;
        std::function<void(const QString &)> onTransaction;
    };
    // What the screen shows after a payment: the reply's texts and, when the card was
    // charged but the registrar did not record it, the terminal's identifier to record
    // the payment with by hand.
    struct PaymentShown {
        ReplyTexts reply;
        bool cardPath = false;
        bool recorded = false; // the card payment went into the receipt
        bool chargedNotRecorded = false;
        QString transactionId;
    };
    struct Barcode {
        QString password;
        QString data;
        int typeIndex = kEan13;
        QString width = QStringLiteral("2");
        QString height = QStringLiteral("50");
        bool digits = false;
    };

    explicit FiscalReceipt(Application &app);

    // Who takes a card payment: the card terminal's CardPayment unless replaced (tests).
    using CardPayer = std::function<CardPaymentResult(const CardPaymentRequest &)>;
    void setCardPayer(CardPayer payer) { m_cardPayer = std::move(payer); }

    // The screen's entry points take the inputs as typed and read them with the one number
    // reader (input::readDecimal, input::readInteger); the numeric ones below take what
    // dizivu-cli has already read, and the amounts go to the wrappers as numbers.
    Outcome<> openReceipt(const QString &password, const QString &operatorNumber, bool isReturn);
    Outcome<> openReceipt(const QString &password, int operatorNumber, bool isReturn);
    Outcome<> printComment(const QString &password, const QString &text);
    // 0x24 with the goods line (not on RGT models), then 0x64 with the fixed password.
    Outcome<> sell(const QString &password, const QString &goodsLine, const QString &quantity, const QString &price);
    Outcome<> sell(const QString &password, const QString &goodsLine, double quantity, double price);
    // The same, with 0x6A for a VEKR recipient.
    Outcome<> sellVekr(const QString &password, const QString &goodsLine, const QString &quantity,
                       const QString &price, const QString &recipient);
    Outcome<> discount(const QString &password, bool percent, DiscountTarget target, const QString &value,
                       const QString &taxGroup);
    Outcome<> discount(const QString &password, bool percent, DiscountTarget target, double value, int taxGroup = 0);
    // 0 the whole receipt, 1 start, 2 end, 3 cancel voiding.
    Outcome<> voidOperation(const QString &password, int mode);
    // On success shown.data is the receipt sum, the reply's first field; empty when the
    // reply holds none.
    Outcome<> printTotal(const QString &password, bool onDisplay);
    // The amount typed in `payment.amountText`, or given as a number (the text is then not read).
    Outcome<PaymentShown> pay(const Payment &payment, const QString &terminalPort);
    Outcome<PaymentShown> pay(const Payment &payment, double amount, const QString &terminalPort);
    Outcome<> closeReceipt(const QString &password, bool onDisplay);
    Outcome<> showOnDisplay(int function, const QString &text);
    Outcome<> printBarcode(const Barcode &barcode);

    // What the registrar has accepted of the receipt so far (for the screen's view).
    const ReceiptTally &tally() const { return m_tally; }
    // A card was charged (recorded, not recorded, or unknown) or a card payment recorded in
    // the receipt opened last: it must not be voided from the screen.
    bool cardCharged() const { return m_cardCharged; }

    // The card path is taken for a type other than cash when the registrar's version or
    // the electronic journal setting says that it takes card payments.
    static bool takesCard(int paymentType, const QString &softwareVersion, const QString &elJournal);
    // The goods code: the text before the first ";" as a 64-bit integer.
    static bool goodsCode(const QString &goodsLine, qint64 &code);
    // The lines of a goods list file (UTF-8, else Windows-1251), for a screen that has no
    // goods-loading screen to ask; `loadedName` gets the full path. Nothing, with a
    // message, when the file cannot be read.
    static QStringList readGoodsFile(Prompter &prompter, const QString &path, QString &loadedName);
    // readGoodsFile with the application's prompter.
    QStringList loadGoodsFile(const QString &path, QString &loadedName);
    // The file dialog that chooses the goods list file: its path, or an empty text when
    // the user cancelled.
    QString chooseGoodsFile();

private:
    Outcome<> sellTyped(const QString &password, const QString &goodsLine, const QString &quantity,
                        const QString &price, const QString *recipient);
    Outcome<> sellWith(const QString &password, const QString &goodsLine, double quantity, double price,
                       const int *recipient);
    // `amountText` is what the card terminal is asked for.
    Outcome<PaymentShown> payWith(const Payment &payment, double amount, const QString &amountText,
                                  const QString &terminalPort);

    // What the open receipt still wants paid, in hundredths, as the tally last heard it;
    // nothing when not known.
    std::optional<qint64> dueCents() const;

    Application &m_app;
    CardPayer m_cardPayer;
    ReceiptTally m_tally;
    bool m_cardCharged = false;
};
