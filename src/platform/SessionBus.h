#pragma once
// The user's session bus, only when there is one: without an address or a bus socket in the
// runtime folder, libdbus would try to start a bus of its own.
#include <QDBusConnection>
#include <QString>

namespace SessionBus {
bool IsThere();
// Asks for a well-known name without waiting for the answer (the bus daemon's reply is not
// needed: calls reach the object path whatever the name). Returns false without a bus.
bool RequestNameAsync(const QString& name);
} // namespace SessionBus
