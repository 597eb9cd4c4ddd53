#include "app/CTetravApp.h"

#include "desktop/CFileHandoff.h"
#include "platform/FileName.h"

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QFileInfo>
#include <QScreen>
#include <QSocketNotifier>
#include <QTimer>
#include <QWidget>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace {

// Self-pipe: the handler only writes a byte; the user-interface thread does the rest.
int g_signalPipe[2] = {-1, -1};
constexpr int kHandledSignals[] = {SIGTERM, SIGINT, SIGHUP};

void onSignal(int signo) {
    const int saved = errno;
    const char byte = static_cast<char>(signo);
    if (g_signalPipe[1] >= 0) {
        [[maybe_unused]] const ssize_t n = ::write(g_signalPipe[1], &byte, 1);
    }
    errno = saved;
}

void printMessage(const QString& text) {
    std::fprintf(stderr, "Tetrav: %s\n", text.toLocal8Bit().constData());
    std::fflush(stderr);
}

} // namespace

CTetravApp::CTetravApp(MainWindowRunner runMainWindow, QObject* parent)
    : QObject(parent), m_runMainWindow(std::move(runMainWindow)) {}

CTetravApp::~CTetravApp() {
    removeSignalHandlers();
    m_displayPower.Restore();
}

int CTetravApp::Run() {
    InitInstance();
    return ExitInstance();
}

QSize CTetravApp::DevicePixels(const QScreen& screen) {
    const QSizeF pixels = QSizeF(screen.geometry().size()) * screen.devicePixelRatio();
    return QSize(qRound(pixels.width()), qRound(pixels.height()));
}

void CTetravApp::endEarly(const QString& reason) {
    m_earlyEndReason = reason;
    m_exitCode = kEarlyExitCode;
    printMessage(reason);
}

bool CTetravApp::InitInstance() {
    m_exitCode = 0;
    m_earlyEndReason.clear();

    // 1. The screen must be at least 1024 x 768 (the primary screen's full size, in the screen's
    //    own pixels: a scaled desktop reports fewer, larger ones to Qt).
    const QScreen* screen = QGuiApplication::primaryScreen();
    const QSize size = screen ? DevicePixels(*screen) : QSize();
    if (size.width() < kMinimumWidth || size.height() < kMinimumHeight) {
        endEarly(QStringLiteral("the screen is %1 x %2 pixels; Tetrav needs at least %3 x %4.")
                     .arg(size.width())
                     .arg(size.height())
                     .arg(kMinimumWidth)
                     .arg(kMinimumHeight));
        return false;
    }

    // 2. One copy at a time.
    if (!m_instance.Acquire(InstanceName())) {
        // Files for the running copy (a file manager's "Open With"): hand them over first.
        const CommandLineFiles files = SelectCommandLineFiles(m_arguments);
        for (const QString& message : files.messages) {
            printMessage(message);
        }
        if (!files.files.isEmpty()) {
            QString why;
            if (CFileHandoff::Send(files.files, m_options, &why)) {
                // The files are where the user wanted them: that is this start's success.
                printMessage(
                    QStringLiteral("the running copy opens %1.").arg(files.files.join(QStringLiteral(", "))));
                m_exitCode = 0;
                return false;
            } else {
                printMessage(
                    QStringLiteral("the files could not be handed to the running copy: %1").arg(why));
            }
        }
        endEarly(QStringLiteral("another copy of Tetrav is already running (lock file %1).")
                     .arg(QDir::toNativeSeparators(CSingleInstance::LockPath(InstanceName()))));
        return false;
    }

    // Sockets need no start-up on this platform.

    const CommandLineFiles files = SelectCommandLineFiles(m_arguments);
    for (const QString& message : files.messages) {
        printMessage(message);
    }

    // 3. Keep the display awake while the main window runs.
    installSignalHandlers();
    m_displayPower.SwitchOff();

    // 4. The main window, run modally; the program lives as long as it does.
    if (!m_terminationRequested && m_runMainWindow) {
        m_mainWindowRunning = true;
        m_runMainWindow(files.files);
        m_mainWindowRunning = false;
    }
    return false;
}

