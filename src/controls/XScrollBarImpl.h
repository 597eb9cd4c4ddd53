#pragma once
// The private state of the seek bar (CXScrollBar::Impl), shared by its source files.
#include "controls/CXScrollBar.h"

#include <QBasicTimer>
#include <QImage>
#include <QPointer>
#include <QRect>

struct CXScrollBar::Impl {
    QPointer<QWidget> parent;
    int thumbLeft = 25;
    int bitmapHeight = 12;
    int bitmapWidth = 25;
    int minPos = 0;
    int maxPos = 0;
    int range = 0;
    QRect rectThumb; // empty: no thumb shown
    bool overThumb = false;
    bool rightArrowDown = false;
    bool leftArrowDown = false;
    bool thumbDown = false;
    bool dragging = false;
    QBasicTimer repeatTimer; // 1
    QBasicTimer delayTimer;  // 2
    QBasicTimer hoverTimer;  // 3
    QImage buffer;
    double markFrom = 0.0; // the marked span, fractions of the range
    double markTo = 0.0;
};

// A rectangle from its edges, right and bottom excluded.
inline QRect WinRect(int left, int top, int right, int bottom) {
    return QRect(QPoint(left, top), QSize(right - left, bottom - top));
}
