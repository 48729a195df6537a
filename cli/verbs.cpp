#include "cli/verbs.h"

#include "app/identification.h"
#include "cli/cancel_verb.h"
#include "cli/connection.h"
#include "cli/detect_verb.h"
#include "cli/load_goods_verb.h"
#include "cli/log_verb.h"
#include "cli/receipt_verb.h"

#include <QString>

namespace cli {

const QList<Verb> &extraVerbs()
{
    static const QList<Verb> verbs = QList<Verb>{
                                         {"receipt", "receipt [--terminal PORT] FILE.json", runReceipt},
                                         {"cancel", "cancel [--close] --yes", cancelReceipt},
                                         loadGoodsVerb(),
                                     }
        + reportVerbs() + toolVerbs()
        + QList<Verb>{
            {"detect", "detect [--ports P1,P2...] [--speeds S1,S2...]", detect},
            logVerb(),
        };
    return verbs;
}

const Verb *findVerb(const QString &name)
{
    for (const Verb &v : extraVerbs())
        if (name == QLatin1String(v.name))
            return &v;
    return nullptr;
}

bool parseVerbArgs(const QStringList &args, const QStringList &valued, const QStringList &flags, VerbArgs &out,
                   QString &error)
{
    for (int i = 0; i < args.size(); ++i) {
        const QString &a = args[i];
        if (valued.contains(a)) {
            if (i + 1 >= args.size()) {
                error = a + QStringLiteral(" needs a value");
                return false;
            }
            out.values[a] = args[++i];
        } else if (flags.contains(a)) {
            out.flags << a;
        } else if (a.startsWith(QLatin1String("--"))) {
            out.unknown = a;
            error = QStringLiteral("unknown option ") + a;
            return false;
        } else {
            out.files << a;
        }
    }
    return true;
}

Session::Session(const Options &options, FILE *err)
    : m_options(options), m_err(err), m_cli(err), m_app(m_cli, SystemClock::instance())
{
}

Session::Session(const Options &options, FILE *err, Prompter &prompter)
    : m_options(options), m_err(err), m_cli(err), m_app(prompter, SystemClock::instance())
{
}

Session::~Session()
{
    if (m_opened)
        m_app.link().CloseSerial();
}

Exit Session::open()
{
    if (!connectionChosen(m_options, m_err) || !openConnection(m_app.link(), m_options, m_err))
        return Usage;
    m_opened = true;
    AppState &s = m_app.state();
    s.serialConnected = !m_options.usb;
    s.usbConnected = m_options.usb;
    s.connectedSpeed = m_options.usb ? 0 : m_options.speed;
    identification::applySettings(s, m_app.config());
    return Success;
}

Verdict Session::identify()
{
    return identification::identify(m_app);
}

} // namespace cli
