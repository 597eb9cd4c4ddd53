// The panes' pictures in the real program on a private desktop, driven with the pointer and keys
// (XTEST) and read from the screen: the pane information against the frame numbers the clips
// draw into their pictures, the sharpness of a paused enlargement (a pattern of one-pixel
// columns), and zoom and pan inside a picture whose colour says where each point lies.
#include "e2e/PaneCheck.h"
#include "e2e/SetSession.h"
#include "engine/CPaneInfoOverlay.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QPainter>

#include <cmath>
#include <cstdio>

namespace {

using namespace tetrav::test;

// Frame sync, the shortest video the reference, the pane information off.
const QString kSettings = QStringLiteral("[FramePhase]\nFramePhaseNumber=1\n[MiniVideo]\nMiniVideoNumber=1\n"
                                         "[ForeView]\nForeViewNumber=0\n[PaneInfo]\nPaneInfoNumber=0\n");

bool inked(QRgb c) {
    return qGray(c) > 150;
}

// The share of the pixels of the information's box (over pane, on the screen) whose ink differs
// from the information drawn for info at streamNs; 1 when no box would be drawn.
double inkMismatch(const QImage& screen, const QRect& pane, const PaneInfo& info, qint64 streamNs) {
    QImage drawn(pane.size(), QImage::Format_RGB32);
    drawn.fill(Qt::black);
    QPainter painter(&drawn);
    const QRect box = CPaneInfoOverlay::Paint(painter, drawn.rect(), info, streamNs);
    painter.end();
    if (box.isEmpty()) {
        return 1.0;
    }
    int differ = 0;
    for (int y = box.top(); y <= box.bottom(); ++y) {
        for (int x = box.left(); x <= box.right(); ++x) {
            const QPoint at = pane.topLeft() + QPoint(x, y);
            differ += inked(drawn.pixel(x, y)) != (screen.rect().contains(at) && inked(screen.pixel(at)));
        }
    }
    return double(differ) / (double(box.width()) * box.height());
}

// How sharply neighbouring columns differ over area: the mean brightness step between them.
double columnContrast(const QImage& screen, const QRect& area) {
    double sum = 0;
    qint64 n = 0;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x < area.right(); ++x) {
            sum += std::abs(qGray(screen.pixel(x, y)) - qGray(screen.pixel(x + 1, y)));
            ++n;
        }
    }
    return n > 0 ? sum / double(n) : 0.0;
}

bool sameColour(QRgb a, QRgb b, int tolerance) {
    return std::abs(qRed(a) - qRed(b)) <= tolerance && std::abs(qGreen(a) - qGreen(b)) <= tolerance &&
           std::abs(qBlue(a) - qBlue(b)) <= tolerance;
}

QPoint scaled(const QRect& r, double fx, double fy) {
    return QPoint(r.x() + int(r.width() * fx), r.y() + int(r.height() * fy));
}

class PanesTest : public ::testing::Test {
protected:
    void TearDown() override { m_s.expectCleanEnd(HasFailure()); }

    void start(const QStringList& arguments, QSize source) {
        ASSERT_TRUE(m_s.ready());
        const QString why = m_s.open(arguments, kSettings, source);
        ASSERT_TRUE(why.isEmpty()) << qPrintable(why);
        m_source = source;
    }

    // The pane's menu, its last item (还原画面) chosen with the keys.
    void resetPicture(QPoint at) {
        ASSERT_TRUE(m_s.pointer(at, {"click", "3"}));
        WaitUntil([] { return false; }, 400);
        ASSERT_TRUE(m_s.key(QStringLiteral("Up")));
        ASSERT_TRUE(m_s.key(QStringLiteral("Return")));
    }

    // The screen once two shots in a row agree over area (the picture has settled).
    QImage settled(const QRect& area) {
        QImage last = m_s.screen();
        QImage now;
        WaitUntil(
            [&] {
                WaitUntil([] { return false; }, 150);
                now = m_s.screen();
                const bool same = changedPixels(last, now, area) == 0;
                last = now;
                return same;
            },
            8000, 10);
        return now;
    }

