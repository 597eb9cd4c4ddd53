#pragma once
// Where the tests find the project's clips, sources and the built program, and the one bounded
// wait every test uses.
#include <QByteArray>
#include <QString>

#include <functional>

class QProcess;

namespace tetrav::test {

// Folder of the clips made by scripts/make-clips.sh (TETRAV_CLIPS).
QString clipsDir();
// Full path of one clip in that folder, e.g. clip("h264_320x240_25.mp4").
QString clip(const QString& name);
// The project's source tree (TETRAV_SOURCE_DIR).
QString sourceDir();
// The built program (TETRAV_BINARY).
QString programPath();

// Runs the event loop until condition holds or timeoutMs passes, checking every pollMs;
// returns the condition's last value. WaitUntil([] { return false; }, ms) lets ms pass.
bool WaitUntil(const std::function<bool()>& condition, int timeoutMs = 20000, int pollMs = 10);

// Starts a helper daemon (killed with the test process, however that ends) and returns the first
// line it writes on standard output (its display number or bus address); empty when none comes.
QByteArray StartDaemon(QProcess& daemon, int timeoutMs = 15000);
// Ends a process: politely first, then for sure.
void StopProcess(QProcess& process);

} // namespace tetrav::test
