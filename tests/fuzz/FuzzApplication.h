#pragma once
// A QApplication on the offscreen platform, made once for the whole fuzzing run (widgets need
// one; the run never shows anything).
#include <QApplication>

#include <cstdlib>

namespace tetrav::fuzz {

inline void startOffscreenApplication() {
    if (QApplication::instance() != nullptr) {
        return;
    }
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    static int argc = 1;
    static char name[] = "tetrav-fuzz";
    static char* argv[] = {name, nullptr};
    static QApplication app(argc, argv);
}

} // namespace tetrav::fuzz
