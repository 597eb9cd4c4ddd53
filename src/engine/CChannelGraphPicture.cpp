// The channel's picture: snapshots, frame statistics and the picture widget.
#include "engine/BmpFile.h"
#include "engine/CChannelGraph.h"
#include "engine/ChannelGraphImpl.h"

#include <gst/video/video.h>

#include <QImage>
#include <QWidget>

#include <algorithm>
#include <cstdint>
#include <cstdio>

namespace {

// A decoded frame as B, G, R bytes with square pixels (the picture a snapshot holds).
QImage BgrImage(GstSample* frame) {
    if (!frame) {
        return {};
    }
    GstCapsRef want(gst_caps_new_simple("video/x-raw", "format", G_TYPE_STRING, "BGR", "pixel-aspect-ratio",
                                        GST_TYPE_FRACTION, 1, 1, nullptr));
    GError* raw = nullptr;
    GstSampleRef bgr(gst_video_convert_sample(frame, want.get(), 2 * GST_SECOND, &raw));
    GErrorRef error(raw);
    GstVideoInfo info;
    if (!bgr || !gst_video_info_from_caps(&info, gst_sample_get_caps(bgr.get()))) {
        return {};
    }
    GstVideoFrame mapped;
    if (!gst_video_frame_map(&mapped, &info, gst_sample_get_buffer(bgr.get()), GST_MAP_READ)) {
        return {};
    }
    const QImage image(static_cast<const uchar*>(GST_VIDEO_FRAME_PLANE_DATA(&mapped, 0)), info.width,
                       info.height, GST_VIDEO_FRAME_PLANE_STRIDE(&mapped, 0), QImage::Format_BGR888);
    QImage copy = image.copy();
    gst_video_frame_unmap(&mapped);
    return copy;
}

} // namespace

CChannelGraph::SnapshotResult CChannelGraph::SnapshotBitmap(const QString& path, QString* why) {
    if (!d->hasPipeline() || !d->video) {
        return SnapshotResult::NoPicture;
    }
    GstSampleRef frame = d->video->currentNativeFrame();
    const QImage image = BgrImage(frame.get());
    if (image.isNull()) {
        return SnapshotResult::NoPicture;
    }
    const bool ok =
        WriteBmp24(path, image.constBits(), image.width(), image.height(), int(image.bytesPerLine()), why);
    return ok ? SnapshotResult::Written : SnapshotResult::CannotWrite;
}

bool CChannelGraph::GetShownPictures(ShownPicture& now, ShownPicture& before) {
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

QImage CChannelGraph::PictureImage(const ShownPicture& picture) {
    return BgrImage(picture.frame.get());
}

CChannelGraph::FrameStats CChannelGraph::GetFrameStats() const {
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

void CChannelGraph::ReportFrameStats() const {
    if (!d->hasPipeline() || !d->opened || qEnvironmentVariableIsEmpty("TETRAV_FRAME_STATS")) {
        return;
    }
    const FrameStats stats = GetFrameStats();
    std::fprintf(stderr, "tetrav-frames: %s rendered %llu dropped %llu\n", qPrintable(d->renderPath),
                 stats.rendered, stats.dropped);
}

QWidget* CChannelGraph::VideoWidget() const {
    return d->video ? d->video->widget() : nullptr;
}

void CChannelGraph::HoldPicture(bool hold) {
    if (d->video) {
        d->video->setHold(hold);
    }
}

void CChannelGraph::ShowPaneInfo(const PaneInfo& info) {
    if (!d->video) {
        return;
    }
    PaneInfo own = info;
    own.startNs = d->startOffsetNs;
    own.durationNs = std::max<qint64>(0, d->durationNs);
    d->video->setInfo(own);
}

void CChannelGraph::GatePictures(double seconds) {
    if (d->video) {
        d->video->setGate(seconds < 0.0 ? -1 : gint64(seconds * double(GST_SECOND)) + d->startOffsetNs);
    }
}

void CChannelGraph::DimPicture(bool dim) {
    if (d->video) {
        d->video->setDim(dim);
    }
}
