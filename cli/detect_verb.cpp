#include "cli/detect_verb.h"

#include "cli/output.h"
#include "cli/send_command.h"
#include "cli/verbs.h"

#include "app/app_config.h"
#include "app/registrar_search.h"
#include "commands/error_decoding.h"
#include "link/code_page.h"
#include "link/device_recovery.h"

namespace cli {

namespace {

// A comma-separated list; false when an item is empty.
bool splitList(const QString &value, QStringList &items)
{
    items = value.split(QLatin1Char(','));
    for (QString &item : items) {
        item = item.trimmed();
        if (item.isEmpty())
            return false;
    }
    return true;
}

} // namespace

bool parseDetectArguments(const QStringList &args, QStringList &ports, QList<qint32> &speeds, QString &error)
{
    const QStringList valued = {QStringLiteral("--ports"), QStringLiteral("--speeds")};
    VerbArgs a;
    if (!parseVerbArgs(args, valued, {}, a, error)) {
        error = QStringLiteral("detect: ") + error;
        if (!a.unknown.isEmpty())
            error = QStringLiteral("detect: unexpected argument '%1'").arg(a.unknown);
        return false;
    }
    if (!a.files.isEmpty()) {
        error = QStringLiteral("detect: unexpected argument '%1'").arg(a.files[0]);
        return false;
    }
    for (const QString &option : valued) {
        if (!a.has(option))
            continue;
        QStringList items;
        if (!splitList(a.value(option), items)) {
            error = QStringLiteral("detect: %1 takes a comma-separated list without empty items").arg(option);
            return false;
        }
        if (option == QLatin1String("--ports")) {
            ports = items;
            continue;
        }
        speeds.clear();
        for (const QString &item : items) {
            if (!AppConfig::speeds().contains(item)) {
                error = QStringLiteral("detect: speed '%1' is not one of %2")
                            .arg(item, AppConfig::speeds().join(QLatin1Char(',')));
                return false;
            }
            speeds << item.toInt();
        }
    }
    return true;
}

int detect(const Options &o, FILE *out, FILE *err)
{
    QStringList ports;
    QList<qint32> speeds = RegistrarSearch::defaultSpeeds();
    QString error;
    if (!parseDetectArguments(o.verbArgs, ports, speeds, error))
        return fail(err, Usage, error);
    if (ports.isEmpty() && !o.port.isEmpty())
        ports << o.port;
    if (ports.isEmpty())
        ports = RegistrarSearch::presentPorts(DeviceTree::system());
    if (ports.isEmpty()) {
        return fail(err, NoReply, QStringLiteral("no serial port is present"));
    }

    RegistrarSearch search;
    search.setProgress([&](const RegistrarSearch::Step &step) {
        printLine(err, QStringLiteral("Поиск регистратора: %1 бод (%2 из %3)").arg(step.speed).arg(step.index).arg(step.count));
    });
    const RegistrarSearch::Result result = search.run(ports, speeds);
    for (const RegistrarSearch::Unopened &u : result.unopened)
        fail(err, 0, u.reason);
    if (!result.found)
        return fail(err, NoReply, result.tried.isEmpty()
                                      ? QStringLiteral("no port could be opened")
                                      : QStringLiteral("no registrar answered on %1").arg(result.tried.join(QStringLiteral(", "))));
    const RegistrarSearch::Found &f = result.registrar;
    printLine(out, QStringLiteral("port=%1\nspeed=%2\nmodel=%3\nversion=%4\nserial=%5")
                       .arg(f.port).arg(f.speed).arg(f.model, f.version, f.serial));
    if (f.errorWord != "0000") {
        // It answered as a registrar does, but refused the identification itself.
        QString message;
        decodeErrorWord(f.errorWord, message);
        fail(err, 0, QStringLiteral("the registrar refused the identification (%1): %2")
                         .arg(code_page::fromDevice(f.errorWord), message));
    }
    return Success;
}

} // namespace cli
