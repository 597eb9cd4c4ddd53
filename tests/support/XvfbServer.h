#pragma once
// A private X server for one test: Xvfb of the given size on a display number the server picks
// itself (-displayfd), stopped when the object goes. Tests that grab keys or change the screen
// saver use one of these, because the rest of the suite shares one X server.
#include "support/TestEnv.h"

#include <QByteArray>
#include <QProcess>
#include <QString>

#include <initializer_list>
#include <utility>

namespace tetrav::test {

class XvfbServer {
public:
    // size as Xvfb takes it, e.g. "1024x768x24".
    explicit XvfbServer(const QString& size = QStringLiteral("1280x1024x24")) {
        m_process.setProgram(QStringLiteral("Xvfb"));
        m_process.setArguments(
            QStringLiteral("-displayfd 1 -screen 0 %1 -nolisten tcp -noreset +extension MIT-SCREEN-SAVER")
                .arg(size)
                .split(QLatin1Char(' ')));
        // The server writes its display number once it accepts connections.
        const QByteArray number = StartDaemon(m_process);
        bool ok = false;
        number.toInt(&ok);
        m_display = ok ? ':' + number : QByteArray();
    }
    ~XvfbServer() { StopProcess(m_process); }
    XvfbServer(const XvfbServer&) = delete;
    XvfbServer& operator=(const XvfbServer&) = delete;

    bool isRunning() const { return !m_display.isEmpty(); }
    // ":N", for DISPLAY.
    const QByteArray& display() const { return m_display; }
    // A process environment (the current one) with DISPLAY set to this server and Qt on xcb.
    // extra adds or replaces variables, e.g. {{"XDG_CONFIG_HOME", dir}}.
    QProcessEnvironment environment(std::initializer_list<std::pair<QString, QString>> extra = {}) const {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("DISPLAY"), QString::fromLatin1(m_display));
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        env.remove(QStringLiteral("WAYLAND_DISPLAY"));
        for (const auto& [name, value] : extra) {
            env.insert(name, value);
        }
        return env;
    }

private:
    QProcess m_process;
    QByteArray m_display;
};

} // namespace tetrav::test
