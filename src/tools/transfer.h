#pragma once

#include "app/prompter.h"
#include "app/screen_input.h"
#include "commands/verdict.h"

#include <QString>
#include <QtGlobal>

#include <algorithm>

// What the long transfers of the memory and firmware tools (flash read and write, the
// firmware read-out, the logo) share: how they ended, and the window they report to
// between blocks.
namespace transfer {

enum class End {
    Done,
    Cancelled,      // the user said no to a dialog or a question: nothing was sent
    Refused,        // the input was refused before any data moved (a flash read past
                    // the end is found by its first block, which answers nothing)
    LinkFailed,     // no reply, NAK or check mismatch: the verdict says which
    RegistrarError, // the registrar answered with an error word
    BadData,        // the registrar's reply could not be taken as data
    Incomplete,     // the registrar ended early: fewer bytes than it announced
    FileFailed,     // the file could not be created, read or written
    Stopped,        // the stop button
};

struct Result {
    End end = End::Done;
    Verdict verdict;   // of the exchange that decided the end (empty when none did)
    qint64 bytes = 0;  // moved between the registrar and the file
    bool ok() const { return end == End::Done; }
};

// The window of a transfer. Between blocks the transfer lets it process pending events,
// which is where a press of its stop button is seen.
class View {
public:
    virtual ~View() = default;
    virtual void processEvents() {}
    virtual bool stopRequested() const { return false; }
    // The error word and the status bytes of the last reply of the transfer.
    virtual void reply(const ReplyTexts &texts) { Q_UNUSED(texts); }
    // The progress bar: `value` of `maximum`.
    virtual void progress(qint64 value, qint64 maximum) { Q_UNUSED(value); Q_UNUSED(maximum); }
};

// How a transfer ends: its message shown (when it has one), and the result handed back.
inline Result finish(Prompter &prompter, End end, const QString &message, const Verdict &verdict = {},
                     qint64 bytes = 0)
{
    if (!message.isEmpty())
        prompter.showMessage(message);
    return {end, verdict, bytes};
}

// Per cent of `done` out of `total`, 0 to 100; an empty transfer is complete.
inline int percent(qint64 done, qint64 total)
{
    if (total <= 0)
        return 100;
    return int(std::clamp<qint64>(done * 100 / total, 0, 100));
}

} // namespace transfer

namespace transfer {

// A decimal number of 1 to `maxDigits` digits and nothing else (no sign, no blanks).
inline bool decimal(const QString &text, int maxDigits, qint64 &value)
{
    if (maxDigits < 1 || maxDigits > 18)
        return false;
    return input::readInteger(text, value, {.blanksAround = false, .signAllowed = false, .maxDigits = maxDigits});
}

} // namespace transfer