    // The frame pane k's picture carries on the screen (-1: unreadable), and how far the pane's
    // information box is from the one drawn for info at a frame of the clip (25 a second).
    int frameIn(const QImage& screen, int k) {
        return enginetest::frameNumberIn(screen, enginetest::fittedRect(m_source, m_s.pane(k)),
                                         m_source.height());
    }
    double mismatch(const QImage& screen, int k, const PaneInfo& info, int frame) {
        return inkMismatch(screen, m_s.pane(k), info, qint64(frame) * 40 * 1000000);
    }

    QString settingsText() {
        QFile file(m_s.configPath(QStringLiteral("tetrav/TetravSet.ini")));
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
    }

    SetSession m_s;
    QSize m_source;
};

// Two clips, the second (10 s) the reference, the first shown 2 s ahead: after the item is
// chosen, each pane's information is the one drawn for the frame its picture carries, through
// steps, seeks, the ends and play, while paused; the choice is kept in the settings file.
TEST_F(PanesTest, PaneInformationShowsTheFrameEachPictureCarries) {
    ASSERT_NO_FATAL_FAILURE(
        start({clip("d_20s.mp4"), clip("c_10s.mp4"), "--offset", "1=2"}, QSize(320, 240)));
    ASSERT_TRUE(m_s.chooseMenuItem(QStringLiteral("播放控制"), QStringLiteral("显示画面信息")));
    EXPECT_TRUE(WaitUntil([&] { return settingsText().contains(QStringLiteral("PaneInfoNumber=1")); }, 5000))
        << qPrintable(settingsText());

    PaneInfo info[2];
    info[0] = {true, QStringLiteral("d_20s.mp4"), 2.0, false, 25.0, 0, 0};
    info[1] = {true, QStringLiteral("c_10s.mp4"), 0.0, true, 25.0, 0, 0};
    // Play a moment and pause (the set ends with its reference after 10 s).
    const char* const steps[] = {"",     "Right", "Right Right Right", "shift+Right", "Next", "Home",
                                 "Left", "Prior", "space space"};
    for (const char* keys : steps) {
        SCOPED_TRACE(keys);
        for (const QString& key : QString::fromLatin1(keys).split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
            ASSERT_TRUE(m_s.key(key));
            if (key == QLatin1String("space")) {
                WaitUntil([] { return false; }, 700); // plays a moment before the pause
            }
        }
        QString seen;
        const bool matched = WaitUntil(
            [&] {
                const QImage screen = m_s.screen();
                seen.clear();
                bool all = true;
                for (int k = 0; k < 2; ++k) {
                    const int n = frameIn(screen, k);
                    const double right = mismatch(screen, k, info[k], n);
                    const double before = n > 0 ? mismatch(screen, k, info[k], n - 1) : 1.0;
                    const double after = mismatch(screen, k, info[k], n + 1);
                    seen += QStringLiteral(" pane %1: frame %2, mismatch %3 (%4 and %5 beside it);")
                                .arg(k + 1)
                                .arg(n)
                                .arg(right)
                                .arg(before)
                                .arg(after);
                    // The box lies over the picture: the clip's own drawing under it shifts a few
                    // edge pixels of the letters; one frame more or less changes whole digits.
                    all = all && n >= 0 && right < 0.006 && before > 1.6 * right && after > 1.6 * right;
                }
                return all;
            },
            10000, 100);
        EXPECT_TRUE(matched) << qPrintable(seen);
    }
    m_s.keepShot(QStringLiteral("pane-info.png"));

    // Off again: the pictures alone, and the file says so.
    ASSERT_TRUE(m_s.chooseMenuItem(QStringLiteral("播放控制"), QStringLiteral("显示画面信息")));
    EXPECT_TRUE(WaitUntil(
        [&] {
            const QImage screen = m_s.screen();
            const int n = frameIn(screen, 1);
            return n >= 0 && mismatch(screen, 1, info[1], n) > 0.05;
        },
        5000, 100));
    EXPECT_TRUE(WaitUntil([&] { return settingsText().contains(QStringLiteral("PaneInfoNumber=0")); }, 5000))
        << qPrintable(settingsText());
}

