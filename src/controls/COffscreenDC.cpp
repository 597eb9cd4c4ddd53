#include "controls/COffscreenDC.h"

#include <QPaintDevice>
#include <QRegion>

COffscreenDC::COffscreenDC(QPainter* target, const QRect& rect) : m_target(target), m_rect(rect) {
    if (m_rect.isEmpty() && m_target != nullptr) {
        if (m_target->hasClipping()) {
            m_rect = m_target->clipBoundingRect().toAlignedRect();
        } else if (m_target->device() != nullptr) {
            m_rect = QRect(0, 0, m_target->device()->width(), m_target->device()->height());
        }
    }
    const int right = m_rect.x() + m_rect.width();
    const int bottom = m_rect.y() + m_rect.height();
    if (right <= 0 || bottom <= 0 || m_rect.isEmpty()) {
        m_rect = QRect();
        return; // nothing to cover: drawing goes nowhere
    }
    m_image = QImage(right, bottom, QImage::Format_RGB32);
    m_image.fill(Qt::black);
    begin(&m_image);
    QRegion clip(0, 0, right, bottom);
    if (m_rect.top() > 0) {
        clip -= QRegion(0, 0, right, m_rect.top());
    }
    if (m_rect.left() > 0) {
        clip -= QRegion(0, m_rect.top(), m_rect.left(), m_rect.height());
    }
    setClipRegion(clip);
}

COffscreenDC::~COffscreenDC() {
    if (isActive()) {
        end();
    }
    if (m_target != nullptr && !m_rect.isEmpty()) {
        m_target->drawImage(m_rect.topLeft(), m_image, m_rect);
    }
}
