#include "platform/CDisplayWatchdog.h"

#include <X11/Xlib.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

extern char** environ;

namespace {

bool g_enabled = false;
constexpr int kChildPipeFd = 3;
constexpr char kRestoredByte = 'R';

void closeFd(int& fd) {
    if (fd >= 0) {
        ::close(fd);
        fd = -1;
    }
}

} // namespace

void CDisplayWatchdog::SetEnabled(bool enabled) {
    g_enabled = enabled;
}
bool CDisplayWatchdog::IsEnabled() {
    return g_enabled;
}

CDisplayWatchdog::~CDisplayWatchdog() {
    Finish();
}

bool CDisplayWatchdog::Start(const QByteArray& displayName, const CX11DisplayState& found) {
    if (!g_enabled || m_pid > 0) {
        return false;
    }
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) {
        return false;
    }
    int readFd = fds[0];
    m_writeFd = fds[1];
    if (readFd == kChildPipeFd) {
        // dup2 onto the same number would keep close-on-exec set.
        const int moved = ::fcntl(readFd, F_DUPFD_CLOEXEC, 10);
        ::close(readFd);
        readFd = moved;
    }
    posix_spawn_file_actions_t actions;
    posix_spawnattr_t attr;
    posix_spawn_file_actions_init(&actions);
    posix_spawnattr_init(&attr);
    posix_spawn_file_actions_adddup2(&actions, readFd, kChildPipeFd);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    // Its own process group: a Ctrl+C in the terminal goes to the program, which restores.
    sigset_t none, defaults;
    sigemptyset(&none);
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGTERM);
    sigaddset(&defaults, SIGINT);
    sigaddset(&defaults, SIGHUP);
    sigaddset(&defaults, SIGPIPE);
    posix_spawnattr_setpgroup(&attr, 0);
    posix_spawnattr_setsigmask(&attr, &none);
    posix_spawnattr_setsigdefault(&attr, &defaults);
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);

    // The program's own file, so the child shows under the program's name.
    char self[4096];
    const ssize_t len = ::readlink("/proc/self/exe", self, sizeof self - 1);
    QByteArray exe = len > 0 ? QByteArray(self, len) : QByteArray("/proc/self/exe");
    QByteArray arg(kArgument);
    QByteArray name = displayName;
    QByteArray state = found.Serialize();
    char* argv[] = {exe.data(), arg.data(), name.data(), state.data(), nullptr};
    pid_t pid = -1;
    const int rc = posix_spawn(&pid, exe.constData(), &actions, &attr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attr);
    closeFd(readFd);
    if (rc != 0) {
        closeFd(m_writeFd);
        return false;
    }
    m_pid = pid;
    return true;
}

void CDisplayWatchdog::Finish() {
    if (m_writeFd >= 0) {
        ssize_t n;
        do {
            n = ::write(m_writeFd, &kRestoredByte, 1);
        } while (n < 0 && errno == EINTR);
        closeFd(m_writeFd);
    }
    if (m_pid > 0) {
        // The child ends as soon as it reads the byte; give it up to two seconds.
        for (int i = 0; i < 200; ++i) {
            const pid_t r = ::waitpid(m_pid, nullptr, WNOHANG);
            if (r == m_pid || (r < 0 && errno != EINTR)) {
                m_pid = -1;
                return;
            }
            const timespec tick{0, 10 * 1000 * 1000};
            ::nanosleep(&tick, nullptr);
        }
        m_pid = -1; // left to init to reap
    }
}

int CDisplayWatchdog::RunChild(int argc, char** argv) {
    std::signal(SIGINT, SIG_IGN);
    std::signal(SIGHUP, SIG_IGN);
    if (argc < 4) {
        return 2;
    }
    CX11DisplayState found;
    struct stat pipeInfo = {};
    if (!CX11DisplayState::Deserialize(QByteArray(argv[3]), found) || ::fstat(kChildPipeFd, &pipeInfo) != 0 ||
        !S_ISFIFO(pipeInfo.st_mode)) {
        return 2; // not started by the program
    }
    char byte = 0;
    ssize_t n;
    do {
        n = ::read(kChildPipeFd, &byte, 1);
    } while (n < 0 && errno == EINTR);
    if (n == 1 && byte == kRestoredByte) {
        return 0;
    }
    // The program ended without restoring: do it here.
    Display* display = XOpenDisplay(argv[2][0] ? argv[2] : nullptr);
    if (!display) {
        return 1;
    }
    found.RestoreWhereStillOff(display);
    XCloseDisplay(display);
    return 0;
}