// A video alone: its information carries no reference mark (no other pane follows it).
TEST_F(PanesTest, PaneInformationOfALoneVideoHasNoReferenceMark) {
    ASSERT_NO_FATAL_FAILURE(start({clip("c_10s.mp4")}, QSize(320, 240)));
    ASSERT_TRUE(m_s.chooseMenuItem(QStringLiteral("播放控制"), QStringLiteral("显示画面信息")));
    const PaneInfo alone{true, QStringLiteral("c_10s.mp4"), 0.0, false, 25.0, 0, 0};
    PaneInfo marked = alone;
    marked.reference = true;
    QString seen;
    EXPECT_TRUE(WaitUntil(
        [&] {
            const QImage screen = m_s.screen();
            const int n = frameIn(screen, 0);
            const double plain = mismatch(screen, 0, alone, n);
            const double mark = mismatch(screen, 0, marked, n);
            seen = QStringLiteral("frame %1: mismatch %2 unmarked, %3 marked").arg(n).arg(plain).arg(mark);
            return n >= 0 && plain < 0.006 && mark > 1.6 * plain;
        },
        10000, 100))
        << qPrintable(seen);
}

// A paused 1280x720 picture of one-pixel columns: in the grid's pane it is too small to show
// them; enlarged by a double click, in full screen, or zoomed by the wheel, the pane shows them
// (scaled from the decoded frame, not from the small picture), and each way back restores the
// grid's picture.
TEST_F(PanesTest, APausedEnlargementIsSharp) {
    ASSERT_NO_FATAL_FAILURE(start({clip("fine_lines.mp4")}, QSize(1280, 720)));
    const QRect grid = m_s.pane(0);
    // Played a moment and paused: nothing flows through the pipeline any more.
    ASSERT_TRUE(m_s.key(QStringLiteral("space")));
    WaitUntil([] { return false; }, 600);
    ASSERT_TRUE(m_s.key(QStringLiteral("space")));
    ASSERT_TRUE(WaitUntil([&] { return m_s.statusTexts().contains(QStringLiteral("暂停播放")); }, 5000, 100));
    // Right of the drawn counter and time, above the bit cells.
    const auto lines = [](const QRect& picture) {
        return QRect(scaled(picture, 0.6, 0.55), scaled(picture, 0.95, 0.85));
    };
    const QImage before = settled(grid);
    const double small = columnContrast(before, lines(enginetest::fittedRect(m_source, grid)));
    EXPECT_LT(small, 40) << "the grid's picture is expected too small to show the columns";

    struct Way {
        const char* name;
        const char* there; // keys, "double-click" or "wheel"
        const char* back;
        double contrast; // at least
    };
    const Way ways[] = {
        {"double click", "double-click", "double-click", 100},
        {"full screen", "F11 double-click", "double-click Escape", 100},
        // Zoomed nearly to the frame's own size: still columns, in bands (beating with the pixels).
        {"wheel", "wheel", "reset", 30},
    };
    const QPoint centre = grid.center();
    for (const Way& way : ways) {
        SCOPED_TRACE(way.name);
        const auto act = [&](const char* what) {
            for (const QString& step : QString::fromLatin1(what).split(QLatin1Char(' '))) {
                if (step == QLatin1String("double-click")) {
                    ASSERT_TRUE(m_s.pointer(centre, {"click", "--repeat", "2", "--delay", "60", "1"}));
                } else if (step == QLatin1String("wheel")) {
                    ASSERT_TRUE(m_s.pointer(centre, {"click", "--repeat", "3", "--delay", "80", "4"}));
                } else if (step == QLatin1String("reset")) {
                    ASSERT_NO_FATAL_FAILURE(resetPicture(centre));
                } else {
                    ASSERT_TRUE(m_s.key(step));
                }
                WaitUntil([] { return false; }, 300);
            }
        };
        ASSERT_NO_FATAL_FAILURE(act(way.there));
        QRect pane;
        ASSERT_TRUE(WaitUntil(
            [&] {
                m_s.refresh();
                pane = m_s.extents(QStringLiteral("视频一"));
                return QLatin1String(way.there) == QLatin1String("wheel") || pane.width() > grid.width();
            },
            8000, 100));
        const QRect picture = QLatin1String(way.there) == QLatin1String("wheel")
                                  ? pane
                                  : enginetest::fittedRect(m_source, pane);
        const QRect area = QLatin1String(way.there) == QLatin1String("wheel")
                               ? QRect(scaled(pane, 0.55, 0.55), scaled(pane, 0.95, 0.8))
                               : lines(picture);
        const QImage shot = settled(pane);
        const double contrast = columnContrast(shot, area);
        EXPECT_GT(contrast, std::max(way.contrast, 3 * small)) << "the enlarged picture is blurred";
        if (QLatin1String(way.name) == QLatin1String("full screen")) {
            m_s.keepShot(QStringLiteral("fullscreen-enlarged.png"));
        }
        ASSERT_NO_FATAL_FAILURE(act(way.back));
        ASSERT_TRUE(WaitUntil(
            [&] {
                m_s.refresh();
                return m_s.extents(QStringLiteral("视频一")) == grid;
            },
            8000, 100));
        const QImage after = settled(grid);
        EXPECT_LT(changedPixels(before, after, grid), grid.width() * grid.height() / 100)
            << "the grid's picture is not what it was";
    }
}

