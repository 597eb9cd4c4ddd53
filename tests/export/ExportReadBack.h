#pragma once
// An exported file read back with GStreamer: for every frame, the frame number each quarter
// shows (the test clips draw it in bit cells along their bottom edge), or that it is black.
#include "support/FrameIndex.h"

#include <gst/app/gstappsink.h>
#include <gst/gst.h>
#include <gst/video/video.h>

#include <QImage>
#include <QSize>
#include <QString>

#include <array>
#include <utility>
#include <vector>

namespace exporttest {

constexpr int kBlack = -2; // a quarter showing no picture

struct ReadBack {
    bool ok = false;
    QSize size;
    int rateNum = 0;
    int rateDen = 1;
    bool sound = false;
    std::vector<std::array<int, 4>> frames; // per frame, pane 1..4: the number, -1 unreadable, kBlack
};

// The sound (if any) is noted and dropped.
inline void DropSound(GstElement*, GstPad* pad, gpointer data) {
    GstCaps* caps = gst_pad_query_caps(pad, nullptr);
    const bool audio = g_str_has_prefix(gst_structure_get_name(gst_caps_get_structure(caps, 0)), "audio/");
    gst_caps_unref(caps);
    if (!audio) {
        return;
    }
    auto* context = static_cast<std::pair<ReadBack*, GstElement*>*>(data);
    context->first->sound = true;
    GstElement* sink = gst_element_factory_make("fakesink", nullptr);
    g_object_set(sink, "sync", FALSE, "async", FALSE, nullptr);
    gst_bin_add(GST_BIN(context->second), sink);
    gst_element_sync_state_with_parent(sink);
    GstPad* sinkPad = gst_element_get_static_pad(sink, "sink");
    gst_pad_link(pad, sinkPad);
    gst_object_unref(sinkPad);
}

// source: the clips' picture size (all 4:3 here).
inline ReadBack ReadExport(const QString& path, QSize source = QSize(320, 240)) {
    ReadBack r;
    const QString description =
        QStringLiteral("filesrc name=src ! decodebin name=d d. ! queue ! videoconvert ! "
                       "video/x-raw,format=BGRx ! appsink name=pictures sync=false");
    GError* error = nullptr;
    GstElement* pipeline = gst_parse_launch(description.toUtf8().constData(), &error);
    if (error || pipeline == nullptr) {
        g_clear_error(&error);
        return r;
    }
    GstElement* src = gst_bin_get_by_name(GST_BIN(pipeline), "src");
    g_object_set(src, "location", path.toLocal8Bit().constData(), nullptr);
    gst_object_unref(src);
    std::pair<ReadBack*, GstElement*> context{&r, pipeline};
    GstElement* decoder = gst_bin_get_by_name(GST_BIN(pipeline), "d");
    g_signal_connect(decoder, "pad-added", G_CALLBACK(&DropSound), &context);
    gst_object_unref(decoder);
    GstElement* sink = gst_bin_get_by_name(GST_BIN(pipeline), "pictures");
    gst_element_set_state(pipeline, GST_STATE_PLAYING);
    while (GstSample* sample = gst_app_sink_try_pull_sample(GST_APP_SINK(sink), 20 * GST_SECOND)) {
        GstVideoInfo info;
        gst_video_info_from_caps(&info, gst_sample_get_caps(sample));
        r.size = QSize(info.width, info.height);
        r.rateNum = info.fps_n;
        r.rateDen = info.fps_d;
        GstMapInfo map;
        GstBuffer* buffer = gst_sample_get_buffer(sample);
        gst_buffer_map(buffer, &map, GST_MAP_READ);
        const QImage image(map.data, info.width, info.height, int(GST_VIDEO_INFO_PLANE_STRIDE(&info, 0)),
                           QImage::Format_RGB32);
        std::array<int, 4> numbers{};
        for (int k = 0; k < 4; ++k) {
            const QRect quarter((k / 2) * info.width / 2, (k % 2) * info.height / 2, info.width / 2,
                                info.height / 2);
            const QRect picture = enginetest::fittedRect(source, quarter);
            // The clips' background is dark blue, never black.
            const QRgb corner = image.pixel(picture.topLeft() + QPoint(4, 4));
            numbers[std::size_t(k)] = qRed(corner) + qGreen(corner) + qBlue(corner) < 40
                                          ? kBlack
                                          : enginetest::frameNumberIn(image, picture, source.height());
        }
        r.frames.push_back(numbers);
        gst_buffer_unmap(buffer, &map);
        gst_sample_unref(sample);
    }
    r.ok = gst_app_sink_is_eos(GST_APP_SINK(sink));
    gst_object_unref(sink);
    gst_element_set_state(pipeline, GST_STATE_NULL);
    gst_object_unref(pipeline);
    return r;
}

} // namespace exporttest
