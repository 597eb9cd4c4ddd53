#include "export/ExportCommand.h"

#include "export/CExporter.h"
#include "platform/FileName.h"

#include <atomic>
#include <csignal>
#include <cstdio>

namespace {

std::atomic<bool> g_cancel{false};
static_assert(std::atomic<bool>::is_always_lock_free, "the signal handler sets it");

extern "C" void CancelOnSignal(int) {
    g_cancel.store(true);
}

void Say(const QString& text) {
    std::fprintf(stderr, "Tetrav: %s\n", text.toLocal8Bit().constData());
    std::fflush(stderr);
}

} // namespace

int ExportCommand::Run(const ExportJob& job) {
    struct sigaction action {};
    action.sa_handler = &CancelOnSignal;
    sigemptyset(&action.sa_mask);
    ::sigaction(SIGINT, &action, nullptr);
    ::sigaction(SIGTERM, &action, nullptr);
    ::sigaction(SIGHUP, &action, nullptr);

    int shown = -1;
    const ExportResult result =
        CExporter::Run(job, g_cancel, [&shown](std::int64_t done, std::int64_t total) {
            // A line every 5 %: 20 lines for the whole export.
            const int percent = int(done * 100 / total);
            if (percent / 5 != shown / 5 || done == total) {
                shown = percent;
                std::fprintf(stderr, "Tetrav: exporting %3d%% (%lld/%lld frames)\n", percent,
                             static_cast<long long>(done), static_cast<long long>(total));
                std::fflush(stderr);
            }
        });
    switch (result.status) {
    case ExportResult::Status::Done:
        for (const QString& note : result.notes) {
            Say(QStringLiteral("warning: ") + note);
        }
        Say(QStringLiteral("exported %1 frames to %2").arg(result.frames).arg(FileName::Shown(job.output)));
        return 0;
    case ExportResult::Status::Cancelled:
        Say(QStringLiteral("export cancelled; nothing was written"));
        return 1;
    case ExportResult::Status::Failed:
        break;
    }
    Say(QStringLiteral("export failed: ") + result.message);
    return 1;
}
