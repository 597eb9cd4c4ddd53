// The picture path's buffers, on real pipelines playing real clips into the video output: the
// pictures come from one pool whose buffers come back, pictures kept for a capture stay intact
// while later frames flow, and a change of size mid-play gets a new pool and frees the old one.
#include "EngineTestUtil.h"
#include "engine/CVideoOutput.h"
#include "engine/FrameImage.h"
#include "engine/GstRef.h"

#include <gst/video/video.h>

#include <QPainter>

#include <ostream>
#include <set>

using namespace enginetest;

namespace {

// The stream time of a picture's buffer (the clip's own time); GST_CLOCK_TIME_NONE when unknown.
GstClockTime streamTime(GstSample* sample) {
    GstBuffer* buffer = sample ? gst_sample_get_buffer(sample) : nullptr;
    const GstSegment* segment = sample ? gst_sample_get_segment(sample) : nullptr;
    return buffer && segment ? gst_segment_to_stream_time(segment, GST_FORMAT_TIME, GST_BUFFER_PTS(buffer))
                             : GST_CLOCK_TIME_NONE;
}

void markFreed(gpointer freed, GObject*) {
    *static_cast<bool*>(freed) = true;
}

// A playbin showing clip through a video output of the given picture size, sound into a fake sink.
struct OutputPlayer {
    OutputPlayer(const QString& file, QSize size) {
        output.setGeometry(QRect(QPoint(0, 0), size));
        playbin.reset(GST_ELEMENT(gst_object_ref_sink(gst_element_factory_make("playbin", nullptr))));
        GstElement* sound = gst_element_factory_make("fakesink", nullptr);
        g_object_set(sound, "sync", TRUE, nullptr);
        const QByteArray uri = QUrl::fromLocalFile(clip(file)).toEncoded();
        g_object_set(playbin.get(), "uri", uri.constData(), "video-sink", output.sinkBin(), "audio-sink",
                     sound, nullptr);
        // Decoded frames as they are (the channel's setting): the output scales them itself.
        guint flags = 0;
        g_object_get(playbin.get(), "flags", &flags, nullptr);
        g_object_set(playbin.get(), "flags", flags | 0x40u, nullptr);
    }
    ~OutputPlayer() { gst_element_set_state(playbin.get(), GST_STATE_NULL); }
    bool play() {
        return gst_element_set_state(playbin.get(), GST_STATE_PLAYING) != GST_STATE_CHANGE_FAILURE;
    }

    // Waits until the picture on screen is at least `frames` frames (of 25 a second) past `after`
    // (nanoseconds of stream time), calling seen on every new picture; false on time-out.
    template <typename Seen> bool playUntil(GstClockTime after, int frames, Seen&& seen) {
        GstClockTime last = GST_CLOCK_TIME_NONE;
        return WaitUntil(
            [&] {
                GstSampleRef shown = output.shownPicture();
                GstBuffer* buffer = shown ? gst_sample_get_buffer(shown.get()) : nullptr;
                if (!buffer || GST_BUFFER_PTS(buffer) == last) {
                    return false;
                }
                last = GST_BUFFER_PTS(buffer);
                seen(shown.get());
                const GstClockTime t = streamTime(shown.get());
                return GST_CLOCK_TIME_IS_VALID(t) && t >= after + GstClockTime(frames) * 40 * GST_MSECOND;
            },
            15000, 5);
    }

    CVideoOutput output;
    GstElementRef playbin;
};

// The frame number a picture at the pane's size (BGRx) shows; -1 when unreadable.
int frameOfPicture(GstSample* picture) {
    GstVideoInfo info;
    GstVideoFrame frame;
    if (!picture || !gst_video_info_from_caps(&info, gst_sample_get_caps(picture)) ||
        !gst_video_frame_map(&frame, &info, gst_sample_get_buffer(picture), GST_MAP_READ)) {
        return -1;
    }
    const QImage image(static_cast<const uchar*>(GST_VIDEO_FRAME_PLANE_DATA(&frame, 0)), info.width,
                       info.height, GST_VIDEO_FRAME_PLANE_STRIDE(&frame, 0), QImage::Format_RGB32);
    const int n = frameNumberIn(image, fittedRect(QSize(320, 240), image.rect()));
    gst_video_frame_unmap(&frame);
    return n;
}

// The frame number of a decoded frame kept for a capture; -1 when unreadable.
int frameOfDecoded(const GstSampleRef& frame) {
    IChannel::ShownPicture picture;
    picture.frame =
        std::shared_ptr<GstSample>(frame ? gst_sample_ref(frame.get()) : nullptr, GstMiniObjectUnref());
    return frameNumberIn(BgrFrameImage(picture.frame.get()));
}

QSize sizeOf(GstSample* sample) {
    GstVideoInfo info;
    return sample && gst_video_info_from_caps(&info, gst_sample_get_caps(sample))
               ? QSize(info.width, info.height)
               : QSize();
}

} // namespace

