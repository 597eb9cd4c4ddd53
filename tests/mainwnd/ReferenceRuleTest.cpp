// The reference rule changed while a set plays (最长视频 chosen in the options): the play time, the
// total and the seek bar go on with the video the rule now picks, and a set saved afterwards keeps
// every pane and the position.
#include "WindowTestSupport.h"
#include "mainwnd/CSavedSets.h"

#include "sets/CSetFile.h"

namespace mainwnd_test {
namespace {

class ReferenceRuleTest : public ClipWindowTest {};

TEST_F(ReferenceRuleTest, LongestChosenDuringPlayCarriesTheTimesOnAndASavedSetKeepsEveryPane) {
    ASSERT_NO_FATAL_FAILURE(OpenClips({"a_6s.mp4", "b_4s.mp4", nullptr, nullptr}));
    ASSERT_EQ(dlg->Set().Reference(), 1) << "the shortest is the reference";
    dlg->OnPlay();
    g_settings.MiniVideo = 0; // what the options dialog's OK stores
    // The 4 s video ends and leaves the set; the 6 s one carries the play time on.
    ASSERT_TRUE(WaitUntil([&] { return dlg->Set().Channel(1) == nullptr; }, 10000));
    EXPECT_EQ(dlg->Set().Reference(), 0);
    EXPECT_EQ(dlg->Set().TotalTime(), dlg->Set().Length(0));
    EXPECT_EQ(Status(1), "00:00:06");
    ASSERT_TRUE(WaitUntil([&] { return dlg->Set().PlayTime() > 3.5; }, 5000)) << dlg->Set().PlayTime();
    dlg->OnPause();
    ASSERT_TRUE(WaitUntil([&] { return Status(2) != "00:00:00"; }, 2000));
    EXPECT_GE(Status(2), QString("00:00:03"));
    EXPECT_GT(dlg->Bars().SeekBar()->GetScrollPos(), 100);

    const QString path = m_state.filePath("after-the-end.tetravset");
    ASSERT_TRUE(dlg->SavedSets().SaveSetTo(path));
    CSetFile saved;
    QString why;
    ASSERT_TRUE(saved.Read(path, &why)) << why.toStdString();
    EXPECT_EQ(saved.video[0], clip("a_6s.mp4"));
    EXPECT_EQ(saved.video[1], clip("b_4s.mp4")) << "the video that ended stays in the set";
    EXPECT_GT(saved.position, 3.4);
    EXPECT_EQ(saved.reference, 0);
}

} // namespace
} // namespace mainwnd_test
