#pragma once

#include "app/application.h"
#include "commands/command_codes.h"
#include "commands/command_wrappers.h"
#include "commands/verdict.h"

#include <QString>


// What the report screens share: each step of a sequence judged once, its message shown
// after the operation's heading, the first failure kept as the operation's verdict, and
// the error word of the last reply for "Код ошибки:".
class ReportSteps {
public:
    explicit ReportSteps(Application &app) : m_app(app) {}

    // Judges the exchange a wrapper has just run (`code` is its out-parameter: negative
    // when it refused and sent nothing). On failure shows `heading` and the message, or
    // `errorText` instead of the decoded message of an error word when one is given.
    // Returns whether the step succeeded.
    bool judge(const CommandResult *result, int code, const QString &heading, const QString &errorText = QString());
    // A failure found before anything was sent: shown after `heading`, kept as refused.
    void refuse(const QString &heading, const QString &message);

    bool failed() const { return m_failed; }
    // The first failure's verdict (success when none), with the error word of the last
    // reply that came; empty when none came or the last exchange failed on the link.
    Outcome<QString> outcome() const { return {m_verdict, m_errorWord}; }

private:
    void fail(const Verdict &verdict, const QString &heading, const QString &message);

    Application &m_app;
    Verdict m_verdict;
    bool m_failed = false;
    QString m_errorWord;
};

namespace report_input {

// The conversion error of a number that is not an integer, after the operation's heading.
QString notAnInteger(const QString &text);
// A whole decimal number (blanks around it allowed) that fits in 64 or 32 bits.
bool readInt64(const QString &text, qint64 &out);
bool readInt(const QString &text, int &out);
// Why a password cannot go out (empty when it can): checked before a receipt is opened,
// so a refused password never leaves one open.
QString passwordRefusal(const QString &password);

} // namespace report_input

// How a report goes inside its non-fiscal receipt: the headings of the receipt's steps
// and of the report's, and whether a success marks a reply for the status screen.
struct ReceiptReport {
    QString receiptHeading;
    QString reportHeading;
    bool marksReply = true;
};

// A report printed inside a non-fiscal receipt opened and closed with the fixed password.
// The password input is checked before anything is sent. `report(code)` runs the report
// command; the closing follows even a failed report, so the receipt never blocks sales,
// and the first failure is the outcome.
template <class Report>
Outcome<QString> printInReceipt(Application &app, const QString &password, const ReceiptReport &how, Report report)
{
    ReportSteps steps(app);
    if (const QString refusal = report_input::passwordRefusal(password); !refusal.isEmpty()) {
        steps.refuse(how.reportHeading, refusal);
        return steps.outcome();
    }
    const QString fixed = QString::fromLatin1(cmd::kDefaultPassword);
    int code = 0;
    if (!steps.judge(app.execute(OpenNonFiscalReceipt, fixed, code), code, how.receiptHeading))
        return steps.outcome();
    const CommandResult *r = report(code);
    steps.judge(r, code, how.reportHeading);
    if (steps.judge(app.execute(closeReceipt, fixed, code), code, how.receiptHeading) && !steps.failed()
        && how.marksReply)
        app.state().sharedMark = true;
    return steps.outcome();
}