// Forty frames into a small pane: every picture comes from the output's pool and every decoded
// frame from the pool the output offered the decoder, and the buffers those pools made when the
// format was agreed on serve them all, but for the frames the test keeps (a buffer allocated per
// frame, or a pool that grows while frames play, would make more). The pictures a capture of all
// panes takes (the decoded frame shown and the one before it) and the picture on screen are
// references: thirty frames later they still show what they showed.
TEST(VideoOutputPool, PicturesComeBackToTheOutputsPoolAndThoseKeptSurviveTheFramesAfterThem) {
    OutputPlayer player("c_10s.mp4", QSize(200, 150));
    ASSERT_TRUE(player.play());
    std::set<GstMemory*> memories;
    std::set<GstMemory*> decoded;
    int pictures = 0;
    int foreign = 0;
    int foreignDecoded = 0;
    int latest = -1;
    const auto look = [&](GstSample* shown) {
        GstBuffer* buffer = gst_sample_get_buffer(shown);
        GstBufferPoolRef pool = player.output.picturePool();
        foreign += !pool || buffer->pool != pool.get();
        memories.insert(gst_buffer_peek_memory(buffer, 0));
        CVideoOutput::ShownFrame frame;
        CVideoOutput::ShownFrame previous;
        GstBufferPoolRef decoder = player.output.decodedPool();
        if (player.output.shownFrames(frame, previous) && frame.frame) {
            GstBuffer* native = gst_sample_get_buffer(frame.frame.get());
            foreignDecoded += !decoder || native->pool != decoder.get();
            decoded.insert(gst_buffer_peek_memory(native, 0));
        }
        latest = frameOfPicture(shown);
        ++pictures;
    };
    // What each pool makes when the format is agreed on.
    const auto made = [](GstBufferPoolRef pool) {
        guint min = 0;
        GstStructure* config = pool ? gst_buffer_pool_get_config(pool.get()) : nullptr;
        if (config) {
            gst_buffer_pool_config_get_params(config, nullptr, nullptr, &min, nullptr);
            gst_structure_free(config);
        }
        return size_t(min);
    };
    ASSERT_TRUE(player.playUntil(0, 10, look));
    CVideoOutput::ShownFrame now;
    CVideoOutput::ShownFrame before;
    ASSERT_TRUE(player.output.shownFrames(now, before));
    GstSampleRef picture = player.output.shownPicture();
    const int nowNumber = frameOfDecoded(now.frame);
    const int beforeNumber = frameOfDecoded(before.frame);
    const int pictureNumber = frameOfPicture(picture.get());
    ASSERT_GE(beforeNumber, 0);
    EXPECT_EQ(nowNumber, beforeNumber + 1);
    EXPECT_EQ(pictureNumber, nowNumber);

    ASSERT_TRUE(player.playUntil(streamTime(picture.get()), 30, look));
    EXPECT_GE(pictures, 20);
    EXPECT_EQ(foreign, 0) << "pictures not from the output's pool";
    EXPECT_EQ(foreignDecoded, 0) << "decoded frames not from the pool offered to the decoder";
    EXPECT_LE(memories.size(), made(player.output.picturePool()))
        << "buffers for " << pictures << " pictures";
    // The pool made what steady play needs; it grows only by the two frames this test keeps out
    // of it (as a capture of all panes keeps them).
    EXPECT_LE(decoded.size(), made(player.output.decodedPool()) + 2) << "decoded frames made while playing";
    EXPECT_GE(made(player.output.decodedPool()), 8u);
    EXPECT_GE(latest, nowNumber + 25);
    EXPECT_EQ(frameOfDecoded(now.frame), nowNumber);
    EXPECT_EQ(frameOfDecoded(before.frame), beforeNumber);
    EXPECT_EQ(frameOfPicture(picture.get()), pictureNumber);
}

// A change of size while playing, of the pane or of the stream's own pictures midway: the
// pictures after it are at the pane's size, the decoded frames kept follow the stream's size. A
// new picture size gets a new pool and the first is freed once its pictures are let go; a new
// stream size of the same shape keeps the pictures' size and their pool.
struct SizeChange {
    const char* name;
    const char* clip;
    QSize resizeTo; // empty: the pane keeps its size
    QSize picture;  // the pictures' size after the change
    QSize decoded;  // the decoded frames' size after the change
    bool newPool;   // the pictures' size changes
};
void PrintTo(const SizeChange& c, std::ostream* os) {
    *os << c.name;
}
class VideoOutputSizeChange : public ::testing::TestWithParam<SizeChange> {};

