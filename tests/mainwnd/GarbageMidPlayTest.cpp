// A file overwritten with garbage while it plays: its channel is retired with its message, as a
// truncated one is, and the other plays on.
#include "WindowTestSupport.h"

#include <QRandomGenerator>

namespace mainwnd_test {
namespace {

using GarbageMidPlayTest = ClipWindowTest;

TEST_F(GarbageMidPlayTest, AFileTurnedToGarbageIsRetiredAloneWithItsMessage) {
    StoreSyncMode(1);
    const QString victim = m_state.filePath(QStringLiteral("被覆盖.mp4"));
    ASSERT_TRUE(QFile::copy(clip("c_10s.mp4"), victim));
    Open({{0, victim}, {1, "sync_h264.mp4"}});
    ASSERT_TRUE(dlg->Set().Channel(0) != nullptr && dlg->Set().Channel(1) != nullptr);
    Settle(&CTetravDlg::OnPlay);
    double position = 0;
    ASSERT_TRUE(
        WaitUntil([&] { return dlg->Set().Channel(1)->GetShownPosition(position) && position > 1.0; }, 5000));

    // Everything after the first tenth (the picture data) overwritten in place.
    QFile file(victim);
    ASSERT_TRUE(file.open(QIODevice::ReadWrite));
    const qint64 from = file.size() / 10;
    QByteArray garbage(file.size() - from, Qt::Uninitialized);
    QRandomGenerator random(26);
    for (char& byte : garbage) {
        byte = char(random.bounded(256));
    }
    ASSERT_TRUE(file.seek(from));
    ASSERT_EQ(file.write(garbage), garbage.size());
    file.close();

    ASSERT_TRUE(WaitUntil([&] { return dlg->Set().Channel(0) == nullptr; }, 12000)) << "the pane froze";
    ASSERT_EQ(boxes.texts().size(), 1);
    EXPECT_TRUE(boxes.texts()[0].startsWith(QStringLiteral("打开视频文件错误!\n") + victim));
    EXPECT_NE(dlg->Set().Channel(1), nullptr);
    EXPECT_TRUE(dlg->IsTimerRunning(TIMER_SYNC)) << "the other plays on";
    const double before = position;
    EXPECT_TRUE(WaitUntil(
        [&] { return dlg->Set().Channel(1)->GetShownPosition(position) && position > before + 0.5; }, 5000));
}

} // namespace
} // namespace mainwnd_test
