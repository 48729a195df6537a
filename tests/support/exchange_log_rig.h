#pragma once

#include "emulator/registrar.h"
#include "link/code_page.h"
#include "link/device_link.h"
#include "support/loopback_transport.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <memory>

// A link with an exchange log in a temporary folder, talking to an in-process emulator on
// virtual time: logs written by real exchanges.
struct ExchangeLogRig {
    QTemporaryDir dir;
    QString oldCwd = QDir::currentPath();
    VirtualClock clock;
    emu::Registrar registrar;
    DeviceLink link{clock};

    ExchangeLogRig()
    {
        QDir::setCurrent(dir.path());
        link.attachTransport(std::make_unique<LoopbackTransport>(registrar, clock));
        link.Sequence().start(0); // the logs' SEQ bytes count from 21h
        link.Log().SetLogFileName(QStringLiteral("Orvex.log"));
    }
    ~ExchangeLogRig() { QDir::setCurrent(oldCwd); }
    QString path() const { return dir.filePath(QStringLiteral("Orvex.log")); }
    QByteArray log() const
    {
        QFile f(path());
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

    // Every kind of exchange the link meets, in this order:
    // 0 OK after three SYN (0x28); 1 wrong password (0x21); 2 NAK (0x60) and 3 its repeat,
    // OK; 4 text with Cyrillic parameters (0x61), the receipt open; 5 no reply (0x21);
    // 6 check mismatch (0x21); 7 a sales error 0B/2 (0x62); 8 OK (0x21).
    void runEveryKind(QList<CommandResult> *results = nullptr)
    {
        auto run = [&](int code, const QByteArray &parameters) {
            const CommandResult r = *link.ExecuteCommand(code, parameters);
            if (results)
                *results << r;
        };
        link.Log().writeSessionStart();
        link.SetReplyCount(1);
        registrar.injectFault({emu::Fault::SynBefore, 3, 100});
        run(0x28, "482913;");
        run(0x21, "111111;");
        registrar.injectFault({emu::Fault::Nak});
        run(0x60, "482913;");
        run(0x61, code_page::toDevice(QStringLiteral("482913;Привет;")));
        link.SetReplyCount(0);
        registrar.injectFault({emu::Fault::Silence});
        run(0x21, "482913;");
        registrar.injectFault({emu::Fault::BadCheck});
        run(0x21, "482913;");
        registrar.injectFault({emu::Fault::Refuse, 0x0B, 2});
        run(0x62, "482913;");
        run(0x21, "482913;");
        link.Log().writeSessionEnd();
    }
};