TEST_P(VideoOutputSizeChange, GetsANewPoolWhenThePictureSizeChangesAndFreesTheOld) {
    const SizeChange& change = GetParam();
    OutputPlayer player(change.clip, QSize(200, 150));
    ASSERT_TRUE(player.play());
    GstClockTime start = GST_CLOCK_TIME_NONE; // the first picture's time: a TS file starts past 0
    ASSERT_TRUE(player.playUntil(
        0, 5, [&](GstSample* shown) { start = GST_CLOCK_TIME_IS_VALID(start) ? start : streamTime(shown); }));
    GstBufferPool* first = player.output.picturePool().get(); // its address only, not a reference
    ASSERT_NE(first, nullptr);
    bool firstFreed = false;
    g_object_weak_ref(G_OBJECT(first), markFreed, &firstFreed);
    if (!change.resizeTo.isEmpty()) {
        player.output.setGeometry(QRect(QPoint(0, 0), change.resizeTo));
    }

    // Frames past the change (the clip's own comes 2 s after its start); those in flight when it
    // came are still the first pool's.
    int foreign = 0;
    QSize lastPicture;
    ASSERT_TRUE(player.playUntil(start + 2500 * GST_MSECOND, 5, [&](GstSample* shown) {
        GstBufferPoolRef pool = player.output.picturePool();
        GstBufferPool* from = gst_sample_get_buffer(shown)->pool;
        foreign += !pool || (from != pool.get() && (firstFreed || from != first));
        lastPicture = sizeOf(shown);
    }));
    EXPECT_EQ(foreign, 0) << "pictures from neither the first pool nor the output's pool of the moment";
    EXPECT_EQ(lastPicture, change.picture);
    EXPECT_EQ(sizeOf(player.output.currentNativeFrame().get()), change.decoded);
    if (change.newPool) {
        EXPECT_NE(player.output.picturePool().get(), firstFreed ? nullptr : first);
        EXPECT_TRUE(WaitUntil([&] { return firstFreed; }, 3000)) << "the first pool outlived its pictures";
    } else {
        EXPECT_FALSE(firstFreed);
        EXPECT_EQ(player.output.picturePool().get(), first);
    }
    if (!firstFreed) {
        g_object_weak_unref(G_OBJECT(first), markFreed, &firstFreed);
    }
}

INSTANTIATE_TEST_SUITE_P(Changes, VideoOutputSizeChange,
                         ::testing::Values(SizeChange{"PaneResized", "c_10s.mp4", QSize(160, 120),
                                                      QSize(160, 120), QSize(320, 240), true},
                                           SizeChange{"StreamSizeChanged", "size_change.ts", QSize(),
                                                      QSize(200, 150), QSize(160, 120), false}),
                         [](const auto& info) { return std::string(info.param.name); });

// A picture no one sees (its pane hidden behind a zoomed one, the window minimized) is scaled to a
// token size, from a pool of its own; seen again, the pane paints the frame on screen whole at
// once, scaled from its decoded frame, even while paused.
TEST(VideoOutputOffScreen, PicturesNoOneSeesAreTokenSizedAndTheFrameIsWholeAgainOnceSeen) {
    OutputPlayer player("c_10s.mp4", QSize(200, 150));
    ASSERT_TRUE(player.play());
    ASSERT_TRUE(player.playUntil(0, 3, [](GstSample*) {}));
    player.output.setOnScreen(false);
    QSize hidden;
    const GstClockTime from = streamTime(player.output.shownPicture().get());
    ASSERT_TRUE(player.playUntil(from, 5, [&](GstSample* shown) { hidden = sizeOf(shown); }));
    EXPECT_EQ(hidden, QSize(16, 12)); // the clip's 4:3 within 16 x 16
    EXPECT_EQ(sizeOf(player.output.currentNativeFrame().get()), QSize(320, 240));

    ASSERT_NE(gst_element_set_state(player.playbin.get(), GST_STATE_PAUSED), GST_STATE_CHANGE_FAILURE);
    ASSERT_EQ(gst_element_get_state(player.playbin.get(), nullptr, nullptr, 5 * GST_SECOND),
              GST_STATE_CHANGE_SUCCESS);
    ASSERT_EQ(sizeOf(player.output.shownPicture().get()), QSize(16, 12));
    player.output.setOnScreen(true);
    QImage painted(200, 150, QImage::Format_RGB32);
    {
        QPainter painter(&painted);
        ASSERT_TRUE(player.output.paint(painter, painted.rect()).painted);
    }
    CVideoOutput::ShownFrame now;
    CVideoOutput::ShownFrame before;
    ASSERT_TRUE(player.output.shownFrames(now, before));
    const int number = frameOfDecoded(now.frame);
    ASSERT_GE(number, 3);
    EXPECT_EQ(frameNumberIn(painted, fittedRect(QSize(320, 240), painted.rect())), number);
}

