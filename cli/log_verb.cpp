#include "cli/log_verb.h"

#include "cli/output.h"
#include "cli/send_command.h"
#include "commands/exchange_log_reader.h"

#include <QFile>
#include <QFileInfo>

namespace cli {

namespace {

QByteArray escaped(const QString &text)
{
    QByteArray out;
    for (const char c : text.toUtf8()) {
        switch (c) {
        case '\\': out += "\\\\"; break;
        case '\t': out += "\\t"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        default: out += c; break;
        }
    }
    return out;
}

const char *outcomeKey(LoggedExchange::Outcome o)
{
    using O = LoggedExchange::Outcome;
    switch (o) {
    case O::Success: return "ok";
    case O::RegistrarError: return "error";
    case O::NoReply: return "no-reply";
    case O::Nak: return "nak";
    case O::ChecksumMismatch: return "checksum";
    case O::Unlogged: return "unlogged";
    case O::Damaged: return "damaged";
    }
    return "damaged";
}

int runLog(const Options &o, FILE *out, FILE *err)
{
    VerbArgs a;
    QString error;
    if (!parseVerbArgs(o.verbArgs, {}, {QStringLiteral("--errors")}, a, error))
        return fail(err, Usage, QStringLiteral("log: unexpected argument '%1'").arg(a.unknown));
    if (a.files.size() > 1)
        return fail(err, Usage, QStringLiteral("log: unexpected argument '%1'").arg(a.files[1]));
    const bool errorsOnly = a.has(QStringLiteral("--errors"));
    const QString path = a.files.value(0);
    if (path.isEmpty())
        return fail(err, Usage, QStringLiteral("log: which file? (log FILE [--errors])"));
    QFile file(path);
    if (QFileInfo(path).isDir() || !file.open(QIODevice::ReadOnly))
        return fail(err, Usage, QStringLiteral("log: cannot read %1: %2")
                                    .arg(path, QFileInfo(path).isDir() ? QStringLiteral("a folder") : file.errorString()));
    ExchangeLogReader reader(file);
    LoggedExchange x;
    int total = 0;
    int failed = 0;
    int damaged = 0;
    while (reader.next(x)) {
        ++total;
        if (x.failed())
            ++failed;
        if (x.outcome == LoggedExchange::Outcome::Damaged)
            ++damaged;
        if (errorsOnly && !x.failed())
            continue;
        printText(out, describeLoggedExchange(x) + '\n');
    }
    printLine(err, QStringLiteral("Записей: %1, неудачных: %2, поврежденных: %3").arg(total).arg(failed).arg(damaged));
    return Success;
}

} // namespace

QByteArray describeLoggedExchange(const LoggedExchange &x)
{
    QList<QByteArray> parts;
    auto add = [&](const char *key, const QString &value) {
        if (!value.isEmpty())
            parts << QByteArray(key) + '=' + escaped(value);
    };
    parts << "line=" + QByteArray::number(x.line);
    if (x.time.isValid())
        add(x.timeFromSession ? "session" : "time", x.time.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")));
    if (x.sequence >= 0)
        add("seq", QString::asprintf("%02X", x.sequence));
    if (x.code >= 0) {
        add("code", QString::asprintf("%02X", x.code));
        add("name", x.commandText());
        parts << "params=" + escaped(x.parametersText());
    }
    parts << QByteArray("outcome=") + outcomeKey(x.outcome);
    if (x.repeat)
        parts << "repeat=1";
    add("error", QString::fromLatin1(x.errorWord));
    add("message", x.message);
    add("status", x.statusText());
    add("stage", x.receiptStage());
    if (x.synCount > 0)
        parts << "syn=" + QByteArray::number(qint64(x.synCount));
    const QStringList fields = x.fieldTexts();
    for (int i = 0; i < fields.size(); ++i)
        parts << "field" + QByteArray::number(i + 1) + '=' + escaped(fields[i]);
    for (const QString &n : x.notes)
        add("note", n);
    return parts.join('\t');
}

Verb logVerb()
{
    return {"log", "log FILE [--errors]", runLog};
}

} // namespace cli
