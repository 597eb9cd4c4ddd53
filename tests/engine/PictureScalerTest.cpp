// The pane's scaler on frames of each decoded layout it takes, made by GStreamer's own test source:
// a solid red or blue frame comes out red or blue (chroma planes in their order, the colour matrix
// and range honoured), at the size asked for with its rows as the pool lays them out, and stamped
// with the frame's time (the output finds a picture's decoded frame by it).
#include "engine/CPictureScaler.h"

#include <gst/app/gstappsink.h>
#include <gtest/gtest.h>

#include <QImage>

#include <ostream>
#include <string>

namespace {

struct ScalerCase {
    const char* format;
    const char* pattern; // videotestsrc's solid colours
    QRgb colour;
};
void PrintTo(const ScalerCase& c, std::ostream* os) {
    *os << c.format << "_" << c.pattern;
}

// One frame of 64 x 48 in format, of the pattern's colour; null when it cannot be made.
GstSampleRef TestFrame(const ScalerCase& c) {
    const std::string launch = std::string("videotestsrc num-buffers=1 pattern=") + c.pattern +
                               " ! video/x-raw,format=" + c.format +
                               ",width=64,height=48,framerate=25/1 ! appsink name=out sync=false";
    GError* raw = nullptr;
    GstElement* launched = gst_parse_launch(launch.c_str(), &raw);
    GErrorRef error(raw);
    if (!launched) {
        return nullptr;
    }
    GstElementRef pipeline(GST_ELEMENT(gst_object_ref_sink(launched)));
    GstElementRef sink(gst_bin_get_by_name(GST_BIN(pipeline.get()), "out"));
    gst_element_set_state(pipeline.get(), GST_STATE_PLAYING);
    GstSampleRef sample(gst_app_sink_try_pull_sample(GST_APP_SINK(sink.get()), 10 * GST_SECOND));
    gst_element_set_state(pipeline.get(), GST_STATE_NULL);
    return sample;
}

class PictureScalerColours : public ::testing::TestWithParam<ScalerCase> {};

} // namespace

TEST_P(PictureScalerColours, ComesOutInItsColourAtTheSizeAskedWithTheFramesTime) {
    gst_init(nullptr, nullptr);
    const ScalerCase& c = GetParam();
    GstSampleRef frame = TestFrame(c);
    ASSERT_TRUE(frame) << "videotestsrc made no " << c.format << " frame";
    GstVideoInfo info;
    ASSERT_TRUE(gst_video_info_from_caps(&info, gst_sample_get_caps(frame.get())));
    GstBuffer* decoded = gst_sample_get_buffer(frame.get());
    GST_BUFFER_PTS(decoded) = 7 * GST_SECOND;

    CPictureScaler scaler;
    const QSize size(30, 17); // rows of 120 bytes, which the pool pads
    GstBufferRef picture = scaler.scale(decoded, info, size);
    ASSERT_TRUE(picture);
    EXPECT_EQ(picture->pool, scaler.pool());
    EXPECT_EQ(GST_BUFFER_PTS(picture.get()), 7 * GST_SECOND);
    GstVideoInfo out;
    ASSERT_TRUE(gst_video_info_from_caps(&out, scaler.caps()));
    EXPECT_EQ(QSize(out.width, out.height), size);
    GstVideoFrame mapped;
    ASSERT_TRUE(gst_video_frame_map(&mapped, &out, picture.get(), GST_MAP_READ));
    const QImage image(static_cast<const uchar*>(GST_VIDEO_FRAME_PLANE_DATA(&mapped, 0)), out.width,
                       out.height, GST_VIDEO_FRAME_PLANE_STRIDE(&mapped, 0), QImage::Format_RGB32);
    for (const QPoint at : {QPoint(2, 2), QPoint(15, 8), QPoint(27, 14)}) {
        const QRgb seen = image.pixel(at);
        EXPECT_NEAR(qRed(seen), qRed(c.colour), 12) << "at " << at.x() << "," << at.y();
        EXPECT_NEAR(qGreen(seen), qGreen(c.colour), 12) << "at " << at.x() << "," << at.y();
        EXPECT_NEAR(qBlue(seen), qBlue(c.colour), 12) << "at " << at.x() << "," << at.y();
    }
    gst_video_frame_unmap(&mapped);
}

INSTANTIATE_TEST_SUITE_P(
    Layouts, PictureScalerColours,
    ::testing::Values(ScalerCase{"I420", "red", qRgb(255, 0, 0)}, ScalerCase{"I420", "blue", qRgb(0, 0, 255)},
                      ScalerCase{"YV12", "blue", qRgb(0, 0, 255)},
                      ScalerCase{"NV12", "blue", qRgb(0, 0, 255)},
                      ScalerCase{"NV21", "blue", qRgb(0, 0, 255)}, ScalerCase{"Y444", "red", qRgb(255, 0, 0)},
                      ScalerCase{"Y42B", "blue", qRgb(0, 0, 255)},
                      ScalerCase{"I420_10LE", "red", qRgb(255, 0, 0)},
                      ScalerCase{"YUY2", "blue", qRgb(0, 0, 255)}, ScalerCase{"BGRx", "red", qRgb(255, 0, 0)},
                      ScalerCase{"RGB", "blue", qRgb(0, 0, 255)}),
    [](const auto& info) { return std::string(info.param.format) + "_" + info.param.pattern; });
