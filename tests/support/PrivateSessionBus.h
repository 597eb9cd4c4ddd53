#pragma once
// A private D-Bus session bus (dbus-daemon --session) for one test, with a stand-in for the
// desktop's org.freedesktop.ScreenSaver service that records Inhibit and UnInhibit calls.
#include <QDBusConnection>
#include <QObject>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>

#include <vector>

namespace tetrav::test {

class ScreenSaverStandIn : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.ScreenSaver")
public:
    struct Inhibition {
        QString application;
        QString reason;
        uint cookie;
    };

    const std::vector<Inhibition>& inhibitions() const { return m_inhibitions; }
    const std::vector<uint>& released() const { return m_released; }

public slots:
    uint Inhibit(const QString& application, const QString& reason) {
        m_inhibitions.push_back({application, reason, m_nextCookie});
        return m_nextCookie++;
    }
    void UnInhibit(uint cookie) { m_released.push_back(cookie); }

private:
    std::vector<Inhibition> m_inhibitions;
    std::vector<uint> m_released;
    uint m_nextCookie = 41;
};

class PrivateSessionBus {
public:
    // The daemon (and the services it starts, such as the accessibility bus) gets env.
    explicit PrivateSessionBus(const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment());
    ~PrivateSessionBus();
    PrivateSessionBus(const PrivateSessionBus&) = delete;
    PrivateSessionBus& operator=(const PrivateSessionBus&) = delete;

    bool isRunning() const { return !m_address.isEmpty(); }
    // The bus address, for DBUS_SESSION_BUS_ADDRESS.
    const QString& address() const { return m_address; }
    // Puts the stand-in service on the bus (served by this process's event loop).
    bool StartScreenSaverService();
    const ScreenSaverStandIn& screenSaver() const { return m_service; }

private:
    QProcess m_daemon;
    QString m_address;
    QString m_connectionName;
    ScreenSaverStandIn m_service;
};

} // namespace tetrav::test
