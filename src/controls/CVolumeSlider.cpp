#include "controls/CVolumeSlider.h"

#include "controls/ColorHls.h"
#include "controls/GdiDraw.h"

#include <QMouseEvent>
#include <QPainter>
#include <QStyleOptionSlider>

CVolumeSlider::CVolumeSlider(QWidget* parent) : CBCGPSliderCtrl(parent) {
    setAccessibleName(QStringLiteral("音量"));
}

CVolumeSlider::~CVolumeSlider() = default;

QRect CVolumeSlider::ThumbRect() const {
    QStyleOptionSlider opt;
    initStyleOption(&opt);
    return style()->subControlRect(QStyle::CC_Slider, &opt, QStyle::SC_SliderHandle, this);
}

QRect CVolumeSlider::WedgeRect() const {
    const QRect thumb = ThumbRect();
    const int a = thumb.width() >> 1;
    const QRect client = rect();
    const int left = client.left() + a + 12;
    const int right = client.left() + client.width() - a - 12;
    const int top = client.top() + 3;
    const int bottom = client.top() + client.height() - 3;
    return QRect(QPoint(left, top), QPoint(right, bottom)); // corners as given, both included
}

void CVolumeSlider::paintEvent(QPaintEvent* event) {
    CBCGPSliderCtrl::paintEvent(event);
    QPainter p(this);
    const QRect thumb = ThumbRect();
    p.setClipRegion(QRegion(rect()) - QRegion(thumb));
    p.fillRect(rect(), palette().color(QPalette::Button)); // the face colour around it
    const QRect wedge = WedgeRect();
    const int left = wedge.left();
    const int right = wedge.right();
    const int top = wedge.top();
    const int bottom = wedge.bottom();
    p.setPen(QPen(Qt::white, 1));
    gdi::Line(p, left, bottom, right, bottom);
    gdi::Line(p, right, bottom, right, top);
    p.setPen(QPen(QColor(128, 128, 128), 1));
    gdi::Line(p, right, top, left, bottom);
}

void CVolumeSlider::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        m_nDownX = static_cast<int>(event->globalPosition().x());
    }
    CBCGPSliderCtrl::mousePressEvent(event);
}

void CVolumeSlider::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && static_cast<int>(event->globalPosition().x()) == m_nDownX) {
        // A click without dragging puts the thumb at the clicked place across the whole width.
        const int windowLeft = mapToGlobal(QPoint(0, 0)).x();
        const int windowWidth = width();
        if (windowWidth > 0) {
            const long long span = static_cast<long long>(maximum()) - minimum();
            const long long pos = minimum() + span * (m_nDownX - windowLeft) / windowWidth;
            setValue(static_cast<int>(pos)); // reported to the owner like any user change
            update();
        }
    }
    CBCGPSliderCtrl::mouseReleaseEvent(event);
}
