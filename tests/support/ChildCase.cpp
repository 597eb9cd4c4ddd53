#include "support/ChildCase.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QProcess>

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
    ChildResult result;
    QProcess child;
    QProcessEnvironment childEnv = env;
    childEnv.insert(QString::fromLatin1(kSelector), name);
    child.setProcessEnvironment(childEnv);
    child.setProcessChannelMode(QProcess::MergedChannels);
    child.start(QCoreApplication::applicationFilePath(),
                {QStringLiteral("--gtest_filter=%1.%2").arg(QLatin1String(kSuite), name)});
    if (!child.waitForStarted(10000)) {
        result.output = QStringLiteral("child did not start");
        return result;
    }
    // The parent's event loop keeps running meanwhile: it may serve the child (a D-Bus stand-in).
    QDeadlineTimer deadline(timeoutMs);
    while (child.state() != QProcess::NotRunning && !deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        child.waitForFinished(10);
    }
    if (child.state() != QProcess::NotRunning) {
        child.kill();
        child.waitForFinished(5000);
        result.output = QString::fromLocal8Bit(child.readAll()) + QStringLiteral("\n(child timed out)");
        return result;
    }
    result.output = QString::fromLocal8Bit(child.readAll());
    result.exitCode = child.exitStatus() == QProcess::NormalExit ? child.exitCode() : -1;
    result.passed = result.exitCode == 0 && result.output.contains(QStringLiteral("[  PASSED  ] 1 test."));
    return result;
}

} // namespace tetrav::test
