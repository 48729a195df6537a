#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

struct CommandResult;

// How one finished exchange ended, decided in one place for every screen, the scripts and
// dizivu-cli. The three layers keep their own vocabulary: the caller's refused input (a
// wrapper's negative code), the link's failures (no reply, NAK, check mismatch) and the
// registrar's own verdict (its error word and decoded message).
struct Verdict {
    enum class Kind {
        Success,
        Refused,          // nothing was sent: the input was refused first
        NoReply,
        Nak,
        ChecksumMismatch,
        RegistrarError,   // the registrar answered with an error word other than "0000"
    };

    Kind kind = Kind::Success;
    int refusalCode = 0;  // the wrapper's negative code when refused (0: refused by the screen)
    QByteArray errorWord; // the registrar's word, when a reply of this command came
    QString message;      // what to show after the screen's own heading; empty on success

    bool ok() const { return kind == Kind::Success; }
    // A reply that belongs to the command came, so its error word and data may be shown.
    bool replied() const { return kind == Kind::Success || kind == Kind::RegistrarError; }
    // The link failed: nothing trustworthy came back.
    bool linkFailed() const { return kind == Kind::NoReply || kind == Kind::Nak || kind == Kind::ChecksumMismatch; }
    // What "Код ошибки:" shows for this exchange: the reply's word in the screen's code
    // page when a reply of this command came, empty otherwise.
    QString errorWordText() const;

    static Verdict of(const CommandResult &result);
    static Verdict refused(int code, const QString &message = QString());
};

// The texts most screens show of a reply: its data, the error word for "Код ошибки:" and
// the six status bytes as "XX " each.
struct ReplyTexts {
    QString data;
    QString errorWord;
    QString statusText;

    static ReplyTexts of(const CommandResult &result);
};

// What an operation hands back to its form: the verdict of the exchange that decided it
// and what the screen is to display. The operation has already shown its messages.
template <class T = ReplyTexts>
struct Outcome {
    Verdict verdict;
    T shown{};
    // The operation's last exchange when it is not the one that decided it (a closing
    // after a failed step); "Код ошибки:" shows its word.
    std::optional<Verdict> lastExchange{};
    // A step's reply was lost and the registrar's state could not tell whether it was
    // carried out: neither doing it again nor undoing it is safe.
    bool uncertain = false;

    bool ok() const { return verdict.ok(); }
    // Something went to the registrar.
    bool sent() const { return verdict.kind != Verdict::Kind::Refused; }
    // The error word of the operation's last exchange (see Verdict::errorWordText).
    QString errorWordText() const { return (lastExchange ? *lastExchange : verdict).errorWordText(); }
};
