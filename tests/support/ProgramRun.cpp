#include "support/ProgramRun.h"

#include <csignal>
#include <sys/prctl.h>

namespace tetrav::test {

ProgramRun::ProgramRun(const QProcessEnvironment& env, const QStringList& arguments) {
    m_process.setProcessEnvironment(env);
    m_process.setStandardOutputFile(QProcess::nullDevice());
    // Ended with the test process, however that ends.
    m_process.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
    m_process.start(programPath(), arguments);
    m_process.waitForStarted(10000);
}

ProgramRun::~ProgramRun() {
    StopProcess(m_process);
}

void ProgramRun::signal(int signo) {
    if (m_process.state() == QProcess::Running) {
        ::kill(pid_t(m_process.processId()), signo);
    }
}

bool ProgramRun::waitForExit(int timeoutMs) {
    return WaitUntil(
        [this] {
            m_process.waitForFinished(5);
            return m_process.state() == QProcess::NotRunning;
        },
        timeoutMs);
}

bool ProgramRun::exitedWith(int code) const {
    return m_process.state() == QProcess::NotRunning && m_process.exitStatus() == QProcess::NormalExit &&
           m_process.exitCode() == code;
}

QString ProgramRun::standardError() {
    m_stderr += m_process.readAllStandardError();
    return QString::fromLocal8Bit(m_stderr);
}

std::string ProgramRun::describe() {
    QString state;
    if (m_process.state() != QProcess::NotRunning) {
        state = QStringLiteral("still running");
    } else if (m_process.exitStatus() == QProcess::CrashExit) {
        state = QStringLiteral("crashed (%1)").arg(m_process.errorString());
    } else {
        state = QStringLiteral("exit code %1").arg(m_process.exitCode());
    }
    return (state + QStringLiteral("; standard error:\n") + standardError()).toStdString();
}

} // namespace tetrav::test
