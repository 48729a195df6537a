#include "ui/operation_guard.h"

#include "app/application.h"

#include <QApplication>
#include <QPushButton>

OperationGuard::OperationGuard(Application &app) : m_app(app) {}

void OperationGuard::connect(QPushButton *button, std::function<void()> operation)
{
    m_buttons.append(button);
    QObject::connect(button, &QPushButton::clicked, button,
                     [this, button, operation = std::move(operation)] { run(button, operation); });
}

void OperationGuard::run(QPushButton *button, const std::function<void()> &operation)
{
    if (m_busy)
        return;
    // A click queued while the operation ran arrives right after it: the second click of
    // a double click, measured from the end of the first operation.
    const qint64 now = m_app.clock().nowMs();
    if (button == m_lastButton && now - m_lastEndMs < QApplication::doubleClickInterval())
        return;
    m_busy = true;
    QList<std::pair<QPointer<QPushButton>, bool>> before;
    for (const QPointer<QPushButton> &b : std::as_const(m_buttons)) {
        if (!b)
            continue;
        before.append({b, b->isEnabled()});
        b->setEnabled(false);
    }
    operation();
    for (const auto &[b, enabled] : std::as_const(before))
        if (b)
            b->setEnabled(enabled);
    m_lastButton = button;
    m_lastEndMs = m_app.clock().nowMs();
    m_busy = false;
}
