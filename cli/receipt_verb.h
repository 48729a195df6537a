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

// Reads and checks the whole file: JSON, quantities above 0, prices not negative, goods
// lines with a numeric code, payment types 0-9, amounts above 0, every text fit to go to
// the registrar. False with the reason in `error` (naming the place in the file).
bool parseReceiptFile(const QByteArray &json, ReceiptFile &out, QString &error);

// receipt [--terminal PORT] FILE.json
int runReceipt(const Options &options, FILE *out, FILE *err);

} // namespace cli
