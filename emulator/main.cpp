// registrar-emulator: a registrar in software on a pseudo-terminal.
#include "emulator/pty_server.h"
#include "emulator/registrar.h"
#include "emulator/state_file.h"
#include "emulator/tape_file.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>

#include <memory>
#include <type_traits>
#include <cstdio>

namespace {
using QOption = QCommandLineOption;

bool fail(const char *text, const QString &value)
{
    std::fprintf(stderr, "registrar-emulator: %s: '%s'\n", text, qPrintable(value));
    return false;
}

// The memory domain's options, in the order logo-memory, logo-width, flash-size,
// flash-fault, flash-bad-data, firmware, firmware-size.
bool memoryOptions(const QCommandLineParser &cl, const QList<QOption> &o, emu::RegistrarOptions &options)
{
    auto whole = [&](const QOption &opt, qint64 low, qint64 high, auto &target) {
        if (!cl.isSet(opt))
            return true;
        bool ok = false;
        const qint64 v = cl.value(opt).toLongLong(&ok);
        if (!ok || v < low || v > high)
            return fail("out of range", QStringLiteral("--%1 %2").arg(opt.names().first(), cl.value(opt)));
        target = std::remove_reference_t<decltype(target)>(v);
        return true;
    };
    emu::RegistrarOptions::Memory &m = options.memory;
    if (!whole(o[0], 1, 1 << 24, options.logoMemory) || !whole(o[1], 0, 4096, options.logoWidth)
        || !whole(o[2], 0, qint64(1) << 30, m.flashSize) || !whole(o[6], 1, 1 << 28, m.firmwareSize))
        return false;
    for (const QString &f : cl.values(o[3])) {
        const QStringList parts = f.split(QLatin1Char(':'));
        bool ok = false;
        const qint64 address = parts.value(0).toLongLong(&ok);
        bool timesOk = true;
        const int times = parts.size() == 2 ? parts[1].toInt(&timesOk) : 1;
        if (!ok || !timesOk || address < 0 || times < 0 || parts.size() > 2)
            return fail("bad --flash-fault", f);
        m.readFaults[address] = times;
    }
    for (const QString &f : cl.values(o[4])) {
        bool ok = false;
        const qint64 address = f.toLongLong(&ok);
        if (!ok || address < 0)
            return fail("bad --flash-bad-data", f);
        m.badData.append(address);
    }
    if (cl.isSet(o[5])) {
        QFile file(cl.value(o[5]));
        if (!file.open(QIODevice::ReadOnly))
            return fail("cannot read the firmware image", cl.value(o[5]));
        m.firmware = file.readAll();
    }
    return true;
}
} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("registrar-emulator"));

    QCommandLineParser cl;
    cl.setApplicationDescription(QStringLiteral("A registrar in software, served on a pseudo-terminal."));
    cl.addHelpOption();
    const QCommandLineOption link(QStringLiteral("link"), QStringLiteral("Also create a symbolic link at PATH."), QStringLiteral("PATH"));
    const QCommandLineOption model(QStringLiteral("model"), QStringLiteral("Model name."), QStringLiteral("NAME"));
    const QCommandLineOption version(QStringLiteral("version"), QStringLiteral("Software version."), QStringLiteral("TEXT"));
    const QCommandLineOption taxGroups(QStringLiteral("tax-groups"), QStringLiteral("Number of tax groups."), QStringLiteral("N"));
    const QCommandLineOption password(QStringLiteral("password"), QStringLiteral("Access password (default 482913)."), QStringLiteral("TEXT"));
    const QCommandLineOption paymentForms(QStringLiteral("payment-forms"), QStringLiteral("Number of payment forms."), QStringLiteral("N"));
    const QCommandLineOption fault(QStringLiteral("fault"),
        QStringLiteral("Fault for the next exchange, in order: silence, nak, garbage, badcheck, cut, syn[:N[:MS]], bursts[:N[:MS]], late[:N[:MS]], refuse:CLASS:DETAIL, delay:1:MS (the reply MS late), noise-etx (noise closed by ETX), stream:N:MS (N noise bytes MS apart); CODE@KIND waits for a frame of that command. Repeatable."),
        QStringLiteral("KIND"));
    const QCommandLineOption faultRate(QStringLiteral("fault-rate"), QStringLiteral("Share of exchanges that get a random fault (0..1)."), QStringLiteral("P"));
    const QCommandLineOption seed(QStringLiteral("seed"), QStringLiteral("Seed of the fault generator, the flash content and a generated firmware image."), QStringLiteral("N"), QStringLiteral("1"));
    const QCommandLineOption faultKinds(QStringLiteral("fault-kinds"),
        QStringLiteral("Faults that --fault-rate draws from, comma-separated, in the syntax of --fault (default: silence,nak,garbage,cut,syn:2:50,bursts:2:20)."),
        QStringLiteral("LIST"));
    const QCommandLineOption journal(QStringLiteral("journal"),
        QStringLiteral("Append every command carried out to FILE, one line each: code, error word and parameters in hexadecimal, tab-separated (a repeat answered from the cache is not carried out again)."),
        QStringLiteral("FILE"));
    const QCommandLineOption lineSpeed(QStringLiteral("line-speed"),
        QStringLiteral("Answer only while the line is set to this speed (baud), as a registrar set to one speed does."),
        QStringLiteral("BAUD"));
    const QCommandLineOption tape(QStringLiteral("tape"),
        QStringLiteral("Append everything the registrar prints to FILE as UTF-8 text, as it prints, with a separator line after every document."),
        QStringLiteral("FILE"));
    const QCommandLineOption stateFile(QStringLiteral("state"),
        QStringLiteral("Keep the registrar's memory (fiscal memory, counters, drawer, goods, open receipt, tape, logo, flash) in FILE: read at the start when it exists, written after every command carried out, replaced whole so that a kill never leaves it half written."),
        QStringLiteral("FILE"));
    // Memory: logo, flash, firmware; pacing of the line.
    const QOption logoMemory(QStringLiteral("logo-memory"), QStringLiteral("Logo memory in bytes (default 24576)."), QStringLiteral("BYTES"));
    const QOption logoWidth(QStringLiteral("logo-width"), QStringLiteral("Logo width in dots (default 384)."), QStringLiteral("DOTS"));
    const QOption flashSize(QStringLiteral("flash-size"), QStringLiteral("Flash memory size in bytes (default 1048576); its content comes from --seed."), QStringLiteral("BYTES"));
    const QOption flashFault(QStringLiteral("flash-fault"),
        QStringLiteral("The read of the flash block at ADDRESS answers a flash error TIMES times (default 1). Repeatable."),
        QStringLiteral("ADDRESS[:TIMES]"));
    const QOption flashBadData(QStringLiteral("flash-bad-data"),
        QStringLiteral("The read of the flash block at ADDRESS carries a non-hexadecimal character. Repeatable."),
        QStringLiteral("ADDRESS"));
    const QOption firmware(QStringLiteral("firmware"), QStringLiteral("The firmware image served by 0xE7/0xE8 (default: generated from --seed)."), QStringLiteral("FILE"));
    const QOption firmwareSize(QStringLiteral("firmware-size"), QStringLiteral("Size of a generated firmware image (default 65536)."), QStringLiteral("BYTES"));
    const QOption pace(QStringLiteral("pace"),
        QStringLiteral("Pace the line at the wire speed of the baud rate the program sets (ten bits a byte)."));
    cl.addOptions({link, model, version, password, taxGroups, paymentForms, fault, faultRate, seed, faultKinds, journal,
                   lineSpeed, tape, stateFile, logoMemory, logoWidth, flashSize, flashFault, flashBadData, firmware, firmwareSize, pace});
    cl.process(app);

    emu::Registrar::Options options;
    if (cl.isSet(model))
        options.model = cl.value(model);
    if (cl.isSet(version))
        options.version = cl.value(version);
    if (cl.isSet(password))
        options.password = cl.value(password).toLatin1();
    auto number = [&](const QCommandLineOption &o, int &target, int low, int high) {
        if (!cl.isSet(o))
            return true;
        bool ok = false;
        const int v = cl.value(o).toInt(&ok);
        if (!ok || v < low || v > high) {
            std::fprintf(stderr, "registrar-emulator: --%s takes a number from %d to %d\n",
                         qPrintable(o.names().first()), low, high);
            return false;
        }
        target = v;
        return true;
    };
    if (!number(taxGroups, options.taxGroups, 0, 99) || !number(paymentForms, options.paymentForms, 1, 10))
        return 2;
    options.memory.seed = cl.value(seed).toUInt();
    if (!memoryOptions(cl, {logoMemory, logoWidth, flashSize, flashFault, flashBadData, firmware, firmwareSize}, options))
        return 2;

    emu::Registrar registrar(options);
    for (const QString &f : cl.values(fault)) {
        bool ok = false;
        registrar.injectFault(emu::Fault::parse(f, &ok));
        if (!ok) {
            std::fprintf(stderr, "registrar-emulator: unknown fault '%s'\n", qPrintable(f));
            return 2;
        }
    }
    if (cl.isSet(faultRate)) {
        QList<emu::Fault> all = {{emu::Fault::Silence}, {emu::Fault::Nak}, {emu::Fault::Garbage},
                                 {emu::Fault::CutShort}, {emu::Fault::SynBefore, 2, 50},
                                 {emu::Fault::Bursts, 2, 20}};
        if (cl.isSet(faultKinds)) {
            all.clear();
            for (const QString &k : cl.value(faultKinds).split(QLatin1Char(','), Qt::SkipEmptyParts)) {
                bool ok = false;
                all.append(emu::Fault::parse(k, &ok));
                if (!ok) {
                    std::fprintf(stderr, "registrar-emulator: unknown fault '%s'\n", qPrintable(k));
                    return 2;
                }
            }
        }
        bool ok = false;
        const double rate = cl.value(faultRate).toDouble(&ok);
        if (!ok || rate < 0 || rate > 1) {
            std::fprintf(stderr, "registrar-emulator: --fault-rate takes a number from 0 to 1\n");
            return 2;
        }
        registrar.setFaultRate(rate, all, cl.value(seed).toUInt());
    }
    // The registrar's memory from an earlier run; a file that is not one is refused, and
    // the emulator does not start on it (starting empty would lose what it holds).
    std::unique_ptr<emu::StateFile> state;
    if (cl.isSet(stateFile)) {
        QString error;
        if (!emu::StateFile::load(cl.value(stateFile), registrar.state(), error)) {
            std::fprintf(stderr, "registrar-emulator: the state file %s is refused: %s\n",
                         qPrintable(cl.value(stateFile)), qPrintable(error));
            return 2;
        }
        state = std::make_unique<emu::StateFile>(cl.value(stateFile));
        if (!state->save(registrar.state(), error)) {
            std::fprintf(stderr, "registrar-emulator: cannot write the state file %s: %s\n",
                         qPrintable(cl.value(stateFile)), qPrintable(error));
            return 2;
        }
    }
    QFile journalFile(cl.value(journal));
    if (cl.isSet(journal) && !journalFile.open(QIODevice::WriteOnly | QIODevice::Append)) {
        std::fprintf(stderr, "registrar-emulator: cannot write the journal %s\n", qPrintable(cl.value(journal)));
        return 2;
    }
    if (journalFile.isOpen() || state) {
        // Called before the reply goes out: what the program is told was done is on disk.
        registrar.setJournalHook([&journalFile, &state, &registrar](const emu::Executed &e) {
            if (journalFile.isOpen()) {
                journalFile.write(QByteArray::number(e.code, 16).toUpper() + '\t' + e.errorWord + '\t'
                                  + e.parameters.toHex() + '\n');
                journalFile.flush();
            }
            QString error;
            if (state && !state->save(registrar.state(), error))
                std::fprintf(stderr, "registrar-emulator: cannot write the state file %s: %s\n",
                             qPrintable(state->path()), qPrintable(error));
        });
    }

    emu::TapeFile tapeFile;
    if (cl.isSet(tape)) {
        QString error;
        if (!tapeFile.open(cl.value(tape), error)) {
            std::fprintf(stderr, "registrar-emulator: cannot write the tape %s: %s\n", qPrintable(cl.value(tape)),
                         qPrintable(error));
            return 2;
        }
        tapeFile.attach(registrar);
    }

    emu::PtyServer server(registrar);
    server.setPacing(cl.isSet(pace), options.speed);
    if (cl.isSet(lineSpeed)) {
        bool ok = false;
        const int baud = cl.value(lineSpeed).toInt(&ok);
        if (!ok || baud <= 0) {
            std::fprintf(stderr, "registrar-emulator: --line-speed takes a positive number\n");
            return 2;
        }
        server.setLineSpeed(baud);
    }
    return emu::serveUntilSignalled(server, cl.value(link), "registrar-emulator");
}
