#include "cli/load_goods_verb.h"
#include "cli/output.h"

#include "app/application.h"
#include "app/goods_file.h"
#include "cli/connection.h"
#include "cli/send_command.h"
#include "commands/command_wrappers.h"
#include "scripts/goods_loader.h"

namespace cli {

namespace {

// The worst outcome wins: no reply, then a link fault, then a line the registrar refused;
// lines refused here and never sent count only when nothing worse happened (5).
int exitOf(const GoodsLoader::Tally &t)
{
    if (t.timedOut > 0)
        return NoReply;
    if (t.linkFaults > 0)
        return LinkFault;
    const int refusedHere = t.lines - t.sent - t.notSent;
    if (t.refused > refusedHere)
        return RegistrarError;
    if (refusedHere > 0 || !t.runRefusal.isEmpty())
        return Refused;
    return Success;
}

} // namespace

Verb loadGoodsVerb()
{
    return {"load-goods", "load-goods FILE", loadGoods};
}

int loadGoods(const Options &o, FILE *out, FILE *err)
{
    if (o.verbArgs.size() != 1)
        return fail(err, Usage, QStringLiteral("load-goods takes one goods list file"));
    if (!connectionChosen(o, err))
        return Usage;
    const QString path = o.verbArgs.first();
    QString error;
    const goods_file::Contents file = goods_file::read(path);
    if (refusedAsFile(path, error) || !file.ok())
        return fail(err, Usage, error.isEmpty() ? file.message(path) : error);
    const QStringList &lines = file.lines;
    if (const int code = param_format::textRefusal(o.password))
        return fail(err, Refused, QStringLiteral("--password: ") + wrapper_codes::refusalMessage(code));

    Session session(o, err);
    if (const Exit e = session.open(); e != Success)
        return e;
    Application &app = session.app();

    const QString total = QString::number(lines.size());
    GoodsLoader loader(app);
    const GoodsLoader::Tally t =
        loader.write(o.password, lines, [&](int line, const Verdict &v, const GoodsLoader::Tally &) {
            QString text = QStringLiteral("Строка %1 из %2").arg(line).arg(total);
            if (v.kind == Verdict::Kind::NoReply)
                text += QStringLiteral(": ") + GoodsLoader::kTimeoutNotice;
            else if (!v.ok())
                text += QStringLiteral(": ") + v.message;
            printLine(err, text);
        });
    app.link().CloseSerial();

    QString summary = QStringLiteral("sent=%1 refused=%2 timed_out=%3").arg(t.sent).arg(t.refused).arg(t.timedOut);
    if (t.linkFaults > 0)
        summary += QStringLiteral(" link_faults=%1").arg(t.linkFaults);
    printLine(out, summary);
    std::fflush(out);
    return exitOf(t);
}

} // namespace cli
