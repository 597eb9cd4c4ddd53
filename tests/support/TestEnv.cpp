#include "support/TestEnv.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QThread>

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

} // namespace tetrav::test
