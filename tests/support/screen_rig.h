#pragma once

#include "ui/screen_host.h"

#include <QDialog>
#include <QList>
#include <QMap>
#include <QObject>
#include <QStringList>
#include <QtGlobal>

#include <memory>

class Application;

// The screen host of the form tests: screens come from a registry as in the program, one
// instance each, shown with show() (never exec()); the status-bar texts and the screens
// opened are kept for the test to check.
class TestScreenHost final : public ScreenHost {
public:
    explicit TestScreenHost(Application &app) : m_app(app) {}
    // The by-class calls (screen<TForm5>()) stay visible beside the overrides below.
    using ScreenHost::openScreen;
    using ScreenHost::screen;

    ScreenRegistry registry;
    QStringList opened;
    QStringList statusTexts;

    QDialog *screen(const QString &className) override
    {
        if (QDialog *d = m_screens.value(className).get())
            return d;
        if (!registry.contains(className))
            return nullptr;
        QDialog *d = registry.factory(className)(m_app, *this, nullptr);
        m_screens[className].reset(d);
        return d;
    }
    void openScreen(const QString &className) override
    {
        opened << className;
        if (QDialog *d = screen(className))
            d->show();
    }
    void setStatusText(const QString &text) override { statusTexts << text; }
    QString connectedPortName() override { return portName; }
    void connectionSpeedChanged(qint32 rate) override { speeds << rate; }
    void connectionLost() override { ++connectionsLost; }

    QString portName;
    QList<qint32> speeds;
    int connectionsLost = 0;

private:
    Application &m_app;
    QMap<QString, std::shared_ptr<QDialog>> m_screens;
};

// The widget of a form by its objectName; a missing widget ends the test program with
// its name, instead of a crash on a null pointer further on.
template <class T>
T *widget(const QObject &root, const QString &name)
{
    T *w = root.findChild<T *>(name);
    if (!w)
        qFatal("%s has no %s named \"%s\"", qPrintable(root.objectName()), T::staticMetaObject.className(),
               qPrintable(name));
    return w;
}
