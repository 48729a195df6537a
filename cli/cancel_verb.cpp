#include "cli/cancel_verb.h"

#include "cli/output.h"

namespace cli {

QString openReceiptKind(int statusByte2)
{
    return openReceiptKind(ReceiptCancel::openReceipt(statusByte2));
}

QString openReceiptKind(ReceiptCancel::Open open)
{
    switch (open) {
    case ReceiptCancel::Open::None:
        break;
    case ReceiptCancel::Open::Fiscal:
        return QStringLiteral("fiscal");
    case ReceiptCancel::Open::Return:
        return QStringLiteral("return");
    case ReceiptCancel::Open::NonFiscal:
        return QStringLiteral("non-fiscal");
    }
    return QStringLiteral("none");
}

namespace {

int cancel(const Options &o, FILE *out, FILE *err)
{
    VerbArgs a;
    QString error;
    if (!parseVerbArgs(o.verbArgs, {}, {QStringLiteral("--close"), QStringLiteral("--yes")}, a, error))
        return fail(err, Usage, error);
    if (!a.files.isEmpty())
        return fail(err, Usage, QStringLiteral("cancel takes no file"));
    const bool close = a.has(QStringLiteral("--close"));
    if (!a.has(QStringLiteral("--yes")))
        return fail(err, Usage,
                    close ? QStringLiteral("cancel --close closes the receipt open in the registrar; give --yes to confirm")
                          : QStringLiteral("cancel voids the receipt open in the registrar; give --yes to confirm"));

    Session session(o, err);
    if (const Exit e = session.open(); e != Success)
        return e;
    ReceiptCancel ops(session.app());
    const Outcome<ReceiptCancel::View> state = ops.readState();
    if (!state.ok()) {
        printError(out, QStringLiteral("state.error"), state.verdict);
        printLine(out, QStringLiteral("result=failed"));
        return exitOf(state.verdict);
    }
    const ReceiptCancel::View &v = state.shown;
    printLine(out, QStringLiteral("receipt=") + openReceiptKind(v.open));
    if (!v.canClose && !v.canVoid) {
        printLine(out, QStringLiteral("result=ok"));
        return Success;
    }
    // Nothing more goes out when the receipt cannot be ended the way asked. The state was
    // read, so this is not a refusal before anything was sent.
    if (close ? !v.canClose : !v.canVoid) {
        printLine(out, QStringLiteral("result=failed"));
        return fail(err, RegistrarError,
                    close ? QStringLiteral("the receipt is not paid in full and cannot be closed; void it with "
                                           "\"dizivu-cli cancel --yes\"")
                          : QStringLiteral("a non-fiscal receipt is not voided; close it with "
                                           "\"dizivu-cli cancel --close --yes\""));
    }

    const Outcome<ReceiptCancel::View> done = close ? ops.close() : ops.voidReceipt();
    printError(out, close ? QStringLiteral("close.error") : QStringLiteral("void.error"), done.verdict);
    printLine(out, QStringLiteral("result=") + (done.ok() ? QStringLiteral("ok") : QStringLiteral("failed")));
    return exitOf(done.verdict);
}

} // namespace

Verb cancelVerb()
{
    return {"cancel", "cancel [--close] --yes", cancel};
}

} // namespace cli
