#pragma once

#include <QList>
#include <QPointer>

class QPushButton;
class QWidget;

// The buttons of a screen that runs long transfers: while one runs, the screen's other
// buttons are disabled (a second transfer cannot start inside the first, nor the screen
// close under it) and the stop button is the one way to end it early.
class TransferControls {
public:
    // `stop` may be null (a screen without a stop button).
    TransferControls(QList<QWidget *> idleOnly, QPushButton *stop);

    bool busy() const { return m_busy; }
    bool stopRequested() const { return m_stop; }
    // The stop button, and closing the window while a transfer runs.
    void requestStop() { m_stop = true; }
    void clearStop() { m_stop = false; }

    // Disables the idle-only widgets (remembering their state) for the life of the guard.
    class Guard {
    public:
        explicit Guard(TransferControls &c);
        ~Guard();
        Guard(const Guard &) = delete;
        Guard &operator=(const Guard &) = delete;

    private:
        TransferControls &m_c;
        QList<bool> m_enabled;
    };

private:
    QList<QPointer<QWidget>> m_idleOnly;
    QPointer<QPushButton> m_stopButton;
    bool m_busy = false;
    bool m_stop = false;
};
