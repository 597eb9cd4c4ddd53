#include "support/PrivateSessionBus.h"

#include <QDBusConnectionInterface>
#include <QDeadlineTimer>
#include <QUuid>

#include <csignal>
#include <sys/prctl.h>

namespace tetrav::test {

uint ScreenSaverStandIn::Inhibit(const QString& application, const QString& reason) {
    const uint cookie = m_nextCookie++;
    m_inhibitions.push_back({application, reason, cookie});
    return cookie;
}

void ScreenSaverStandIn::UnInhibit(uint cookie) {
    m_released.push_back(cookie);
}

PrivateSessionBus::PrivateSessionBus(const QProcessEnvironment& env) {
    QProcessEnvironment daemonEnv = env;
    daemonEnv.remove(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"));
    m_daemon.setProcessEnvironment(daemonEnv);
    m_daemon.setProgram(QStringLiteral("dbus-daemon"));
    m_daemon.setArguments(
        {QStringLiteral("--session"), QStringLiteral("--nofork"), QStringLiteral("--print-address=1")});
    m_daemon.setStandardErrorFile(QProcess::nullDevice());
    m_daemon.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGKILL); });
    m_daemon.start();
    if (!m_daemon.waitForStarted(10000)) {
        return;
    }
    QByteArray out;
    const QDeadlineTimer deadline(10000);
    while (!out.contains('\n') && !deadline.hasExpired() && m_daemon.state() == QProcess::Running) {
        m_daemon.waitForReadyRead(int(qMax<qint64>(1, deadline.remainingTime())));
        out += m_daemon.readAllStandardOutput();
    }
    m_address = QString::fromUtf8(out.trimmed());
}

PrivateSessionBus::~PrivateSessionBus() {
    if (!m_connectionName.isEmpty()) {
        QDBusConnection::disconnectFromBus(m_connectionName);
    }
    if (m_daemon.state() != QProcess::NotRunning) {
        m_daemon.terminate();
        if (!m_daemon.waitForFinished(5000)) {
            m_daemon.kill();
            m_daemon.waitForFinished(5000);
        }
    }
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
