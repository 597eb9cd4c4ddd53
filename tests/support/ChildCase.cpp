#include "support/ChildCase.h"

#include "support/TestEnv.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QSysInfo>
#include <QTemporaryDir>

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>

namespace tetrav::test {

namespace {

constexpr const char* kSelector = "TETRAV_CHILD_CASE";
constexpr const char* kSuite = "ChildCase";

class ChildCaseTest : public ::testing::Test {
public:
    explicit ChildCaseTest(std::function<void()> body) : m_body(std::move(body)) {}
    void TestBody() override { m_body(); }

private:
    std::function<void()> m_body;
};

ChildResult runChild(const QString& name, const QProcessEnvironment& env, int timeoutMs,
                     const QStringList& prefix = {}) {
    QProcess child;
    QProcessEnvironment childEnv = env;
    childEnv.insert(QString::fromLatin1(kSelector), name);
    child.setProcessEnvironment(childEnv);
    child.setProcessChannelMode(QProcess::MergedChannels);
    QStringList arguments = prefix;
    arguments << QCoreApplication::applicationFilePath()
              << QStringLiteral("--gtest_filter=%1.%2").arg(QLatin1String(kSuite), name);
    child.start(arguments.takeFirst(), arguments);
    if (!child.waitForStarted(10000)) {
        return {-1, false, QStringLiteral("child did not start")};
    }
    // The parent's event loop keeps running meanwhile: it may serve the child (a D-Bus stand-in).
    const bool ended = WaitUntil(
        [&] { return child.waitForFinished(10) || child.state() == QProcess::NotRunning; }, timeoutMs);
    if (!ended) {
        child.kill();
        child.waitForFinished(5000);
    }
    ChildResult result;
    result.output = QString::fromLocal8Bit(child.readAll()) + (ended ? "" : "\n(child timed out)");
    result.exitCode = ended && child.exitStatus() == QProcess::NormalExit ? child.exitCode() : -1;
    result.passed = result.exitCode == 0 && result.output.contains(QStringLiteral("[  PASSED  ] 1 test."));
    return result;
}

} // namespace

bool RegisterChildCase(const char* name, const char* file, int line, std::function<void()> body) {
    const char* selected = std::getenv(kSelector);
    if (!selected || std::strcmp(selected, name) != 0) {
        return false;
    }
    ::testing::RegisterTest(kSuite, name, nullptr, nullptr, file, line,
                            [body]() -> ::testing::Test* { return new ChildCaseTest(body); });
    return true;
}

ChildResult RunChildCase(const QString& name, const QProcessEnvironment& env, int timeoutMs) {
    return runChild(name, env, timeoutMs);
}
ChildResult RunChildCaseUnprivileged(const QString& name, const QProcessEnvironment& env, QString* whyNot,
                                     int timeoutMs) {
    whyNot->clear();
    if (::geteuid() != 0) {
        return runChild(name, env, timeoutMs);
    }
    const QString setpriv = QStandardPaths::findExecutable(QStringLiteral("setpriv"));
    const struct passwd* nobody = ::getpwnam("nobody");
    if (setpriv.isEmpty() || nobody == nullptr) {
        *whyNot = QStringLiteral("running as root, and there is no setpriv or no user 'nobody' to switch to");
        return {};
    }
    // A home of its own, with a copy of this process's plugin registry (a fresh scan is slow).
    QTemporaryDir home;
    const QByteArray homePath = QFile::encodeName(home.path());
    if (!home.isValid() || ::chown(homePath.constData(), nobody->pw_uid, nobody->pw_gid) != 0) {
        *whyNot = QStringLiteral("cannot make a home for 'nobody' under %1").arg(QDir::tempPath());
        return {};
    }
    QProcessEnvironment childEnv = env;
    for (const char* name : {"HOME", "XDG_RUNTIME_DIR", "XDG_CONFIG_HOME", "XDG_CACHE_HOME"}) {
        childEnv.insert(QString::fromLatin1(name), home.path());
    }
    childEnv.remove(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"));
    const QString registry = home.filePath(QStringLiteral("registry.bin"));
    const QString ours = QDir::homePath() + QStringLiteral("/.cache/gstreamer-1.0/registry.") +
                         QSysInfo::currentCpuArchitecture().replace(QLatin1Char('-'), QLatin1Char('_')) +
                         QStringLiteral(".bin");
    if (QFile::copy(env.value(QStringLiteral("GST_REGISTRY"), ours), registry)) {
        const QByteArray registryPath = QFile::encodeName(registry);
        static_cast<void>(::chown(registryPath.constData(), nobody->pw_uid, nobody->pw_gid));
    }
    childEnv.insert(QStringLiteral("GST_REGISTRY"), registry);
    const QStringList prefix = {setpriv, QStringLiteral("--reuid=%1").arg(nobody->pw_uid),
                                QStringLiteral("--regid=%1").arg(nobody->pw_gid),
                                QStringLiteral("--clear-groups"), QStringLiteral("--")};
    ChildResult result = runChild(name, childEnv, timeoutMs, prefix);
    if (!result.passed && result.output.contains(QStringLiteral("Permission denied")) &&
        !result.output.contains(QStringLiteral("[ RUN"))) {
        *whyNot = QStringLiteral("'nobody' cannot run this test program: ") + result.output.trimmed();
    }
    return result;
}

} // namespace tetrav::test
