// The window's keys pressed at the keyboard (XTEST) in the real program on a private desktop, each
// checked by what the screen, the status bar, the desktop's media controls or the window tree
// shows afterwards. One 20 s clip (opened paused) of 25 frames a second plays in pane 1; the rows run in
// order, each from the state the one before left.
#include "e2e/SetSession.h"

#include <gtest/gtest.h>

#include <QTime>

#include <cmath>
#include <cstdio>

namespace {

using namespace tetrav::test;

const QString kSettings = QStringLiteral("[FramePhase]\nFramePhaseNumber=1\n[MiniVideo]\nMiniVideoNumber=1\n"
                                         "[ForeView]\nForeViewNumber=0\n");

enum class Expect {
    Status,     // part 0 of the status bar reads the text
    Frame,      // pane 1 shows this frame (one either side allowed), the play time its second
    Rate,       // the desktop's Rate property
    Volume,     // the desktop's Volume property
    FullScreen, // pane 1 covers the screen's left upper quarter (value 1) or its cell (0)
    Dialog,     // a dialog or message box of this name opens (closed again with Escape)
    Plays,      // the frame shown moves on
};

struct KeyRow {
    const char* keys; // xdotool's names; "wheel-up" is a notch of the wheel over the seek bar
    Expect expect;
    double value;
    const char* text;
};

const KeyRow kRows[] = {
    {"space", Expect::Plays, 0, "开始播放"}, // the set opens paused
    {"space", Expect::Status, 0, "暂停播放"},
    {"End", Expect::Frame, 499, nullptr},
    {"Home", Expect::Frame, 0, nullptr},
    {"Next", Expect::Frame, 250, nullptr},
    {"shift+Right", Expect::Frame, 275, nullptr},
    {"Prior", Expect::Frame, 25, nullptr},
    {"shift+Left", Expect::Frame, 0, nullptr},
    {"wheel-up", Expect::Frame, 125, nullptr},
    {"bracketright", Expect::Rate, 2.0, "播放速度 2x"},
    {"bracketright", Expect::Rate, 4.0, "播放速度 4x"},
    {"bracketleft bracketleft bracketleft", Expect::Rate, 0.5, "播放速度 0.5x"},
    {"bracketleft bracketleft bracketleft", Expect::Rate, 0.1, "播放速度 0.1x"},
    {"Down", Expect::Volume, 0.95, "音量 95%"},
    {"m", Expect::Volume, 0.0, "静音"},
    {"m", Expect::Volume, 0.95, "取消静音"},
    {"Up Up", Expect::Volume, 1.0, "音量 100%"},
    {"F11", Expect::FullScreen, 1, "全屏显示"},
    {"Escape", Expect::FullScreen, 0, "退出全屏"},
    {"ctrl+g", Expect::Dialog, 0, "跳至..."},
    {"ctrl+x", Expect::Dialog, 0, "选择"},
    {"ctrl+o", Expect::Dialog, 0, "选择播放文件"},
    {"ctrl+h", Expect::Dialog, 0, "错误"}, // no browser on this desktop: the help says so
    {"bracketright bracketright bracketright space", Expect::Plays, 0, "开始播放"},
};

class KeysTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_s.ready());
        const QString why = m_s.open({clip("d_20s.mp4")}, kSettings);
        ASSERT_TRUE(why.isEmpty()) << qPrintable(why);
        m_seekBar = m_s.extents(QStringLiteral("播放进度"));
        ASSERT_FALSE(m_seekBar.isEmpty());
    }
    void TearDown() override { m_s.expectCleanEnd(HasFailure()); }

    void press(const KeyRow& row) {
        if (QLatin1String(row.keys) == QLatin1String("wheel-up")) {
            ASSERT_TRUE(m_s.pointer(m_seekBar.center(), {"click", "4"}));
            return;
        }
        for (const QString& key : QString::fromUtf8(row.keys).split(QLatin1Char(' '))) {
            ASSERT_TRUE(m_s.key(key)) << qPrintable(key);
        }
    }
    bool statusIs(const char* text) {
        const QStringList texts = m_s.statusTexts();
        m_lastStatus = texts.join(QLatin1Char('|'));
        return texts.contains(QString::fromUtf8(text));
    }
    SetSession m_s;
    QRect m_seekBar;
    QString m_lastStatus;
};

