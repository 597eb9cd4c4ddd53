#include "support/XvfbServer.h"

#include <QDeadlineTimer>

#include <csignal>
#include <sys/prctl.h>

namespace tetrav::test {

XvfbServer::XvfbServer(const QString& size) {
    m_process.setProgram(QStringLiteral("Xvfb"));
    m_process.setArguments({QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-screen"),
                            QStringLiteral("0"), size, QStringLiteral("-nolisten"), QStringLiteral("tcp"),
                            QStringLiteral("-noreset"), QStringLiteral("+extension"),
                            QStringLiteral("MIT-SCREEN-SAVER")});
    m_process.setProcessChannelMode(QProcess::SeparateChannels);
    m_process.setStandardErrorFile(QProcess::nullDevice());
    // Gone with the test process, however that ends.
    m_process.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGKILL); });
    m_process.start();
    if (!m_process.waitForStarted(10000)) {
        return;
    }
    // The server writes its display number once it accepts connections.
    QByteArray out;
    const QDeadlineTimer deadline(15000);
    while (!out.contains('\n') && !deadline.hasExpired() && m_process.state() == QProcess::Running) {
        m_process.waitForReadyRead(int(qMax<qint64>(1, deadline.remainingTime())));
        out += m_process.readAllStandardOutput();
    }
    const QByteArray number = out.trimmed();
    bool ok = false;
    number.toInt(&ok);
    if (ok) {
        m_display = ':' + number;
    }
}

XvfbServer::~XvfbServer() {
    if (m_process.state() != QProcess::NotRunning) {
        m_process.terminate();
        if (!m_process.waitForFinished(5000)) {
            m_process.kill();
            m_process.waitForFinished(5000);
        }
    }
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