// A paused picture whose colour tells where a point lies: each notch of the wheel zooms around the
// pointer (the colour under it stays, the colours around it spread), a drag moves the picture
// with the pointer, and the pane menu's 还原画面 shows the whole picture again.
TEST_F(PanesTest, ZoomKeepsThePointUnderThePointerADragPansAndResetRestores) {
    ASSERT_NO_FATAL_FAILURE(start({clip("gradient.mp4")}, QSize(1280, 720)));
    const QRect pane = m_s.pane(0);
    const QRect picture = enginetest::fittedRect(m_source, pane);
    const QImage whole = settled(pane);
    const auto wheel = [&](QPoint at, int notches) {
        ASSERT_TRUE(m_s.pointer(at, {"click", "--repeat", QString::number(notches), "--delay", "80", "4"}));
    };

    // On the picture's middle line (where a picture narrower than the pane stays), right of centre.
    const QPoint first(picture.x() + picture.width() * 3 / 4, picture.center().y());
    const QPoint beside = first + QPoint(40, 0);
    ASSERT_NO_FATAL_FAILURE(wheel(first, 3));
    QImage zoomed = settled(pane);
    ASSERT_GT(changedPixels(whole, zoomed, pane), pane.width() * pane.height() / 4)
        << "the wheel did not zoom";
    EXPECT_TRUE(sameColour(whole.pixel(first), zoomed.pixel(first), 6))
        << std::hex << whole.pixel(first) << " became " << zoomed.pixel(first);
    // Red grows to the right: 1.25^3 times as slowly now.
    const double spreadBefore = qRed(whole.pixel(beside)) - qRed(whole.pixel(first));
    const double spreadAfter = qRed(zoomed.pixel(beside)) - qRed(zoomed.pixel(first));
    EXPECT_NEAR(spreadBefore / std::max(1.0, spreadAfter), 1.953, 0.5) << spreadBefore << " " << spreadAfter;

    // Once the picture covers the pane, around any point.
    const QPoint second = first + QPoint(-picture.width() / 3, picture.height() / 5);
    const QRgb underSecond = zoomed.pixel(second);
    ASSERT_NO_FATAL_FAILURE(wheel(second, 1));
    QImage more = settled(pane);
    EXPECT_TRUE(sameColour(underSecond, more.pixel(second), 6))
        << std::hex << underSecond << " became " << more.pixel(second);
    m_s.keepShot(QStringLiteral("zoomed-paused.png"));

    // A drag carries the point under the pointer along.
    const QPoint to = second + QPoint(-90, -50);
    ASSERT_TRUE(m_s.pointer(second, {"mousedown", "1"}));
    for (int i = 1; i <= 5; ++i) {
        ASSERT_TRUE(m_s.pointer(second + (to - second) * i / 5));
    }
    ASSERT_TRUE(m_s.xdotool({"mouseup", "1"}));
    const QImage dragged = settled(pane);
    EXPECT_TRUE(sameColour(underSecond, dragged.pixel(to), 8))
        << std::hex << underSecond << " is at " << dragged.pixel(to);

    ASSERT_NO_FATAL_FAILURE(resetPicture(to));
    const QImage back = settled(pane);
    EXPECT_LT(changedPixels(whole, back, pane), pane.width() * pane.height() / 100) << "还原画面 left a zoom";
}

} // namespace
