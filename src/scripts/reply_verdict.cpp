#include "scripts/reply_verdict.h"

#include "link/command_result.h"

namespace console {

Verdict judgeReply(const CommandResult &r)
{
    if (r.noReply())
        return Verdict::NoReply;
    if (r.flags & CommandResult::kNakBit)
        return Verdict::Nak;
    if ((r.flags & CommandResult::kChecksumBit) || r.checksumError)
        return Verdict::ChecksumError;
    return r.errorWord == "0000" ? Verdict::Done : Verdict::RegistrarError;
}

QString failureMessage(Verdict verdict)
{
    switch (verdict) {
    case Verdict::NoReply:
        return kTimeout;
    case Verdict::Nak:
        return kNak;
    case Verdict::ChecksumError:
        return kChecksum;
    case Verdict::RegistrarError:
        return kRefused;
    case Verdict::Done:
        break;
    }
    return QString();
}

} // namespace console
