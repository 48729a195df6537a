#include "ui/screen_dialog.h"

#include "ui/status_screen_form.h"

#include <QShowEvent>

ScreenDialog::ScreenDialog(Application &app, ScreenHost &host, QWidget *parent)
    : QDialog(parent), m_app(app), m_host(host)
{
}

void ScreenDialog::openStatusScreen()
{
    m_host.openScreen<TForm5>();
}

void ScreenDialog::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (!event->spontaneous())
        opened();
}
