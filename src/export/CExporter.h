#pragma once
// Exports a set as one video: every output frame shows, in each quarter, the picture its pane
// shows at the same instant of the reference's time (offsets applied), as the panes sit on
// screen (1 top left, 2 bottom left, 3 top right, 4 bottom right). The frames follow the
// reference's frame rate from the in mark's own picture, their count exactly the interval's.
// Written under a temporary name beside the file and renamed when complete: a cancel or a
// failure leaves nothing behind. Runs on the calling thread; the decoding and the encoding run
// on GStreamer's threads beside it.
#include "export/ExportJob.h"

#include <QString>
#include <QStringList>

#include <atomic>
#include <cstdint>
#include <functional>

struct ExportResult {
    enum class Status { Done, Cancelled, Failed };
    Status status = Status::Failed;
    QString message;         // why it failed; empty when done
    QStringList notes;       // what the finished file lacks (a pane whose file broke midway)
    std::int64_t frames = 0; // frames written
};

class CExporter {
public:
    using Progress = std::function<void(std::int64_t done, std::int64_t total)>;

    static ExportResult Run(const ExportJob& job, const std::atomic<bool>& cancel, const Progress& progress);

    // Why the file cannot be written as asked ("" when it can): a folder, an existing file
    // without leave to replace it, a folder that does not exist.
    static QString CheckOutput(const QString& output, bool overwrite);
    // "hh:mm:ss.mmm"
    static QString TimeText(double seconds);
};
