#pragma once
// Puts the display settings back when the program dies without doing so itself (killed,
// crashed). The program starts itself again as a small child process, holding the read end of
// a pipe; the parent writes one byte once it has restored the settings. When the pipe ends
// without that byte, the child opens its own X connection and puts back the settings found at
// start, but only those that are still as the program left them.
#include "platform/CX11DisplayState.h"

#include <QByteArray>

#include <sys/types.h>

class CDisplayWatchdog {
public:
    // The first argument that makes main() run the watchdog instead of the program.
    static constexpr const char* kArgument = "--tetrav-display-watchdog";

    // Only a program whose main() handles kArgument may start a watchdog.
    static void SetEnabled(bool enabled);
    static bool IsEnabled();

    CDisplayWatchdog() = default;
    ~CDisplayWatchdog(); // same as Finish()
    CDisplayWatchdog(const CDisplayWatchdog&) = delete;
    CDisplayWatchdog& operator=(const CDisplayWatchdog&) = delete;

    // Starts the child for the display named displayName, which had the settings found.
    bool Start(const QByteArray& displayName, const CX11DisplayState& found);
    // Tells the child the settings are back, and reaps it (bounded wait).
    void Finish();
    pid_t pid() const { return m_pid; }

    // The child's main: argv[1] is kArgument. Returns the exit code.
    static int RunChild(int argc, char** argv);

private:
    pid_t m_pid = -1;
    int m_writeFd = -1;
};
