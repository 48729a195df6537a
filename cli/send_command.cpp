#include "cli/send_command.h"
#include "cli/verbs.h"
#include "cli/output.h"
#include "cli/run_script.h"

#include "cli/usb_ports.h"

#include "link/code_page.h"
#include "commands/command_catalogue.h"
#include "commands/command_codes.h"
#include "commands/command_wrappers.h"
#include "commands/error_decoding.h"
#include "commands/verdict.h"
#include "link/device_link.h"
#include "link/frame.h"

namespace cli {

namespace {

const char kUsage[] =
    "usage: dizivu-cli --port PATH [--speed N] [--reply N] [--no-startup] [--log NAME] [--no-comments]\n"
    "                  send CODE [PARAMS] [CODE [PARAMS] ...]\n"
    "       dizivu-cli --usb [--usb-library PATH] [--reply N] [--log NAME] [--no-comments]\n"
    "                  send CODE [PARAMS] [CODE [PARAMS] ...]\n"
    "       dizivu-cli ports\n"
    "       dizivu-cli --port PATH|--usb [--speed N] [--reply N] [--no-startup] run SCRIPT [--quiet] [--from N] [--step]\n"
    "       dizivu-cli commands\n"
    "       dizivu-cli decode WORD    (WORD: four hexadecimal digits, as 0F03)\n"
    "CODE is two hexadecimal digits from 20 to FF.\n";

// The usage message: the link's own verbs, then every verb of the groups, each after the
// global options.
QByteArray usage()
{
    QByteArray text = kUsage;
    for (const Verb &v : extraVerbs())
        for (const QByteArray &line : QByteArray(v.usage).split('\n'))
            text += "       dizivu-cli [--port PATH|--usb] [--speed N] [--password P] [--log NAME] " + line + "\n";
    return text;
}

// dizivu-cli --help: every global option and every verb, the groups' verbs included.
// The manual page is made from this text: a line "Heading:" at the left margin opens a
// section, and the first line is "NAME - what it is".
QByteArray help()
{
    QByteArray text =
        "dizivu-cli - the fiscal registrar's command link without a window\n"
        "\n"
        "Usage:\n"
        "  dizivu-cli [OPTIONS] VERB [ARGUMENTS]\n"
        "  dizivu-cli --help\n"
        "\n"
        "Options:\n"
        "  --port PATH         the registrar's serial port: a name (ttyUSB0, ttyACM0) or a path\n"
        "  --usb               the registrar's USB bulk endpoints instead of a serial port\n"
        "  --usb-library PATH  the libusb-0.1 library to load (default: the system's)\n"
        "  --speed N           baud rate of the serial port (default 9600)\n"
        "  --reply N           how often a failed exchange is repeated (default 1)\n"
        "  --password P        the password the operations' password input takes (default 482913);\n"
        "                      an operation's fixed passwords stay fixed\n"
        "  --log NAME          write the exchange log to NAME\n"
        "  --no-comments       only the frames in the exchange log, no comment lines\n"
        "  --no-startup        no start-up frame when the serial port opens\n"
        "  --startup           the start-up frame when the serial port opens (the default)\n"
        "  -h, --help          this text\n"
        "\n"
        "Verbs:\n"
        "  send CODE [PARAMS] [CODE [PARAMS] ...]\n"
        "                      send commands; CODE is two hexadecimal digits from 20 to FF,\n"
        "                      PARAMS the parameter string (\"482913;\"); one key=value block each\n"
        "  run SCRIPT [--quiet] [--from N] [--step]\n"
        "                      run a script file of commands\n"
        "  ports               list the serial ports, the registrar's virtual COM port marked\n"
        "  commands            list the command catalogue\n"
        "  decode WORD         the message of an error word (four hexadecimal digits, as 0F03)\n";
    for (const Verb &v : extraVerbs())
        for (const QByteArray &line : QByteArray(v.usage).split('\n'))
            text += "  " + line + "\n";
    text +=
        "\n"
        "Output:\n"
        "  Results go to standard output as key=value lines, blocks separated by an empty\n"
        "  line; messages, progress and warnings go to standard error.\n"
        "\n"
        "Exit status:\n"
        "  0    success\n"
        "  1    the registrar answered with an error word\n"
        "  2    no reply (detect: no registrar found)\n"
        "  3    NAK or check-character mismatch\n"
        "  4    bad arguments, a port or a file that cannot be opened\n"
        "  5    input refused before anything was sent\n"
        "  6    a reply was lost and the registrar's state cannot tell whether the command\n"
        "       was carried out: check the tape before doing it again\n"
        "  130  interrupted (Ctrl-C, SIGTERM)\n";
    return text;
}

// Whether the global options, before the verb, ask for the help text.
bool helpAsked(const QStringList &args)
{
    static const QStringList withValue = {QStringLiteral("--port"), QStringLiteral("--speed"), QStringLiteral("--reply"),
                                          QStringLiteral("--usb-library"), QStringLiteral("--log"),
                                          QStringLiteral("--password")};
    for (int i = 0; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--help") || args[i] == QLatin1String("-h"))
            return true;
        if (withValue.contains(args[i]))
            ++i;
        else if (!args[i].startsWith(QLatin1Char('-')))
            return false;
    }
    return false;
}

bool isHexDigits(const QString &s)
{
    if (s.isEmpty())
        return false;
    for (QChar c : s)
        if (!c.isDigit() && !(c.toLower() >= QLatin1Char('a') && c.toLower() <= QLatin1Char('f')))
            return false;
    return true;
}

// What tells a code from a parameter string on the command line.
bool isCode(const QString &s)
{
    return s.size() == 2 && isHexDigits(s);
}

} // namespace

bool parseOptions(const QStringList &args, Options &o, QString &error)
{
    int i = 0;
    auto value = [&](const QString &name, QString &target) {
        if (i + 1 >= args.size()) {
            error = name + QStringLiteral(" needs a value");
            return false;
        }
        target = args[++i];
        return true;
    };
    for (; i < args.size(); ++i) {
        const QString a = args[i];
        QString v;
        if (a == QLatin1String("--port")) {
            if (!value(a, o.port))
                return false;
        } else if (a == QLatin1String("--speed") || a == QLatin1String("--reply")) {
            if (!value(a, v))
                return false;
            bool ok = false;
            const int n = v.toInt(&ok);
            if (!ok || n < 0 || (a == QLatin1String("--speed") && n == 0)) {
                error = a + QStringLiteral(" takes a positive number");
                return false;
            }
            (a == QLatin1String("--speed") ? o.speed : o.reply) = n;
        } else if (a == QLatin1String("--usb")) {
            o.usb = true;
        } else if (a == QLatin1String("--usb-library")) {
            if (!value(a, o.usbLibrary))
                return false;
        } else if (a == QLatin1String("--startup")) {
            o.startup = true; // the default; kept for scripts that still give it
        } else if (a == QLatin1String("--no-startup")) {
            o.startup = false;
        } else if (a == QLatin1String("--log")) {
            if (!value(a, o.logName))
                return false;
            if (!ExchangeLog::acceptsName(o.logName)) {
                error = QStringLiteral("--log takes no name with a \"..\" component");
                return false;
            }
        } else if (a == QLatin1String("--password")) {
            if (!value(a, o.password))
                return false;
        } else if (a == QLatin1String("--no-comments")) {
            o.comments = false;
        } else if (a.startsWith(QLatin1String("--"))) {
            error = QStringLiteral("unknown option ") + a;
            return false;
        } else {
            o.verb = a;
            o.verbArgs = args.mid(i + 1);
            return true;
        }
    }
    error = QStringLiteral("no command given");
    return false;
}

Exit parseSendArguments(const QStringList &args, QList<CommandSpec> &commands, QString &error)
{
    for (int i = 0; i < args.size(); ++i) {
        const QString &code = args[i];
        if (!isCode(code) || !cmd::sendable(code.toInt(nullptr, 16))) {
            error = isHexDigits(code)
                        ? QStringLiteral("command code %1 is outside the range 20..FF").arg(code)
                        : QStringLiteral("expected a command code of two hexadecimal digits (20..FF), got '%1'")
                              .arg(code);
            return Usage;
        }
        CommandSpec c;
        c.code = code.toInt(nullptr, 16);
        if (i + 1 < args.size() && !isCode(args[i + 1])) {
            const QString &text = args[++i];
            switch (param_format::textRefusal(text, true)) {
            case wrapper_codes::kTextControl:
                error = QStringLiteral("the parameters of command %1 hold a control character (below 20h): "
                                       "input refused before anything was sent").arg(code.toUpper());
                return Refused;
            case wrapper_codes::kTextCodePage:
                error = QStringLiteral("the parameters of command %1 hold a character that Windows-1251 "
                                       "cannot encode: input refused before anything was sent").arg(code.toUpper());
                return Refused;
            default:
                break;
            }
            c.parameters = code_page::toDevice(text);
            if (c.parameters.size() > frame::kMaxParameterLength) {
                error = QStringLiteral("the parameters of command %1 are %2 bytes long; a frame holds at most %3")
                            .arg(code.toUpper())
                            .arg(c.parameters.size())
                            .arg(frame::kMaxParameterLength);
                return Usage;
            }
        }
        commands.append(c);
    }
    if (commands.isEmpty()) {
        error = QStringLiteral("send needs at least one command code");
        return Usage;
    }
    return Success;
}

QByteArray describeResult(const CommandResult &r)
{
    QByteArray out;
    out += "code=" + QString::asprintf("%02X", r.commandCode & 0xFF).toLatin1() + '\n';
    out += "name=" + r.commandName.toUtf8() + '\n';
    out += "flags=" + QString::asprintf("%08X", r.flags).toLatin1() + '\n';
    out += "error=" + code_page::fromDevice(r.errorWord).toUtf8() + '\n';
    if (const Verdict verdict = Verdict::of(r); !verdict.ok())
        out += "message=" + verdict.message.toUtf8().replace('\n', "\\n") + '\n';
    out += "status=" + r.statusText().trimmed().toUtf8() + '\n';
    out += "fields=" + QByteArray::number(r.fieldCount) + '\n';
    for (int i = 0; i < r.fieldCount; ++i)
        out += "field" + QByteArray::number(i + 1) + '=' + code_page::fromDevice(r.field(i)).toUtf8() + '\n';
    return out;
}

Exit exitOf(const Verdict &verdict)
{
    switch (verdict.kind) {
    case Verdict::Kind::Success:
        return Success;
    case Verdict::Kind::RegistrarError:
        return RegistrarError;
    case Verdict::Kind::NoReply:
        return NoReply;
    case Verdict::Kind::Nak:
    case Verdict::Kind::ChecksumMismatch:
        return LinkFault;
    case Verdict::Kind::Refused:
        return Refused;
    }
    return RegistrarError;
}

Exit outcomeOf(const CommandResult &r)
{
    return exitOf(Verdict::of(r));
}

int listCommands(FILE *out)
{
    for (const CommandCatalogueEntry &e : CommandCatalogue::instance().entries())
        printText(out, QStringLiteral("%1\t%2\t%3\n").arg(e.code, 2, 16, QLatin1Char('0')).toUpper().arg(e.name, e.templ).toUtf8());
    return Success;
}

int decodeWord(const QStringList &args, FILE *out, FILE *err)
{
    if (args.size() != 1 || args[0].size() != 4 || !isHexDigits(args[0])) {
        fail(err, Usage, QStringLiteral("decode takes one error word of four hexadecimal digits"));
        printText(err, usage());
        return Usage;
    }
    QString message;
    const bool ok = decodeErrorWord(args[0].toUpper().toLatin1(), message);
    if (!message.isEmpty())
        printLine(out, message);
    return ok ? Success : RegistrarError;
}

int send(const Options &o, FILE *out, FILE *err)
{
    QList<CommandSpec> commands;
    QString error;
    if (const Exit refused = parseSendArguments(o.verbArgs, commands, error); refused != Success) {
        fail(err, refused, error);
        if (refused == Usage)
            printText(err, usage());
        return refused;
    }
    Session s(o, err);
    if (const Exit e = s.open(); e != Success)
        return e;
    int worst = Success;
    for (int i = 0; i < commands.size(); ++i) {
        const CommandResult *r = s.app().execute(commands[i].code, commands[i].parameters);
        printText(out, (i > 0 ? QByteArray("\n") : QByteArray()) + describeResult(*r));
        worst = qMax(worst, int(outcomeOf(*r)));
    }
    return worst;
}

int run(const QStringList &args, FILE *out, FILE *err)
{
    if (helpAsked(args)) {
        printText(out, help());
        return Success;
    }
    Options o;
    QString error;
    if (!parseOptions(args, o, error)) {
        fail(err, Usage, error);
        printText(err, usage());
        return Usage;
    }
    if (o.verb == QLatin1String("send"))
        return send(o, out, err);
    if (o.verb == QLatin1String("run"))
        return runScript(o, out, err);
    if (o.verb == QLatin1String("commands"))
        return listCommands(out);
    if (o.verb == QLatin1String("decode"))
        return decodeWord(o.verbArgs, out, err);
    if (o.verb == QLatin1String("ports"))
        return listPorts(out);
    if (const Verb *v = findVerb(o.verb))
        return v->run(o, out, err);
    fail(err, Usage, QStringLiteral("unknown command '%1'").arg(o.verb));
    printText(err, usage());
    return Usage;
}

} // namespace cli
