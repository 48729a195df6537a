#include "commands/verdict.h"

#include "link/code_page.h"
#include "commands/error_decoding.h"
#include "link/command_result.h"

Verdict Verdict::of(const CommandResult &result)
{
    Verdict v;
    // The link's failures come first: with them the record's error word is an earlier
    // reply's, or was cut off, and must not pass for this command's verdict.
    if (result.noReply()) {
        v.kind = Kind::NoReply;
        v.message = error_decoding::kTimeoutMessage.toString();
        return v;
    }
    if (result.flags & CommandResult::kNakBit) {
        v.kind = Kind::Nak;
        v.message = error_decoding::kNakMessage.toString();
        return v;
    }
    if ((result.flags & CommandResult::kChecksumBit) || result.checksumError) {
        v.kind = Kind::ChecksumMismatch;
        v.message = error_decoding::kChecksumMessage.toString();
        return v;
    }
    v.errorWord = result.errorWord;
    if (!decodeErrorWord(result.errorWord, v.message))
        v.kind = Kind::RegistrarError;
    return v;
}

Verdict Verdict::refused(int code, const QString &message)
{
    Verdict v;
    v.kind = Kind::Refused;
    v.refusalCode = code;
    v.message = message;
    return v;
}

QString Verdict::errorWordText() const
{
    return replied() ? code_page::fromDevice(errorWord) : QString();
}

ReplyTexts ReplyTexts::of(const CommandResult &result)
{
    ReplyTexts t;
    t.data = code_page::fromDevice(result.data);
    t.errorWord = code_page::fromDevice(result.errorWord);
    t.statusText = result.statusText();
    return t;
}
