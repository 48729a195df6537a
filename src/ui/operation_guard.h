#pragma once

#include <QList>
#include <QPointer>

#include <functional>

class Application;
class QPushButton;

// One click, one operation. The buttons of a screen that send commands run their
// operations through one guard: while an operation runs every one of them is disabled (the
// card wait lets the window process events), and a click on the same button within the
// system's double-click interval after its operation ended is taken for the second half
// of a double click, never for a second sale. Time comes from the application's clock.
class OperationGuard {
public:
    explicit OperationGuard(Application &app);

    // Clicking `button` runs `operation` through the guard.
    void connect(QPushButton *button, std::function<void()> operation);
    // Runs `operation` as a click on `button` would.
    void run(QPushButton *button, const std::function<void()> &operation);
    // An operation is running: the screen must not close under it.
    bool busy() const { return m_busy; }

private:
    Application &m_app;
    QList<QPointer<QPushButton>> m_buttons;
    bool m_busy = false;
    QPushButton *m_lastButton = nullptr;
    qint64 m_lastEndMs = 0;
};
