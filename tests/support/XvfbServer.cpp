#include "support/XvfbServer.h"

#include "support/TestEnv.h"

namespace tetrav::test {

XvfbServer::XvfbServer(const QString& size) {
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

XvfbServer::~XvfbServer() {
    StopProcess(m_process);
}

QProcessEnvironment XvfbServer::environment(std::initializer_list<std::pair<QString, QString>> extra) const {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DISPLAY"), QString::fromLatin1(m_display));
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    env.remove(QStringLiteral("WAYLAND_DISPLAY"));
    for (const auto& [name, value] : extra) {
        env.insert(name, value);
    }
    return env;
}

} // namespace tetrav::test
