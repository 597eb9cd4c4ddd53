// Per-pane sound on real clips: 只听此画面 and 静音 decide which channels are heard, the volume
// slider the level they are heard at, read back from each channel's stream volume.
#include "WindowTestSupport.h"

namespace mainwnd_test {
namespace {

using Volumes = std::array<long, 3>;

class PaneSoundTest : public ClipWindowTest {
protected:
    Volumes volumes() const {
        Volumes v{};
        for (int k = 0; k < 3; ++k) {
            v[k] = dlg->Set().Channel(k)->GetVolume();
        }
        return v;
    }
    void expectSoon(const Volumes& expected) {
        Volumes seen{};
        EXPECT_TRUE(WaitUntil([&] { return (seen = volumes()) == expected; }, 3000))
            << seen[0] << " " << seen[1] << " " << seen[2];
    }
};

TEST_F(PaneSoundTest, OnlyThisPaneAndMuteDecideWhatIsHeardAndTheSliderItsLevel) {
    ASSERT_NO_FATAL_FAILURE(OpenClips({"a_6s.mp4", "b_4s.mp4", "c_10s.mp4", nullptr}));
    dlg->OnPlay();
    constexpr long kOff = -10000;
    expectSoon({0, 0, 0});
    dlg->Sound().OnSoloPane(1);
    EXPECT_EQ(volumes(), (Volumes{kOff, 0, kOff})) << "at once, not at the next tick";
    dlg->m_wndVolume->SetPos(8000); // as the user drags it: 20 dB down
    emit dlg->m_wndVolume->hscroll(8000);
    expectSoon({kOff, -2000, kOff});
    dlg->Sound().OnSoloPane(1); // again: every pane heard
    expectSoon({-2000, -2000, -2000});
    dlg->Sound().OnMutePane(2);
    expectSoon({-2000, -2000, kOff});
    dlg->OnPause();
    dlg->Sound().OnSoloPane(2); // only this pane wins over its own mute, also while paused
    EXPECT_EQ(volumes(), (Volumes{kOff, kOff, -2000}));
    dlg->Sound().OnSoloPane(2);
    EXPECT_EQ(volumes(), (Volumes{-2000, -2000, kOff})) << "the mute still holds";
    // The next set, opened without the file dialog (as a saved set, a drop or the command line
    // open), starts with every pane heard at the full volume its slider shows.
    ASSERT_NO_FATAL_FAILURE(OpenClips({"a_6s.mp4", "b_4s.mp4", "c_10s.mp4", nullptr}));
    EXPECT_EQ(dlg->m_wndVolume->GetPos(), dlg->m_wndVolume->GetRangeMax());
    dlg->OnPlay();
    expectSoon({0, 0, 0});
}

} // namespace
} // namespace mainwnd_test
