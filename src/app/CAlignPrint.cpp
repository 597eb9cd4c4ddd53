#include "app/CAlignPrint.h"

#include "align/AlignReport.h"
#include "align/CAudioAligner.h"
#include "engine/CStreamProbe.h"
#include "platform/FileName.h"
#include "settings/CSettingsFile.h"

#include <QFileInfo>

#include <array>
#include <atomic>
#include <chrono>
#include <ctime>
#include <future>
#include <utility>

namespace {

// Resident memory now and at its peak (MB), from /proc/self/status.
std::pair<double, double> ResidentMegabytes() {
    double now = 0.0;
    double peak = 0.0;
    if (std::FILE* f = std::fopen("/proc/self/status", "r")) {
        char line[256];
        while (std::fgets(line, sizeof line, f) != nullptr) {
            long kb = 0;
            if (std::sscanf(line, "VmRSS: %ld kB", &kb) == 1) {
                now = double(kb) / 1024.0;
            } else if (std::sscanf(line, "VmHWM: %ld kB", &kb) == 1) {
                peak = double(kb) / 1024.0;
            }
        }
        std::fclose(f);
    }
    return {now, peak};
}

// Wall and processor seconds since start (TETRAV_ALIGN_TRACE=1 prints them for the bench).
void Trace(std::FILE* err, const char* phase, const std::chrono::steady_clock::time_point& start) {
    if (qEnvironmentVariableIsEmpty("TETRAV_ALIGN_TRACE")) {
        return;
    }
    const auto [now, peak] = ResidentMegabytes();
    std::fprintf(err, "trace: %s wall %.3f s cpu %.3f s rss %.1f MB peak %.1f MB\n", phase,
                 std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(),
                 double(std::clock()) / CLOCKS_PER_SEC, now, peak);
}

// The reference rule in force: --reference, else the settings file's (shortest by default).
bool ShortestIsReference(const RunOptions& options) {
    if (options.reference >= 0) {
        return options.reference == 1;
    }
    if (!CSettingsFile::Exists()) {
        return true;
    }
    return CSettingsFile::ToInt8(
               CSettingsFile::ReadEntry(QStringLiteral("MiniVideo"), QStringLiteral("MiniVideoNumber"))) == 1;
}

} // namespace

int CAlignPrint::Run(const QStringList& files, const RunOptions& options, std::FILE* out, std::FILE* err) {
    const auto start = std::chrono::steady_clock::now();
    const int count = int(std::min<qsizetype>(files.size(), 4));
    std::array<std::string, 4> uris;
    std::array<std::future<StreamFacts>, 4> facts;
    for (int k = 0; k < count; ++k) {
        const QString path = QFileInfo(files[k]).absoluteFilePath();
        uris[std::size_t(k)] = FileName::ToUri(path).toStdString();
        facts[std::size_t(k)] =
            std::async(std::launch::async, [path] { return CStreamProbe::Discover(path); });
    }
    // The reference: the shortest (or longest) of the files with a length, the first on a tie.
    const bool shortest = ShortestIsReference(options);
    int ref = -1;
    double refLength = 0.0;
    for (int k = 0; k < count; ++k) {
        const double length = facts[std::size_t(k)].get().duration;
        if (length > 0.0 && (ref < 0 || (shortest ? length < refLength : length > refLength))) {
            ref = k;
            refLength = length;
        }
    }
    if (ref < 0) {
        std::fprintf(err, "Tetrav: none of the files can be played.\n");
        return kNotAllAlignedExitCode;
    }

    Trace(err, "probed", start);
    const std::atomic<bool> cancel{false};
    const AlignResult result = CAudioAligner::Run(uris, ref, CAudioAligner::Options{}, cancel);
    Trace(err, "aligned", start);
    const double refOffset = options.offset[ref].value_or(0.0);
    bool all = true;
    for (int k = 0; k < count; ++k) {
        const PaneAlignment& pane = result.panes[std::size_t(k)];
        double offset = options.offset[k].value_or(0.0);
        if (pane.outcome == PaneAlignment::Outcome::Aligned) {
            offset = refOffset + pane.offset;
        } else if (pane.outcome != PaneAlignment::Outcome::Reference || !result.ReferenceHasSound()) {
            all = false;
            const QString why = k == ref ? QStringLiteral("it is the reference and %1; nothing was aligned")
                                               .arg(AlignReport::EnglishReason(pane.outcome))
                                         : AlignReport::EnglishReason(pane.outcome);
            std::fprintf(
                err, "Tetrav: pane %d (%s): %s%s.\n", k + 1,
                FileName::Shown(files[k]).toLocal8Bit().constData(),
                (why.isEmpty() ? QStringLiteral("the reference has no sound") : why)
                    .toLocal8Bit()
                    .constData(),
                pane.outcome == PaneAlignment::Outcome::NoMatch
                    ? QString::asprintf(" (confidence %.2f)", pane.confidence).toLocal8Bit().constData()
                    : "");
        }
        std::fprintf(out, "%.6f\n", offset);
    }
    std::fflush(out);
    return all ? 0 : kNotAllAlignedExitCode;
}
