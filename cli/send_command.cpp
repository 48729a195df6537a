#include "cli/send_command.h"
#include "cli/run_script.h"

#include "cli/usb_ports.h"
#include "link/usb_transport.h"

#include "commands/code_page.h"
#include "commands/command_catalogue.h"
#include "commands/error_decoding.h"
#include "link/device_link.h"

namespace cli {

namespace {

const char kUsage[] =
    "usage: dizivu-cli --port PATH [--speed N] [--reply N] [--startup] [--log NAME] [--no-comments]\n"
    "                  send CODE [PARAMS] [CODE [PARAMS] ...]\n"
    "       dizivu-cli --usb [--usb-library PATH] [--reply N] [--log NAME] [--no-comments]\n"
    "                  send CODE [PARAMS] [CODE [PARAMS] ...]\n"
    "       dizivu-cli ports\n"
    "       dizivu-cli --port PATH [--speed N] [--reply N] run SCRIPT [--quiet] [--from N] [--step]\n"
    "       dizivu-cli commands\n"
    "       dizivu-cli decode WORD\n";

bool isCode(const QString &s)
{
    if (s.size() != 2)
        return false;
    for (QChar c : s)
        if (!c.isDigit() && !(c.toLower() >= QLatin1Char('a') && c.toLower() <= QLatin1Char('f')))
            return false;
    return true;
}

void print(FILE *f, const QByteArray &bytes)
{
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), f);
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
            o.startup = true;
        } else if (a == QLatin1String("--log")) {
            if (!value(a, o.logName))
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

bool parseSendArguments(const QStringList &args, QList<CommandSpec> &commands, QString &error)
{
    for (int i = 0; i < args.size(); ++i) {
        if (!isCode(args[i])) {
            error = QStringLiteral("expected a command code of two hexadecimal digits, got '%1'").arg(args[i]);
            return false;
        }
        CommandSpec c;
        c.code = args[i].toInt(nullptr, 16);
        if (i + 1 < args.size() && !isCode(args[i + 1]))
            c.parameters = code_page::toDevice(args[++i]);
        commands.append(c);
    }
    if (commands.isEmpty()) {
        error = QStringLiteral("send needs at least one command code");
        return false;
    }
    return true;
}

QByteArray describeResult(const CommandResult &r)
{
    QByteArray out;
    out += "code=" + QString::asprintf("%02X", r.commandCode & 0xFF).toLatin1() + '\n';
    out += "name=" + r.commandName.toUtf8() + '\n';
    out += "flags=" + QString::asprintf("%08X", r.flags).toLatin1() + '\n';
    out += "error=" + code_page::fromDevice(r.errorWord).toUtf8() + '\n';
    QString message;
    if (!DecodeError(r, message))
        out += "message=" + message.toUtf8().replace('\n', "\\n") + '\n';
    out += "status=" + r.statusText().trimmed().toUtf8() + '\n';
    out += "fields=" + QByteArray::number(r.fieldCount) + '\n';
    for (int i = 0; i < r.fieldCount; ++i)
        out += "field" + QByteArray::number(i + 1) + '=' + code_page::fromDevice(r.field(i)).toUtf8() + '\n';
    return out;
}

Exit outcomeOf(const CommandResult &r)
{
    if (r.flags & (CommandResult::kNakBit | CommandResult::kChecksumBit))
        return LinkFault;
    if (r.noReply())
        return NoReply;
    if (r.errorWord != "0000")
        return RegistrarError;
    return Success;
}

int listCommands(FILE *out)
{
    for (const CommandCatalogueEntry &e : CommandCatalogue::instance().entries())
        print(out, QStringLiteral("%1\t%2\t%3\n").arg(e.code, 2, 16, QLatin1Char('0')).toUpper().arg(e.name, e.templ).toUtf8());
    return Success;
}

int decodeWord(const QStringList &args, FILE *out, FILE *err)
{
    if (args.size() != 1) {
        std::fprintf(err, "dizivu-cli: decode takes one error word\n%s", kUsage);
        return Usage;
    }
    QString message;
    const bool ok = DecodeErrorWord(args[0].toLatin1(), message);
    if (!message.isEmpty())
        print(out, message.toUtf8() + '\n');
    return ok ? Success : RegistrarError;
}

int send(const Options &o, FILE *out, FILE *err)
{
    QList<CommandSpec> commands;
    QString error;
    if (!parseSendArguments(o.verbArgs, commands, error)) {
        std::fprintf(err, "dizivu-cli: %s\n%s", qPrintable(error), kUsage);
        return Usage;
    }
    if (o.port.isEmpty() && !o.usb) {
        std::fprintf(err, "dizivu-cli: --port is required\n%s", kUsage);
        return Usage;
    }
    if (!o.port.isEmpty() && o.usb) {
        std::fprintf(err, "dizivu-cli: --port and --usb exclude each other\n%s", kUsage);
        return Usage;
    }

    DeviceLink link;
    link.SetMessageHook([err](const QString &m) { print(err, m.toUtf8() + '\n'); });
    link.Log().SetLogFileName(o.logName);
    link.Log().SetCommentsEnabled(o.comments);
    if (o.usb) {
        if (!attachUsb(link, o.usbLibrary.isEmpty() ? UsbTransport::kDefaultLibrary : o.usbLibrary, err))
            return Usage;
    } else if (!link.OpenSerial(o.port, o.speed)) {
        print(err, QStringLiteral("Невозможно подключить порт\n").toUtf8());
        return Usage;
    }
    link.SetReplyCount(o.reply);
    if (o.startup)
        link.SendStartupFrame();

    int worst = Success;
    for (int i = 0; i < commands.size(); ++i) {
        const CommandResult *r = link.ExecuteCommand(commands[i].code, commands[i].parameters);
        if (i > 0)
            print(out, "\n");
        print(out, describeResult(*r));
        std::fflush(out);
        worst = qMax(worst, int(outcomeOf(*r)));
    }
    link.CloseSerial();
    return worst;
}

int run(const QStringList &args, FILE *out, FILE *err)
{
    Options o;
    QString error;
    if (!parseOptions(args, o, error)) {
        std::fprintf(err, "dizivu-cli: %s\n%s", qPrintable(error), kUsage);
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
    std::fprintf(err, "dizivu-cli: unknown command '%s'\n%s", qPrintable(o.verb), kUsage);
    return Usage;
}

} // namespace cli
