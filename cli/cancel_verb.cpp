#include "cli/cancel_verb.h"
#include "cli/output.h"
#include "cli/verbs.h"

#include "cli/connection.h"
#include "cli/send_command.h"
#include "sales/receipt_cancel.h"

using namespace Qt::StringLiterals;

namespace cli {

QString openReceiptNotice(const QString &statusLine)
{
    return u"%1: a receipt is open; void it with \"dizivu-cli cancel --yes\", or, if it is paid, close it with "
           u"\"dizivu-cli cancel --close --yes\""_s.arg(statusLine);
}

int cancelReceipt(const Options &o, FILE *out, FILE *err)
{
    const QString closeFlag = u"--close"_s;
    const QString yesFlag = u"--yes"_s;
    VerbArgs a;
    QString error;
    if (!parseVerbArgs(o.verbArgs, {}, {closeFlag, yesFlag}, a, error) || !a.files.isEmpty())
        return fail(err, Usage, u"usage: cancel [--close] --yes"_s);
    const bool close = a.has(closeFlag);
    if (!a.has(yesFlag))
        return fail(err, Usage,
                    close ? u"cancel --close closes the open receipt; give --yes to confirm (nothing sent)"_s
                          : u"cancel voids the open receipt; give --yes to confirm (nothing sent)"_s);
    if (!connectionChosen(o, err))
        return Usage;

    Session session(o, err);
    if (const Exit e = session.open(); e != Success)
        return e;
    ReceiptCancel ops(session.app());
    const Outcome<ReceiptCancel::View> state = ops.readState();
    printError(out, u"state.error"_s, state.verdict);
    if (!state.ok()) {
        printLine(out, u"result=failed"_s);
        return exitOf(state.verdict);
    }
    const ReceiptCancel::View &v = state.shown;
    printLine(err, v.statusLine);
    if (!v.canVoid && !v.canClose) {
        printLine(out, u"result=ok"_s);
        return Success;
    }
    if (close ? !v.canClose : !v.canVoid) {
        fail(err, RegistrarError,
             close ? u"the receipt is not paid and cannot be closed; void it with \"dizivu-cli cancel --yes\""_s
                   : u"this receipt cannot be voided; close it with \"dizivu-cli cancel --close --yes\""_s);
        printLine(out, u"result=failed"_s);
        return RegistrarError;
    }
    const Outcome<ReceiptCancel::View> done = close ? ops.close() : ops.voidReceipt();
    printError(out, close ? u"close.error"_s : u"void.error"_s, done.verdict);
    printLine(out, u"result="_s + (done.ok() ? u"ok"_s : u"failed"_s));
    return exitOf(done.verdict);
}

} // namespace cli
