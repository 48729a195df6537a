#pragma once

#include "app/app_config.h"
#include "app/app_state.h"
#include "app/prompter.h"
#include "commands/command_catalogue.h"
#include "link/clock.h"
#include "link/device_link.h"

// The one application object: the link, the settings file, the application state, the
// prompter and the clock. The program creates exactly one and hands it to every screen.
class Application {
public:
    Application(Prompter &prompter, Clock &clock, const QString &configPath = QString())
        : m_prompter(prompter), m_clock(clock), m_link(clock),
          m_config(configPath.isEmpty() ? AppConfig() : AppConfig(configPath))
    {
        m_link.setMessageHook([this](const QString &text) { m_prompter.showMessage(text); });
        m_link.setCommandNamer(CommandName);
    }
    Application(const Application &) = delete;
    Application &operator=(const Application &) = delete;

    DeviceLink &link() { return m_link; }
    AppConfig &config() { return m_config; }
    AppState &state() { return m_state; }
    Prompter &prompter() { return m_prompter; }
    Clock &clock() { return m_clock; }

    // Runs a command and makes its result the current one.
    CommandResult *execute(int code, const QByteArray &parameters)
    {
        CommandResult *r = m_link.ExecuteCommand(code, parameters);
        m_state.currentResult = r;
        return r;
    }

private:
    Prompter &m_prompter;
    Clock &m_clock;
    DeviceLink m_link;
    AppConfig m_config;
    AppState m_state;
};
