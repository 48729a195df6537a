#include "cli/detect_verb.h"

#include "cli/send_command.h"

#include "app/app_config.h"
#include "app/registrar_search.h"
#include "commands/error_decoding.h"
#include "link/code_page.h"
#include "link/device_recovery.h"

namespace cli {

namespace {

void print(FILE *f, const QString &text)
{
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), f);
}

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
    for (int i = 0; i < args.size(); ++i) {
        const QString &a = args[i];
        if (a != QLatin1String("--ports") && a != QLatin1String("--speeds")) {
            error = QStringLiteral("detect: unexpected argument '%1'").arg(a);
            return false;
        }
        if (i + 1 >= args.size()) {
            error = QStringLiteral("detect: %1 needs a value").arg(a);
            return false;
        }
        QStringList items;
        if (!splitList(args[++i], items)) {
            error = QStringLiteral("detect: %1 takes a comma-separated list without empty items").arg(a);
            return false;
        }
        if (a == QLatin1String("--ports")) {
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
    if (!parseDetectArguments(o.verbArgs, ports, speeds, error)) {
        print(err, QStringLiteral("dizivu-cli: %1\n").arg(error));
        return Usage;
    }
    if (ports.isEmpty() && !o.port.isEmpty())
        ports << o.port;
    if (ports.isEmpty())
        ports = RegistrarSearch::presentPorts(DeviceTree::system());
    if (ports.isEmpty()) {
        print(err, QStringLiteral("dizivu-cli: no serial port is present\n"));
        return NoReply;
    }

    RegistrarSearch search;
    search.setProgress([&](const RegistrarSearch::Step &step) {
        print(err, QStringLiteral("Поиск регистратора: %1 бод (%2 из %3)\n").arg(step.speed).arg(step.index).arg(step.count));
    });
    const RegistrarSearch::Result result = search.run(ports, speeds);
    for (const RegistrarSearch::Unopened &u : result.unopened)
        print(err, QStringLiteral("dizivu-cli: %1\n").arg(u.reason));
    if (!result.found) {
        print(err, result.tried.isEmpty()
                       ? QStringLiteral("dizivu-cli: no port could be opened\n")
                       : QStringLiteral("dizivu-cli: no registrar answered on %1\n").arg(result.tried.join(QStringLiteral(", "))));
        return NoReply;
    }
    const RegistrarSearch::Found &f = result.registrar;
    print(out, QStringLiteral("port=%1\nspeed=%2\nmodel=%3\nversion=%4\nserial=%5\n")
                   .arg(f.port).arg(f.speed).arg(f.model, f.version, f.serial));
    if (f.errorWord != "0000") {
        // It answered as a registrar does, but refused the identification itself.
        QString message;
        decodeErrorWord(f.errorWord, message);
        print(err, QStringLiteral("dizivu-cli: the registrar refused the identification (%1): %2\n")
                       .arg(code_page::fromDevice(f.errorWord), message));
    }
    return Success;
}

} // namespace cli
