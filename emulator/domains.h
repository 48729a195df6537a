#pragma once

#include "commands/command_codes.h"
#include "emulator/state.h"

#include <QByteArray>
#include <QList>

#include <array>

// The registrar's commands, by domain. The registrar itself (registrar.cpp) keeps the
// wire, the repeat cache, faults and the journal; it checks the password and hands each
// command to the handler its domain registered for the code.
//
// To add a domain: write emulator/domain_<name>.cpp with a register<Name>() that adds one
// handler per command, declare it below and call it in registerAllDomains(). The state
// the domain needs goes into its own group of State (state.h); its fields are read with
// the readers below, so every domain refuses a malformed number the same way. Domains
// still to come and their commands: fiscal setup (0x40-0x48), network (servers, events,
// WiFi, modem). The drawer (0x83) belongs with the identity domain, the customer display
// (0x81) with sales.
namespace emu {

// What a command comes back with: the error word ("0000": done) and the reply's data.
struct Outcome {
    QByteArray errorWord = "0000";
    QByteArray data;
};

// The registrar's error classes the handlers answer with; the detail says which field
// (counted from 1, the password being field 1) or which case.
namespace errorClass {
constexpr int protocol = 0x02;    // detail 0: no command with that code
constexpr int fieldFormat = 0x03; // detail: the field
constexpr int fieldRange = 0x04;  // detail: the field
constexpr int password = 0x06;
constexpr int sales = 0x0B;       // detail 0: the document is in the wrong state
} // namespace errorClass

// An error word "DDCC": detail, then class, both in hexadecimal.
Outcome refuse(int errorClass, int detail = 0);

// A request's parameter fields, each closed by ";" (a last one without it still counts):
// the password is field 0 here.
using Fields = QList<QByteArray>;
Fields fieldsOf(const QByteArray &parameters);

// Exactly `length` decimal digits.
bool allDigits(const QByteArray &s, int length);
// Text as the registrar keeps it, in Windows-1251.
QByteArray toCp1251(const QString &s);

// Field readers. Each takes the field as it came and says whether it held what the
// command wants; nothing is trimmed.

// Decimal digits only, one to `maxDigits` of them: addresses, counts, line numbers.
bool digitsValue(const QByteArray &field, int maxDigits, qint64 &value);
// An integer: an optional "-", then digits; at most 18 characters.
bool integerValue(const QByteArray &field, qint64 &value);
// A decimal with at most `decimals` places ("12", "12.5", "-5.00"), in whole units of the
// last place. Anything else, or a value too large to keep, does not convert.
bool fixedValue(const QByteArray &field, int decimals, qint64 &value);
// Field `index` (the password being field 0) as an integer from `low` to `high`, or the
// refusal naming it (counted from 1, the password being field 1): the format when it is
// no integer, the range when it lies outside.
bool intField(const Fields &f, int index, qint64 low, qint64 high, qint64 &value, Outcome &refusal);
// Field `index` as a decimal with at most `decimals` places, or the format refusal.
bool fixedField(const Fields &f, int index, int decimals, qint64 &value, Outcome &refusal);

// Amounts as the registrar prints and answers them: "-12.05" from hundredths, "1.500"
// from thousandths.
QByteArray money(qint64 cents);
QByteArray quantity(qint64 milli);

// One command: the registrar's state and the request's fields; the password is checked,
// and so is the number of fields.
using Handler = Outcome (*)(State &state, const Fields &fields);

class HandlerTable {
public:
    // One handler per code, with the number of fields the command takes, the password
    // included; a code claimed by two domains stops the emulator at once.
    void add(cmd::Code code, Handler handler, int fields);
    Handler find(int code) const { return inRange(code) ? m_handlers[code] : nullptr; }
    // How many fields the command takes; a request with more is answered with a format
    // error naming the first field too many, as the registrar does.
    int fields(int code) const { return inRange(code) ? m_fields[code] : 0; }

private:
    static bool inRange(int code) { return code >= 0 && code < 256; }
    std::array<Handler, 256> m_handlers{};
    std::array<int, 256> m_fields{};
};

// Who the registrar is, its parameters, its clock and its sound.
void registerIdentity(HandlerTable &table);
// Non-fiscal receipts and the paper tape.
void registerReceipt(HandlerTable &table);
// Header and advertising lines, service counters.
void registerConfig(HandlerTable &table);
// The fiscal receipt: goods base, sales, discounts, total, payments, voids, the card
// payment record, the customer display and barcodes.
void registerSales(HandlerTable &table);
// Cash in and out of the drawer, receipt copies from the journal.
void registerCash(HandlerTable &table);
// The close of a cash receipt: the movement given in it goes into the drawer and the day.
void settleCashReceipt(State &state);
// Daily, periodic and goods reports, the control tape, free resources.
void registerReports(HandlerTable &table);
// Logo memory, flash memory and the firmware image.
void registerMemory(HandlerTable &table);

inline void registerAllDomains(HandlerTable &table)
{
    registerIdentity(table);
    registerReceipt(table);
    registerConfig(table);
    registerSales(table);
    registerCash(table);
    registerReports(table);
    registerMemory(table);
}

} // namespace emu
