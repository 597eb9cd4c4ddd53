// The geometry of zoom and pan inside a pane: a table of wheel notches and drags on a 16:9
// picture in a pane of another shape, each checked for the point that must stay under the
// pointer, the picture covering the pane once it is larger, and the limits.
#include "engine/CPictureView.h"

#include <gtest/gtest.h>

#include <cmath>
#include <ostream>
#include <vector>

namespace {

const QRectF kPane(0, 0, 640, 450);
constexpr double kAspect = 16.0 / 9.0;

// The picture's point (0..1 each way) shown at `at`.
QPointF pointAt(const CPictureView& view, QPointF at) {
    const QRectF r = view.pictureRect(kPane, kAspect);
    return QPointF((at.x() - r.x()) / r.width(), (at.y() - r.y()) / r.height());
}

struct Gesture {
    enum Kind { Wheel, Drag } kind;
    QPointF at;    // the pointer (a drag's start)
    double amount; // notches, or unused for a drag
    QPointF by;    // a drag's move
};

struct ViewCase {
    const char* name;
    std::vector<Gesture> gestures;
    double zoom; // afterwards
    bool keepsX; // the point first under the pointer is under it (or where the drag took it) afterwards
    bool keepsY;
};
void PrintTo(const ViewCase& c, std::ostream* os) {
    *os << c.name;
}

class PictureView : public ::testing::TestWithParam<ViewCase> {};

TEST_P(PictureView, KeepsThePointUnderThePointerAndThePaneCovered) {
    const ViewCase& c = GetParam();
    CPictureView view;
    for (const Gesture& g : c.gestures) {
        const QPointF held = pointAt(view, g.at);
        const QPointF end = g.kind == Gesture::Drag ? g.at + g.by : g.at;
        if (g.kind == Gesture::Wheel) {
            view.zoomAt(g.at, std::pow(1.25, g.amount), kPane, kAspect);
        } else {
            view.panBy(g.by, kPane, kAspect);
        }
        const QPointF now = pointAt(view, end);
        if (&g == &c.gestures.back()) {
            EXPECT_EQ(std::abs(now.x() - held.x()) < 1e-9, c.keepsX) << held.x() << " -> " << now.x();
            EXPECT_EQ(std::abs(now.y() - held.y()) < 1e-9, c.keepsY) << held.y() << " -> " << now.y();
        }
        // Larger than the pane one way: it covers the pane that way; else it is centred.
        const QRectF r = view.pictureRect(kPane, kAspect);
        if (r.width() >= kPane.width()) {
            EXPECT_LE(r.left(), 1e-9);
            EXPECT_GE(r.right(), kPane.width() - 1e-9);
        } else {
            EXPECT_NEAR(r.center().x(), kPane.center().x(), 1e-9);
        }
        if (r.height() >= kPane.height()) {
            EXPECT_LE(r.top(), 1e-9);
            EXPECT_GE(r.bottom(), kPane.height() - 1e-9);
        } else {
            EXPECT_NEAR(r.center().y(), kPane.center().y(), 1e-9);
        }
    }
    EXPECT_NEAR(view.zoom(), c.zoom, 1e-9);
    EXPECT_EQ(view.isWhole(), c.zoom == 1.0);
    view.reset();
    EXPECT_EQ(view.pictureRect(kPane, kAspect), CPictureView::fitted(kPane, kAspect));
}

INSTANTIATE_TEST_SUITE_P(
    Gestures, PictureView,
    ::testing::Values(
        // 640 x 360 in a 640 x 450 pane: the first notch leaves it shorter than the pane (450):
        // centred up and down, so only a pointer on the middle line keeps its point that way.
        ViewCase{"OneNotchOffTheMiddleLine", {{Gesture::Wheel, {500, 150}, 1, {}}}, 1.25, true, false},
        ViewCase{"OneNotchOnTheMiddleLine", {{Gesture::Wheel, {500, 225}, 1, {}}}, 1.25, true, true},
        ViewCase{"ThenAnyPoint",
                 {{Gesture::Wheel, {320, 225}, 2, {}}, {Gesture::Wheel, {100, 400}, 1, {}}},
                 1.953125,
                 true,
                 true},
        // 8 times at most, 1 at least (and whole again there).
        ViewCase{"TwentyNotchesStopAtEight", {{Gesture::Wheel, {300, 200}, 20, {}}}, 8.0, true, true},
        ViewCase{"BackOutIsWhole",
                 {{Gesture::Wheel, {300, 200}, 3, {}}, {Gesture::Wheel, {50, 60}, -5, {}}},
                 1.0,
                 false,
                 false},
        // A drag carries the point along, until an edge of the picture reaches the pane's.
        ViewCase{"DragCarriesThePoint",
                 {{Gesture::Wheel, {320, 225}, 4, {}}, {Gesture::Drag, {300, 200}, 0, {-80, 60}}},
                 2.44140625,
                 true,
                 true},
        ViewCase{"DragStopsAtTheEdge",
                 {{Gesture::Wheel, {320, 225}, 4, {}}, {Gesture::Drag, {300, 200}, 0, {2000, 0}}},
                 2.44140625,
                 false,
                 true},
        ViewCase{"WholePictureDoesNotMove", {{Gesture::Drag, {300, 200}, 0, {50, 50}}}, 1.0, false, false}),
    [](const auto& info) { return std::string(info.param.name); });

// A pane that shrinks keeps the enlarged picture over it.
TEST(PictureViewResize, AShrunkenPaneStaysCovered) {
    CPictureView view;
    view.zoomAt({600, 430}, 3.0, kPane, kAspect);
    const QRectF smaller(0, 0, 300, 200);
    view.keepInside(smaller, kAspect);
    const QRectF r = view.pictureRect(smaller, kAspect);
    EXPECT_LE(r.left(), 0);
    EXPECT_GE(r.right(), smaller.width());
    EXPECT_LE(r.top(), 0);
    EXPECT_GE(r.bottom(), smaller.height());
}

} // namespace
