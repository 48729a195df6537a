#pragma once

#include <QByteArray>
#include <QString>
#include <QStringView>

struct CommandResult;

// Turns the registrar's verdict into a Russian message for the user.
//
// The error word is four characters, detail byte first and class byte second: "0306"
// is class 0x06, detail 0x03. Only "0"-"9" and upper-case "A"-"F" are digits; any other
// character, and any character missing from a short word, counts as 0.

// Returns true when the command succeeded (message emptied). Otherwise returns false
// with the message to show after the screen's own heading; a class the registrar does
// not define gives an empty message.
//
// No reply (flag bit 26) gives "Таймаут устройства! Ошибка!". A NAK (flag bit 25) and a
// reply whose check characters do not match (flag bit 24) are failures too, each with its
// own message: the error word of such a reply is an earlier reply's, or was cut off, and
// must not pass for this command's verdict.
bool DecodeError(const CommandResult &result, QString &message);

// The same decoding for a bare error word, without a flag word. A word shorter than four
// characters (an empty one included) is no verdict at all: a failure.
bool decodeErrorWord(const QByteArray &word, QString &message);

namespace error_decoding {

inline constexpr QStringView kTimeoutMessage = u"Таймаут устройства! Ошибка!";
inline constexpr QStringView kNakMessage = u"Регистратор отверг команду (NAK)! Ошибка!";
inline constexpr QStringView kChecksumMessage = u"Неверная контрольная сумма ответа регистратора! Ошибка!";
inline constexpr QStringView kNoErrorWordMessage = u"В ответе регистратора нет кода ошибки! Ошибка!";
inline constexpr QStringView kUnknownDetail = u"Неизвестная ошибка!";

struct ErrorCode {
    int detail = 0;
    int errorClass = 0;
};

// Detail and class of an error word (first four characters; the rest is ignored).
ErrorCode parseErrorWord(const QByteArray &word);

// The field an error word of the format (03) or range (04) class names, counted as the
// registrar counts the command's parameters (the password is field 1); 0 for any other.
int errorField(const QByteArray &word);
// The message of such a word with the field named as the user knows it instead of the
// registrar's number: `field` follows "поля" ("\"Номер первого отчета\"", "номер 3 в
// строке (цена)").
QString fieldErrorMessage(const QByteArray &word, const QString &field);

} // namespace error_decoding