// The gate the set uses while a channel trails: pictures after it wait, the newest picture up
// to it is shown, a gate moved on shows the newest one up to the new place, and no gate shows
// the newest at once and counts the pictures given up.
TEST(VideoOutputGate, PicturesAfterTheGateWaitAndTheNewestUpToItIsShown) {
    OutputPlayer player("c_10s.mp4", QSize(200, 150));
    ASSERT_TRUE(player.play());
    ASSERT_TRUE(player.playUntil(0, 5, [](GstSample*) {}));
    const GstClockTime frame = 40 * GST_MSECOND;
    const GstClockTime gate = streamTime(player.output.shownPicture().get()) + 2 * frame + frame / 2;
    player.output.setGate(gint64(gate));
    gint64 newest = 0;
    ASSERT_TRUE(WaitUntil(
        [&] { return player.output.newestStreamTime(newest) && newest >= gint64(gate + 6 * frame); }, 15000,
        5));
    GstSampleRef shown = player.output.shownPicture();
    EXPECT_LE(streamTime(shown.get()), gate);
    EXPECT_GT(streamTime(shown.get()), gate - frame) << "the newest picture up to the gate";
    const int atGate = frameOfPicture(shown.get());
    ASSERT_GE(atGate, 0);

    player.output.setGate(gint64(gate + 4 * frame));
    shown = player.output.shownPicture();
    EXPECT_EQ(frameOfPicture(shown.get()), atGate + 4);

    quint64 rendered = 0;
    quint64 dropped = 0;
    player.output.sinkStats(rendered, dropped);
    const quint64 droppedBefore = dropped;
    player.output.setGate(-1);
    gint64 nowShown = 0;
    ASSERT_TRUE(player.output.shownStreamTime(nowShown));
    EXPECT_GE(nowShown, gint64(gate + 6 * frame)) << "without a gate the newest picture goes up";
    player.output.sinkStats(rendered, dropped);
    EXPECT_GE(dropped, droppedBefore + 1) << "the pictures between the gate and the newest were given up";
    EXPECT_GE(rendered, 7u) << "each picture put up counts";
    ASSERT_TRUE(player.playUntil(GstClockTime(nowShown), 5, [](GstSample*) {}));
}

// The gate's budget in bytes: of the frames past the gate, only as many as it allows wait (the
// oldest are given up and counted as newer ones come), and those that wait are the newest.
TEST(VideoOutputGate, FramesPastTheGateStayWithinItsBudgetTheOldestGivenUp) {
    OutputPlayer player("c_10s.mp4", QSize(200, 150));
    // Three frames: each a picture of 200 x 150 BGRx and its decoded frame of 320 x 240 I420.
    constexpr size_t kFrame = 200 * 150 * 4 + 320 * 240 * 3 / 2;
    player.output.setGateBudget(3 * kFrame + kFrame / 2);
    ASSERT_TRUE(player.play());
    ASSERT_TRUE(player.playUntil(0, 5, [](GstSample*) {}));
    const GstClockTime frame = 40 * GST_MSECOND;
    GstSampleRef shown = player.output.shownPicture();
    const int atGate = frameOfPicture(shown.get());
    ASSERT_GE(atGate, 0);
    quint64 rendered = 0;
    quint64 droppedBefore = 0;
    player.output.sinkStats(rendered, droppedBefore);
    player.output.setGate(gint64(streamTime(shown.get()) + frame / 2));
    gint64 newest = 0;
    ASSERT_TRUE(WaitUntil(
        [&] {
            return player.output.newestStreamTime(newest) &&
                   newest >= gint64(streamTime(shown.get()) + 10 * frame);
        },
        15000, 5));
    // No more frames come while it is read (a pause may bring one more as its preroll).
    gst_element_set_state(player.playbin.get(), GST_STATE_PAUSED);
    ASSERT_NE(gst_element_get_state(player.playbin.get(), nullptr, nullptr, 5 * GST_SECOND),
              GST_STATE_CHANGE_FAILURE);
    ASSERT_TRUE(player.output.newestStreamTime(newest));
    quint64 dropped = 0;
    player.output.sinkStats(rendered, dropped);

    player.output.setGate(newest - gint64(frame / 2));
    const int beforeNewest = frameOfPicture(player.output.shownPicture().get());
    player.output.setGate(-1);
    const int newestNumber = frameOfPicture(player.output.shownPicture().get());
    EXPECT_EQ(beforeNewest, newestNumber - 1) << "the frame before the newest still waited";
    EXPECT_GE(newestNumber, atGate + 10);
    EXPECT_EQ(dropped - droppedBefore, quint64(newestNumber - atGate - 3))
        << "all but the three newest of the frames past the gate given up";
}
