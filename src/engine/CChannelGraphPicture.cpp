// The channel's picture: snapshots, frame statistics and the picture widget.
#include "engine/BmpFile.h"
#include "engine/CChannelGraph.h"
#include "engine/ChannelGraphImpl.h"

#include <gst/video/video.h>

#include <QWidget>

#include <cstdint>

CChannelGraph::SnapshotResult CChannelGraph::SnapshotBitmap(const QString& path) {
    if (!d->hasPipeline() || !d->video) {
        return SnapshotResult::NoPicture;
    }
    GstSampleRef frame = d->video->currentNativeFrame();
    if (!frame) {
        return SnapshotResult::NoPicture;
    }
    GstCapsRef want(gst_caps_new_simple("video/x-raw", "format", G_TYPE_STRING, "BGR", "pixel-aspect-ratio",
                                        GST_TYPE_FRACTION, 1, 1, nullptr));
    GError* raw = nullptr;
    GstSampleRef bgr(gst_video_convert_sample(frame.get(), want.get(), 2 * GST_SECOND, &raw));
    GErrorRef error(raw);
    GstVideoInfo info;
    if (!bgr || !gst_video_info_from_caps(&info, gst_sample_get_caps(bgr.get()))) {
        return SnapshotResult::NoPicture;
    }
    GstVideoFrame mapped;
    if (!gst_video_frame_map(&mapped, &info, gst_sample_get_buffer(bgr.get()), GST_MAP_READ)) {
        return SnapshotResult::NoPicture;
    }
    const bool ok = WriteBmp24(path, static_cast<const std::uint8_t*>(GST_VIDEO_FRAME_PLANE_DATA(&mapped, 0)),
                               info.width, info.height, GST_VIDEO_FRAME_PLANE_STRIDE(&mapped, 0));
    gst_video_frame_unmap(&mapped);
    return ok ? SnapshotResult::Written : SnapshotResult::CannotWrite;
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

QWidget* CChannelGraph::VideoWidget() const {
    return d->video ? d->video->widget() : nullptr;
}

void CChannelGraph::HoldPicture(bool hold) {
    if (d->video) {
        d->video->setHold(hold);
    }
}

void CChannelGraph::DimPicture(bool dim) {
    if (d->video) {
        d->video->setDim(dim);
    }
}
