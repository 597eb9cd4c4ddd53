#pragma once
// The application object: start-up checks (screen size, single instance), the display kept
// awake while the main window runs modally, and the display settings put back at the end.
// SIGTERM, SIGINT and SIGHUP close the main window, so the ordinary shut-down runs.
#include "mainwnd/RunOptions.h"
#include "platform/CDisplayPower.h"
#include "platform/CSingleInstance.h"

#include <QObject>
#include <QSize>
#include <QStringList>

#include <functional>

class QScreen;
class QSocketNotifier;
class QTimer;

class CTetravApp : public QObject {
    Q_OBJECT
public:
    // Runs the main window modally on the given files (at most four, in pane order, empty =
    // no file for that pane); its result is not used.
    using MainWindowRunner = std::function<int(const QStringList& files)>;

    static constexpr int kEarlyExitCode = 18;
    // A screen's size in its own pixels (Qt's sizes are divided by the scale factor).
    static QSize DevicePixels(const QScreen& screen);
    static constexpr int kMinimumWidth = 1024;
    static constexpr int kMinimumHeight = 768;

    explicit CTetravApp(MainWindowRunner runMainWindow, QObject* parent = nullptr);
    ~CTetravApp() override;

    // The command line's file arguments and run options (a second copy hands both over).
    void SetCommandLine(const QStringList& arguments, const RunOptions& options = {}) {
        m_arguments = arguments;
        m_options = options;
    }

    // Runs the whole program: InitInstance, then ExitInstance. Returns the process exit code.
    int Run();
    // Start-up, the main window's run and its end; always false, as the program has no loop
    // of its own after the main window.
    bool InitInstance();
    // Puts the display settings back (when start-up changed them); returns the exit code:
    // 18 after an early end, else 0.
    int ExitInstance();

    // The files to open from the command line: the nth argument belongs to pane n. An unusable
    // one (missing, a dangling link, a folder, a pipe) leaves its pane empty (an empty entry),
    // and those beyond the fourth are left out, each with a message.
    struct CommandLineFiles {
        QStringList files; // at most four, in pane order; empty = pane left empty
        QStringList messages;
    };
    static CommandLineFiles SelectCommandLineFiles(const QStringList& arguments);

    // Why start-up ended early ("" when it did not).
    const QString& earlyEndReason() const { return m_earlyEndReason; }
    const CDisplayPower& displayPower() const { return m_displayPower; }

    // Name of the single-instance lock.
    static QString InstanceName() { return QStringLiteral("tetrav"); }

private:
    void endEarly(const QString& reason);
    void installSignalHandlers();
    void removeSignalHandlers();
    void onTerminationSignal();
    void closeModalWindows();

    MainWindowRunner m_runMainWindow;
    QStringList m_arguments;
    RunOptions m_options;
    CSingleInstance m_instance;
    CDisplayPower m_displayPower;
    QString m_earlyEndReason;
    int m_exitCode = 0;
    bool m_mainWindowRunning = false;
    bool m_terminationRequested = false;
    QSocketNotifier* m_signalNotifier = nullptr;
    QTimer* m_closeRetry = nullptr;
};
