#pragma once

#include <QMap>
#include <QString>
#include <QStringList>
#include <QtGlobal>

#include <functional>
#include <map>
#include <typeindex>
#include <typeinfo>

class Application;
class QDialog;
class QWidget;
class ScreenHost;

// How a screen reaches the rest of the program: the main window implements this and hands
// it to every form it creates.
class ScreenHost {
public:
    virtual ~ScreenHost() = default;

    // The one instance of a screen, created on first use; null when no such screen is
    // registered.
    virtual QDialog *screen(const QString &className) = 0;
    // Shows a screen modally, centred on the main window; returns when it closes.
    virtual void openScreen(const QString &className) = 0;
    // The main window's status-bar text.
    virtual void setStatusText(const QString &text) = 0;

    // The serial connection, as screens that reopen the port need it (a script's SetSpeed):
    // the port the connection uses (the built-in emulator's device when that entry is
    // chosen), the new speed once the port runs at it, and the loss of the connection
    // (the window then shows the program disconnected).
    virtual QString connectedPortName() = 0;
    virtual void connectionSpeedChanged(qint32 rate) = 0;
    virtual void connectionLost() = 0;

    // The screen that provides `Interface` to other screens (ScreenRegistry::provide), as
    // that interface: created on first use; null when no screen provides it. A screen
    // reaches a screen of another folder this way, never by its class.
    virtual void *provided(const std::type_info &interface) = 0;

    template <class T>
    T *screen() { return static_cast<T *>(screen(QString::fromLatin1(T::staticMetaObject.className()))); }
    template <class T>
    void openScreen() { openScreen(QString::fromLatin1(T::staticMetaObject.className())); }
    template <class Interface>
    Interface *provider() { return static_cast<Interface *>(provided(typeid(Interface))); }
};

// The screens a program can open, each by its class name. Every screen folder registers
// its own screens in one function (registerScriptScreens, ...), one line a screen.
class ScreenRegistry {
public:
    using Factory = std::function<QDialog *(Application &, ScreenHost &, QWidget *parent)>;

    // A screen whose constructor is T(Application &, ScreenHost &, QWidget *parent).
    template <class T>
    void add()
    {
        add(QString::fromLatin1(T::staticMetaObject.className()),
            [](Application &app, ScreenHost &host, QWidget *parent) -> QDialog * { return new T(app, host, parent); });
    }
    void add(const QString &className, Factory factory) { m_factories.insert(className, std::move(factory)); }

    // Screen T (registered with add) is the one that provides `Interface`, which T derives
    // from, to the other screens (ScreenHost::provider<Interface>()).
    template <class Interface, class T>
    void provide()
    {
        m_providers[std::type_index(typeid(Interface))] = {
            QString::fromLatin1(T::staticMetaObject.className()),
            [](QDialog *d) -> void * { return static_cast<Interface *>(static_cast<T *>(d)); }};
    }
    // What a host gives for ScreenHost::provided(): the providing screen from `host`, as
    // the interface.
    void *provided(const std::type_info &interface, ScreenHost &host) const
    {
        const auto it = m_providers.find(std::type_index(interface));
        if (it == m_providers.end())
            return nullptr;
        QDialog *d = host.screen(it->second.className);
        return d ? it->second.cast(d) : nullptr;
    }

    bool contains(const QString &className) const { return m_factories.contains(className); }
    Factory factory(const QString &className) const { return m_factories.value(className); }
    QStringList classNames() const { return m_factories.keys(); }

private:
    struct Provider {
        QString className;
        void *(*cast)(QDialog *);
    };
    QMap<QString, Factory> m_factories;
    std::map<std::type_index, Provider> m_providers;
};
