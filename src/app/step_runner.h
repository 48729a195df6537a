#pragma once

#include "app/application.h"
#include "commands/verdict.h"

#include <QString>

#include <functional>
#include <optional>

// How a failed step is said. Every message follows `heading`; the other texts replace
// parts of it for the operations that have their own wording.
struct StepTexts {
    StepTexts(const QString &heading = QString()) : heading(heading) {}

    QString heading;
    // Said alone, instead of heading and message, when no reply came.
    QString timeout;
    // Replaces the decoded message of an error word.
    QString error;
    // When given (with `error`), a NAK or a check mismatch reads error + join + message.
    QString errorJoin;
    // Nothing is said at all: the operation says it itself, or only "Код ошибки:" does.
    bool quiet = false;
};

// Runs an operation's exchanges as steps: each judged once by its verdict, its failure
// said through the prompter, the first failure kept as the operation's verdict, and the
// last exchange kept for "Код ошибки:". Every operations class says its failures through
// one of these instead of a failure helper of its own.
class StepRunner {
public:
    // One exchange: a wrapper's out-parameter in `code` (negative: refused, nothing sent).
    using Send = std::function<const CommandResult *(int &code)>;
    // A state-changing step whose reply the link lost (no reply after the repeats, a NAK
    // after a silent try, a reply cut short) is never guessed at: `check` reads the
    // registrar's state again and says whether the step was carried out.
    enum class Settled { Done, NotDone, Unknown };
    struct Settling {
        std::function<Settled()> check;
        // Said, after the link's message, when the registrar's state cannot tell: what to
        // look at before doing it again.
        QString unknown;
    };
    // The settling of a step the registrar keeps no readable trace of (a direct cash
    // movement, the control tape's clearing): a lost reply is always Unknown.
    static Settling cannotTell(const QString &unknown)
    {
        return {[] { return Settled::Unknown; }, unknown};
    }

    struct Step {
        Send send;
        StepTexts texts;
        // A state-changing step: run() settles a lost reply with it (see runSettled).
        Settling settling = {};
    };
    // A receipt or a document around steps. After a failed step `abandon`, when given, is
    // sent unjudged (a void, or a closing whose outcome is of no interest), so the failed
    // step stays the one reported; without it the closing follows as a judged step.
    struct Document {
        Step open;
        Step close;
        Send abandon;
    };

    explicit StepRunner(Application &app) : m_app(app) {}

    // A non-fiscal receipt (0x60, 0x65) opened and closed with `password`, both said under
    // `texts`; `closeUnjudged`: after a failed step it is closed without being judged.
    Document nonFiscalReceipt(const QString &password, const StepTexts &texts, bool closeUnjudged = false);
    // One step printed inside a non-fiscal receipt opened and closed with the fixed
    // password: `password`, the step's own, is checked first (said under the step's
    // heading), so a refused one never leaves a receipt open; the closing follows even a
    // failed step, so the receipt never blocks sales. Returns whether everything succeeded.
    bool printInReceipt(const QString &password, const StepTexts &receiptTexts, const Step &step);

    // Judges the exchange a wrapper has just run. Returns whether the step succeeded.
    bool judge(const CommandResult *result, int code, const StepTexts &texts = {});
    bool judge(const CommandResult *result, const StepTexts &texts = {}) { return judge(result, 0, texts); }
    // Runs the step, settled when it has a settling.
    bool run(const Step &step);
    // Runs a state-changing step and settles a lost reply with `settling`: Done counts as
    // success (nothing is said; settled() is true), NotDone is said as the link failure it
    // was (doing it again is safe), Unknown is said with `settling.unknown` and fails.
    bool runSettled(const Step &step, const Settling &settling);
    // The last step succeeded by the registrar's state, its reply lost.
    bool settled() const { return m_settledAs == Settled::Done; }
    // How the last step's lost reply was settled; nothing when its reply came or it had
    // no settling.
    std::optional<Settled> settledAs() const { return m_settledAs; }
    // A failure found before anything was sent: said after `heading`, kept as refused
    // (`code`: the wrapper's negative code, 0 for the screen's own check).
    void refuse(const QString &message, const QString &heading = QString(), int code = 0);
    // Refuses a text a wrapper would refuse (a password, a line) under `heading`; false
    // when refused.
    bool acceptText(const QString &text, const QString &heading = QString(), bool separatorAllowed = false);

    // Opens the document, runs `body(*this)` (which returns whether to go on), closes it,
    // or abandons it after a failed step. Returns whether everything succeeded.
    template <class Body>
    bool document(const Document &doc, Body body)
    {
        if (!run(doc.open))
            return false;
        const bool done = body(*this) && !m_failed;
        if (!done && doc.abandon) {
            int code = 0;
            const CommandResult *r = doc.abandon(code);
            checkAbandoned(r, code);
            return false;
        }
        return run(doc.close) && done;
    }

    // The line series: `count` lines, line N (from 1) said under "<heading> N: ", stopping
    // at the first line that fails. `checkLines` refuses the first line for which `refusal`
    // gives a message (with the wrapper's code in `code`), before anything is sent;
    // `sendLines` sends each with `send(index, code)`.
    using LineRefusal = std::function<QString(int index, int &code)>;
    using LineSend = std::function<const CommandResult *(int index, int &code)>;
    bool checkLines(const QString &heading, int count, const LineRefusal &refusal);
    bool sendLines(const QString &heading, int count, const LineSend &send, const StepTexts &texts = {});
    // "<heading> N: " (nothing when `heading` is empty).
    static QString lineHeading(const QString &heading, int number);

    bool failed() const { return m_failed; }
    // The first failure's verdict, or the last step's when none failed.
    const Verdict &verdict() const { return m_verdict; }
    // The texts of the last reply of its own command (empty after a link failure).
    const ReplyTexts &lastReply() const { return m_reply; }

    // The operation's outcome: the first failure (or the last step), `shown`, and the last
    // exchange for "Код ошибки:".
    template <class T>
    Outcome<T> outcome(T shown = T()) const
    {
        Outcome<T> out{m_verdict, std::move(shown)};
        if (m_last)
            out.lastExchange = *m_last;
        out.uncertain = m_uncertain;
        return out;
    }
    // The same with the last reply's texts shown (a reply of its own command only).
    Outcome<ReplyTexts> replyOutcome() const { return outcome(m_reply); }

    static inline const QString kStillOpen =
        QStringLiteral("Документ остался открытым в регистраторе: закройте или аннулируйте его "
                       "(«Аннулирование и закрытие чека»).");

private:
    // The clean-up after a failed step is not judged as a step (the failure stays the one
    // reported), but when it failed and the registrar still holds the document, that is said.
    void checkAbandoned(const CommandResult *result, int code);
    bool judgeVerdict(const Verdict &verdict, const ReplyTexts &reply, const StepTexts &texts);
    void fail(const Verdict &verdict, const QString &message);

    Application &m_app;
    Verdict m_verdict;
    std::optional<Verdict> m_last;
    ReplyTexts m_reply;
    bool m_failed = false;
    std::optional<Settled> m_settledAs;
    bool m_uncertain = false; // a step settled as Unknown
};
