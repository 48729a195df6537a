#pragma once

#include <QString>

struct CommandResult;

// How a finished exchange ended, judged in one place for the manual console, the command
// test and scripts: the link's own failures first, in the order the flag word sets them,
// then the registrar's error word.
namespace console {

enum class Verdict {
    Done,           // a reply with the error word "0000"
    NoReply,        // nothing complete came back
    Nak,            // the registrar refused the frame
    ChecksumError,  // a reply whose check characters do not match its sum
    RegistrarError, // a reply whose error word is not "0000"
};

// The command codes that may go on the wire: below 0x20 a code would stand for a control
// byte of the frame itself.
constexpr int kLowestCode = 0x20;
constexpr int kHighestCode = 0xFF;
inline bool codeInRange(qint64 code)
{
    return code >= kLowestCode && code <= kHighestCode;
}
inline const QString kCodeOutOfRange = QStringLiteral("Неверный код команды: допустимы коды от 0x20 до 0xFF.");

inline const QString kTimeout = QStringLiteral("Ошибка выполнения команды. Таймаут");
inline const QString kChecksum = QStringLiteral("Неверная контрольная сумма");
inline const QString kRefused = QStringLiteral("Ошибка выполнения команды");
inline const QString kNak = QStringLiteral("Ошибка выполнения команды. Регистратор отверг команду (NAK)");

Verdict judgeReply(const CommandResult &result);

// The message shown for a link failure (NoReply, Nak, ChecksumError); for RegistrarError
// "Ошибка выполнения команды"; empty for Done.
QString failureMessage(Verdict verdict);

inline bool linkFailure(Verdict verdict)
{
    return verdict == Verdict::NoReply || verdict == Verdict::Nak || verdict == Verdict::ChecksumError;
}

} // namespace console
