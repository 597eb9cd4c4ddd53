#include "engine/FrameImage.h"

#include "engine/GstRef.h"

#include <gst/video/video.h>

QImage ScaledFrameImage(GstSample* frame, QSize size) {
    GstBuffer* buffer = frame ? gst_sample_get_buffer(frame) : nullptr;
    GstCaps* caps = frame ? gst_sample_get_caps(frame) : nullptr;
    GstVideoInfo in;
    if (!buffer || !caps || size.isEmpty() || !gst_video_info_from_caps(&in, caps)) {
        return {};
    }
    QImage image(size, QImage::Format_RGB32);
    if (image.isNull()) {
        return {};
    }
    // QImage's RGB32 is B, G, R, x in memory on a little-endian machine, and its rows are padded
    // to 4 bytes as BGRx rows are: the converter writes straight into the image.
    GstVideoInfo out;
    gst_video_info_set_format(&out,
                              G_BYTE_ORDER == G_LITTLE_ENDIAN ? GST_VIDEO_FORMAT_BGRx : GST_VIDEO_FORMAT_xRGB,
                              guint(size.width()), guint(size.height()));
    // The converter takes no change of frame rate.
    GST_VIDEO_INFO_FPS_N(&out) = GST_VIDEO_INFO_FPS_N(&in);
    GST_VIDEO_INFO_FPS_D(&out) = GST_VIDEO_INFO_FPS_D(&in);
    if (GST_VIDEO_INFO_PLANE_STRIDE(&out, 0) != image.bytesPerLine()) {
        return {};
    }
    const gsize bytes = gsize(image.sizeInBytes());
    GstBufferRef target(
        gst_buffer_new_wrapped_full(GstMemoryFlags(0), image.bits(), bytes, 0, bytes, nullptr, nullptr));
    GstVideoFrame source;
    GstVideoFrame dest;
    if (!gst_video_frame_map(&source, &in, buffer, GST_MAP_READ)) {
        return {};
    }
    if (!gst_video_frame_map(&dest, &out, target.get(), GST_MAP_WRITE)) {
        gst_video_frame_unmap(&source);
        return {};
    }
    // Two threads: a frame of 1920 x 1080 takes about as long as one of the pipeline's own.
    GstVideoConverter* converter = gst_video_converter_new(
        &in, &out, gst_structure_new("config", GST_VIDEO_CONVERTER_OPT_THREADS, G_TYPE_UINT, 2u, nullptr));
    if (converter) {
        gst_video_converter_frame(converter, &source, &dest);
        gst_video_converter_free(converter);
    }
    gst_video_frame_unmap(&dest);
    gst_video_frame_unmap(&source);
    return converter ? image : QImage();
}

QImage BgrFrameImage(GstSample* frame) {
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
