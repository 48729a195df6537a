#pragma once

#include "app/step_runner.h"
#include "commands/status_bytes.h"

#include <optional>

class Application;

// The receipt stage the registrar reports in bits 0 to 3 of status byte 2, and how an
// open, a payment or a close whose reply was lost is settled from it. The program is the
// registrar's only client, so a stage that moved as the command would move it was moved
// by that command.
namespace receipt_stage {

constexpr int kMask = 0x0F;
constexpr int kClosed = 0;
constexpr int kHeader = 1;   // a fiscal receipt opened, nothing sold yet
constexpr int kSale = 2;     // at least one sale
constexpr int kPayment = 3;  // paid in part
constexpr int kComplete = 4; // paid in full, waiting for the close
constexpr int kNonFiscal = 5;
constexpr int kSubtotal = 6; // a discount or surcharge on the sum
constexpr int kCashReceipt = 7;
constexpr int kVoiding = 9;
constexpr int kReturnBit = 0x10;

inline int of(int statusByte2) { return status_bytes::receiptState(quint8(statusByte2)); }

// Status byte 2 (bit 7 cleared) of the last reply that came on this connection; nothing
// when none came yet or the last exchange got none.
std::optional<int> lastKnown(Application &app);
// Status byte 2 read anew with 0x80; nothing when no reply came.
std::optional<int> read(Application &app);
// The last reply's, or read anew when that reply was lost.
std::optional<int> current(Application &app);

using Settled = StepRunner::Settled;
// An open whose reply was lost: done when the registrar went from no document to the
// document asked for (`expected`: kHeader with the return bit as asked, or kNonFiscal).
// `before` unknown is taken as no document, since an open is refused over an open one.
Settled open(std::optional<int> before, std::optional<int> after, int expected);
// A payment (0x67, 0x78) whose reply was lost: done when the stage moved from a stage
// that takes payments to a paid one; not done when it stayed in a stage that takes no
// more than one (a sale, a subtotal) or in a stage that takes none; unknown when a part
// payment may have been followed by another part payment.
Settled payment(std::optional<int> before, std::optional<int> after);
// A close (0x65, 0x62) of a document the program opened, whose reply was lost: done when
// no document is open any more, not done when it is still there.
Settled close(std::optional<int> after);

// The step's settling for each: the state read anew after the loss; for an open and a
// payment `before` is taken at once (call these just before the step is sent).
StepRunner::Settling openSettling(Application &app, int expected, const QString &unknown);
StepRunner::Settling paymentSettling(Application &app, const QString &unknown);
StepRunner::Settling closeSettling(Application &app, const QString &unknown);

} // namespace receipt_stage
