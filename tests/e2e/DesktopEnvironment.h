#pragma once
// The environment the program under test gets on the private desktop: its X server, its
// session bus with the accessibility bridge on, and runtime and configuration folders of its own.
#include "support/PrivateSessionBus.h"
#include "support/XvfbServer.h"

#include <QProcessEnvironment>
#include <QTemporaryDir>

namespace tetrav::test {

inline QProcessEnvironment DesktopEnvironment(const XvfbServer& x, const PrivateSessionBus& bus,
                                              const QTemporaryDir& runtime, const QTemporaryDir& config) {
    QProcessEnvironment env = x.environment({{"DBUS_SESSION_BUS_ADDRESS", bus.address()},
                                             {"XDG_RUNTIME_DIR", runtime.path()},
                                             {"XDG_CONFIG_HOME", config.path()},
                                             {"QT_ACCESSIBILITY", "1"},
                                             {"QT_LINUX_ACCESSIBILITY_ALWAYS_ON", "1"}});
    for (const char* name : {"XAUTHORITY", "AT_SPI_BUS_ADDRESS", "NO_AT_BRIDGE"}) {
        env.remove(name);
    }
    return env;
}

} // namespace tetrav::test
