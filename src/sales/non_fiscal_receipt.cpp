#include "sales/non_fiscal_receipt.h"

#include "app/application.h"
#include "app/step_runner.h"
#include "commands/command_wrappers.h"
#include "link/code_page.h"
#include "link/command_result.h"
#include "link/frame.h"

using namespace Qt::StringLiterals;

NonFiscalReceipt::NonFiscalReceipt(Application &app) : m_app(app) {}

QString NonFiscalReceipt::printable(const QString &line)
{
    return QString(line).remove(u';');
}

Outcome<> NonFiscalReceipt::print(const QString &password, const QStringList &lines)
{
    StepRunner steps(m_app);
    if (!steps.acceptText(password, u"Пароль: "_s))
        return steps.outcome(ReplyTexts());
    // A line the link could not frame would only be found with the receipt already open.
    const qsizetype room = frame::kMaxParameterLength - code_page::toDevice(password).size() - 2;
    const bool fit = steps.checkLines(u"Строка"_s, int(lines.size()), [&](int i, int &code) {
        const QString line = printable(lines[i]);
        code = param_format::textRefusal(line);
        if (code)
            return wrapper_codes::refusalMessage(code);
        if (code_page::toDevice(line).size() > room)
            return u"строка длиннее, чем помещается в одну команду: чек не напечатан."_s;
        return QString();
    });
    if (!fit)
        return steps.outcome(ReplyTexts());
    // An empty receipt would open and close without a word and print nothing.
    bool anyText = false;
    for (const QString &line : lines)
        anyText = anyText || !printable(line).trimmed().isEmpty();
    if (!anyText) {
        steps.refuse(kNothingToPrint);
        return steps.outcome(ReplyTexts());
    }
    // Said once, when the text is sent, rather than in the middle of typing.
    if (lines.join(QString()).contains(u';')
        && m_app.prompter().ask(kSeparatorWarning, kSeparatorWarningCaption, Prompter::Ok | Prompter::Cancel,
                                Prompter::Icon::Warning)
            != Prompter::Ok) {
        steps.refuse(QString());
        return steps.outcome(ReplyTexts());
    }

    // An open receipt blocks every sale until someone closes it: after a failed line it is
    // closed again, and the line's failure is the one reported.
    steps.document(steps.nonFiscalReceipt(password, {}, true), [&](StepRunner &s) {
        return s.sendLines(QString(), int(lines.size()), [&](int i, int &code) {
            return m_app.execute(PrintText, password, printable(lines[i]), code);
        });
    });
    return steps.outcome(ReplyTexts());
}
