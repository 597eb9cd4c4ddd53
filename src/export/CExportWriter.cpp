#include "export/CExportWriter.h"

#include "platform/CAtomicFile.h"
#include "platform/FileName.h"

#include <gst/app/gstappsrc.h>
#include <gst/video/video.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace {

constexpr GstClockTime kWaitSlice = 50 * GST_MSECOND;
constexpr int kFinishSlices = 1200; // 60 s for the encoder to drain and the muxer to close
constexpr guint kQueuedPictures = 3;

GstElement* Make(const char* factory, const char* name = nullptr) {
    return gst_element_factory_make(factory, name);
}

} // namespace

CExportWriter::~CExportWriter() {
    Abort();
}

bool CExportWriter::failWith(GstMessage* error, QString* why) {
    GError* parsed = nullptr;
    gchar* debug = nullptr;
    gst_message_parse_error(error, &parsed, &debug);
    *why = WriteErrorText(parsed, debug);
    g_clear_error(&parsed);
    g_free(debug);
    m_failed = true;
    return false;
}

QString CExportWriter::WriteErrorText(const GError* error, const char* debug) {
    if (error && error->domain == GST_RESOURCE_ERROR && error->code == GST_RESOURCE_ERROR_NO_SPACE_LEFT) {
        return CAtomicFile::ErrorText(ENOSPC);
    }
    // filesink names the system's error in its debug text only.
    const QByteArray details(debug ? debug : "");
    for (int code : {ENOSPC, EDQUOT, EFBIG, EIO, EROFS, EACCES}) {
        if (details.contains(std::strerror(code))) {
            return CAtomicFile::ErrorText(code);
        }
    }
    return error ? QString::fromUtf8(error->message) : QStringLiteral("写入失败");
}

