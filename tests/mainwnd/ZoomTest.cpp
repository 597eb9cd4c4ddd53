// Pane zoom on real clips, double clicked with the X server's pointer (xdotool).
#include "WindowTestSupport.h"

#include <QProcess>
#include <QSignalSpy>

namespace mainwnd_test {
namespace {

class ZoomTest : public ClipWindowTest {
protected:
    void DoubleClick(int pane) {
        CVideoPane* target = dlg->View().Pane(pane);
        const QPoint at = target->mapToGlobal(target->rect().center());
        QSignalSpy clicked(target, &CVideoPane::doubleClicked);
        ASSERT_EQ(QProcess::execute("xdotool",
                                    {"mousemove", "--sync", QString::number(at.x()), QString::number(at.y()),
                                     "click", "--repeat", "2", "--delay", "60", "1"}),
                  0);
        // The view acts on the double click as the pane reports it.
        ASSERT_TRUE(clicked.count() > 0 || clicked.wait(3000)) << "the double click did not arrive";
        QApplication::processEvents();
    }

    // Zoomed on pane (-1: the grid): the layout, every visible picture filling its pane.
    void ExpectView(int zoomed, const char* when) {
        SCOPED_TRACE(when);
        EXPECT_EQ(dlg->View().ZoomedPane(), zoomed);
        ExpectLaidOut(*dlg);
        for (int i = 0; i < 4; ++i) {
            if (dlg->Set().Channel(i) != nullptr && dlg->View().Pane(i)->isVisible()) {
                EXPECT_EQ(dlg->Set().Channel(i)->VideoWidget()->geometry(), dlg->View().Pane(i)->rect())
                    << i + 1;
                EXPECT_GE(FrameOf(i), 0) << i + 1;
            }
        }
    }
};

// A zoomed pane left without a channel still puts the grid back; only a pane with one zooms.
TEST_F(ZoomTest, DoubleClickZoomsAndRestoresAndResizesAndNewSetsKeepTheZoom) {
    ASSERT_NO_FATAL_FAILURE(OpenClips({"a_6s.mp4", nullptr, "c_10s.mp4", "d_20s.mp4"}));
    DoubleClick(2);
    ExpectView(2, "zoomed");
    // A smaller window (desktop panels) gets the reduced layout, still zoomed.
    dlg->setGeometry(0, 0, 1100, 800);
    ASSERT_TRUE(WaitUntil([&] { return dlg->width() == 1100 && dlg->height() == 800; }, 2000));
    QApplication::processEvents();
    ASSERT_TRUE(LayoutOf(*dlg).mended);
    ExpectView(2, "zoomed after the resize");
    DoubleClick(2);
    ExpectView(-1, "grid after the second double click");
    DoubleClick(1);
    ExpectView(-1, "double click on the empty pane");

    DoubleClick(0);
    ExpectView(0, "zoomed on pane 1");
    dlg->OnStop();
    ExpectView(0, "after stop");
    ASSERT_NO_FATAL_FAILURE(OpenClips({nullptr, "b_4s.mp4", "c_10s.mp4", nullptr}));
    ExpectView(0, "after a set without pane 1");
    DoubleClick(0);
    ExpectView(-1, "the empty zoomed pane put the grid back");
    DoubleClick(1);
    ExpectView(1, "zoomed on pane 2");
    ASSERT_NO_FATAL_FAILURE(OpenClips({nullptr, "b_4s.mp4", "c_10s.mp4", nullptr}));
    ExpectView(1, "the same set opened again");
}

} // namespace
} // namespace mainwnd_test
