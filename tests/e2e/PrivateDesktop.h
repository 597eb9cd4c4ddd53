#pragma once
// A desktop of the test's own for driving the real program from outside: a private Xvfb, a
// private D-Bus session bus (which starts the accessibility bus on demand), private runtime and
// configuration folders, and the program started in it. Nothing here touches the X server or the
// session bus the test itself runs on, so parallel tests cannot get in the way.
#include <QImage>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <memory>

class PrivateDesktop {
public:
    PrivateDesktop();
    ~PrivateDesktop();
    PrivateDesktop(const PrivateDesktop&) = delete;
    PrivateDesktop& operator=(const PrivateDesktop&) = delete;

    // Starts Xvfb (WIDTHxHEIGHT, 24 bits) and the session bus. False with error() set on failure.
    bool start(int width, int height);
    QString error() const { return m_error; }

    QString display() const { return m_display; }              // ":N"
    QString sessionBusAddress() const { return m_busAddress; } // of the private session bus
    QString configDir() const { return m_config.path(); }

    // The environment a program started on this desktop gets.
    QProcessEnvironment environment() const;

    // Starts the program with the arguments; its standard error is kept for reports.
    bool launch(const QString& program, const QStringList& arguments);
    QProcess& program() { return *m_program; }
    // Everything the program wrote to standard output and standard error so far.
    QString programOutput();
    // Waits up to timeoutMs for the program to end on its own.
    bool waitForExit(int timeoutMs);

    // The whole screen as the X server has it now.
    QImage grabScreen(QString* why = nullptr) const;
    // Runs xdotool with the arguments on this display; false when it fails.
    bool xdotool(const QStringList& arguments, QString* why = nullptr) const;

private:
    static void stopProcess(QProcess& p);

    QString m_error;
    QString m_display;
    QString m_busAddress;
    QTemporaryDir m_runtime;
    QTemporaryDir m_config;
    std::unique_ptr<QProcess> m_xvfb;
    std::unique_ptr<QProcess> m_bus;
    std::unique_ptr<QProcess> m_program;
    QString m_programOutput;
};
