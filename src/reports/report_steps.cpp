#include "reports/report_steps.h"

#include "app/application.h"
#include "commands/command_wrappers.h"
#include "link/code_page.h"
#include "link/command_result.h"

bool ReportSteps::judge(const CommandResult *result, int code, const QString &heading, const QString &errorText)
{
    if (code < 0) {
        const Verdict v = Verdict::refused(code, wrapper_codes::refusalMessage(code));
        fail(v, heading, v.message);
        return false;
    }
    const Verdict v = Verdict::of(*result);
    // After a link failure the record's error word is an earlier reply's.
    m_errorWord = v.replied() ? code_page::fromDevice(v.errorWord) : QString();
    if (v.ok())
        return true;
    fail(v, heading, v.kind == Verdict::Kind::RegistrarError && !errorText.isEmpty() ? errorText : v.message);
    return false;
}

void ReportSteps::refuse(const QString &heading, const QString &message)
{
    fail(Verdict::refused(0, message), heading, message);
}

void ReportSteps::fail(const Verdict &verdict, const QString &heading, const QString &message)
{
    m_app.prompter().showMessage(heading + message);
    if (m_failed)
        return;
    m_failed = true;
    m_verdict = verdict;
}

namespace report_input {

QString notAnInteger(const QString &text)
{
    return QStringLiteral("'%1' не является целым числом.").arg(text);
}

bool readInt64(const QString &text, qint64 &out)
{
    bool ok = false;
    const qint64 v = text.trimmed().toLongLong(&ok);
    if (ok)
        out = v;
    return ok;
}

bool readInt(const QString &text, int &out)
{
    bool ok = false;
    const int v = text.trimmed().toInt(&ok);
    if (ok)
        out = v;
    return ok;
}

QString passwordRefusal(const QString &password)
{
    return wrapper_codes::refusalMessage(param_format::textRefusal(password));
}

} // namespace report_input
