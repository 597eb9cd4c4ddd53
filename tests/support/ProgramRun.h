#pragma once
// The built program (TETRAV_BINARY) started as a user would, with an environment of the
// test's choosing; its standard error is kept.
#include "support/TestEnv.h"

#include <QProcess>
#include <QString>
#include <QStringList>

#include <csignal>
#include <string>
#include <sys/prctl.h>

namespace tetrav::test {

class ProgramRun {
public:
    ProgramRun(const QProcessEnvironment& env, const QStringList& arguments = {}) {
        m_process.setProcessEnvironment(env);
        m_process.setStandardOutputFile(QProcess::nullDevice());
        // Ended with the test process, however that ends.
        m_process.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
        m_process.start(programPath(), arguments);
        m_process.waitForStarted(10000);
    }
    ~ProgramRun() { StopProcess(m_process); }
    ProgramRun(const ProgramRun&) = delete;
    ProgramRun& operator=(const ProgramRun&) = delete;

    bool isRunning() const { return m_process.state() == QProcess::Running; }
    qint64 pid() const { return m_process.processId(); }
    // Sends a signal (SIGTERM, SIGINT, SIGHUP, SIGKILL...).
    void signal(int signo) {
        if (isRunning()) {
            ::kill(pid_t(m_process.processId()), signo);
        }
    }
    // Waits for the end, running the event loop meanwhile; false on time-out.
    bool waitForExit(int timeoutMs = 20000) {
        return WaitUntil([this] { return m_process.waitForFinished(5) || !isRunning(); }, timeoutMs);
    }
    // True when the program ended normally with code.
    bool exitedWith(int code) const {
        return m_process.state() == QProcess::NotRunning && m_process.exitStatus() == QProcess::NormalExit &&
               m_process.exitCode() == code;
    }
    QString standardError() {
        m_stderr += m_process.readAllStandardError();
        return QString::fromLocal8Bit(m_stderr);
    }
    // How it ended and what it said, for failure messages.
    std::string describe() {
        const QString state = m_process.state() != QProcess::NotRunning ? QStringLiteral("still running")
                              : m_process.exitStatus() == QProcess::CrashExit
                                  ? QStringLiteral("crashed (%1)").arg(m_process.errorString())
                                  : QStringLiteral("exit code %1").arg(m_process.exitCode());
        return (state + QStringLiteral("; standard error:\n") + standardError()).toStdString();
    }

private:
    QProcess m_process;
    QByteArray m_stderr;
};

// The environment with no display of any kind, or with DISPLAY set to display when given.
inline QProcessEnvironment NoDisplayEnvironment(const char* display = nullptr) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM", "XDG_SESSION_TYPE"}) {
        env.remove(name);
    }
    if (display != nullptr) {
        env.insert("DISPLAY", display);
    }
    return env;
}

// How a run of the built program to its end went: code -1 when it crashed or did not end in time.
struct RunOutcome {
    int code = -1;
    QString out;
    QString err;
};

// Runs the built program to its end (at most timeoutMs) in NoDisplayEnvironment(display).
inline RunOutcome RunToEnd(const QStringList& arguments, const char* display = nullptr,
                           int timeoutMs = 60000) {
    QProcess p;
    p.setProcessEnvironment(NoDisplayEnvironment(display));
    p.start(programPath(), arguments);
    RunOutcome o;
    if (!p.waitForFinished(timeoutMs)) {
        p.kill();
        p.waitForFinished();
        return o;
    }
    o.code = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    o.out = QString::fromLocal8Bit(p.readAllStandardOutput());
    o.err = QString::fromLocal8Bit(p.readAllStandardError());
    return o;
}

} // namespace tetrav::test
