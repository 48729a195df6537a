#include "app/receipt_stage.h"

#include "app/application.h"
#include "commands/command_codes.h"
#include "commands/command_wrappers.h"
#include "link/command_result.h"

namespace receipt_stage {

namespace {

bool takesPayment(int stage)
{
    return stage == kSale || stage == kSubtotal || stage == kPayment;
}

} // namespace

std::optional<int> lastKnown(Application &app)
{
    const CommandResult *r = app.state().currentResult;
    if (!r || !Verdict::of(*r).replied())
        return std::nullopt;
    return r->status[2] & 0x7F;
}

std::optional<int> read(Application &app)
{
    int code = 0;
    const CommandResult *r = app.execute(getDiagnosticInfo, QString::fromLatin1(cmd::kDefaultPassword), code);
    if (code < 0 || !r || !Verdict::of(*r).replied())
        return std::nullopt;
    return r->status[2] & 0x7F;
}

std::optional<int> current(Application &app)
{
    const std::optional<int> last = lastKnown(app);
    return last ? last : read(app);
}

Settled open(std::optional<int> before, std::optional<int> after, int expected)
{
    if (!after)
        return Settled::Unknown;
    if (before && of(*before) != kClosed)
        return Settled::Unknown;
    if (of(*after) == kClosed)
        return Settled::NotDone;
    const int mask = of(expected) == kNonFiscal ? kMask : kMask | kReturnBit;
    return (*after & mask) == (expected & mask) ? Settled::Done : Settled::Unknown;
}

Settled payment(std::optional<int> before, std::optional<int> after)
{
    if (!before || !after)
        return Settled::Unknown;
    const int from = of(*before), to = of(*after);
    if (!takesPayment(from))
        return to == from ? Settled::NotDone : Settled::Unknown;
    if (to == kComplete)
        return Settled::Done;
    if (to == kPayment)
        return from == kPayment ? Settled::Unknown : Settled::Done;
    return to == from ? Settled::NotDone : Settled::Unknown;
}

Settled close(std::optional<int> after)
{
    if (!after)
        return Settled::Unknown;
    return of(*after) == kClosed ? Settled::Done : Settled::NotDone;
}

StepRunner::Settling openSettling(Application &app, int expected, const QString &unknown)
{
    const std::optional<int> before = lastKnown(app);
    return {[&app, before, expected] { return open(before, read(app), expected); }, unknown};
}

StepRunner::Settling paymentSettling(Application &app, const QString &unknown)
{
    const std::optional<int> before = lastKnown(app);
    return {[&app, before] { return payment(before, read(app)); }, unknown};
}

StepRunner::Settling closeSettling(Application &app, const QString &unknown)
{
    return {[&app] { return close(read(app)); }, unknown};
}

} // namespace receipt_stage
