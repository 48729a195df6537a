#pragma once

#include "support/emulated_app.h"
#include "support/sent_frames.h"
#include "ui/screen_host.h"
#include "ui/ui_screens.h"

#include <QDialog>
#include <QLineEdit>
#include <QList>
#include <QMap>
#include <QObject>
#include <QPushButton>
#include <QStringList>
#include <QTest>
#include <QtGlobal>

#include <memory>
#include <type_traits>

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
    void *provided(const std::type_info &interface) override { return registry.provided(interface, *this); }
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

// The bench of a form test: the application on the in-process emulator (EmulatedApp: a
// recording prompter, virtual time, a settings file of its own), a TestScreenHost whose
// registry has the status screen TForm5 and `Form`, and the calls every form test makes.
// A test of several screens leaves `Form` out and names the screen at each call
// (open<TForm41>()); a bench adds the rest of its folder's screens to host.registry itself.
template <class Form = void>
struct FormBench : EmulatedApp {
    TestScreenHost host{app};

    explicit FormBench(const emu::Registrar::Options &options = {}, bool attached = true)
        : EmulatedApp(options, attached)
    {
        registerUiScreens(host.registry);
        if constexpr (!std::is_void_v<Form>)
            host.registry.add<Form>();
    }

    // The host's one instance of the screen, made on first use and not shown.
    template <class T = Form>
    T &screen()
    {
        return *host.template screen<T>();
    }
    // The screen opened as the program opens it (shown, not exec()).
    template <class T = Form>
    T &open()
    {
        host.template openScreen<T>();
        return screen<T>();
    }

    // The widgets of `Form` by name, and what a user does with them.
    template <class W = QLineEdit>
    W *w(const char *name)
    {
        return widget<W>(screen(), QLatin1String(name));
    }
    void click(const char *button) { QTest::mouseClick(w<QPushButton>(button), Qt::LeftButton); }
    // Key by key, as typed.
    void type(const char *edit, const QString &text)
    {
        w(edit)->clear();
        QTest::keyClicks(w(edit), text);
    }
    // In one go, as pasted.
    void enter(const char *edit, const QString &text)
    {
        w(edit)->clear();
        w(edit)->insert(text);
    }

    // The frames that went out (a refused command never reaches the registrar's journal).
    QList<SentFrame> frames() const { return framesSent(*line); }
    QList<QByteArray> sent(int code) const { return parametersSent(*line, code); }
    int lastCode() const { return lastFrameSent(*line).code; }
    QByteArray lastParameters() const { return lastFrameSent(*line).parameters; }

    // The next `exchanges` tries go unanswered (10: every try of one exchange).
    void silence(int exchanges = 10)
    {
        for (int i = 0; i < exchanges; ++i)
            registrar.injectFault({emu::Fault::Silence});
    }
};
