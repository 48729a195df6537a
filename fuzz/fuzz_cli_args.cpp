// dizivu-cli's command line, arguments split at NUL bytes: the global options, the send
// verb's codes and parameter strings, and the decode and commands verbs run whole (their
// output to /dev/null), detect's port and speed lists. Verbs that open a port or a file are
// parsed, never run. Checks:
// no crash, no UB; accepted options hold a positive speed, a non-negative reply count
// and a log name the log takes; accepted commands are codes 20h..FFh with parameters a
// frame can hold; detect's speeds come from the program's list and its ports are not
// empty; an exit status is one of the documented ones.
#include "app/app_config.h"
#include "cli/detect_verb.h"
#include "cli/send_command.h"
#include "link/exchange_log.h"
#include "link/frame.h"

#include <QString>
#include <QStringList>

#include <cstddef>
#include <cstdint>
#include <cstdio>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size > 4096)
        return 0;
    static FILE *const sink = std::fopen("/dev/null", "w");
    if (!sink)
        return 0;
    QStringList args;
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    for (const QByteArray &piece : bytes.split('\0'))
        args << QString::fromUtf8(piece);

    cli::Options o;
    QString error;
    if (!cli::parseOptions(args, o, error)) {
        if (error.isEmpty())
            __builtin_trap();
        return 0;
    }
    if (o.speed <= 0 || o.reply < 0 || !ExchangeLog::acceptsName(o.logName))
        __builtin_trap();

    if (o.verb == QLatin1String("send")) {
        QList<cli::CommandSpec> commands;
        const cli::Exit e = cli::parseSendArguments(o.verbArgs, commands, error);
        if (e == cli::Success) {
            if (commands.isEmpty())
                __builtin_trap();
            for (const cli::CommandSpec &c : commands)
                if (c.code < 0x20 || c.code > 0xFF || c.parameters.size() > frame::kMaxParameterLength)
                    __builtin_trap();
        } else if ((e != cli::Usage && e != cli::Refused) || error.isEmpty()) {
            __builtin_trap();
        }
    } else if (o.verb == QLatin1String("detect")) {
        QStringList ports;
        QList<qint32> speeds;
        if (cli::parseDetectArguments(o.verbArgs, ports, speeds, error)) {
            for (const QString &p : ports)
                if (p.trimmed().isEmpty())
                    __builtin_trap();
            for (qint32 s : speeds)
                if (!AppConfig::speeds().contains(QString::number(s)))
                    __builtin_trap();
        } else if (error.isEmpty()) {
            __builtin_trap();
        }
    } else if (o.verb == QLatin1String("decode") || o.verb == QLatin1String("commands")) {
        const int status = cli::run(args, sink, sink);
        if (status != cli::Success && status != cli::RegistrarError && status != cli::Usage)
            __builtin_trap();
    }
    return 0;
}
