#include "controls/CXScrollBar.h"

#include "uikit/CBCGPControlIds.h"
#include "uikit/Resource.h"
#include "controls/CHLSColor.h"
#include "controls/CXScrollBarAccessible.h"
#include "controls/ColorHls.h"
#include "controls/ControlBitmaps.h"
#include "controls/GdiDraw.h"

#include <QAccessible>
#include <QBasicTimer>
#include <QCursor>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <algorithm>

namespace {

constexpr int kTimerRepeat = 100;     // timer 1: auto-repeat while an arrow is held
constexpr int kTimerFirstDelay = 150; // timer 2: delay before the repeat starts
constexpr int kTimerHover = 50;       // timer 3: watches the pointer leaving the thumb
constexpr COLORREF kBorderColor = RgbColor(76, 85, 118);
constexpr COLORREF kGripColor = RgbColor(91, 91, 91);
constexpr QRgb kKey1 = 0xFF000001;
constexpr QRgb kKey2 = 0xFF000002;
constexpr QRgb kKey3 = 0xFF000003;
constexpr QRgb kKey4 = 0xFF000004;

// Add 0.5 and truncate towards zero, kept within int range.
int RoundHalfUp(double v) {
    v += 0.5;
    if (!(v > -1e9)) {
        return -1000000000;
    }
    return static_cast<int>(std::min(v, 1e9));
}

QRect WinRect(int left, int top, int right, int bottom) {
    return QRect(QPoint(left, top), QSize(right - left, bottom - top));
}

void Stretch(QPainter& p, int x, int y, int w, int h, const QImage& img) {
    if (w <= 0 || h <= 0 || img.isNull()) {
        return;
    }
    p.drawImage(QRect(x, y, w, h), img);
}

QRgb ToQRgb(COLORREF c) {
    return qRgb(RedOf(c), GreenOf(c), BlueOf(c));
}

QRgb PixelOr(const QImage& img, int x, int y, QRgb fallback) {
    if (img.isNull() || img.width() == 0 || img.height() == 0) {
        return fallback;
    }
    // Rows the buffer does not have take the nearest row it has.
    x = std::clamp(x, 0, img.width() - 1);
    y = std::clamp(y, 0, img.height() - 1);
    return img.pixel(x, y);
}

// The played part of the channel in the thumb colour's hue at half its saturation: lines 0
// and 1 lighter, the rest at lightness 0.80. byRows picks rows (horizontal) or columns.
void TintChannel(QImage& channel, COLORREF thumb, bool byRows) {
    const CHLSColor base(thumb);
    auto shade = [&](float lightness) {
        CHLSColor c;
        c.SetHLS(base.GetHue(), lightness, base.GetSaturation() / 2);
        return ToQRgb(c.GetColor());
    };
    const QRgb c92 = shade(0.92f);
    const QRgb c87 = shade(0.87f);
    const QRgb c80 = shade(0.80f);
    for (int y = 0; y < channel.height(); ++y) {
        for (int x = 0; x < channel.width(); ++x) {
            const int line = byRows ? y : x;
            channel.setPixel(x, y, line == 0 ? c92 : line == 1 ? c87 : c80);
        }
    }
}

} // namespace

struct CXScrollBar::Impl {
    QPointer<QWidget> parent;
    int thumbLeft = 25;
    int thumbTop = 25;
    int bitmapHeight = 12;
    int bitmapWidth = 25;
    int minPos = 0;
    int maxPos = 0;
    int range = 0;
    QRect rectThumb; // empty: no thumb shown
    bool overThumb = false;
    bool rightArrowDown = false;
    bool leftArrowDown = false;
    bool upArrowDown = false;
    bool downArrowDown = false;
    bool thumbDown = false;
    bool dragging = false;
    bool horz = true;
    QBasicTimer repeatTimer; // 1
    QBasicTimer delayTimer;  // 2
    QBasicTimer hoverTimer;  // 3
    QImage buffer;