bool CExportWriter::Open(const QString& file, QSize size, int rateNum, int rateDen, bool sound,
                         ExportJob::Container container, QString* why) {
    m_rateNum = rateNum;
    m_rateDen = rateDen;
    GstElement* pipeline = gst_pipeline_new("export-file");
    m_pipeline.reset(GST_ELEMENT(gst_object_ref_sink(pipeline)));
    m_video = Make("appsrc", "pictures");
    GstElement* encoder = Make("x264enc");
    GstElement* profile = Make("capsfilter");
    GstElement* parser = Make("h264parse");
    GstElement* mux = Make(container == ExportJob::Container::Mkv ? "matroskamux" : "mp4mux");
    GstElement* sink = Make("filesink");
    GstElement* soundConvert = sound ? Make("audioconvert") : nullptr;
    GstElement* soundEncoder = sound ? Make("avenc_aac") : nullptr;
    if (sound && !soundEncoder) {
        soundEncoder = Make("voaacenc");
    }
    m_sound = sound ? Make("appsrc", "sound") : nullptr;
    if (!m_video || !encoder || !profile || !parser || !mux || !sink ||
        (sound && (!soundConvert || !soundEncoder || !m_sound))) {
        for (GstElement* e :
             {m_video, encoder, profile, parser, mux, sink, soundConvert, soundEncoder, m_sound}) {
            if (e) {
                gst_object_unref(gst_object_ref_sink(e));
            }
        }
        m_video = m_sound = nullptr;
        *why =
            QStringLiteral("缺少 GStreamer 的编码组件（x264enc、h264parse、mp4mux/matroskamux、avenc_aac）");
        return false;
    }
    gst_bin_add_many(GST_BIN(pipeline), m_video, encoder, profile, parser, mux, sink, nullptr);
    gst_element_link_many(m_video, encoder, profile, parser, mux, sink, nullptr);

    m_videoCaps.reset(gst_caps_new_simple("video/x-raw", "format", G_TYPE_STRING, "I420", "width", G_TYPE_INT,
                                          size.width(), "height", G_TYPE_INT, size.height(), "framerate",
                                          GST_TYPE_FRACTION, rateNum, rateDen, "pixel-aspect-ratio",
                                          GST_TYPE_FRACTION, 1, 1, nullptr));
    GstVideoInfo info;
    gst_video_info_from_caps(&info, m_videoCaps.get());
    m_pictureBytes = info.size;
    g_object_set(m_video, "caps", m_videoCaps.get(), "format", GST_FORMAT_TIME, "max-bytes",
                 guint64(m_pictureBytes * kQueuedPictures), nullptr);
    // Constant quality; the faster preset for big pictures keeps 1080p above real time here.
    const bool big = size.width() * size.height() > 1280 * 720;
    gst_util_set_object_arg(G_OBJECT(encoder), "speed-preset", big ? "superfast" : "veryfast");
    gst_util_set_object_arg(G_OBJECT(encoder), "pass", "qual");
    // x264enc turns trellis quantisation on over any preset: a seventh of the whole export's
    // time for no visible gain at this quality.
    g_object_set(encoder, "trellis", FALSE, nullptr);
    // In constant quality x264enc still caps the rate at its bitrate (2 Mbit/s by default), too
    // little for four pictures in one: a quarter of a bit per pixel at most.
    const double pixelsPerSecond = double(size.width()) * size.height() * rateNum / rateDen;
    g_object_set(encoder, "bitrate", guint(std::clamp(pixelsPerSecond / 4000.0, 2000.0, 100000.0)), nullptr);
    g_object_set(encoder, "quantizer", 20u, "key-int-max", guint(std::max(1, 2 * rateNum / rateDen)),
                 nullptr);
    GstCapsRef high(gst_caps_from_string("video/x-h264,profile=high"));
    g_object_set(profile, "caps", high.get(), nullptr);
    g_object_set(sink, "location", FileName::ToBytes(file).constData(), "sync", FALSE, nullptr);

    if (sound) {
        gst_bin_add_many(GST_BIN(pipeline), m_sound, soundConvert, soundEncoder, nullptr);
        gst_element_link_many(m_sound, soundConvert, soundEncoder, mux, nullptr);
        GstCapsRef caps(gst_caps_new_simple("audio/x-raw", "format", G_TYPE_STRING, "F32LE", "rate",
                                            G_TYPE_INT, 48000, "channels", G_TYPE_INT, 2, "layout",
                                            G_TYPE_STRING, "interleaved", nullptr));
        // No bound on the sound: the encoder holds back pictures (look-ahead), and the muxer
        // waits for those before it takes more sound.
        g_object_set(m_sound, "caps", caps.get(), "format", GST_FORMAT_TIME, "max-bytes", guint64(0),
                     nullptr);
        g_object_set(soundEncoder, "bitrate", 128000, nullptr);
    }

    m_pool.reset(gst_video_buffer_pool_new());
    GstStructure* config = gst_buffer_pool_get_config(m_pool.get());
    gst_buffer_pool_config_set_params(config, m_videoCaps.get(), guint(m_pictureBytes), kQueuedPictures + 2,
                                      0);
    if (!gst_buffer_pool_set_config(m_pool.get(), config) ||
        !gst_buffer_pool_set_active(m_pool.get(), TRUE)) {
        *why = QStringLiteral("无法分配画面缓冲");
        return false;
    }

    m_bus.reset(gst_element_get_bus(pipeline));
    if (gst_element_set_state(pipeline, GST_STATE_PLAYING) == GST_STATE_CHANGE_FAILURE) {
        if (!checkBus(why)) {
            return false;
        }
        *why = QStringLiteral("无法开始写入");
        return false;
    }
    return true;
}

GstBuffer* CExportWriter::NewPicture() {
    GstBuffer* buffer = nullptr;
    if (m_failed || gst_buffer_pool_acquire_buffer(m_pool.get(), &buffer, nullptr) != GST_FLOW_OK) {
        return nullptr;
    }
    return buffer;
}

bool CExportWriter::checkBus(QString* why) {
    if (GstMessageRef message{gst_bus_pop_filtered(m_bus.get(), GST_MESSAGE_ERROR)}) {
        return failWith(message.get(), why);
    }
    while (GstMessageRef message{gst_bus_pop(m_bus.get())}) {
    }
    return !m_failed;
}

