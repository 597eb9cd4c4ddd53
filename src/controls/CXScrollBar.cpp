// The seek bar's creation, position and thumb arithmetic, and its mouse and timer handling.
#include "controls/CXScrollBar.h"

#include "controls/CXScrollBarAccessible.h"
#include "controls/ControlBitmaps.h"
#include "controls/XScrollBarImpl.h"
#include "uikit/CBCGPControlIds.h"
#include "uikit/Resource.h"

#include <QAccessible>
#include <QBasicTimer>
#include <QCursor>
#include <QMouseEvent>
#include <algorithm>

namespace {

constexpr int kTimerRepeat = 100;     // timer 1: auto-repeat while an arrow is held
constexpr int kTimerFirstDelay = 150; // timer 2: delay before the repeat starts
constexpr int kTimerHover = 50;       // timer 3: watches the pointer leaving the thumb

// Add 0.5 and truncate towards zero, kept within int range.
int RoundHalfUp(double v) {
    v += 0.5;
    if (!(v > -1e9)) {
        return -1000000000;
    }
    return static_cast<int>(std::min(v, 1e9));
}

} // namespace

CXScrollBar::CXScrollBar(QWidget* parent) : QWidget(parent), d(new Impl) {
    // The factory must be in place before anything asks for this widget's interface (setting
    // the name does), or the plain widget interface is cached for it.
    CXScrollBarAccessible::Install();
    setMouseTracking(true);
    setAccessibleName(QStringLiteral("进度"));
}

CXScrollBar::~CXScrollBar() {
    delete d;
}

bool CXScrollBar::CreateOverStatic(unsigned dwStyle, QWidget* pParent, int nIdStatic, int nId) {
    // Without the placeholder there is no place to take: creation fails and nothing changes.
    QWidget* placeholder = GetDlgItem(pParent, nIdStatic);
    if (pParent == nullptr || placeholder == nullptr || (dwStyle & SBS_VERT) != 0) {
        return false;
    }
    d->parent = pParent;
    const QRect place(placeholder->mapTo(pParent, QPoint(0, 0)), placeholder->size());
    placeholder->hide();
    setParent(pParent);
    SetDlgCtrlID(this, nId);
    setGeometry(place);
    if ((dwStyle & WS_VISIBLE) != 0) {
        show();
    }
    const QImage thumb = LoadControlBitmap(IDB_HORIZONTAL_SCROLLBAR_THUMB);
    if (!thumb.isNull()) {
        d->bitmapWidth = thumb.width();
        d->bitmapHeight = thumb.height();
        m_rectClient = rect();
    }
    return true;
}

void CXScrollBar::SetScrollRange(int nMinPos, int nMaxPos, bool bRedraw) {
    d->minPos = nMinPos;
    d->maxPos = nMaxPos;
    const long long span = static_cast<long long>(nMaxPos) - nMinPos;
    d->range = static_cast<int>(std::min<long long>(span < 0 ? -span : span, 0x7FFFFFFF));
    if (bRedraw) {
        update();
    }
}

int CXScrollBar::SetScrollPos(int nPos, bool bRedraw) {
    const int previous = m_nPos;
    m_nPos = nPos;
    ThumbFromPos();
    if (bRedraw) {
        update();
    }
    AnnounceValue();
    return previous;
}

void CXScrollBar::TrackTo(int nPos) {
    m_nPos = std::clamp(nPos, 0, d->range);
    ThumbFromPos();
    Notify(SB_THUMBTRACK, m_nPos & 0xFFFF);
}

int CXScrollBar::ThumbLeft() const {
    return d->thumbLeft;
}
QRect CXScrollBar::ThumbRect() const {
    return d->rectThumb;
}
int CXScrollBar::Range() const {
    return d->range;
}
bool CXScrollBar::IsOverThumb() const {
    return d->overThumb;
}
QSize CXScrollBar::BitmapSize() const {
    return QSize(d->bitmapWidth, d->bitmapHeight);
}

// ---- position and thumb --------------------------------------------------------------------

void CXScrollBar::ClampThumb() {
    const int w = d->bitmapWidth;
    int& t = d->thumbLeft;
    if (t + w > m_rectClient.width() - w) {
        t = m_rectClient.width() - 2 * w;
    }
    if (t < m_rectClient.left() + w) {
        t = m_rectClient.left() + w; // a control narrower than three thumbs keeps the thumb at the left
    }
}

void CXScrollBar::PosFromThumb() {
    ClampThumb();
    const int w = d->bitmapWidth;
    const int track = m_rectClient.width() - 3 * w;
    // Without a track there is nothing to divide: such a thumb always means position 0.
    m_nPos = track > 0 ? RoundHalfUp((d->thumbLeft - w) * (static_cast<double>(d->range) / track)) : 0;
    m_nPos = std::clamp(m_nPos, 0, d->range);
}

