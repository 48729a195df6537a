#pragma once

#include "app/application.h"
#include "emulator/registrar.h"
#include "support/loopback_transport.h"
#include "support/recording_prompter.h"

#include <QTemporaryDir>

#include <memory>

// The application with an in-process emulator behind its link, on virtual time, a
// recording prompter and a settings file of its own in a temporary folder. Attached, it
// counts as connected over a serial port.
struct EmulatedApp {
    QTemporaryDir dir;
    VirtualClock clock;
    RecordingPrompter prompter;
    emu::Registrar registrar;
    Application app;
    LoopbackTransport *line = nullptr;

    explicit EmulatedApp(const emu::Registrar::Options &options = {}, bool attached = true)
        : registrar(options), app(prompter, clock, dir.filePath(QStringLiteral("dizivu.ini")))
    {
        if (!attached)
            return;
        auto t = std::make_unique<LoopbackTransport>(registrar, clock);
        line = t.get();
        app.link().attachTransport(std::move(t));
        app.state().serialConnected = true;
    }
};
