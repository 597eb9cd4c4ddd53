#include "engine/CPictureScaler.h"

extern "C" {
#include <libswscale/swscale.h>
}

#include <iterator>

namespace {

struct FormatPair {
    GstVideoFormat gst;
    AVPixelFormat av;
};
// The decoders' formats and the same layout in libswscale's names. YV12 is I420 with its chroma
// planes swapped: the planes are handed over by component, Y, U, V.
constexpr FormatPair kFormats[] = {
    {GST_VIDEO_FORMAT_I420, AV_PIX_FMT_YUV420P},
    {GST_VIDEO_FORMAT_YV12, AV_PIX_FMT_YUV420P},
    {GST_VIDEO_FORMAT_NV12, AV_PIX_FMT_NV12},
    {GST_VIDEO_FORMAT_NV21, AV_PIX_FMT_NV21},
    {GST_VIDEO_FORMAT_Y42B, AV_PIX_FMT_YUV422P},
    {GST_VIDEO_FORMAT_Y444, AV_PIX_FMT_YUV444P},
    {GST_VIDEO_FORMAT_Y41B, AV_PIX_FMT_YUV411P},
    {GST_VIDEO_FORMAT_YUY2, AV_PIX_FMT_YUYV422},
    {GST_VIDEO_FORMAT_UYVY, AV_PIX_FMT_UYVY422},
    {GST_VIDEO_FORMAT_GRAY8, AV_PIX_FMT_GRAY8},
    {GST_VIDEO_FORMAT_I420_10LE, AV_PIX_FMT_YUV420P10LE},
    {GST_VIDEO_FORMAT_I422_10LE, AV_PIX_FMT_YUV422P10LE},
    {GST_VIDEO_FORMAT_Y444_10LE, AV_PIX_FMT_YUV444P10LE},
    {GST_VIDEO_FORMAT_P010_10LE, AV_PIX_FMT_P010LE},
    {GST_VIDEO_FORMAT_BGRx, AV_PIX_FMT_BGR0},
    {GST_VIDEO_FORMAT_RGBx, AV_PIX_FMT_RGB0},
    {GST_VIDEO_FORMAT_BGRA, AV_PIX_FMT_BGRA},
    {GST_VIDEO_FORMAT_RGBA, AV_PIX_FMT_RGBA},
    {GST_VIDEO_FORMAT_RGB, AV_PIX_FMT_RGB24},
    {GST_VIDEO_FORMAT_BGR, AV_PIX_FMT_BGR24},
};

AVPixelFormat AvFormatOf(GstVideoFormat format) {
    for (const FormatPair& f : kFormats) {
        if (f.gst == format) {
            return f.av;
        }
    }
    return AV_PIX_FMT_NONE;
}

// libswscale's coefficients for a stream's colour matrix; unknown matrices as GStreamer assumes
// them for the frame's size (BT.709 from 720 lines up).
int SwsColourSpace(const GstVideoInfo& info) {
    switch (info.colorimetry.matrix) {
    case GST_VIDEO_COLOR_MATRIX_BT709:
        return SWS_CS_ITU709;
    case GST_VIDEO_COLOR_MATRIX_BT601:
        return SWS_CS_ITU601;
    case GST_VIDEO_COLOR_MATRIX_FCC:
        return SWS_CS_FCC;
    case GST_VIDEO_COLOR_MATRIX_SMPTE240M:
        return SWS_CS_SMPTE240M;
    case GST_VIDEO_COLOR_MATRIX_BT2020:
        return SWS_CS_BT2020;
    default:
        return info.height >= 720 ? SWS_CS_ITU709 : SWS_CS_ITU601;
    }
}

// Smaller pictures (the usual case in a 2 x 2 grid) average the source pixels each one covers;
// larger ones are interpolated between the nearest two (libswscale's area filter does both).
constexpr int kScaleMethod = SWS_AREA;

} // namespace

CPictureScaler::~CPictureScaler() {
    sws_freeContext(m_context);
    if (m_pool) {
        gst_buffer_pool_set_active(m_pool.get(), FALSE);
    }
}

GstCapsRef CPictureScaler::InputCaps() {
    GstCapsRef caps(gst_caps_new_empty_simple("video/x-raw"));
    GValue list = G_VALUE_INIT;
    GValue name = G_VALUE_INIT;
    g_value_init(&list, GST_TYPE_LIST);
    g_value_init(&name, G_TYPE_STRING);
    for (const FormatPair& f : kFormats) {
        g_value_set_static_string(&name, gst_video_format_to_string(f.gst));
        gst_value_list_append_value(&list, &name);
    }
    gst_caps_set_value(caps.get(), "format", &list);
    g_value_unset(&name);
    g_value_unset(&list);
    return caps;
}

