#include "controls/CBrushSelector.h"

#include <QPainter>

CBrushSelector::CBrushSelector(QPainter* painter, COLORREF color)
    : m_painter(painter), m_previous(painter->brush()) {
    m_painter->setBrush(MakeBrush(color));
}

CBrushSelector::~CBrushSelector() {
    m_painter->setBrush(m_previous);
}

void CBrushSelector::SetColor(COLORREF color) {
    m_painter->setBrush(MakeBrush(color));
}

QBrush CBrushSelector::MakeBrush(COLORREF color) {
    if (color == kNoColor) {
        return QBrush(Qt::NoBrush);
    }
    return QBrush(ToQColor(color));
}
