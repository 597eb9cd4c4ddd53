// Transport on real clips: states that never block, positions, end of stream, streams that
// break, key-frame seeks, rate, volume and the set's clock. (Channels starting together on one
// clock: the command walk, SetWalkTest, through the real program.)
#include "EngineTestUtil.h"
#include "engine/CSystemClock.h"

#include <gst/gst.h>

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QUrl>

#include <chrono>
#include <cmath>
#include <thread>

using namespace enginetest;

namespace {

double position(GstChannel& channel) {
    double pos = -1;
    EXPECT_TRUE(channel.GetCurrentPosition(pos));
    return pos;
}

// Seeks go to key frames and clamp to the stream; state queries report the state being entered
// and repeats are no-ops; the rate changes the speed of play; the end of stream is the length, and a
// broken stream fails where it stopped.
TEST(ChannelTransport, SeeksStatesRateAndTheEndOfNormalAndBrokenStreams) {
    GstChannel channel;
    ASSERT_TRUE(openClip(channel, "c_10s.mp4"));
    EXPECT_TRUE(channel.IsPaused());
    EXPECT_FALSE(channel.IsRunning());
    // Key frames every second: 3.5 s lands on one of them.
    ASSERT_TRUE(channel.SetCurrentPosition(3.5));
    ASSERT_TRUE(WaitSettled(channel));
    const double key = position(channel);
    EXPECT_NEAR(key, std::round(key), 0.001) << key;
    EXPECT_NEAR(key, 3.5, 0.55);
    double length = 0;
    ASSERT_TRUE(channel.GetDuration(length));
    if (channel.SetCurrentPositionExact(length + 5)) {
        WaitSettled(channel);
    }
    EXPECT_LE(position(channel), length);
    EXPECT_GT(position(channel), length - 0.1);
    ASSERT_TRUE(channel.SetCurrentPositionExact(-4));
    ASSERT_TRUE(WaitSettled(channel));
    EXPECT_EQ(position(channel), 0);

    ASSERT_TRUE(channel.Run());
    // Immediately, before the change completes: it counts as running.
    EXPECT_TRUE(channel.IsRunning() && !channel.IsPaused());
    EXPECT_TRUE(channel.Run());
    ASSERT_TRUE(WaitSettled(channel));
    EXPECT_TRUE(WaitUntil([&] { return position(channel) > 0.3; }, 3000)) << "playing advances";

    ASSERT_TRUE(channel.Pause());
    EXPECT_TRUE(channel.IsPaused());
    ASSERT_TRUE(WaitSettled(channel));
    const double paused = position(channel);
    WaitUntil([] { return false; }, 300);
    EXPECT_NEAR(position(channel), paused, 0.001) << "paused holds still";

    ASSERT_TRUE(channel.Stop() && channel.IsStopped() && channel.Stop());
    // Playing again after a stop starts from the beginning.
    ASSERT_TRUE(channel.Run());
    ASSERT_TRUE(WaitSettled(channel));
    EXPECT_LT(position(channel), paused);

    // The rate changes the speed of play, also when set while stopped.
    auto advanceOverOneSecond = [&] {
        EXPECT_TRUE(WaitSettled(channel));
        const double from = position(channel);
        QElapsedTimer timer;
        timer.start();
        WaitUntil([] { return false; }, 1000);
        return (position(channel) - from) * 1000.0 / double(timer.elapsed());
    };
    ASSERT_TRUE(channel.SetRate(2.0));
    EXPECT_NEAR(advanceOverOneSecond(), 2.0, 0.4);
    ASSERT_TRUE(channel.SetRate(0.25));
    EXPECT_NEAR(advanceOverOneSecond(), 0.25, 0.12);
    ASSERT_TRUE(channel.SetRate(1.0));
    EXPECT_NEAR(advanceOverOneSecond(), 1.0, 0.25);
    ASSERT_TRUE(channel.Stop());
    ASSERT_TRUE(channel.SetRate(2.0));
    ASSERT_TRUE(channel.Run());
    EXPECT_NEAR(advanceOverOneSecond(), 2.0, 0.4);
    EXPECT_FALSE(channel.SetRate(0.0) || channel.SetRate(-1.0));

    channel.Destroy();
    RecordingPane pane;
    pane.resize(320, 240);
    QSignalSpy ended(&channel, &IChannel::ended);
    QSignalSpy failed(&channel, &IChannel::failed);
    ASSERT_TRUE(openClip(channel, "b_4s.mp4", &pane));
    ASSERT_TRUE(channel.GetDuration(length));
    ASSERT_TRUE(channel.SetCurrentPosition(3.0));
    ASSERT_TRUE(WaitSettled(channel));
    ASSERT_TRUE(channel.Run());
    ASSERT_TRUE(ended.wait(5000));
    EXPECT_TRUE(channel.IsAtEnd());
    EXPECT_FALSE(channel.HasFailed());
    EXPECT_EQ(position(channel), length);
    // Still the length a while later, and seeking back leaves the end.
    WaitUntil([] { return false; }, 200);
    EXPECT_EQ(position(channel), length);
    ASSERT_TRUE(channel.SetCurrentPosition(1.0));
    EXPECT_FALSE(channel.IsAtEnd());
    ASSERT_TRUE(WaitSettled(channel));
    EXPECT_LT(position(channel), 1.5);
    // A seek past the end while playing ends before a new picture shows: still a normal end.
    ASSERT_TRUE(channel.Run());
    ASSERT_TRUE(channel.SetCurrentPositionExact(length + 5));
    ASSERT_TRUE(WaitForNews(
        channel, [&] { return channel.IsAtEnd() || channel.HasFailed(); }, 5000));
    EXPECT_FALSE(channel.HasFailed());
    EXPECT_EQ(ended.size(), 2);

    // A stream whose data stops at about 6 s of the 20 its index promises fails where it stopped.
    channel.Destroy();
    ASSERT_TRUE(openClip(channel, "cut_short.mp4", &pane));
    ASSERT_TRUE(channel.GetDuration(length));
    EXPECT_NEAR(length, 20.0, 0.1);
    ASSERT_TRUE(channel.SetCurrentPosition(3.0));
    ASSERT_TRUE(WaitSettled(channel));
    ASSERT_TRUE(channel.Run());
    ASSERT_TRUE(failed.wait(10000));
    EXPECT_TRUE(channel.HasFailed());
    EXPECT_EQ(failed.at(0).at(0).value<IChannel::Failure>(), IChannel::Failure::CutShort);
    EXPECT_FALSE(channel.IsAtEnd());
    EXPECT_EQ(ended.size(), 2) << "a stream cut short does not end normally";
    const double stopped = position(channel);
    EXPECT_GT(stopped, 3.0);
    EXPECT_LT(stopped, 12.0);
    WaitUntil([] { return false; }, 300);
    EXPECT_EQ(position(channel), stopped) << "the position does not run on to the length";
}

// A playbin built elsewhere (fake sinks, prerolled) and adopted: driven, its volume set in hundredths
// of a decibel, an error from inside it (a decoder that gives up) seen, and stopped by Destroy.
TEST(ChannelTransport, AdoptedPipelineIsDrivenTakesTheVolumeAndReportsItsErrors) {
    GstElement* playbin = gst_element_factory_make("playbin", nullptr);
    ASSERT_NE(playbin, nullptr);
    const QByteArray uri = QUrl::fromLocalFile(clip("a_6s.mp4")).toEncoded();
    g_object_set(playbin, "uri", uri.constData(), "video-sink", gst_element_factory_make("fakesink", nullptr),
                 "audio-sink", gst_element_factory_make("fakesink", nullptr), nullptr);
    gst_element_set_state(playbin, GST_STATE_PAUSED);
    // Waits for the preroll itself, however long a sanitizer build takes.
    ASSERT_EQ(gst_element_get_state(playbin, nullptr, nullptr, GST_CLOCK_TIME_NONE),
              GST_STATE_CHANGE_SUCCESS);
    GstChannel channel;
    ASSERT_TRUE(channel.Attach(playbin));
    double length = 0;
    ASSERT_TRUE(channel.GetDuration(length));
    EXPECT_NEAR(length, 6.0, 0.05);

    // -20 dB is a tenth of the amplitude, -40 dB a hundredth; -10000 is silence, and the way
    // back from it gives the sound back.
    auto linear = [playbin] {
        gdouble v = -1;
        gboolean muted = FALSE;
        g_object_get(playbin, "volume", &v, "mute", &muted, nullptr);
        return muted ? 0.0 : v;
    };
    for (long ds : {-2000L, -4000L, 0L, -10000L, -1L, -2500L, -9999L}) {
        ASSERT_TRUE(channel.SetVolume(ds));
        EXPECT_EQ(channel.GetVolume(), ds);
        EXPECT_NEAR(linear(), ds == -10000 ? 0.0 : std::pow(10.0, ds / 2000.0), 1e-6) << ds;
    }
    EXPECT_FALSE(channel.SetVolume(1) || channel.SetVolume(-10001));
    EXPECT_EQ(channel.GetVolume(), -9999) << "refused values change nothing";

    QSignalSpy failed(&channel, &IChannel::failed);
    ASSERT_TRUE(channel.Run());
    EXPECT_TRUE(WaitUntil([&] { return position(channel) > 0.3; }, 3000));
    EXPECT_FALSE(channel.HasFailed());
    GError* error = g_error_new_literal(GST_STREAM_ERROR, GST_STREAM_ERROR_DECODE, "cannot decode");
    gst_element_post_message(playbin, gst_message_new_error(GST_OBJECT(playbin), error, "test"));
    g_error_free(error);
    ASSERT_TRUE(failed.wait(2000));
    EXPECT_TRUE(channel.HasFailed());
    EXPECT_EQ(failed.at(0).at(0).value<IChannel::Failure>(), IChannel::Failure::Broken);
    channel.Destroy();
    GstState state = GST_STATE_VOID_PENDING;
    gst_element_get_state(playbin, &state, nullptr, 0);
    EXPECT_EQ(state, GST_STATE_NULL) << "Destroy stops the adopted pipeline";
    gst_object_unref(playbin);
}

// Exact seeks that follow each other closely, as a drag of the seek bar gives them: the newest
// wins and lands on the clean frame of its target. (An older seek's end may still wait on the bus
// when the newest is sent; MPEG-TS now and then hands its decoder a frame without its reference
// frames when a seek follows another closely.)
TEST(ChannelTransport, TheNewestOfSeeksInQuickSuccessionLandsOnTheCleanFrameOfItsTarget) {
    GstChannel channel;
    ASSERT_TRUE(openClip(channel, "walk_ts50.ts"));
    for (int round = 0; round < 30; ++round) {
        const double first = 1.0 + (round * 7) % 13;
        const double newest = 2.03 + (round * 5) % 11; // mid-frame
        // The spacing of the commands (no event handled between them): the test's input.
        const auto gap = std::chrono::milliseconds(5 + (round * 37) % 40);
        ASSERT_TRUE(channel.SetPositionAndRate(first, 1.0));
        std::this_thread::sleep_for(gap);
        ASSERT_TRUE(channel.SetPositionAndRate(first, 1.0));
        std::this_thread::sleep_for(gap);
        ASSERT_TRUE(channel.SetPositionAndRate(newest, 1.0));
        ASSERT_TRUE(WaitSettled(channel));
        EXPECT_NEAR(position(channel), newest, 0.001) << "round " << round;
        // Frame n of the 50 fps clip covers n / 50 to (n + 1) / 50 s.
        ASSERT_EQ(frameNumberIn(snapshot(channel)), int(std::floor(newest * 50.0 + 1e-6)))
            << "round " << round << ", " << gap.count() << " ms between the seeks";
    }
}

// The MPEG-TS clip on the set's clock, sought, played, put to double rate and paused over and over
// while its frames flow: every command returns and lands. (Its sound sink comes to wait on a time
// beyond any end there; GStreamer's own system clock cannot call that wait off, and the pause holds
// its caller for good: this test then hangs within a few rounds.)
TEST(ChannelTransport, SeeksPlayAndPauseAtDoubleRateOnTheSetsClockAlwaysLand) {
    GstClockRef clock = CSystemClock::Create();
    GstChannel channel;
    ASSERT_TRUE(channel.Create() && channel.UseClock(clock.get()));
    ASSERT_TRUE(renderClip(channel, "walk_ts50.ts") && WaitSettled(channel));
    for (int round = 0; round < 16; ++round) {
        const double target = 1.0 + (round * 7) % 15;
        ASSERT_TRUE(channel.SetPositionAndRate(target, 1.0, round % 2 == 0));
        ASSERT_TRUE(WaitSettled(channel)) << "round " << round << ": the seek";
        // The set's clock re-bases nothing: play runs from now.
        ASSERT_TRUE(channel.SetBaseTime(gst_clock_get_time(clock.get())) && channel.Run());
        double from = position(channel);
        ASSERT_TRUE(WaitUntil([&] { return position(channel) > from + 0.3; }, kSettleMs))
            << "round " << round;
        // Double rate while playing, then a pause.
        ASSERT_TRUE(channel.SetRate(2.0));
        from = position(channel);
        WaitUntil([&] { return position(channel) > from + 0.6; }, 3000);
        ASSERT_TRUE(channel.Pause());
        ASSERT_TRUE(WaitSettled(channel)) << "round " << round << ": the pause";
        ASSERT_TRUE(channel.SetRate(1.0));
        ASSERT_TRUE(WaitSettled(channel));
    }
}

} // namespace