bool CExportWriter::waitForRoom(GstElement* source, guint64 limit, QString* why) {
    while (gst_app_src_get_current_level_bytes(GST_APP_SRC(source)) > limit) {
        GstMessageRef message(gst_bus_timed_pop_filtered(m_bus.get(), kWaitSlice, GST_MESSAGE_ERROR));
        if (message) {
            return failWith(message.get(), why);
        }
    }
    return checkBus(why);
}

bool CExportWriter::PushPicture(GstBuffer* picture, std::int64_t index, QString* why) {
    if (m_failed || !waitForRoom(m_video, m_pictureBytes * (kQueuedPictures - 1), why)) {
        gst_buffer_unref(picture);
        return false;
    }
    const GstClockTime at =
        gst_util_uint64_scale(guint64(index), GST_SECOND * guint64(m_rateDen), guint64(m_rateNum));
    const GstClockTime next =
        gst_util_uint64_scale(guint64(index + 1), GST_SECOND * guint64(m_rateDen), guint64(m_rateNum));
    GST_BUFFER_PTS(picture) = at;
    GST_BUFFER_DTS(picture) = GST_CLOCK_TIME_NONE;
    GST_BUFFER_DURATION(picture) = next - at;
    if (gst_app_src_push_buffer(GST_APP_SRC(m_video), picture) != GST_FLOW_OK) {
        checkBus(why);
        if (why->isEmpty()) {
            *why = QStringLiteral("写入中断");
        }
        return false;
    }
    return true;
}

bool CExportWriter::PushSound(const float* samples, std::int64_t first, int count, QString* why) {
    if (m_sound == nullptr || count <= 0) {
        return !m_failed;
    }
    const gsize bytes = gsize(count) * 2 * sizeof(float);
    GstBuffer* buffer = gst_buffer_new_allocate(nullptr, bytes, nullptr);
    gst_buffer_fill(buffer, 0, samples, bytes);
    GST_BUFFER_PTS(buffer) = gst_util_uint64_scale(guint64(first), GST_SECOND, 48000);
    GST_BUFFER_DURATION(buffer) =
        gst_util_uint64_scale(guint64(first + count), GST_SECOND, 48000) - GST_BUFFER_PTS(buffer);
    if (gst_app_src_push_buffer(GST_APP_SRC(m_sound), buffer) != GST_FLOW_OK) {
        checkBus(why);
        if (why->isEmpty()) {
            *why = QStringLiteral("写入中断");
        }
        return false;
    }
    return true;
}

bool CExportWriter::Finish(QString* why) {
    if (m_failed) {
        return false;
    }
    gst_app_src_end_of_stream(GST_APP_SRC(m_video));
    if (m_sound) {
        gst_app_src_end_of_stream(GST_APP_SRC(m_sound));
    }
    for (int slice = 0; slice < kFinishSlices; ++slice) {
        GstMessageRef message(gst_bus_timed_pop_filtered(
            m_bus.get(), kWaitSlice, GstMessageType(GST_MESSAGE_ERROR | GST_MESSAGE_EOS)));
        if (!message) {
            continue;
        }
        if (GST_MESSAGE_TYPE(message.get()) == GST_MESSAGE_ERROR) {
            return failWith(message.get(), why);
        }
        // The file is closed when the pipeline stops.
        if (gst_element_set_state(m_pipeline.get(), GST_STATE_NULL) == GST_STATE_CHANGE_FAILURE) {
            *why = QStringLiteral("无法关闭文件");
            return false;
        }
        return checkBus(why);
    }
    *why = QStringLiteral("编码器没有结束");
    return false;
}

QString CExportWriter::Failure() {
    QString why;
    checkBus(&why);
    return why.isEmpty() ? QStringLiteral("写入中断") : why;
}

void CExportWriter::Abort() {
    if (m_pipeline) {
        gst_element_set_state(m_pipeline.get(), GST_STATE_NULL);
    }
    if (m_pool) {
        gst_buffer_pool_set_active(m_pool.get(), FALSE);
    }
}
