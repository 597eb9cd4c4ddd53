// Entry point of every test executable: one QApplication and an initialised GStreamer,
// then GoogleTest. The platform comes from the environment (Xvfb via DISPLAY, or offscreen).
#include <gst/gst.h>
#include <gtest/gtest.h>

#include <QApplication>

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    // Listing tests (CTest's discovery) must work without a display.
    if (GTEST_FLAG_GET(list_tests)) {
        return RUN_ALL_TESTS();
    }
    gst_init(&argc, &argv);
    QApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
