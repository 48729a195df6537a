#pragma once

#include "ui/screen_host.h"

#include <QDialog>

class Application;

// The base of every screen: named after its class, told when it is opened, and given the
// application and the host. Derive as `class TForm14 : public Screen<TForm14>`.
class ScreenDialog : public QDialog {
    Q_OBJECT
public:
    ScreenDialog(Application &app, ScreenHost &host, QWidget *parent);

    Application &app() { return m_app; }
    ScreenHost &host() { return m_host; }
    // At least as wide as its caption with the title bar's buttons, so the window system
    // does not cut the caption ("Печать дополните… дневных отчетов"). Done at each
    // opening; the host calls it before placing the screen.
    void fitCaption();
    // A screen closed only with its own buttons: Esc does nothing, so the outcome it
    // shows is not dismissed by a stray key.
    void setClosedOnlyWithButtons(bool on) { m_closedOnlyWithButtons = on; }

protected:
    // Called each time the program opens the screen (not when the window system merely
    // re-shows it, as after minimising).
    virtual void opened() {}
    // The status screen, with the one instance the whole program shares.
    void openStatusScreen();

    void showEvent(QShowEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    Application &m_app;
    ScreenHost &m_host;
    bool m_closedOnlyWithButtons = false;
};

template <class T>
class Screen : public ScreenDialog {
public:
    Screen(Application &app, ScreenHost &host, QWidget *parent) : ScreenDialog(app, host, parent)
    {
        setObjectName(QString::fromLatin1(T::staticMetaObject.className()));
    }
};