void CXScrollBar::ThumbFromPos() {
    const int w = d->bitmapWidth;
    const int track = m_rectClient.width() - 3 * w;
    // An empty range has no place to map to: the thumb rests at its lowest place.
    d->thumbLeft = d->range != 0 ? RoundHalfUp(m_nPos * (static_cast<double>(track) / d->range)) + w : w;
    ClampThumb();
    Redraw();
}

void CXScrollBar::LineLeft() {
    if (m_nPos > 0) {
        --m_nPos;
    }
    Notify(SB_LINELEFT, 0);
    ThumbFromPos();
}

void CXScrollBar::LineRight() {
    if (m_nPos < d->range) {
        ++m_nPos;
    }
    Notify(SB_LINERIGHT, 0);
    ThumbFromPos();
}

void CXScrollBar::AnnounceValue() {
    if (QAccessible::isActive()) {
        QAccessibleValueChangeEvent event(this, m_nPos);
        QAccessible::updateAccessibility(&event);
    }
}

void CXScrollBar::Notify(int code, int pos) {
    AnnounceValue();
    if (d->parent.isNull()) {
        return; // the position and thumb still change, nobody is told
    }
    emit hscroll(code, pos);
}

void CXScrollBar::SetOverThumb(bool over) {
    d->overThumb = over;
    setCursor(over ? Qt::PointingHandCursor : Qt::ArrowCursor);
}

// ---- mouse and timers ----------------------------------------------------------------------

void CXScrollBar::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    // Qt grabs the mouse for this widget until the button is released.
    const QPoint pt = event->position().toPoint();
    const int W = m_rectClient.width();
    const int H = m_rectClient.height();
    const int w = d->bitmapWidth;
    auto span = [&](int from, int to) { return WinRect(from, 0, to, H).contains(pt); };
    const int t = d->thumbLeft;
    if (span(t, t + w)) {
        d->thumbDown = true;
    } else if (span(W - w, W)) {
        d->rightArrowDown = true;
        d->delayTimer.start(kTimerFirstDelay, this);
    } else if (span(0, w)) {
        d->leftArrowDown = true;
        d->delayTimer.start(kTimerFirstDelay, this);
    } else {
        d->thumbLeft = pt.x() - w / 2;
        PosFromThumb();
        Redraw();
        Notify(SB_THUMBTRACK, m_nPos & 0xFFFF);
    }
    event->accept();
}

void CXScrollBar::mouseMoveEvent(QMouseEvent* event) {
    const QPoint pt = event->position().toPoint();
    const bool wasOver = d->overThumb;
    const bool over = d->rectThumb.contains(pt);
    if (over != wasOver) {
        SetOverThumb(over);
    }
    if (d->thumbDown) {
        d->dragging = true;
    }
    if (d->dragging) {
        d->thumbLeft = pt.x() - d->bitmapWidth / 2;
        PosFromThumb();
        Notify(SB_THUMBTRACK, m_nPos & 0xFFFF);
        Redraw();
    }
    if (over != wasOver) {
        update();
        d->hoverTimer.start(kTimerHover, this);
    }
    event->accept();
}

void CXScrollBar::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        QWidget::mouseReleaseEvent(event);
        return;
    }
    ThumbFromPos(); // a dragged thumb snaps to the exact place of its position
    d->repeatTimer.stop();
    const QPoint pt = event->position().toPoint();
    const int W = m_rectClient.width();
    const int H = m_rectClient.height();
    const int w = d->bitmapWidth;
    auto span = [&](int from, int to) { return WinRect(from, 0, to, H).contains(pt); };
    const int t = d->thumbLeft;
    if (span(0, w)) {
        LineLeft();
    } else if (span(W - w, W)) {
        LineRight();
    } else if (span(t, t + w)) {
        SetOverThumb(true);
        update();
        d->hoverTimer.start(kTimerHover, this);
    }
    d->leftArrowDown = d->rightArrowDown = false;
    d->thumbDown = d->dragging = false;
    event->accept();
}

void CXScrollBar::timerEvent(QTimerEvent* event) {
    const int id = event->timerId();
    if (id == d->delayTimer.timerId()) {
        d->delayTimer.stop();
        if (d->leftArrowDown || d->rightArrowDown) {
            d->repeatTimer.start(kTimerRepeat, this);
        }
    } else if (id == d->repeatTimer.timerId()) {
        if (d->leftArrowDown) {
            LineLeft();
        }
        if (d->rightArrowDown) {
            LineRight();
        }
    } else if (id == d->hoverTimer.timerId()) {
        const QPoint pt = mapFromGlobal(QCursor::pos());
        if (!d->rectThumb.contains(pt)) {
            d->hoverTimer.stop();
            SetOverThumb(false);
            update();
        }
    } else {
        QWidget::timerEvent(event);
    }
}
