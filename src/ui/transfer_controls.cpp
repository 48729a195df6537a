#include "ui/transfer_controls.h"

#include <QPushButton>
#include <QWidget>

TransferControls::TransferControls(QList<QWidget *> idleOnly, QPushButton *stop) : m_stopButton(stop)
{
    for (QWidget *w : idleOnly)
        m_idleOnly.append(w);
    if (stop)
        stop->setEnabled(false);
}

TransferControls::Guard::Guard(TransferControls &c) : m_c(c)
{
    m_c.m_busy = true;
    m_c.m_stop = false;
    for (const QPointer<QWidget> &w : m_c.m_idleOnly) {
        m_enabled.append(w && w->isEnabled());
        if (w)
            w->setEnabled(false);
    }
    if (m_c.m_stopButton)
        m_c.m_stopButton->setEnabled(true);
}

TransferControls::Guard::~Guard()
{
    for (int i = 0; i < m_c.m_idleOnly.size(); ++i)
        if (m_c.m_idleOnly[i])
            m_c.m_idleOnly[i]->setEnabled(m_enabled.value(i));
    if (m_c.m_stopButton)
        m_c.m_stopButton->setEnabled(false);
    m_c.m_busy = false;
}
