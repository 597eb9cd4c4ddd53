// Snapshots of one pane and of all four (of one event: FrameSyncSets) on real clips.
#include "mainwnd/FrameSyncFixture.h"

#include "capture/CCaptureAllWriter.h"
#include "capture/CaptureInstant.h"
#include "controls/CMenuEx.h"

#include <unistd.h>

namespace mainwnd_test {
namespace {

using SnapshotTest = FrameSyncTest;
using CaptureAllTest = FrameSyncTest;

// Also once its file is deleted. (At the keyboard:
// TetravDesktopTest.PlaysFourClipsFromTheCommandLineAndSnapshotsByHotKey.)
TEST_F(SnapshotTest, WritesThePaneFrameAtTheVideoSizeNamedByPaneAndLocalTime) {
    StoreSyncMode(0);
    ASSERT_NO_FATAL_FAILURE(OpenClips({"a_6s.mp4", nullptr, "c_10s.mp4", nullptr}));
    const auto shots = [this] { return QDir(m_folder).entryList({QStringLiteral("*.bmp")}, QDir::Files); };
    ASSERT_FALSE(QFileInfo::exists(m_folder));
    // By the menu, paused after opening; by the menu, playing; by the hot key, playing.
    for (int way = 0; way < 3; ++way) {
        SCOPED_TRACE(way);
        if (way == 1) {
            dlg->OnPlay();
            dlg->OnSlower(); // a frame lasts 160 ms: long enough for a shot in a slow build
        }
        QTest::qWait(way * 300);
        QWidget* picture = dlg->Set().Channel(2)->VideoWidget();
        // The picture may move on while it is read: take the shot between two equal readings.
        bool matched = false;
        for (int attempt = 0; attempt < 10 && !matched; ++attempt) {
            QDir(m_folder).removeRecursively();
            const QDateTime from = QDateTime::currentDateTime();
            const int shownBefore = enginetest::frameShownBy(picture);
            way == 2 ? emit dlg->HotKeys()->hotKey(300)
                     : emit dlg->PaneMenus().Menu(2)->command(ID_CAPTURE_3);
            const int shownAfter = enginetest::frameShownBy(picture);
            const QImage shot = Shots(from, QDateTime::currentDateTime()).panes[2];
            ASSERT_EQ(shots().size(), 1);
            EXPECT_EQ(QFileInfo(QDir(m_folder).filePath(shots()[0])).size(), 54 + 320 * 3 * 240); // 24-bit
            ASSERT_EQ(shot.size(), QSize(320, 240));
            if (shownBefore == shownAfter) {
                ASSERT_GE(shownBefore, 0);
                EXPECT_EQ(enginetest::frameNumberIn(shot), shownBefore);
                matched = true;
            }
        }
        EXPECT_TRUE(matched) << "the pane never held one frame across a shot";
    }

    // The file of pane 1 goes away while it plays: its decoded picture is still there.
    const QString copy = m_shots.filePath(QStringLiteral("copy.mp4"));
    ASSERT_TRUE(QFile::copy(clip("b_4s.mp4"), copy));
    dlg->Set().SetPath(2, QString());
    ClipWindowTest::Open({{0, copy}});
    dlg->OnPlay();
    QTest::qWait(300);
    ASSERT_TRUE(QFile::remove(copy));
    QTest::qWait(300);
    QDir(m_folder).removeRecursively();
    emit dlg->HotKeys()->hotKey(100);
    emit dlg->HotKeys()->hotKey(300); // pane 3 is empty now
    ASSERT_EQ(shots().size(), 1);
    EXPECT_TRUE(shots()[0].startsWith(QStringLiteral("01_")));
    EXPECT_TRUE(boxes.texts().isEmpty());
}

// The larger picture sets the cell size; a set that fails part way takes back its files.
TEST_F(CaptureAllTest, MixedSizesRotationEmptyPanesAndUnwritableFolders) {
    ASSERT_NO_FATAL_FAILURE(OpenClips({nullptr, "format.vob", "rotated_90.mp4", nullptr}));
    const CaptureSet set = Capture(false);
    EXPECT_TRUE(set.panes[0].isNull() && set.panes[3].isNull());
    ASSERT_EQ(set.panes[1].size(), QSize(352, 288));
    ASSERT_EQ(set.panes[2].size(), QSize(320, 240)) << "turned upright";
    const int vob = frameNumberIn(set.panes[1], set.panes[1].rect(), 288);
    const int rotated = frameNumberIn(set.panes[2]);
    EXPECT_GE(vob, 0);
    EXPECT_GE(rotated, 0) << "the bit cells are along the bottom only when upright";
    ASSERT_EQ(set.all.size(), QSize(704, 576));
    EXPECT_EQ(QuadrantFrame(set.all, 1, QSize(352, 288)), vob);
    EXPECT_EQ(QuadrantFrame(set.all, 2, QSize(320, 240)), rotated);
    const auto black = [&set](QRect r) {
        for (int y = r.top(); y <= r.bottom(); y += 7) {
            for (int x = r.left(); x <= r.right(); x += 7) {
                if (qGray(set.all.pixel(x, y)) > 16) {
                    return false;
                }
            }
        }
        return true;
    };
    EXPECT_TRUE(black(QRect(0, 0, 352, 288))) << "pane 1 is empty";
    EXPECT_TRUE(black(QRect(352, 288, 352, 288))) << "pane 4 is empty";
    EXPECT_TRUE(black(QRect(352, 0, 352, 12))) << "the smaller picture is fitted with black above it";

    dlg->OnPlay();
    QDir(m_folder).removeRecursively();
    for (int id : {100, 400, 600, 150, 0}) { // snapshots of the empty panes, and unknown hot keys
        emit dlg->HotKeys()->hotKey(id);
    }
    EXPECT_FALSE(QFileInfo::exists(m_folder));
    EXPECT_TRUE(boxes.texts().isEmpty());
    // A file, a path below a file, the kernel's, and (without privileges) a read-only folder.
    QFile file(m_shots.filePath(QStringLiteral("a file")));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    // A name longer than the file system holds is refused as it is, never shortened.
    QStringList unwritable = {file.fileName(), file.fileName() + "/below", "/proc/tetrav-shots",
                              m_shots.filePath(QString(300, QLatin1Char('x')))};
    if (geteuid() != 0) {
        unwritable << m_shots.filePath(QStringLiteral("read-only"));
        ASSERT_TRUE(QDir().mkpath(unwritable.last()));
        QFile::setPermissions(unwritable.last(), QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    }
    for (const QString& folder : unwritable) {
        SCOPED_TRACE(folder.toStdString());
        boxes.clear();
        g_settings.SaveMapPath = folder;
        ASSERT_TRUE(RunCapture(true));
        EXPECT_FALSE(m_written);
        emit dlg->HotKeys()->hotKey(200);
        ASSERT_EQ(boxes.boxes().size(), 2u);
        for (const auto& box : boxes.boxes()) {
            EXPECT_TRUE(box.text.startsWith("保存抓图错误!\n" + folder)) << box.text.toStdString();
            EXPECT_EQ(box.text.count('\n'), 2) << "the file or folder, then the reason";
            EXPECT_EQ(box.caption, "错误");
        }
        EXPECT_TRUE(QDir(folder).entryList(QDir::Files).isEmpty());
        EXPECT_FALSE(QFileInfo::exists(m_shots.filePath(QString(255, QLatin1Char('x')))));
        EXPECT_TRUE(dlg->IsTimerRunning(TIMER_SYNC)) << "plays on";
    }

    // The composite's name is taken by a folder: the .bmp files written before it go again.
    const QString partial = m_shots.filePath(QStringLiteral("partial"));
    ASSERT_TRUE(QDir().mkpath(partial + QStringLiteral("/00_20240102030405006.png")));
    EXPECT_FALSE(CCaptureAllWriter::WriteSet(partial, QStringLiteral("20240102030405006"), set.panes));
    EXPECT_EQ(QDir(partial).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
              QStringList{QStringLiteral("00_20240102030405006.png")});
}

TEST(CaptureInstantTest, PicksThePicturesThatCoverOneInstant) {
    using P = PanePick;
    const auto at = [](double now, double before, double period = 0.04) {
        return PanePictures{true, now, before, period};
    };
    const PanePictures t1 = at(1.0, 0.96);
    const struct {
        const char* name;
        std::array<PanePictures, 4> panes;
        std::array<P, 4> picks;
        bool oneInstant;
    } cases[] = {
        {"one frame everywhere", {t1, t1, t1, t1}, {P::Now, P::Now, P::Now, P::Now}, true},
        {"pane 3 has moved on", {t1, t1, at(1.04, 1.0), t1}, {P::Now, P::Now, P::Before, P::Now}, true},
        {"pane 1 lags", {at(0.96, 0.92), t1, t1, t1}, {P::Now, P::Before, P::Before, P::Before}, true},
        {"25, 60, 50 and 29.97 frames a second",
         {t1, at(1.0333, 1.0167, 1 / 60.0), at(1.02, 1.0, 0.02), at(1.001, 0.968, 1.001 / 30)},
         {P::Now, P::Before, P::Now, P::Now},
         true},
        {"ms timestamps",
         {t1, at(1.001, 0.961), at(0.999, 0.959), t1},
         {P::Now, P::Now, P::Now, P::Now},
         true},
        {"pane 2 two frames ahead", {t1, at(1.08, 1.04), t1, t1}, {P::Now, P::Now, P::Now, P::Now}, false},
        {"pane 4 dropped the frame between",
         {t1, t1, t1, at(1.04, 0.96)},
         {P::Now, P::Now, P::Now, P::Now},
         false},
        {"pane 4 waits for its time; pane 1 empty; pane 2 without times",
         {PanePictures{}, at(-1, -1), at(5.0, 4.96), at(0.0, -1)},
         {P::None, P::Now, P::Now, P::Now},
         true},
    };
    for (const auto& c : cases) {
        const InstantPicks got = PickOneInstant(c.panes, 2);
        EXPECT_EQ(got.picks, c.picks) << c.name;
        EXPECT_EQ(got.oneInstant, c.oneInstant) << c.name;
    }
}

} // namespace
} // namespace mainwnd_test