TEST_F(KeysTest, EachKeyDoesWhatTheHelpSays) {
    for (const KeyRow& row : kRows) {
        SCOPED_TRACE(row.keys);
        const int before = m_s.read().n[0];
        press(row);
        const int timeout = 8000;
        switch (row.expect) {
        case Expect::Status:
            EXPECT_TRUE(WaitUntil([&] { return statusIs(row.text); }, timeout, 100))
                << row.text << ", the status bar: " << qPrintable(m_lastStatus);
            break;
        case Expect::Frame: {
            int seen = -1;
            EXPECT_TRUE(WaitUntil(
                [&] {
                    seen = m_s.read().n[0];
                    return std::abs(seen - static_cast<int>(row.value)) <= 1;
                },
                timeout, 50))
                << "pane 1 shows frame " << seen << ", not " << row.value << " (before the key: " << before
                << ")";
            // The play time follows while paused (25 frames a second).
            const QString time = QTime(0, 0).addSecs(static_cast<int>(row.value) / 25).toString("hh:mm:ss");
            EXPECT_TRUE(WaitUntil([&] { return statusIs(time.toUtf8().constData()); }, timeout, 100))
                << qPrintable(time) << ", the status bar: " << qPrintable(m_lastStatus);
            break;
        }
        case Expect::Rate:
        case Expect::Volume: {
            const QString property =
                row.expect == Expect::Rate ? QStringLiteral("Rate") : QStringLiteral("Volume");
            double seen = -1;
            EXPECT_TRUE(WaitUntil(
                [&] {
                    seen = m_s.mprisProperty(property).toDouble();
                    return std::abs(seen - row.value) < 0.005;
                },
                timeout, 50))
                << qPrintable(property) << " is " << seen << ", not " << row.value;
            EXPECT_TRUE(WaitUntil([&] { return statusIs(row.text); }, timeout, 100))
                << row.text << ", the status bar: " << qPrintable(m_lastStatus);
            break;
        }
        case Expect::FullScreen: {
            // Four panes over the whole 1280 x 1024 screen: pane 1 the left upper quarter.
            const QRect quarter(0, 0, 640, 512);
            QRect seen;
            EXPECT_TRUE(WaitUntil(
                [&] {
                    m_s.refresh();
                    seen = m_s.extents(QStringLiteral("视频一"));
                    return (seen == quarter) == (row.value == 1);
                },
                timeout, 100))
                << "pane 1 at " << seen.x() << "," << seen.y() << " " << seen.width() << "x" << seen.height();
            if (row.value == 1) {
                // Frame numbers are still readable in the enlarged picture.
                m_s.keepShot(QStringLiteral("fullscreen.png"));
            }
            EXPECT_TRUE(m_s.program().isRunning()) << "the key ended the program";
            break;
        }
        case Expect::Dialog:
            EXPECT_TRUE(m_s.waitFor(QString::fromUtf8(row.text), {}, timeout)) << row.text;
            ASSERT_TRUE(m_s.key(QStringLiteral("Escape")));
            EXPECT_TRUE(m_s.waitFor(QString::fromUtf8(row.text), {}, timeout, false));
            ASSERT_TRUE(m_s.program().isRunning());
            break;
        case Expect::Plays: {
            const int from = m_s.read().n[0];
            EXPECT_TRUE(WaitUntil([&] { return m_s.read().n[0] > from + 10; }, timeout, 100));
            EXPECT_TRUE(statusIs(row.text));
            break;
        }
        }
    }
    // Escape outside full screen still ends the program, cleanly.
    ASSERT_TRUE(m_s.key(QStringLiteral("Escape")));
    ASSERT_TRUE(m_s.program().waitForExit(10000));
    EXPECT_TRUE(m_s.program().exitedWith(0)) << m_s.program().describe();
}

} // namespace
