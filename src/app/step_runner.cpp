#include "app/step_runner.h"

#include "app/receipt_stage.h"

#include "commands/command_codes.h"
#include "commands/command_wrappers.h"
#include "link/command_result.h"

StepRunner::Document StepRunner::nonFiscalReceipt(const QString &password, const StepTexts &texts,
                                                  bool closeUnjudged)
{
    Application &app = m_app;
    const Send close = [&app, password](int &code) { return app.execute(closeReceipt, password, code); };
    // Lost replies of the open and the close are settled from the receipt stage, so a
    // receipt that opened is never left behind as "not opened".
    const QString unknown = QStringLiteral("Неизвестно, выполнена ли команда. Проверьте состояние чека "
                                           "(«Аннулирование и закрытие чека»), прежде чем повторять.");
    return {{[&app, password](int &code) { return app.execute(OpenNonFiscalReceipt, password, code); }, texts,
             receipt_stage::openSettling(app, receipt_stage::kNonFiscal, unknown)},
            {close, texts, receipt_stage::closeSettling(app, unknown)},
            closeUnjudged ? close : Send()};
}

bool StepRunner::printInReceipt(const QString &password, const StepTexts &receiptTexts, const Step &step)
{
    if (!acceptText(password, step.texts.heading))
        return false;
    return document(nonFiscalReceipt(QString::fromLatin1(cmd::kDefaultPassword), receiptTexts),
                    [&](StepRunner &s) { return s.run(step); });
}

bool StepRunner::judge(const CommandResult *result, int code, const StepTexts &texts)
{
    m_settledAs.reset();
    if (code < 0) {
        const Verdict v = Verdict::refused(code, wrapper_codes::refusalMessage(code));
        m_reply = {};
        fail(v, texts.quiet ? QString() : texts.heading + v.message);
        return false;
    }
    const Verdict v = Verdict::of(*result);
    return judgeVerdict(v, v.replied() ? ReplyTexts::of(*result) : ReplyTexts(), texts);
}

bool StepRunner::judgeVerdict(const Verdict &v, const ReplyTexts &reply, const StepTexts &texts)
{
    m_last = v;
    // After a link failure the record holds an earlier reply's word and data.
    m_reply = reply;
    if (v.ok()) {
        if (!m_failed)
            m_verdict = v;
        return true;
    }
    QString message;
    if (texts.quiet)
        ;
    else if (v.kind == Verdict::Kind::NoReply && !texts.timeout.isEmpty())
        message = texts.timeout;
    else if (v.kind == Verdict::Kind::RegistrarError && !texts.error.isEmpty())
        message = texts.heading + texts.error;
    else if (v.linkFailed() && !texts.error.isEmpty() && !texts.errorJoin.isEmpty())
        message = texts.heading + texts.error + texts.errorJoin + v.message;
    else
        message = texts.heading + v.message;
    fail(v, message);
    return false;
}

bool StepRunner::run(const Step &step)
{
    if (step.settling.check)
        return runSettled(step, step.settling);
    int code = 0;
    const CommandResult *r = step.send(code);
    return judge(r, code, step.texts);
}

bool StepRunner::runSettled(const Step &step, const Settling &settling)
{
    m_settledAs.reset();
    int code = 0;
    const CommandResult *r = step.send(code);
    if (code < 0 || !settling.check)
        return judge(r, code, step.texts);
    const Verdict lost = Verdict::of(*r);
    if (!lost.linkFailed())
        return judge(r, code, step.texts);
    m_settledAs = settling.check();
    switch (*m_settledAs) {
    case Settled::Done:
        // "Код ошибки:" stays blank: no reply of this command came.
        m_last = lost;
        m_reply = {};
        if (!m_failed)
            m_verdict = Verdict();
        return true;
    case Settled::NotDone:
        break;
    case Settled::Unknown:
        m_uncertain = true;
        m_last = lost;
        m_reply = {};
        fail(lost, (step.texts.quiet ? QString() : step.texts.heading + lost.message + QStringLiteral("\n"))
                       + settling.unknown);
        return false;
    }
    // The state read ran exchanges of its own: the step's verdict, kept by value, is said.
    return judgeVerdict(lost, ReplyTexts(), step.texts);
}

void StepRunner::refuse(const QString &message, const QString &heading, int code)
{
    m_reply = {};
    fail(Verdict::refused(code, message), heading + message);
}

bool StepRunner::acceptText(const QString &text, const QString &heading, bool separatorAllowed)
{
    const int code = param_format::textRefusal(text, separatorAllowed);
    if (code == 0)
        return true;
    refuse(wrapper_codes::refusalMessage(code), heading, code);
    return false;
}

bool StepRunner::checkLines(const QString &heading, int count, const LineRefusal &refusal)
{
    for (int i = 0; i < count; ++i) {
        int code = 0;
        const QString why = refusal(i, code);
        if (!why.isEmpty()) {
            refuse(why, lineHeading(heading, i + 1), code);
            return false;
        }
    }
    return true;
}

bool StepRunner::sendLines(const QString &heading, int count, const LineSend &send, const StepTexts &texts)
{
    StepTexts line = texts;
    for (int i = 0; i < count; ++i) {
        line.heading = lineHeading(heading, i + 1) + texts.heading;
        int code = 0;
        const CommandResult *r = send(i, code);
        if (!judge(r, code, line))
            return false;
    }
    return true;
}

QString StepRunner::lineHeading(const QString &heading, int number)
{
    if (heading.isEmpty())
        return QString();
    return heading + QLatin1Char(' ') + QString::number(number) + QStringLiteral(": ");
}

void StepRunner::checkAbandoned(const CommandResult *result, int code)
{
    if (code >= 0 && result && Verdict::of(*result).ok())
        return;
    const std::optional<int> stage = receipt_stage::read(m_app);
    if (!stage || receipt_stage::of(*stage) != receipt_stage::kClosed)
        m_app.prompter().showMessage(kStillOpen);
}

void StepRunner::fail(const Verdict &verdict, const QString &message)
{
    if (!message.isEmpty())
        m_app.prompter().showMessage(message);
    if (m_failed)
        return;
    m_failed = true;
    m_verdict = verdict;
}
