// The channel's picture: snapshots, frame statistics and the picture widget.
#include "engine/BmpFile.h"
#include "engine/FrameImage.h"
#include "engine/GstChannel.h"
#include "engine/GstChannelImpl.h"

#include <QImage>
#include <QWidget>

#include <algorithm>
#include <cstdint>
#include <cstdio>

IChannel::SnapshotResult GstChannel::SnapshotBitmap(const QString& path, QString* why) {
    if (!d->hasPipeline() || !d->video) {
        return SnapshotResult::NoPicture;
    }
    GstSampleRef frame = d->video->currentNativeFrame();
    const QImage image = BgrFrameImage(frame.get());
    if (image.isNull()) {
        return SnapshotResult::NoPicture;
    }
    const bool ok =
        WriteBmp24(path, image.constBits(), image.width(), image.height(), int(image.bytesPerLine()), why);
    return ok ? SnapshotResult::Written : SnapshotResult::CannotWrite;
}

bool GstChannel::GetShownPictures(ShownPicture& now, ShownPicture& before) const {
    now = {};
    before = {};
    CVideoOutput::ShownFrame shown;
    CVideoOutput::ShownFrame previous;
    if (!d->hasPipeline() || !d->video || !d->video->shownFrames(shown, previous)) {
        return false;
    }
    const auto take = [this](CVideoOutput::ShownFrame& from, ShownPicture& to) {
        if (from.frame) {
            to.frame = std::shared_ptr<GstSample>(from.frame.release(), GstMiniObjectUnref());
        }
        if (from.streamNs >= 0) {
            gint64 pos = std::max<gint64>(0, from.streamNs - d->startOffsetNs);
            if (d->durationNs > 0) {
                pos = std::min(pos, d->durationNs);
            }
            to.seconds = double(pos) / double(kNsPerSecond);
        }
    };
    take(shown, now);
    take(previous, before);
    return bool(now.frame);
}

IChannel::FrameStats GstChannel::GetFrameStats() const {
    FrameStats stats;
    if (!d->video) {
        return stats;
    }
    quint64 sinkDropped = 0;
    d->video->sinkStats(stats.rendered, sinkDropped);
    // The sink's own drops come back as its QoS messages too; count each element once.
    stats.dropped = sinkDropped;
    for (const auto& [element, dropped] : d->qosDropped) {
        if (element != QLatin1String("picture")) {
            stats.dropped += dropped;
        }
    }
    if (d->video->firstPaintUs() > 0 && d->renderStartUs > 0) {
        stats.firstFrameUs = d->video->firstPaintUs() - d->renderStartUs;
    }
    return stats;
}

void GstChannel::ReportFrameStats() const {
    if (!d->hasPipeline() || !d->opened || qEnvironmentVariableIsEmpty("TETRAV_FRAME_STATS")) {
        return;
    }
    const FrameStats stats = GetFrameStats();
    std::fprintf(stderr, "tetrav-frames: %s rendered %llu dropped %llu\n", qPrintable(d->renderPath),
                 stats.rendered, stats.dropped);
}

QWidget* GstChannel::VideoWidget() const {
    return d->video ? d->video->widget() : nullptr;
}

void GstChannel::HoldPicture(bool hold) {
    if (d->video) {
        d->video->setHold(hold);
    }
}

void GstChannel::ShowPaneInfo(const PaneInfo& info) {
    if (!d->video) {
        return;
    }
    PaneInfo own = info;
    own.startNs = d->startOffsetNs;
    own.durationNs = std::max<qint64>(0, d->durationNs);
    d->video->setInfo(own);
}

void GstChannel::GatePictures(double seconds) {
    if (d->video) {
        d->video->setGate(seconds < 0.0 ? -1 : gint64(seconds * double(GST_SECOND)) + d->startOffsetNs);
    }
}

void GstChannel::DimPicture(bool dim) {
    if (d->video) {
        d->video->setDim(dim);
    }
}
