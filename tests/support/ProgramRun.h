#pragma once
// The built program (TETRAV_BINARY) started as a user would, with an environment of the
// test's choosing; its standard error is kept.
#include "support/TestEnv.h"

#include <QProcess>
#include <QString>
#include <QStringList>

#include <string>

namespace tetrav::test {

class ProgramRun {
public:
    ProgramRun(const QProcessEnvironment& env, const QStringList& arguments = {});
    ~ProgramRun(); // kills the program if it still runs

    ProgramRun(const ProgramRun&) = delete;
    ProgramRun& operator=(const ProgramRun&) = delete;

    bool isRunning() const { return m_process.state() == QProcess::Running; }
    qint64 pid() const { return m_process.processId(); }
    // Sends a signal (SIGTERM, SIGINT, SIGHUP, SIGKILL...).
    void signal(int signo);
    // Waits for the end, running the event loop meanwhile; false on time-out.
    bool waitForExit(int timeoutMs = 20000);
    // True when the program ended normally with code.
    bool exitedWith(int code) const;
    QString standardError();
    // How it ended and what it said, for failure messages.
    std::string describe();

private:
    QProcess m_process;
    QByteArray m_stderr;
};

} // namespace tetrav::test
