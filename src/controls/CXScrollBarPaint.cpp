// The seek bar's drawing: arrows, channel and thumb from their bitmaps into an off-screen
// buffer, the thumb's key colours replaced, then the buffer onto the widget.
#include "controls/CXScrollBar.h"

#include "controls/CHLSColor.h"
#include "controls/ColorHls.h"
#include "controls/ControlBitmaps.h"
#include "controls/GdiDraw.h"
#include "controls/XScrollBarImpl.h"
#include "uikit/Resource.h"

#include <QPainter>
#include <algorithm>

namespace {

constexpr COLORREF kBorderColor = RgbColor(76, 85, 118);
constexpr COLORREF kGripColor = RgbColor(91, 91, 91);
constexpr QRgb kKey1 = 0xFF000001;
constexpr QRgb kKey2 = 0xFF000002;
constexpr QRgb kKey3 = 0xFF000003;
constexpr QRgb kKey4 = 0xFF000004;

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

// The played part of the channel in the thumb colour's hue at half its saturation: rows 0 and 1
// lighter, the rest at lightness 0.80.
void TintChannel(QImage& channel, COLORREF thumb) {
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
            channel.setPixel(x, y, y == 0 ? c92 : y == 1 ? c87 : c80);
        }
    }
}

} // namespace

void CXScrollBar::Redraw() {
    Render();
    update();
}

void CXScrollBar::paintEvent(QPaintEvent* /*event*/) {
    Render();
    QPainter p(this);
    if (d->buffer.isNull() || d->buffer.size() != size()) {
        p.fillRect(rect(), palette().window());
    }
    if (!d->buffer.isNull()) {
        p.drawImage(0, 0, d->buffer);
    }
}

namespace {

// Replaces the key pixels of a thumb bitmap; keys 3 and 4 take the off-screen colour of the
// first and last channel column on the bitmap pixel's row.
void ReplaceKeys(QImage& thumb, bool useThumbColor, bool showGripper, COLORREF thumbColor,
                 const QImage& buffer, int firstColumn, int lastColumn) {
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
                c = PixelOr(buffer, firstColumn, y, kKey3);
            } else if (c == kKey4) {
                c = PixelOr(buffer, lastColumn, y, kKey3);
            }
            thumb.setPixel(x, y, c);
            previous = c;
        }
    }
}

} // namespace

void CXScrollBar::SetMarkedSpan(double from, double to) {
    from = std::clamp(from, 0.0, 1.0);
    to = std::clamp(to, 0.0, 1.0);
    if (from == d->markFrom && to == d->markTo) {
        return;
    }
    d->markFrom = from;
    d->markTo = to;
    Redraw();
}

QRect CXScrollBar::MarkedSpanRect() const {
    const int w = d->bitmapWidth;
    const int track = m_rectClient.width() - 3 * w;
    if (!(d->markFrom < d->markTo) || track <= 0 || m_rectClient.height() <= 2) {
        return {};
    }
    // Where the thumb's middle stands at each end.
    const int left = m_rectClient.left() + w + w / 2 + int(std::lround(d->markFrom * track));
    const int right = m_rectClient.left() + w + w / 2 + int(std::lround(d->markTo * track));
    return QRect(left, m_rectClient.top() + 1, std::max(1, right - left), m_rectClient.height() - 2);
}

void CXScrollBar::Render() {
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
        TintChannel(channel, m_crThumb);
    }
    Stretch(p, cl, T + 1, xc - cl, H - 1, channel);
    Stretch(p, R - w, T + 1, w, H - 1, LoadControlBitmap(IDB_HORIZONTAL_SCROLLBAR_RIGHTARROW));
    gdi::FrameRect(p, R - w, T, R, B, kBorderColor);

    if (const QRect span = MarkedSpanRect(); !span.isEmpty()) {
        // The marked span: a band across the channel, under the thumb.
        p.fillRect(span.translated(-L, -T), QColor(0x30, 0x80, 0xE0, 0x90));
    }
    if (d->range != 0) {
        QImage thumb = LoadControlBitmap(m_bUseThumbColor ? IDB_HORIZONTAL_SCROLLBAR_THUMB
                                                          : IDB_HORIZONTAL_SCROLLBAR_THUMB_NO_COLOR);
        if (!thumb.isNull()) {
            p.end();
            ReplaceKeys(thumb, m_bUseThumbColor, m_bShowGripper, d->overThumb ? m_crThumbHot : m_crThumb,
                        d->buffer, cl, cl + cw - 1);
            p.begin(&d->buffer);
            Stretch(p, d->rectThumb.x(), d->rectThumb.y(), d->rectThumb.width(), d->rectThumb.height(),
                    thumb);
        }
    } else {
        d->rectThumb = QRect();
    }
    gdi::FrameRect(p, L, T, R, B, kBorderColor);
}
