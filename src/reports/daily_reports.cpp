#include "reports/daily_reports.h"

#include "app/application.h"
#include "app/prompter.h"
#include "app/step_runner.h"
#include "commands/command_codes.h"
#include "commands/command_wrappers.h"
#include "link/command_result.h"

namespace {

// Every Z report takes one record of the fiscal memory; -1 is a count not read.
StepRunner::Settled zReportRan(int freeBefore, int freeAfter)
{
    if (freeBefore < 0 || freeAfter < 0)
        return StepRunner::Settled::Unknown;
    if (freeAfter == freeBefore - 1)
        return StepRunner::Settled::Done;
    return freeAfter == freeBefore ? StepRunner::Settled::NotDone : StepRunner::Settled::Unknown;
}

} // namespace

DailyReports::DailyReports(Application &app) : m_app(app) {}

Outcome<> DailyReports::printReport(const QString &password, ReportType type)
{
    if (type == ZReport || type == ClearControlTape) {
        const QString &question = type == ZReport ? kZQuestion : kClearTapeQuestion;
        if (m_app.prompter().askWithDefault(question, kCaption, Prompter::Ok | Prompter::Cancel, Prompter::Cancel)
            != Prompter::Ok)
            return {Verdict::refused(0)};
    }
    if (type == ZReport)
        m_app.state().sharedMark = true;
    StepRunner steps(m_app);
    const StepRunner::Step step{[&](int &code) { return m_app.execute(::printReport, password, int(type), code); },
                                {type == ClearControlTape ? kClearTapeHeading : kReportsHeading}};
    bool done = false;
    if (type == ZReport) {
        const int before = freeFiscalReports(password);
        const auto check = [&] { return zReportRan(before, before < 0 ? -1 : freeFiscalReports(password)); };
        done = steps.runSettled(step, {check, kZUnknown});
    } else if (type == ClearControlTape) {
        done = steps.runSettled(step, StepRunner::cannotTell(kClearTapeUnknown));
    } else {
        done = steps.run(step);
    }
    if (done)
        m_app.state().sharedMark = true;
    return steps.replyOutcome();
}

int DailyReports::freeFiscalReports(const QString &password)
{
    constexpr int kFreeFiscalReportsField = 7;
    int code = 0;
    const CommandResult *r = m_app.execute(getResourceInfo, password, code);
    if (code < 0 || !Verdict::of(*r).ok() || r->fieldCount <= kFreeFiscalReportsField)
        return -1;
    bool ok = false;
    const int n = r->field(kFreeFiscalReportsField).trimmed().toInt(&ok);
    return ok && n >= 0 ? n : -1;
}

Outcome<> DailyReports::printControlTape(const QString &password)
{
    StepRunner steps(m_app);
    if (!steps.acceptText(password))
        return steps.replyOutcome();
    // Closed whether or not the tape was printed: an open receipt blocks every sale.
    const bool done = steps.document(steps.nonFiscalReceipt(password, {}), [&](StepRunner &s) {
        int code = 0;
        return s.judge(m_app.execute(PrintText, QString::fromLatin1(cmd::kDefaultPassword), kControlTapeHeading, code),
                       code)
            && s.judge(m_app.execute(printAdditionalReport, password, 2, code), code, {kStatusHeading});
    });
    if (done)
        m_app.state().sharedMark = true;
    Outcome<> out = steps.replyOutcome();
    // "Код ошибки:" shows the failed step's word, not the closing's after it.
    if (steps.failed())
        out.lastExchange.reset();
    return out;
}

Outcome<> DailyReports::unloadControlTape(const QString &password, bool clearGoodsBase)
{
    // The unloading ends with the clearing, which cannot be undone: asked first, as alone.
    if (m_app.prompter().askWithDefault(kClearTapeQuestion, kRgt9Caption, Prompter::Ok | Prompter::Cancel,
                                        Prompter::Cancel)
        != Prompter::Ok)
        return {Verdict::refused(0)};
    m_app.state().sharedMark = true;
    StepRunner steps(m_app);
    for (ReportType type : {UnloadControlTape, ClearControlTape}) {
        const StepRunner::Step step{[&](int &code) { return m_app.execute(::printReport, password, int(type), code); },
                                    {kReportsHeading}};
        const bool done = type == ClearControlTape
            ? steps.runSettled(step, StepRunner::cannotTell(kClearTapeUnknown))
            : steps.run(step);
        if (!done)
            return steps.replyOutcome();
    }
    if (clearGoodsBase) {
        // This step says only "Ошибка " for any error word; a timeout, a NAK or a check
        // mismatch is said as such.
        const CommandResult *r = m_app.execute(cmd::ClearGoodsBase, QByteArray(cmd::kDefaultPassword) + ';');
        StepTexts texts;
        texts.error = QStringLiteral("Ошибка ");
        if (!steps.judge(r, texts))
            return steps.replyOutcome();
    }
    m_app.state().sharedMark = true;
    return steps.replyOutcome();
}

bool DailyReports::unloadOffered(const AppState &state)
{
    return state.softwareVersion == QLatin1String("3.02") || state.priorityLevel == QLatin1String("high");
}
