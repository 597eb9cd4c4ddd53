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
    // Never ended: at exit, Qt's own statics made after it (input devices) are gone before any
    // handler of ours could run. What it holds stays reachable; fontconfig's caches are the
    // one report this leaves (tests/fuzz/lsan.supp).
    static QApplication* app = new QApplication(argc, argv);
    (void)app;
}

} // namespace tetrav::fuzz
