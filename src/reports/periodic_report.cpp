#include "reports/periodic_report.h"

#include "app/application.h"
#include "app/screen_input.h"
#include "app/step_runner.h"
#include "commands/command_codes.h"
#include "commands/command_wrappers.h"
#include "commands/error_decoding.h"
#include "link/command_result.h"

#include <tuple>

PeriodicReport::PeriodicReport(Application &app) : m_app(app) {}

Outcome<> PeriodicReport::inReceipt(const QString &password, const StepRunner::Send &report,
                                    const QStringList &fields)
{
    StepRunner steps(m_app);
    StepRunner::Step step{{}, {kHeading}};
    // The refusal of a field is said with the field's caption: the texts are settled once
    // the reply is in, before the step is judged.
    StepTexts *texts = &step.texts;
    step.send = [&report, &fields, texts](int &code) {
        const CommandResult *r = report(code);
        texts->error.clear();
        if (code >= 0 && r) {
            const int field = error_decoding::errorField(r->errorWord);
            if (Verdict::of(*r).kind == Verdict::Kind::RegistrarError && field >= 2 && field - 2 < fields.size())
                texts->error = error_decoding::fieldErrorMessage(r->errorWord, QStringLiteral("\"%1\"").arg(fields[field - 2]));
        }
        return r;
    };
    if (steps.printInReceipt(password, {kHeading}, step))
        m_app.state().sharedMark = true;
    Outcome<> out = steps.replyOutcome();
    // The closing after a failed step does not pass for the operation's word.
    if (steps.failed())
        out.lastExchange.reset();
    return out;
}

Outcome<> PeriodicReport::byDates(const QString &password, const QString &firstDate, const QString &lastDate,
                                  bool full)
{
    for (const QString &date : {firstDate, lastDate}) {
        if (!input::readDeviceDate(date)) {
            StepRunner steps(m_app);
            steps.refuse(notADate(date), kHeading);
            return steps.replyOutcome();
        }
    }
    return inReceipt(password, [&](int &code) {
        return m_app.execute(printPeriodicReportByDate, password, firstDate, lastDate, full ? 1 : 0, code);
    }, {kFirstDateCaption, kLastDateCaption});
}

Outcome<> PeriodicReport::byNumbers(const QString &password, const QString &firstNumber, const QString &lastNumber,
                                    bool full)
{
    int first = 0, last = 0;
    for (const auto &[text, value, caption] : {std::tuple{&firstNumber, &first, &kFirstNumberCaption},
                                               std::tuple{&lastNumber, &last, &kLastNumberCaption}}) {
        if (!input::readInteger(*text, *value)) {
            StepRunner steps(m_app);
            steps.refuse(text->trimmed().isEmpty() ? QStringLiteral("Поле \"%1\" не заполнено.").arg(*caption)
                                                   : QStringLiteral("%1: %2").arg(*caption, notAnInteger(*text)),
                         kHeading);
            return steps.replyOutcome();
        }
    }
    return inReceipt(password, [&](int &code) {
        return m_app.execute(printPeriodicReportByNumber, password, first, last, full ? 1 : 0, code);
    }, {kFirstNumberCaption, kLastNumberCaption});
}

QString PeriodicReport::notADate(const QString &text)
{
    return QStringLiteral("'%1' не является датой DDMMYY.").arg(text);
}

QString PeriodicReport::notAnInteger(const QString &text)
{
    return QStringLiteral("'%1' не является целым числом.").arg(text);
}
