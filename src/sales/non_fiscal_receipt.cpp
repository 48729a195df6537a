#include "sales/non_fiscal_receipt.h"

#include "app/application.h"
#include "commands/command_wrappers.h"
#include "link/code_page.h"
#include "link/command_result.h"
#include "link/frame.h"

using namespace Qt::StringLiterals;

NonFiscalReceipt::NonFiscalReceipt(Application &app) : m_app(app) {}

void NonFiscalReceipt::warnOfSeparator(const QString &typed)
{
    if (typed.contains(QLatin1Char(';')))
        m_app.prompter().showMessage(kSeparatorWarning, kSeparatorWarningCaption);
}

QString NonFiscalReceipt::printable(const QString &line)
{
    return QString(line).remove(u';');
}

Outcome<> NonFiscalReceipt::fail(const Verdict &verdict)
{
    m_app.prompter().showMessage(verdict.message);
    return {verdict, {}};
}

Outcome<> NonFiscalReceipt::print(const QString &password, const QStringList &lines)
{
    if (const int code = param_format::textRefusal(password))
        return fail(Verdict::refused(code, u"Пароль: "_s + wrapper_codes::refusalMessage(code)));
    // A line the link could not frame would only be found with the receipt already open.
    const qsizetype room = frame::kMaxParameterLength - code_page::toDevice(password).size() - 2;
    for (int i = 0; i < lines.size(); ++i) {
        const QString line = printable(lines[i]);
        const int code = param_format::textRefusal(line);
        if (code || code_page::toDevice(line).size() > room) {
            const QString why = code ? wrapper_codes::refusalMessage(code)
                                     : u"строка длиннее, чем помещается в одну команду: чек не напечатан."_s;
            return fail(Verdict::refused(code, u"Строка "_s + QString::number(i + 1) + u": "_s + why));
        }
    }

    int code = 0;
    Verdict v = Verdict::of(*m_app.execute(OpenNonFiscalReceipt, password, code));
    if (!v.ok())
        return fail(v);
    for (const QString &line : lines) {
        v = Verdict::of(*m_app.execute(PrintText, password, printable(line), code));
        if (!v.ok()) {
            // An open receipt blocks every sale until someone closes it.
            m_app.execute(closeReceipt, password, code);
            return fail(v);
        }
    }
    v = Verdict::of(*m_app.execute(closeReceipt, password, code));
    if (!v.ok())
        return fail(v);
    return {v, {}};
}
