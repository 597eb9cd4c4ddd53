#pragma once
// The user's session bus, only when there is one: without an address or a bus socket in the
// runtime folder, libdbus would try to start a bus of its own.
#include <QDBusConnection>
#include <QDBusVirtualObject>
#include <QString>

namespace SessionBus {
bool IsThere();
// Asks for a well-known name without waiting for the answer (the bus daemon's reply is not
// needed: calls reach the object path whatever the name). Returns false without a bus.
bool RequestNameAsync(const QString& name);
// Puts object on the session bus at path and asks for name (as RequestNameAsync); false when
// there is no bus or the path is taken. Unexport takes it off again.
bool Export(QDBusVirtualObject* object, const QString& path, const QString& name);
void Unexport(const QString& path);
} // namespace SessionBus
