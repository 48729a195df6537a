#include "ui/screen_dialog.h"

#include <QKeyEvent>

#include "ui/status_screen_form.h"

#include <QLayout>
#include <QShowEvent>

ScreenDialog::ScreenDialog(Application &app, ScreenHost &host, QWidget *parent)
    : QDialog(parent), m_app(app), m_host(host)
{
}

void ScreenDialog::openStatusScreen()
{
    m_host.openScreen<TForm5>();
}

void ScreenDialog::fitCaption()
{
    // The title bar's icon and buttons take about this much beside the caption.
    constexpr int kTitleBarExtra = 160;
    const int wanted = fontMetrics().horizontalAdvance(windowTitle()) + kTitleBarExtra;
    const int laidOut = layout() ? layout()->totalMinimumSize().width() : 0;
    if (wanted > laidOut && wanted > minimumWidth())
        setMinimumWidth(wanted);
}

void ScreenDialog::showEvent(QShowEvent *event)
{
    if (!event->spontaneous())
        fitCaption();
    QDialog::showEvent(event);
    if (!event->spontaneous())
        opened();
}

void ScreenDialog::keyPressEvent(QKeyEvent *event)
{
    if (m_closedOnlyWithButtons && event->key() == Qt::Key_Escape) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}
