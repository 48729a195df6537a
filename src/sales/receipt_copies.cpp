#include "sales/receipt_copies.h"

#include "app/application.h"
#include "app/screen_input.h"
#include "app/step_runner.h"
#include "commands/command_codes.h"
#include "commands/command_wrappers.h"
#include "link/code_page.h"
#include "link/command_result.h"

using namespace Qt::StringLiterals;

namespace {

const QString kPassword = QString::fromLatin1(cmd::kDefaultPassword);
const QString kPrefix = u"Печать копии чека :\n  "_s;
const QString kTimeout = u"Ошибка! Таймаут устройства!"_s;

const StepTexts kCopyTexts = [] {
    StepTexts t(kPrefix);
    t.timeout = kTimeout;
    return t;
}();

// The two numbers of a copy, both whole numbers, or a refusal naming the first that is not.
bool readNumbers(StepRunner &steps, const QString &first, const QString &last, int &a, int &b)
{
    for (const auto &[text, value] : {std::pair{&first, &a}, std::pair{&last, &b}}) {
        if (!input::readInteger(*text, *value)) {
            steps.refuse(u"\""_s + *text + u"\" не является целым числом. Команда не отправлена."_s);
            return false;
        }
    }
    return true;
}

} // namespace

ReceiptCopies::ReceiptCopies(Application &app) : m_app(app) {}

Outcome<> ReceiptCopies::copyByRunningNumbers(const QString &password, const QString &firstText,
                                              const QString &lastText)
{
    StepRunner steps(m_app);
    int first = 0, last = 0;
    if (!readNumbers(steps, firstText, lastText, first, last) || !steps.acceptText(password, u"Пароль: "_s))
        return steps.replyOutcome();
    // The open non-fiscal receipt would block every sale: after a failed copy it is closed
    // again, and the copy's failure is the one reported.
    steps.document(steps.nonFiscalReceipt(kPassword, {kPrefix}, true), [&](StepRunner &s) {
        return s.run({[&](int &code) { return m_app.execute(printReceiptCopies, password, first, last, code); },
                      {u"Печать копии чека:\n  "_s}});
    });
    return steps.replyOutcome();
}

Outcome<ReceiptCopies::Span> ReceiptCopies::search(const QDate &startDate, const QString &startTime,
                                                   const QDate &endDate, const QString &endTime, bool print)
{
    StepRunner steps(m_app);
    for (const QString &time : {startTime, endTime})
        if (!steps.acceptText(time, u"Время: "_s))
            return steps.outcome(Span());
    const CommandResult *r = m_app.execute(searchControlTape, kPassword, input::deviceDate(startDate), startTime,
                                           input::deviceDate(endDate), endTime, print ? 1 : 0);
    if (!steps.judge(r, kCopyTexts))
        return steps.outcome(Span());
    return steps.outcome(Span{code_page::fromDevice(r->field(0)), code_page::fromDevice(r->field(1))});
}

Outcome<> ReceiptCopies::copyByDocumentNumbers(const QString &firstText, const QString &lastText)
{
    StepRunner steps(m_app);
    int first = 0, last = 0;
    if (readNumbers(steps, firstText, lastText, first, last))
        steps.judge(m_app.execute(printCopiesByNumber, kPassword, first, last), kCopyTexts);
    return steps.replyOutcome();
}
