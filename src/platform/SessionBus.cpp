#include "platform/SessionBus.h"

#include <QDBusMessage>
#include <QFileInfo>

bool SessionBus::IsThere() {
    if (!qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS")) {
        return true;
    }
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    return !runtime.isEmpty() && QFileInfo(runtime + QStringLiteral("/bus")).exists();
}

bool SessionBus::RequestNameAsync(const QString& name) {
    if (!IsThere()) {
        return false;
    }
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        return false;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("RequestName"));
    constexpr uint kDoNotQueue = 4;
    call << name << kDoNotQueue;
    return bus.send(call);
}

bool SessionBus::Export(QDBusVirtualObject* object, const QString& path, const QString& name) {
    if (!IsThere()) {
        return false;
    }
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected() || !bus.registerVirtualObject(path, object)) {
        return false;
    }
    RequestNameAsync(name);
    return true;
}

void SessionBus::Unexport(const QString& path) {
    QDBusConnection::sessionBus().unregisterObject(path);
}
