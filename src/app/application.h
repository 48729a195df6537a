#pragma once

#include "app/app_config.h"
#include "app/app_state.h"
#include "app/prompter.h"
#include "commands/command_catalogue.h"
#include "link/clock.h"
#include "link/device_link.h"

#include <utility>

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

    // Screens start every exchange through these three, so the current result is set in
    // this one place.

    // Runs a command by its code and makes its result the current one.
    CommandResult *execute(int code, const QByteArray &parameters)
    {
        return makeCurrent(m_link.ExecuteCommand(code, parameters));
    }
    // Runs a command wrapper (`execute(getDiagnosticInfo, password, code)`) and makes its
    // result the current one.
    template <class... Params, class... Args>
    CommandResult *execute(CommandResult *(*wrapper)(DeviceLink &, Params...), Args &&...args)
    {
        return makeCurrent(wrapper(m_link, std::forward<Args>(args)...));
    }
    // The link's last command again; null (and the current result kept) while an exchange
    // waits.
    CommandResult *repeatPrevious(bool keepNewSequence)
    {
        return makeCurrent(m_link.RepeatPreviousCommand(keepNewSequence));
    }

private:
    CommandResult *makeCurrent(CommandResult *result)
    {
        if (result)
            m_state.currentResult = result;
        return result;
    }

    Prompter &m_prompter;
    Clock &m_clock;
    DeviceLink m_link;
    AppConfig m_config;
    AppState m_state;
};
