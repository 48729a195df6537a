#include "sales/receipt_copies.h"

#include "app/application.h"
#include "commands/command_codes.h"
#include "commands/command_wrappers.h"
#include "link/code_page.h"
#include "link/command_result.h"

using namespace Qt::StringLiterals;

namespace {

const QString kPassword = QString::fromLatin1(cmd::kDefaultPassword);
const QString kPrefix = u"Печать копии чека :\n  "_s;
const QString kTimeout = u"Ошибка! Таймаут устройства!"_s;

// The error word to show: only a reply of this command has one.
QString errorWordOf(const Verdict &v, const CommandResult &r)
{
    return v.replied() ? code_page::fromDevice(r.errorWord) : QString();
}

// The verdict of a reply and the error word the screen shows for it.
Outcome<QString> judged(const CommandResult &r)
{
    const Verdict v = Verdict::of(r);
    return {v, errorWordOf(v, r)};
}

} // namespace

ReceiptCopies::ReceiptCopies(Application &app) : m_app(app) {}

template <class T>
Outcome<T> ReceiptCopies::refuse(const QString &message)
{
    m_app.prompter().showMessage(message);
    return {Verdict::refused(0, message), {}};
}

bool ReceiptCopies::numbers(const QString &first, const QString &last, int &a, int &b, QString &error)
{
    bool ok = false;
    a = first.trimmed().toInt(&ok);
    if (!ok) {
        error = u"\""_s + first + u"\" не является целым числом. Команда не отправлена."_s;
        return false;
    }
    b = last.trimmed().toInt(&ok);
    if (!ok) {
        error = u"\""_s + last + u"\" не является целым числом. Команда не отправлена."_s;
        return false;
    }
    return true;
}

Outcome<QString> ReceiptCopies::copyByRunningNumbers(const QString &password, const QString &firstText,
                                                     const QString &lastText)
{
    int first = 0, last = 0;
    QString error;
    if (!numbers(firstText, lastText, first, last, error))
        return refuse<QString>(error);
    if (const int code = param_format::textRefusal(password))
        return refuse<QString>(u"Пароль: "_s + wrapper_codes::refusalMessage(code));

    int code = 0;
    const CommandResult *r = m_app.execute(OpenNonFiscalReceipt, kPassword, code);
    Outcome<QString> out = judged(*r);
    if (!out.ok()) {
        m_app.prompter().showMessage(kPrefix + out.verdict.message);
        return out;
    }
    r = m_app.execute(printReceiptCopies, password, first, last, code);
    out = judged(*r);
    if (!out.ok()) {
        // The open non-fiscal receipt would block every sale: close it, and report the
        // copy's failure.
        m_app.execute(closeReceipt, kPassword, code);
        m_app.prompter().showMessage(u"Печать копии чека:\n  "_s + out.verdict.message);
        return out;
    }
    r = m_app.execute(closeReceipt, kPassword, code);
    out = judged(*r);
    if (!out.ok())
        m_app.prompter().showMessage(kPrefix + out.verdict.message);
    return out;
}

Outcome<ReceiptCopies::Span> ReceiptCopies::search(const QDate &startDate, const QString &startTime,
                                                   const QDate &endDate, const QString &endTime, bool print)
{
    for (const QString &time : {startTime, endTime})
        if (const int code = param_format::textRefusal(time))
            return refuse<Span>(u"Время: "_s + wrapper_codes::refusalMessage(code));
    const QString format = u"ddMMyy"_s;
    const CommandResult *r = m_app.execute(searchControlTape, kPassword, startDate.toString(format), startTime,
                                           endDate.toString(format), endTime, print ? 1 : 0);
    Outcome<Span> out{Verdict::of(*r), {}};
    if (out.verdict.kind == Verdict::Kind::NoReply) {
        m_app.prompter().showMessage(kTimeout);
        return out;
    }
    out.shown.errorWord = errorWordOf(out.verdict, *r);
    if (!out.ok()) {
        m_app.prompter().showMessage(kPrefix + out.verdict.message);
        return out;
    }
    out.shown.first = code_page::fromDevice(r->field(0));
    out.shown.last = code_page::fromDevice(r->field(1));
    return out;
}

Outcome<QString> ReceiptCopies::copyByDocumentNumbers(const QString &firstText, const QString &lastText)
{
    int first = 0, last = 0;
    QString error;
    if (!numbers(firstText, lastText, first, last, error))
        return refuse<QString>(error);
    Outcome<QString> out = judged(*m_app.execute(printCopiesByNumber, kPassword, first, last));
    if (out.verdict.kind == Verdict::Kind::NoReply) {
        m_app.prompter().showMessage(kTimeout);
        return out;
    }
    if (!out.ok())
        m_app.prompter().showMessage(kPrefix + out.verdict.message);
    return out;
}
