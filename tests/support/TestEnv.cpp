#include "support/TestEnv.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QProcess>
#include <QThread>

#include <csignal>
#include <sys/prctl.h>

namespace tetrav::test {

static QString envOr(const char* name, const QString& fallback) {
    const QByteArray v = qgetenv(name);
    return v.isEmpty() ? fallback : QString::fromLocal8Bit(v);
}

QString clipsDir() {
    return envOr("TETRAV_CLIPS", QStringLiteral(TETRAV_DEFAULT_CLIPS));
}
QString clip(const QString& name) {
    return clipsDir() + "/" + name;
}
QString sourceDir() {
    return envOr("TETRAV_SOURCE_DIR", QStringLiteral(TETRAV_DEFAULT_SOURCE_DIR));
}
QString programPath() {
    return envOr("TETRAV_BINARY", QStringLiteral(TETRAV_DEFAULT_BINARY));
}

bool WaitUntil(const std::function<bool()>& condition, int timeoutMs, int pollMs) {
    const QDeadlineTimer deadline(timeoutMs);
    while (!condition()) {
        if (deadline.hasExpired()) {
            return condition();
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, pollMs);
        QThread::msleep(unsigned(pollMs));
    }
    return true;
}

QByteArray StartDaemon(QProcess& daemon, int timeoutMs) {
    daemon.setStandardErrorFile(QProcess::nullDevice());
    daemon.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGKILL); });
    daemon.start();
    if (!daemon.waitForStarted(10000)) {
        return {};
    }
    QByteArray out;
    const QDeadlineTimer deadline(timeoutMs);
    while (!out.contains('\n') && !deadline.hasExpired() && daemon.state() != QProcess::NotRunning) {
        daemon.waitForReadyRead(int(qMax<qint64>(1, deadline.remainingTime())));
        out += daemon.readAllStandardOutput();
    }
    return out.contains('\n') ? out.trimmed() : QByteArray();
}

void StopProcess(QProcess& process) {
    if (process.state() != QProcess::NotRunning) {
        process.terminate();
        if (!process.waitForFinished(5000)) {
            process.kill();
            process.waitForFinished(5000);
        }
    }
}

} // namespace tetrav::test
