#include "controls/CPenSelector.h"

#include <QPainter>

CPenSelector::CPenSelector(QPainter* painter, COLORREF color)
    : m_painter(painter), m_pen(ToQColor(color), 1, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin),
      m_previous(painter->pen()) {
    m_painter->setPen(m_pen);
}

CPenSelector::~CPenSelector() {
    m_painter->setPen(m_previous);
}
