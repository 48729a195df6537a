#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <cstdio>
#include <optional>

namespace cli {

struct Options;

// One whole fiscal receipt as a point-of-sale system hands it over (UTF-8 JSON).
struct ReceiptFile {
    struct Discount {
        bool percent = true;
        double value = 0;
    };
    struct Item {
        QString goods; // a goods line as in the goods list file
        double quantity = 0;
        double price = 0;
        std::optional<Discount> discount;
    };
    struct Payment {
        int type = 0;
        double amount = 0;
        std::optional<QString> transaction; // recorded with this identifier, no terminal
    };
    int operatorNumber = 1;
    bool isReturn = false;
    bool display = true;
    QStringList comments;
    QList<Item> items;
    std::optional<Discount> subtotal;
    QList<Payment> payments;
};

// Reads and checks the whole file against what the registrar takes, so that a receipt is
// never opened only to be voided: JSON, operator 1-99, quantities above 0 at three
// decimals and at most a million, prices not negative, goods lines with a numeric code and
// a name of at most 40 characters, discounts not 0 (percentages above -100 and at most
// 100), payment types 0-9, amounts above 0, every text fit to go to the registrar (at most
// 219 bytes in Windows-1251). False with the reason in `error` (naming the place in the file).
bool parseReceiptFile(const QByteArray &json, ReceiptFile &out, QString &error);

// receipt [--terminal PORT] FILE.json
int runReceipt(const Options &options, FILE *out, FILE *err);

} // namespace cli