    int& thumb() { return horz ? thumbLeft : thumbTop; }
    int thumbSize() const { return horz ? bitmapWidth : bitmapHeight; }
};

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
    if (pParent == nullptr || placeholder == nullptr) {
        return false;
    }
    d->parent = pParent;
    const QRect place(placeholder->mapTo(pParent, QPoint(0, 0)), placeholder->size());
    placeholder->hide();
    d->horz = (dwStyle & SBS_VERT) == 0;
    setParent(pParent);
    SetDlgCtrlID(this, nId);
    setGeometry(place);
    if ((dwStyle & WS_VISIBLE) != 0) {
        show();
    }
    const QImage thumb =
        LoadControlBitmap(d->horz ? IDB_HORIZONTAL_SCROLLBAR_THUMB : IDB_VERTICAL_SCROLLBAR_THUMB);
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
int CXScrollBar::ThumbTop() const {
    return d->thumbTop;
}
QRect CXScrollBar::ThumbRect() const {
    return d->rectThumb;
}
int CXScrollBar::Range() const {
    return d->range;
}
bool CXScrollBar::IsHorz() const {
    return d->horz;
}
bool CXScrollBar::IsOverThumb() const {
    return d->overThumb;
}
QSize CXScrollBar::BitmapSize() const {
    return QSize(d->bitmapWidth, d->bitmapHeight);
}

// ---- position and thumb --------------------------------------------------------------------

void CXScrollBar::ClampThumb() {
    const int w = d->thumbSize();
    const int len = d->horz ? m_rectClient.width() : m_rectClient.height();
    const int origin = d->horz ? m_rectClient.left() : m_rectClient.top();
    int& t = d->thumb();
    if (t + w > len - w) {
        t = len - 2 * w;
    }
    if (t < origin + w) {
        t = origin + w; // a control narrower than three thumbs keeps the thumb at the left
    }
}

void CXScrollBar::PosFromThumb() {
    ClampThumb();
    const int w = d->thumbSize();
    const int len = d->horz ? m_rectClient.width() : m_rectClient.height();
    const int track = len - 3 * w;
    // Without a track there is nothing to divide: such a thumb always means position 0.
    m_nPos = track > 0 ? RoundHalfUp((d->thumb() - w) * (static_cast<double>(d->range) / track)) : 0;
    m_nPos = std::clamp(m_nPos, 0, d->range);
}