int CTetravApp::ExitInstance() {
    m_displayPower.Restore();
    removeSignalHandlers();
    return m_exitCode;
}

CTetravApp::CommandLineFiles CTetravApp::SelectCommandLineFiles(const QStringList& arguments) {
    CommandLineFiles result;
    const QStringList extra = arguments.mid(4);
    for (const QString& argument : arguments.mid(0, 4)) {
        // By the name's own bytes: names need not be UTF-8.
        const FileName::Kind kind = FileName::KindOf(argument);
        const int pane = int(result.files.size()) + 1;
        const QString shown = FileName::Shown(argument);
        result.files << QString();
        // A dangling symbolic link does not exist either; folders, pipes and devices are no files.
        if (kind == FileName::Kind::Missing) {
            result.messages << QStringLiteral("%1: no such file; pane %2 stays empty.").arg(shown).arg(pane);
        } else if (kind != FileName::Kind::File) {
            result.messages << QStringLiteral("%1: not a file; pane %2 stays empty.").arg(shown).arg(pane);
        } else {
            result.files.last() = QFileInfo(argument).absoluteFilePath(); // string work only
        }
    }
    if (!extra.isEmpty()) {
        result.messages << QStringLiteral("at most four videos play at once; not opened: %1.")
                               .arg(extra.join(QStringLiteral(", ")));
    }
    return result;
}

void CTetravApp::installSignalHandlers() {
    if (g_signalPipe[0] >= 0) {
        return;
    }
    if (::pipe2(g_signalPipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        g_signalPipe[0] = g_signalPipe[1] = -1;
        return;
    }
    m_signalNotifier = new QSocketNotifier(g_signalPipe[0], QSocketNotifier::Read, this);
    connect(m_signalNotifier, &QSocketNotifier::activated, this, &CTetravApp::onTerminationSignal);
    struct sigaction action = {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int signo : kHandledSignals) {
        ::sigaction(signo, &action, nullptr);
    }
}

void CTetravApp::removeSignalHandlers() {
    if (g_signalPipe[0] < 0) {
        return;
    }
    for (int signo : kHandledSignals) {
        std::signal(signo, SIG_DFL);
    }
    delete m_signalNotifier;
    m_signalNotifier = nullptr;
    ::close(g_signalPipe[0]);
    ::close(g_signalPipe[1]);
    g_signalPipe[0] = g_signalPipe[1] = -1;
}

void CTetravApp::onTerminationSignal() {
    char bytes[16];
    while (::read(g_signalPipe[0], bytes, sizeof bytes) > 0) {
    }
    m_terminationRequested = true;
    closeModalWindows();
    // The main window may not be up yet (or may be between dialogs): try again until it ends.
    if (!m_closeRetry) {
        m_closeRetry = new QTimer(this);
        m_closeRetry->setInterval(100);
        connect(m_closeRetry, &QTimer::timeout, this, [this] {
            if (m_mainWindowRunning) {
                closeModalWindows();
            } else {
                m_closeRetry->stop();
            }
        });
    }
    m_closeRetry->start();
}

void CTetravApp::closeModalWindows() {
    // Innermost first, so each modal loop returns to the one below it, down to the main window.
    for (int guard = 0; guard < 32; ++guard) {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal) {
            for (QWidget* window : QApplication::topLevelWidgets()) {
                if (window->isVisible()) {
                    window->close();
                }
            }
            break;
        }
        if (auto* dialog = qobject_cast<QDialog*>(modal)) {
            dialog->reject();
        } else {
            modal->close();
        }
        if (QApplication::activeModalWidget() == modal) {
            break; // it refused to close; the retry timer asks again
        }
    }
}
