#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QList>

#include <functional>
#include <optional>

// The text of a script: how a line is read, which statement it holds and what its
// arguments are, and the computations of Oper. Script text is bytes in the registrar's
// code page; nothing here converts it.
namespace script {

// A line is read into a 300-byte buffer, so it holds at most 299 characters.
constexpr int kLineBufferSize = 300;
constexpr int kMaxLineLength = kLineBufferSize - 1;
// Longest value a variable may take (Oper 5 and 8 can grow a value without end).
constexpr int kMaxValueLength = 65535;

// Removes every character below 32 at the end of a line.
QByteArray stripTrailingControls(const QByteArray &line);
// Removes blanks and control characters at both ends.
QByteArray trimmed(const QByteArray &text);

enum class Keyword {
    None,
    // Recognised only on lines that begin with "%".
    DeclareBeg,
    New,
    DeclareEnd,
    Delay,
    SetSpeed,
    Set,
    // Recognised at the second character of any line.
    While,
    EndWhile,
    If,
    Then,
    Else,
    EndIf,
    RunCommand,
    Oper,
    Print,
};

QByteArray keywordText(Keyword keyword);
// The first of DeclareBeg, New, DeclareEnd, Delay, SetSpeed, Set that the line names
// right after its "%"; None when the line does not begin with "%".
Keyword declarationKeyword(const QByteArray &line);
// The first of While ... Print found at the second character, whatever the first is.
Keyword controlKeyword(const QByteArray &line);
// A "%" line whose text after "%" starts with DeclareBeg, DeclareEnd or New.
bool namesDeclaration(const QByteArray &line);

// The rest of the line after "%" and the keyword, trimmed.
QByteArray argumentOf(const QByteArray &line, Keyword keyword);
// Delay takes its number from the 8th character, SetSpeed from the 11th: the character
// right after the keyword is always skipped.
QByteArray delayArgument(const QByteArray &line);
QByteArray setSpeedArgument(const QByteArray &line);

// "%Set name = value": the name from the 6th character up to "=", the value after it,
// both trimmed. None when there is no "=" or a second one follows the first.
struct SetStatement {
    QByteArray name;
    QByteArray value;
};
std::optional<SetStatement> parseSet(const QByteArray &line);

enum class CompareOp { None, LessOrEqual, Equal, GreaterOrEqual, Less, Greater };
// The condition of While and If: the argument without its first and last characters,
// split at the first of "<=", "==", ">=", "<", ">" that occurs in it (in that order).
// The operator is None when it holds none of them.
struct Condition {
    QByteArray left;
    CompareOp op = CompareOp::None;
    QByteArray right;
};
Condition parseCondition(const QByteArray &argument);
bool compare(qint64 left, CompareOp op, qint64 right);

// RunCommand (code, p1, ..., pn): the code up to the first ","; each further item up to
// the next ",", the last one up to the first ")".
struct RunCommandArguments {
    QByteArray code;
    QList<QByteArray> parameters;
};
RunCommandArguments parseRunCommand(const QByteArray &argument);

// Oper (a, b, op, result).
struct OperArguments {
    QByteArray a, b, op, result;
};
OperArguments parseOper(const QByteArray &argument);

// One or more of "0"-"9" and nothing else.
bool isDigits(const QByteArray &text);
// At least two characters, the first and the last being '"'.
bool isQuoted(const QByteArray &text);
QByteArray unquoted(const QByteArray &text);
// "%Ret" followed by digits only: true, with the number in `field` (numbers too long to
// hold come back as INT_MAX).
bool parseReplyField(const QByteArray &text, int &field);
// A decimal integer with an optional sign, blanks not allowed; false for one beyond
// 64 bits (never wrapped round).
bool toInteger(const QByteArray &text, qint64 &value);
// Two hexadecimal digits; -1 when either is none.
int parseHexCode(const QByteArray &text);

// A command line: positions 1-2 the code, 3-8 the password, 9 the separator, 10 on
// the data; the parameter string is everything from position 3.
struct CommandLine {
    QByteArray codeText;
    QByteArray password;
    QByteArray data;
    QByteArray parameters;
    int code = -1; // -1: the first two characters are no hexadecimal code
};
CommandLine splitCommandLine(const QByteArray &line);

// ---- Oper -----------------------------------------------------------------------------

struct OperOperand {
    QByteArray text;
    bool quoted = false; // written as quoted text in the statement
};

enum class OperStatus {
    Done,           // the result holds the value
    Unchanged,      // an operation number beyond 12: nothing computed
    QuotedOperand,  // quoted text given to an arithmetic operation
    NotInteger,     // an operand that must be an integer is not; `badText` holds it
    FirstOutOfRange,  // a: an integer written with more digits than 64 bits hold
    SecondOutOfRange, // b: likewise
    DivisionByZero,
    Overflow,       // the integer result does not fit
    TooLong,        // the text result would exceed kMaxValueLength
};

struct OperContext {
    QDateTime now;                  // for operation 11
    std::function<quint32()> draw;  // for operation 7
};

OperStatus computeOper(qint64 op, const OperOperand &a, const OperOperand &b, const OperContext &context,
                       QByteArray &result, QByteArray &badText);

// The current date and time written with the format letters "d", "dd", "m", "mm" (minutes
// right after an hour), "yy", "yyyy", "h", "hh", "n", "nn", "s", "ss", "z", "zzz";
// letters in any case; text in '' or "" is copied without its quotes.
QByteArray formatDateTime(const QByteArray &format, const QDateTime &dateTime);
// A number in general format with up to 15 significant digits: "3.5", "0.333333333333333",
// "1E20".
QByteArray generalFloat(double value);

} // namespace script