bool CPictureScaler::preparePool(QSize size, const GstVideoInfo& in) {
    if (m_pool && size == m_poolSize) {
        return true;
    }
    if (m_pool) {
        // Pictures still out go back to the old pool and are freed there; the pool with them.
        gst_buffer_pool_set_active(m_pool.get(), FALSE);
        m_pool.reset();
    }
    m_caps.reset(gst_caps_new_simple("video/x-raw", "format", G_TYPE_STRING, "BGRx", "width", G_TYPE_INT,
                                     size.width(), "height", G_TYPE_INT, size.height(), "pixel-aspect-ratio",
                                     GST_TYPE_FRACTION, 1, 1, "framerate", GST_TYPE_FRACTION,
                                     GST_VIDEO_INFO_FPS_N(&in), GST_VIDEO_INFO_FPS_D(&in), nullptr));
    GstVideoInfo out;
    if (!gst_video_info_from_caps(&out, m_caps.get())) {
        m_caps.reset();
        return false;
    }
    GstBufferPoolRef pool(gst_video_buffer_pool_new());
    GstStructure* config = gst_buffer_pool_get_config(pool.get());
    gst_buffer_pool_config_set_params(config, m_caps.get(), guint(GST_VIDEO_INFO_SIZE(&out)), m_poolPictures,
                                      0);
    gst_buffer_pool_config_add_option(config, GST_BUFFER_POOL_OPTION_VIDEO_META);
    // Rows start on 32-byte boundaries, as the scaler's vector code wants them.
    GstVideoAlignment align;
    gst_video_alignment_reset(&align);
    align.stride_align[0] = 31;
    gst_buffer_pool_config_add_option(config, GST_BUFFER_POOL_OPTION_VIDEO_ALIGNMENT);
    gst_buffer_pool_config_set_video_alignment(config, &align);
    if (!gst_buffer_pool_set_config(pool.get(), config) || !gst_buffer_pool_set_active(pool.get(), TRUE)) {
        m_caps.reset();
        return false;
    }
    m_pool = std::move(pool);
    m_poolSize = size;
    return true;
}

bool CPictureScaler::prepareContext(const GstVideoInfo& in, QSize size) {
    const AVPixelFormat format = AvFormatOf(GST_VIDEO_INFO_FORMAT(&in));
    if (format == AV_PIX_FMT_NONE) {
        return false;
    }
    m_context = sws_getCachedContext(m_context, GST_VIDEO_INFO_WIDTH(&in), GST_VIDEO_INFO_HEIGHT(&in), format,
                                     size.width(), size.height(), AV_PIX_FMT_BGR0, kScaleMethod, nullptr,
                                     nullptr, nullptr);
    if (!m_context) {
        m_detailsFor = nullptr;
        return false;
    }
    if (GST_VIDEO_INFO_IS_YUV(&in) &&
        (m_detailsFor != m_context || !gst_video_colorimetry_is_equal(&m_detailsColour, &in.colorimetry))) {
        const int* from = sws_getCoefficients(SwsColourSpace(in));
        const int fullRange = in.colorimetry.range == GST_VIDEO_COLOR_RANGE_0_255 ? 1 : 0;
        sws_setColorspaceDetails(m_context, from, fullRange, sws_getCoefficients(SWS_CS_DEFAULT), 1, 0,
                                 1 << 16, 1 << 16);
        m_detailsColour = in.colorimetry;
        m_detailsFor = m_context;
    }
    return true;
}

GstBufferRef CPictureScaler::scale(GstBuffer* frame, const GstVideoInfo& info, QSize size) {
    if (!frame || size.width() < 1 || size.height() < 1 || !prepareContext(info, size) ||
        !preparePool(size, info)) {
        return nullptr;
    }
    GstBuffer* raw = nullptr;
    if (gst_buffer_pool_acquire_buffer(m_pool.get(), &raw, nullptr) != GST_FLOW_OK || !raw) {
        return nullptr;
    }
    GstBufferRef picture(raw);
    GstVideoInfo out;
    GstVideoFrame source;
    GstVideoFrame dest;
    if (!gst_video_info_from_caps(&out, m_caps.get())) {
        return nullptr;
    }
    if (!gst_video_frame_map(&source, &info, frame, GST_MAP_READ)) {
        return nullptr;
    }
    if (!gst_video_frame_map(&dest, &out, picture.get(), GST_MAP_WRITE)) {
        gst_video_frame_unmap(&source);
        return nullptr;
    }
    const uint8_t* planes[4] = {};
    int strides[4] = {};
    const bool byComponent = GST_VIDEO_INFO_N_PLANES(&info) == 3 && GST_VIDEO_INFO_N_COMPONENTS(&info) == 3;
    const guint n = byComponent ? 3u : GST_VIDEO_INFO_N_PLANES(&info);
    for (guint i = 0; i < n && i < std::size(planes); ++i) {
        planes[i] = static_cast<const uint8_t*>(byComponent ? GST_VIDEO_FRAME_COMP_DATA(&source, i)
                                                            : GST_VIDEO_FRAME_PLANE_DATA(&source, i));
        strides[i] =
            byComponent ? GST_VIDEO_FRAME_COMP_STRIDE(&source, i) : GST_VIDEO_FRAME_PLANE_STRIDE(&source, i);
    }
    uint8_t* target[4] = {static_cast<uint8_t*>(GST_VIDEO_FRAME_PLANE_DATA(&dest, 0))};
    int targetStrides[4] = {GST_VIDEO_FRAME_PLANE_STRIDE(&dest, 0)};
    const int lines =
        sws_scale(m_context, planes, strides, 0, GST_VIDEO_INFO_HEIGHT(&info), target, targetStrides);
    gst_video_frame_unmap(&dest);
    gst_video_frame_unmap(&source);
    if (lines <= 0) {
        return nullptr;
    }
    gst_buffer_copy_into(picture.get(), frame, GST_BUFFER_COPY_TIMESTAMPS, 0, gsize(-1));
    return picture;
}
