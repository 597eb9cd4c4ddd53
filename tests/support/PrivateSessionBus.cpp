#include "support/PrivateSessionBus.h"

#include "support/TestEnv.h"

#include <QUuid>

namespace tetrav::test {

PrivateSessionBus::PrivateSessionBus(const QProcessEnvironment& env) {
    QProcessEnvironment daemonEnv = env;
    daemonEnv.remove(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"));
    m_daemon.setProcessEnvironment(daemonEnv);
    m_daemon.setProgram(QStringLiteral("dbus-daemon"));
    m_daemon.setArguments(
        {QStringLiteral("--session"), QStringLiteral("--nofork"), QStringLiteral("--print-address=1")});
    m_address = QString::fromUtf8(StartDaemon(m_daemon));
}

PrivateSessionBus::~PrivateSessionBus() {
    if (!m_connectionName.isEmpty()) {
        QDBusConnection::disconnectFromBus(m_connectionName);
    }
    StopProcess(m_daemon);
}

bool PrivateSessionBus::StartScreenSaverService() {
    if (m_address.isEmpty()) {
        return false;
    }
    m_connectionName = QStringLiteral("screensaver-standin-") + QUuid::createUuid().toString(QUuid::Id128);
    QDBusConnection bus = QDBusConnection::connectToBus(m_address, m_connectionName);
    if (!bus.isConnected()) {
        return false;
    }
    return bus.registerObject(QStringLiteral("/org/freedesktop/ScreenSaver"), &m_service,
                              QDBusConnection::ExportAllSlots) &&
           bus.registerService(QStringLiteral("org.freedesktop.ScreenSaver"));
}

} // namespace tetrav::test