void CXScrollBar::ThumbFromPos() {
    const int w = d->thumbSize();
    const int len = d->horz ? m_rectClient.width() : m_rectClient.height();
    const int track = len - 3 * w;
    // An empty range has no place to map to: the thumb rests at its lowest place.
    d->thumb() = d->range != 0 ? RoundHalfUp(m_nPos * (static_cast<double>(track) / d->range)) + w : w;
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
    if (d->horz) {
        emit hscroll(code, pos);
    } else {
        emit vscroll(code, pos);
    }
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
    const int w = d->thumbSize();
    const int a = d->horz ? pt.x() : pt.y();
    const int len = d->horz ? W : H;
    auto span = [&](int from, int to) {
        return d->horz ? WinRect(from, 0, to, H).contains(pt) : WinRect(0, from, W, to).contains(pt);
    };
    const int t = d->thumb();
    if (span(t, t + w)) {
        d->thumbDown = true;
    } else if (span(len - w, len)) {
        (d->horz ? d->rightArrowDown : d->downArrowDown) = true;
        d->delayTimer.start(kTimerFirstDelay, this);
    } else if (span(0, w)) {
        (d->horz ? d->leftArrowDown : d->upArrowDown) = true;
        d->delayTimer.start(kTimerFirstDelay, this);
    } else {
        d->thumb() = a - w / 2;
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
        d->thumb() = (d->horz ? pt.x() : pt.y()) - d->thumbSize() / 2;
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
    const int w = d->thumbSize();
    const int len = d->horz ? W : H;
    auto span = [&](int from, int to) {
        return d->horz ? WinRect(from, 0, to, H).contains(pt) : WinRect(0, from, W, to).contains(pt);
    };
    const int t = d->thumb();
    if (span(0, w)) {
        LineLeft();
    } else if (span(len - w, len)) {
        LineRight();
    } else if (span(t, t + w)) {
        SetOverThumb(true);
        update();
        d->hoverTimer.start(kTimerHover, this);
    }
    d->leftArrowDown = d->rightArrowDown = d->upArrowDown = d->downArrowDown = false;
    d->thumbDown = d->dragging = false;
    event->accept();
}

void CXScrollBar::timerEvent(QTimerEvent* event) {
    const int id = event->timerId();
    if (id == d->delayTimer.timerId()) {
        d->delayTimer.stop();
        if (d->leftArrowDown || d->rightArrowDown || d->upArrowDown || d->downArrowDown) {
            d->repeatTimer.start(kTimerRepeat, this);
        }
    } else if (id == d->repeatTimer.timerId()) {
        if (d->leftArrowDown || d->upArrowDown) {
            LineLeft();
        }
        if (d->rightArrowDown || d->downArrowDown) {
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

// ---- drawing -------------------------------------------------------------------------------

void CXScrollBar::Redraw() {
    if (d->horz) {
        RenderHorz();
    } else {
        RenderVert();
    }
    update();
}

void CXScrollBar::paintEvent(QPaintEvent* /*event*/) {
    if (d->horz) {
        RenderHorz();
    } else {
        RenderVert();
    }
    QPainter p(this);
    if (d->buffer.isNull() || d->buffer.size() != size()) {
        p.fillRect(rect(), palette().window());
    }
    if (!d->buffer.isNull()) {
        p.drawImage(0, 0, d->buffer);
    }
}

namespace {

// Replaces the key pixels of a thumb bitmap; channelAt gives the off-screen colour of the
// first (key 3) or last (key 4) channel pixel on the line of bitmap pixel (x, y).
template <typename ChannelAt>
void ReplaceKeys(QImage& thumb, bool useThumbColor, bool showGripper, COLORREF thumbColor,
                 ChannelAt channelAt) {
    QRgb previous = qRgb(0, 0, 0);
    for (int x = 0; x < thumb.width(); ++x) {
        for (int y = 0; y < thumb.height(); ++y) {
            QRgb c = thumb.pixel(x, y);
            if (c == kKey1) {
                if (useThumbColor) {
                    c = ToQRgb(thumbColor);
                }
            } else if (c == kKey2) {
                c = showGripper ? ToQRgb(kGripColor) : previous;
            } else if (c == kKey3) {
                c = channelAt(x, y, false);
            } else if (c == kKey4) {
                c = channelAt(x, y, true);
            }
            thumb.setPixel(x, y, c);
            previous = c;
        }
    }
}

} // namespace

void CXScrollBar::RenderHorz() {
    const int L = m_rectClient.left();
    const int T = m_rectClient.top();
    const int W = m_rectClient.width();
    const int H = m_rectClient.height();
    const int R = L + W;
    const int B = T + H;
    const int w = d->bitmapWidth;
    if (W <= 0 || H <= 0) {
        d->buffer = QImage();
        d->rectThumb = d->range != 0 ? WinRect(L + d->thumbLeft, T, L + d->thumbLeft + w, B) : QRect();
        return;
    }
    if (d->buffer.size() != QSize(W, H)) {
        d->buffer = QImage(W, H, QImage::Format_RGB32);
    }
    d->buffer.fill(Qt::white);
    QPainter p(&d->buffer);
    Stretch(p, L, T + 1, w, H - 1, LoadControlBitmap(IDB_HORIZONTAL_SCROLLBAR_LEFTARROW));
    gdi::FrameRect(p, L, T, L + w, B, kBorderColor);

    d->rectThumb = WinRect(L + d->thumbLeft, T, L + d->thumbLeft + w, B);
    const int xc = d->rectThumb.left() + w / 2;
    const int cl = L + w;
    const int cw = W - 2 * w;
    QImage channel = LoadControlBitmap(IDB_HORIZONTAL_SCROLLBAR_CHANNEL);
    Stretch(p, xc, T + 1, cl + cw - xc, H - 1, channel);
    if (m_bTintChannel && m_bUseThumbColor && !channel.isNull()) {
        TintChannel(channel, m_crThumb, true);
    }
    Stretch(p, cl, T + 1, xc - cl, H - 1, channel);
    Stretch(p, R - w, T + 1, w, H - 1, LoadControlBitmap(IDB_HORIZONTAL_SCROLLBAR_RIGHTARROW));
    gdi::FrameRect(p, R - w, T, R, B, kBorderColor);

    if (d->range != 0) {
        QImage thumb = LoadControlBitmap(m_bUseThumbColor ? IDB_HORIZONTAL_SCROLLBAR_THUMB
                                                          : IDB_HORIZONTAL_SCROLLBAR_THUMB_NO_COLOR);
        if (!thumb.isNull()) {
            p.end();
            const QImage& buf = d->buffer;
            ReplaceKeys(
                thumb, m_bUseThumbColor, m_bShowGripper, d->overThumb ? m_crThumbHot : m_crThumb,
                [&](int, int y, bool last) { return PixelOr(buf, last ? cl + cw - 1 : cl, y, kKey3); });
            p.begin(&d->buffer);
            Stretch(p, d->rectThumb.x(), d->rectThumb.y(), d->rectThumb.width(), d->rectThumb.height(),
                    thumb);
        }
    } else {
        d->rectThumb = QRect();
    }
    gdi::FrameRect(p, L, T, R, B, kBorderColor);
}

void CXScrollBar::RenderVert() {
    const int L = m_rectClient.left();
    const int T = m_rectClient.top();
    const int W = m_rectClient.width();
    const int H = m_rectClient.height();
    const int R = L + W;
    const int B = T + H;
    const int h = d->bitmapHeight;
    if (W <= 0 || H <= 0) {
        d->buffer = QImage();
        d->rectThumb = d->range != 0 ? QRect(L, T + d->thumbTop, W, h) : QRect();
        return;
    }
    if (d->buffer.size() != QSize(W, H)) {
        d->buffer = QImage(W, H, QImage::Format_RGB32);
    }
    d->buffer.fill(Qt::white);
    QPainter p(&d->buffer);
    Stretch(p, L, T, W, h, LoadControlBitmap(IDB_VERTICAL_SCROLLBAR_UPARROW));
    gdi::FrameRect(p, L, T, R, T + h, kBorderColor);

    d->rectThumb = QRect(L, T + d->thumbTop, W, h);
    const int yc = d->rectThumb.top() + h / 2;
    const int ct = T + h;
    const int ch = H - 2 * h;
    QImage channel = LoadControlBitmap(IDB_VERTICAL_SCROLLBAR_CHANNEL);
    Stretch(p, L + 1, yc, W - 1, ct + ch - yc, channel);
    if (m_bTintChannel && m_bUseThumbColor && !channel.isNull()) {
        TintChannel(channel, m_crThumb, false);
    }
    Stretch(p, L, ct, W, yc - ct, channel);
    Stretch(p, L, B - h, W - 1, h, LoadControlBitmap(IDB_VERTICAL_SCROLLBAR_DOWNARROW));
    gdi::FrameRect(p, L, B - h, R, B, kBorderColor);

    if (d->range != 0) {
        QImage thumb = LoadControlBitmap(m_bUseThumbColor ? IDB_VERTICAL_SCROLLBAR_THUMB
                                                          : IDB_VERTICAL_SCROLLBAR_THUMB_NO_COLOR);
        if (!thumb.isNull()) {
            p.end();
            const QImage& buf = d->buffer;
            ReplaceKeys(
                thumb, m_bUseThumbColor, m_bShowGripper, d->overThumb ? m_crThumbHot : m_crThumb,
                [&](int x, int, bool last) { return PixelOr(buf, x, last ? ct + ch - 1 : ct, kKey3); });
            p.begin(&d->buffer);
            Stretch(p, d->rectThumb.x(), d->rectThumb.y(), d->rectThumb.width(), d->rectThumb.height(),
                    thumb);
        }
    } else {
        d->rectThumb = QRect();
    }
    gdi::FrameRect(p, L, T, R, B, kBorderColor);
}
